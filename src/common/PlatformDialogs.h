#pragma once

// The platform dialogs other than ShowMsg's box: the save-file dialog, the
// folder picker and the toolkit's plain message box. The real ones are Qt
// dialogs; tests install responders that record what was asked and answer
// from a script. Each Set... returns the previous responder; an empty one
// restores the real dialog.

#include <QString>
#include <functional>
#include <optional>

// filter is in Qt's form ("Text files (*.txt);;All files (*.*)"); its first
// entry is selected. Returns the chosen path, or nothing when cancelled.
std::optional<QString> PromptSaveFile(const QString& title, const QString& filter,
                                      const QString& proposedName, const QString& initialFolder);
using TSaveFileResponder = std::function<std::optional<QString>(
    const QString& title, const QString& filter, const QString& proposedName, const QString& initialFolder)>;
TSaveFileResponder SetSaveFileResponder(TSaveFileResponder responder);

// Returns the chosen folder, or nothing when cancelled.
std::optional<QString> PromptFolder(const QString& initialFolder);
using TFolderResponder = std::function<std::optional<QString>(const QString& initialFolder)>;
TFolderResponder SetFolderResponder(TFolderResponder responder);

// A plain box with an OK button, no icon.
void PlainMessageBox(const QString& text, const QString& caption);
using TPlainMessageResponder = std::function<void(const QString& text, const QString& caption)>;
TPlainMessageResponder SetPlainMessageResponder(TPlainMessageResponder responder);
