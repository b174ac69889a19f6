#include "common/ZorvUtilUnit.h"
#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

// What the real box looked like, and how the test dealt with it.
struct TSeenBox {
    QMessageBox::StandardButtons Buttons;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButton Default = QMessageBox::NoButton;
    Qt::TextFormat Format = Qt::AutoText;
    QString Text;
    QString Caption;
    bool StayedOpen = false;
};

// Shows a real QMessageBox through ShowMsg; when it is up, leave (Escape or
// the close box) is tried first, and a box that stays open is answered
// with Enter (its default button).
int ShowRealBox(const QString& text, int flags, bool byCloseBox, TSeenBox& seen) {
    const TMsgPresenter scripted = SetMsgPresenter({});
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&seen, poll, byCloseBox] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        seen.Buttons = box->standardButtons();
        seen.Icon = box->icon();
        seen.Default = box->standardButton(box->defaultButton());
        seen.Format = box->textFormat();
        seen.Text = box->text();
        seen.Caption = box->windowTitle();
        QWidget* keys = box->focusWidget() ? box->focusWidget() : box;
        if (byCloseBox)
            box->close();
        else
            QTest::keyClick(keys, Qt::Key_Escape);
        seen.StayedOpen = box->isVisible();
        if (seen.StayedOpen) QTest::keyClick(box, Qt::Key_Return);
    });
    poll->start(5);
    const int answer = ShowMsg(text, QStringLiteral("Потвърждение"), flags);
    SetMsgPresenter(scripted);
    return answer;
}

} // namespace

class ShowMsgTest : public QObject {
    Q_OBJECT
private slots:
    void quietDefaults_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("answer");
        QTest::newRow("16 OK stop") << 16 << int(IDOK);
        QTest::newRow("33 OK/Cancel") << 33 << int(IDOK);
        QTest::newRow("305 OK/Cancel second default") << 305 << int(IDCANCEL);
        QTest::newRow("36 Yes/No") << 36 << int(IDYES);
        QTest::newRow("308 Yes/No second default") << 308 << int(IDNO);
        QTest::newRow("3 Yes/No/Cancel") << 3 << int(IDYES);
        QTest::newRow("259 Yes/No/Cancel second default") << 259 << int(IDNO);
        QTest::newRow("515 Yes/No/Cancel third default") << 515 << int(IDCANCEL);
        QTest::newRow("2 Abort/Retry/Ignore") << 2 << int(IDOK);
        QTest::newRow("5 Retry/Cancel") << 5 << int(IDOK);
        QTest::newRow("261 Retry/Cancel second default") << 261 << int(IDOK);
    }
    void quietDefaults() {
        QFETCH(int, flags);
        QFETCH(int, answer);
        ScriptedMsgBox boxes;
        boxes.Answer(IDRETRY);
        ++QuietLevel;
        const int got = ShowMsg(QStringLiteral("hidden"), QStringLiteral("c"), flags);
        --QuietLevel;
        QCOMPARE(got, answer);
        QCOMPARE(boxes.Count(), 0);
    }
    void longTextIsCut() {
        ScriptedMsgBox boxes;
        boxes.Answer(IDNO);
        const QString text = QString(700, QChar(0x0416));
        QCOMPARE(ShowMsg(text, QStringLiteral("Внимание"), 308), IDNO);
        QCOMPARE(boxes.Last().Text, text.left(640));
        QCOMPARE(boxes.Last().Caption, QStringLiteral("Внимание"));
        QCOMPARE(boxes.Last().Flags, 308);
    }

    // The flags on a real box: buttons, icon, default button, and what
    // Escape and the close box answer (0: the box cannot be left that way).
    void realBox_data() {
        using B = QMessageBox;
        QTest::addColumn<int>("flags");
        QTest::addColumn<B::StandardButtons>("buttons");
        QTest::addColumn<B::Icon>("icon");
        QTest::addColumn<B::StandardButton>("defaultButton");
        QTest::addColumn<int>("defaultId");
        QTest::addColumn<int>("leaveId");
        QTest::newRow("0 OK") << 0 << B::StandardButtons(B::Ok) << B::NoIcon << B::Ok << int(IDOK)
                              << int(IDOK);
        QTest::newRow("16 OK stop") << 16 << B::StandardButtons(B::Ok) << B::Critical << B::Ok << int(IDOK)
                                    << int(IDOK);
        QTest::newRow("33 OK/Cancel question")
            << 33 << (B::Ok | B::Cancel) << B::Question << B::Ok << int(IDOK) << int(IDCANCEL);
        QTest::newRow("305 second default")
            << 305 << (B::Ok | B::Cancel) << B::Warning << B::Cancel << int(IDCANCEL) << int(IDCANCEL);
        QTest::newRow("2 Abort/Retry/Ignore")
            << 2 << (B::Abort | B::Retry | B::Ignore) << B::NoIcon << B::Abort << int(IDABORT) << 0;
        QTest::newRow("562 third default")
            << 562 << (B::Abort | B::Retry | B::Ignore) << B::Warning << B::Ignore << int(IDIGNORE) << 0;
        QTest::newRow("67 Yes/No/Cancel information")
            << 67 << (B::Yes | B::No | B::Cancel) << B::Information << B::Yes << int(IDYES) << int(IDCANCEL);
        QTest::newRow("36 Yes/No") << 36 << (B::Yes | B::No) << B::Question << B::Yes << int(IDYES) << 0;
        QTest::newRow("308 Yes/No second default")
            << 308 << (B::Yes | B::No) << B::Warning << B::No << int(IDNO) << 0;
        QTest::newRow("5 Retry/Cancel")
            << 5 << (B::Retry | B::Cancel) << B::NoIcon << B::Retry << int(IDRETRY) << int(IDCANCEL);
        QTest::newRow("516 third default of two")
            << 516 << (B::Yes | B::No) << B::NoIcon << B::Yes << int(IDYES) << 0;
    }
    void realBox() {
        using B = QMessageBox;
        QFETCH(int, flags);
        QFETCH(B::StandardButtons, buttons);
        QFETCH(B::Icon, icon);
        QFETCH(B::StandardButton, defaultButton);
        QFETCH(int, defaultId);
        QFETCH(int, leaveId);
        for (const bool byCloseBox : {false, true}) {
            TSeenBox seen;
            const int answer = ShowRealBox(QStringLiteral("Изход от програмата?"), flags, byCloseBox, seen);
            QCOMPARE(seen.Buttons, buttons);
            QCOMPARE(seen.Icon, icon);
            QCOMPARE(seen.Default, defaultButton);
            QCOMPARE(seen.Caption, QStringLiteral("Потвърждение"));
            QCOMPARE(seen.StayedOpen, leaveId == 0);
            QCOMPARE(answer, leaveId ? leaveId : defaultId);
        }
    }

    // Server messages are shown as they are, never as markup.
    void realBoxShowsPlainText() {
        TSeenBox seen;
        const QString text = QStringLiteral("<b>Syntax error</b> near '<' & \"a<b\"");
        QCOMPARE(ShowRealBox(text, MB_ICONSTOP, false, seen), IDOK);
        QCOMPARE(seen.Format, Qt::PlainText);
        QCOMPARE(seen.Text, text);
    }
};

TAMSEL_TEST(ShowMsgTest);
#include "ShowMsgTest.moc"
