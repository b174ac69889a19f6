#pragma once

#include <QEvent>

class QObject;

constexpr int WM_USER = 1024;

// A window message between the program's windows: a number and two integer
// parameters, delivered at once with QCoreApplication::sendEvent.
class TWindowMessage : public QEvent {
public:
    TWindowMessage(int msg, qintptr wParam = 0, qintptr lParam = 0);
    static QEvent::Type Type();

    int Msg;
    qintptr WParam;
    qintptr LParam;
    qintptr Result = 0;
};

// Delivers the message to target now (never posted); false without target.
bool SendWindowMessage(QObject* target, int msg, qintptr wParam = 0, qintptr lParam = 0);
