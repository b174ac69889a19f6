#include "ZorvUtilUnit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

qint16 QuietLevel = 0;
QString LastUserDir;

namespace {

const int MaxMsgLength = 640;

struct TButtonSpec {
    QMessageBox::StandardButton Button;
    int Id;
};

QList<TButtonSpec> ButtonSet(int flags) {
    using B = QMessageBox;
    switch (flags & 0xF) {
    case MB_OKCANCEL:
        return {{B::Ok, IDOK}, {B::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{B::Abort, IDABORT}, {B::Retry, IDRETRY}, {B::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{B::Yes, IDYES}, {B::No, IDNO}, {B::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{B::Yes, IDYES}, {B::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{B::Retry, IDRETRY}, {B::Cancel, IDCANCEL}};
    default:
        return {{B::Ok, IDOK}};
    }
}

QMessageBox::Icon IconOf(int flags) {
    switch (flags & 0xF0) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The Windows box answers Escape and its close box with Cancel where it has
// one, and with OK when OK is its only button; Yes/No and Abort/Retry/Ignore
// boxes cannot be escaped.
int EscapeId(int flags) {
    switch (flags & 0xF) {
    case MB_OK:
        return IDOK;
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL:
        return IDCANCEL;
    default:
        return 0;
    }
}

// QMessageBox would let Escape and the close box pick No or Abort; a box
// that Windows cannot escape keeps both from reaching it.
class TNoEscape : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel))
            return true;
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

int QMessageBoxPresenter(const QString& text, const QString& caption, int flags) {
    QMessageBox box(IconOf(flags), caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    // Messages carry server texts such as "<" comparisons: never rich text.
    box.setTextFormat(Qt::PlainText);
    const auto buttons = ButtonSet(flags);
    QList<QAbstractButton*> made;
    for (const auto& spec : buttons)
        made << box.addButton(spec.Button);
    int defaultIndex = (flags >> 8) & 0xF;
    if (defaultIndex >= made.size()) defaultIndex = 0;
    box.setDefaultButton(qobject_cast<QPushButton*>(made[defaultIndex]));
    const int escapeId = EscapeId(flags);
    for (int i = 0; i < buttons.size(); ++i)
        if (buttons[i].Id == escapeId) box.setEscapeButton(made[i]);
    TNoEscape noEscape;
    if (!escapeId) box.installEventFilter(&noEscape);
    box.exec();
    const int index = made.indexOf(box.clickedButton());
    if (index >= 0) return buttons[index].Id;
    return escapeId ? escapeId : buttons[defaultIndex].Id;
}

TMsgPresenter& Presenter() {
    static TMsgPresenter presenter;
    return presenter;
}

QSettings OpenSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Halvern"),
                     QStringLiteral("Drovik"));
}

// Folder texts carry no trailing "/" except the root folder itself.
QString NormalFolder(QString folder) {
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

} // namespace

int QuietAnswer(int flags) {
    const int set = flags & 0xF;
    if (set == MB_OKCANCEL) return flags < 256 ? IDOK : IDCANCEL;
    if (set == MB_YESNOCANCEL) return flags < 256 ? IDYES : (flags & MB_DEFBUTTON2) ? IDNO : IDCANCEL;
    if (set == MB_YESNO) return flags < 256 ? IDYES : IDNO;
    return IDOK;
}

int ShowMsg(const QString& text, const QString& caption, int flags) {
    if (QuietLevel > 0) return QuietAnswer(flags);
    const QString shown = text.left(MaxMsgLength);
    if (const auto& presenter = Presenter()) return presenter(shown, caption, flags);
    return QMessageBoxPresenter(shown, caption, flags);
}

TMsgPresenter SetMsgPresenter(TMsgPresenter presenter) {
    return std::exchange(Presenter(), std::move(presenter));
}

QString ReadSetting(const QString& name) {
    QSettings settings = OpenSettings();
    const QVariant value = settings.value(name);
    if (settings.status() != QSettings::NoError) return {};
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void WriteSetting(const QString& name, const QString& value) {
    QSettings settings = OpenSettings();
    settings.setValue(name, value);
    settings.sync();
}

void LoadLastUserDir() {
    const QString stored = ReadSetting(QStringLiteral("LastUserDir"));
    LastUserDir = NormalFolder(stored);
}

void SaveLastUserDir() {
    WriteSetting(QStringLiteral("LastUserDir"), NormalFolder(LastUserDir));
}
