#include "connect/LoginDialog.h"

#include "TestDataSources.h"
#include "support/TestRegistry.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

// The login dialog as the engine's login callback runs it.
class LoginDialogTest : public QObject {
    Q_OBJECT
private slots:
    void login_data() {
        QTest::addColumn<QString>("prefilled");
        QTest::addColumn<QString>("typedUser");
        QTest::addColumn<QString>("typedPassword");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        const QString long40 = QString(40, QLatin1Char('u'));
        QTest::newRow("prefilled, password typed") << "dba"
                                                   << ""
                                                   << "sql" << int(Qt::Key_Return) << true << "dba"
                                                   << "sql";
        QTest::newRow("empty, both typed") << ""
                                           << "guest"
                                           << "pw" << int(Qt::Key_Return) << true << "guest"
                                           << "pw";
        QTest::newRow("cut to 31") << "" << long40 << long40 << int(Qt::Key_Return) << true << long40.left(31)
                                   << long40.left(31);
        QTest::newRow("Escape") << "dba"
                                << ""
                                << "sql" << int(Qt::Key_Escape) << false << "dba"
                                << "";
    }
    void login() {
        QFETCH(QString, prefilled);
        QFETCH(QString, typedUser);
        QFETCH(QString, typedPassword);
        QFETCH(int, key);
        QFETCH(bool, accepted);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QString focusedName;
        QString databaseShown;
        TModalDriver driver;
        driver.Then([&](QWidget* modal) {
            auto* dialog = qobject_cast<TLoginDialog*>(modal);
            QVERIFY(dialog);
            databaseShown = dialog->DatabaseName->text();
            QTRY_VERIFY(QApplication::focusWidget());
            focusedName = QApplication::focusWidget()->objectName();
            QTest::keyClicks(QApplication::focusWidget(), prefilled.isEmpty() ? typedUser : typedPassword);
            if (prefilled.isEmpty()) QTest::keyClicks(dialog->Password, typedPassword);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        });
        QString userName = prefilled;
        QString passwordGot;
        QCOMPARE(LoginDialogLogin(QStringLiteral("TamselDemo"), userName, passwordGot), accepted);
        QCOMPARE(databaseShown, QStringLiteral("TamselDemo"));
        QCOMPARE(focusedName, prefilled.isEmpty() ? QStringLiteral("UserName") : QStringLiteral("Password"));
        if (accepted) {
            QCOMPARE(userName, user);
            QCOMPARE(passwordGot, password);
        }
    }

    void controls() {
        TLoginDialog dialog(QStringLiteral("db"), QStringLiteral("dba"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Database Login"));
        QCOMPARE(dialog.size(), QSize(273, 147));
        QCOMPARE(dialog.Label3->text(), QStringLiteral("Database:"));
        QCOMPARE(dialog.Label1->text(), QStringLiteral("&User Name:"));
        QCOMPARE(dialog.Label1->buddy(), dialog.UserName);
        QCOMPARE(dialog.Label2->text(), QStringLiteral("&Password:"));
        QCOMPARE(dialog.Label2->buddy(), dialog.Password);
        QCOMPARE(dialog.Password->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.Password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                     dialog.Password),
                 int('*'));
        QCOMPARE(dialog.OKButton->text(), QStringLiteral("&OK"));
        QVERIFY(dialog.OKButton->isDefault());
        QCOMPARE(dialog.CancelButton->text(), QStringLiteral("Cancel"));
    }
};

TAMSEL_TEST(LoginDialogTest);
#include "LoginDialogTest.moc"
