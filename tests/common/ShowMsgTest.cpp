#include "support/ScriptedMsgBox.h"
#include "support/TestRegistry.h"

#include "common/ZorvUtilUnit.h"

#include <QTest>

class ShowMsgTest : public QObject {
    Q_OBJECT
private slots:
    void quietDefaults_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("answer");
        QTest::newRow("16 OK stop") << 16 << IDOK;
        QTest::newRow("33 OK/Cancel") << 33 << IDOK;
        QTest::newRow("305 OK/Cancel second default") << 305 << IDCANCEL;
        QTest::newRow("36 Yes/No") << 36 << IDYES;
        QTest::newRow("308 Yes/No second default") << 308 << IDNO;
        QTest::newRow("3 Yes/No/Cancel") << 3 << IDYES;
        QTest::newRow("259 Yes/No/Cancel second default") << 259 << IDNO;
        QTest::newRow("515 Yes/No/Cancel third default") << 515 << IDCANCEL;
        QTest::newRow("2 Abort/Retry/Ignore") << 2 << IDOK;
        QTest::newRow("5 Retry/Cancel") << 5 << IDOK;
        QTest::newRow("261 Retry/Cancel second default") << 261 << IDOK;
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
};

TAMSEL_TEST(ShowMsgTest);
#include "ShowMsgTest.moc"
