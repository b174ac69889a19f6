#include "PlatformDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <utility>

namespace {

TSaveFileResponder& SaveFileResponder() {
    static TSaveFileResponder responder;
    return responder;
}

TFolderResponder& FolderResponder() {
    static TFolderResponder responder;
    return responder;
}

TPlainMessageResponder& PlainMessageResponder() {
    static TPlainMessageResponder responder;
    return responder;
}

} // namespace

std::optional<QString> PromptSaveFile(const QString& title, const QString& filter,
                                      const QString& proposedName, const QString& initialFolder) {
    if (const auto& responder = SaveFileResponder())
        return responder(title, filter, proposedName, initialFolder);
    // The caller asks about overwriting and adds the extension itself.
    QFileDialog dialog(QApplication::activeWindow(), title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(filter);
    const QStringList filters = filter.split(QStringLiteral(";;"));
    dialog.selectNameFilter(filters.value(0));
    if (!initialFolder.isEmpty()) dialog.setDirectory(initialFolder);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

TSaveFileResponder SetSaveFileResponder(TSaveFileResponder responder) {
    return std::exchange(SaveFileResponder(), std::move(responder));
}

std::optional<QString> PromptFolder(const QString& initialFolder) {
    if (const auto& responder = FolderResponder()) return responder(initialFolder);
    const QString folder =
        QFileDialog::getExistingDirectory(QApplication::activeWindow(), QString(), initialFolder,
                                          QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

TFolderResponder SetFolderResponder(TFolderResponder responder) {
    return std::exchange(FolderResponder(), std::move(responder));
}

void PlainMessageBox(const QString& text, const QString& caption) {
    if (const auto& responder = PlainMessageResponder()) return responder(text, caption);
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

TPlainMessageResponder SetPlainMessageResponder(TPlainMessageResponder responder) {
    return std::exchange(PlainMessageResponder(), std::move(responder));
}
