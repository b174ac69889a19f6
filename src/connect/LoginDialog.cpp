#include "LoginDialog.h"

#include "engine/Session.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>

namespace {

const int MaxLoginLength = 31;

// Shows every password character as "*" whatever the platform style uses.
class TStarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QFrame* MakePanel(QWidget* parent, const QRect& geometry) {
    auto* panel = new QFrame(parent);
    panel->setGeometry(geometry);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return panel;
}

} // namespace

TLoginDialog::TLoginDialog(const QString& databaseName, const QString& userName, QWidget* parent)
    : QDialog(parent ? parent : QApplication::activeWindow()) {
    setWindowTitle(QStringLiteral("Database Login"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint);
    setFixedSize(273, 147);

    QFrame* outer = MakePanel(this, QRect(8, 7, 257, 98));
    outer->setFrameStyle(QFrame::Panel | QFrame::Raised);
    QFrame* databasePanel = MakePanel(outer, QRect(8, 6, 241, 24));
    Label3 = new QLabel(QStringLiteral("Database:"), databasePanel);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->move(10, 6);
    Label3->adjustSize();
    DatabaseName = new QLabel(databaseName, databasePanel);
    DatabaseName->setObjectName(QStringLiteral("DatabaseName"));
    // Cut to the panel's width.
    DatabaseName->setGeometry(91, 6, databasePanel->width() - 91 - 2, Label3->height());

    QFrame* editPanel = MakePanel(outer, QRect(8, 34, 241, 60));
    Label1 = new QLabel(QStringLiteral("&User Name:"), editPanel);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(10, 8);
    Label1->adjustSize();
    UserName = new QLineEdit(userName, editPanel);
    UserName->setObjectName(QStringLiteral("UserName"));
    UserName->setMaxLength(MaxLoginLength);
    UserName->setGeometry(86, 5, 153, 21);
    Label1->setBuddy(UserName);
    Label2 = new QLabel(QStringLiteral("&Password:"), editPanel);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(10, 36);
    Label2->adjustSize();
    Password = new QLineEdit(editPanel);
    Password->setObjectName(QStringLiteral("Password"));
    Password->setMaxLength(MaxLoginLength);
    Password->setEchoMode(QLineEdit::Password);
    auto* starStyle = new TStarPasswordStyle;
    starStyle->setParent(Password);
    Password->setStyle(starStyle);
    Password->setGeometry(86, 33, 153, 21);
    Label2->setBuddy(Password);

    OKButton = new QPushButton(QStringLiteral("&OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(109, 114, 75, 25);
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(190, 114, 75, 25);
    CancelButton->setAutoDefault(false);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TLoginDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    (UserName->text().isEmpty() ? UserName : Password)->setFocus();
}

bool LoginDialogLogin(const QString& databaseName, QString& userName, QString& password) {
    TLoginDialog dialog(databaseName, userName);
    if (dialog.exec() != QDialog::Accepted) return false;
    userName = dialog.UserName->text();
    password = dialog.Password->text();
    return true;
}

void InstallLoginDialog() {
    Session().SetLoginCallback(&LoginDialogLogin);
}
