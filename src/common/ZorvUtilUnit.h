#pragma once

// The program's utility unit: message boxes, the remembered export folder.
// The statement runner, the grid export and the column statistics have
// units of their own in this folder.

#include <QString>
#include <QtGlobal>
#include <functional>

// Windows message-box flags and button ids.
enum : int {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_ABORTRETRYIGNORE = 0x2,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
    MB_DEFBUTTON3 = 0x200,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

// While above 0, ShowMsg shows nothing and answers the flags' default.
extern qint16 QuietLevel;

// Shows a modal box (text cut to 640 characters) and returns the id of the
// pressed button.
int ShowMsg(const QString& text, const QString& caption, int flags);
// The answer ShowMsg gives while QuietLevel is above 0.
int QuietAnswer(int flags);

// Shows the box and returns the button id. The real one is a QMessageBox;
// tests install one that records and answers from a script. An empty
// presenter restores the real one. Returns the previous presenter.
using TMsgPresenter = std::function<int(const QString& text, const QString& caption, int flags)>;
TMsgPresenter SetMsgPresenter(TMsgPresenter presenter);

// The settings store: user scope, organisation "Halvern", application
// "Drovik". Each call opens and closes its own access; a failed read gives
// an empty text and a failed write is silent.
QString ReadSetting(const QString& name);
void WriteSetting(const QString& name, const QString& value);

// The folder of the last text export; loaded before the first window is
// created and written back at the orderly end of the run.
extern QString LastUserDir;
void LoadLastUserDir();
void SaveLastUserDir();
