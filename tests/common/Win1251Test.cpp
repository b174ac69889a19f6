#include "engine/Win1251.h"

#include "support/TestRegistry.h"

#include <QTest>

class Win1251Test : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QStringLiteral("Table: ORDERS\t1.5\r\n")
                               << QByteArray("Table: ORDERS\t1.5\r\n");
        QTest::newRow("bulgarian")
            << QStringLiteral("Изход от програмата?")
            << QByteArray("\xc8\xe7\xf5\xee\xe4 \xee\xf2 \xef\xf0\xee\xe3\xf0\xe0\xec\xe0\xf2\xe0?");
        QTest::newRow("alphabet ends") << QStringLiteral("АЯаяЁё") << QByteArray("\xc0\xdf\xe0\xff\xa8\xb8");
        QTest::newRow("punctuation of the upper half")
            << QStringLiteral("„“”–—№€…«»\u00a0")
            << QByteArray("\x84\x93\x94\x96\x97\xb9\x88\x85\xab\xbb\xa0");
        QTest::newRow("other cyrillic")
            << QStringLiteral("ЂЉЊЌЋЏђљњќћџЎўЈҐґІіЄєЇїЅѕј")
            << QByteArray("\x80\x8a\x8c\x8d\x8e\x8f\x90\x9a\x9c\x9d\x9e\x9f\xa1\xa2\xa3"
                          "\xa5\xb4\xb2\xb3\xaa\xba\xaf\xbf\xbd\xbe\xbc");
    }
    void roundTrip() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(ToWin1251(text), bytes);
        QCOMPARE(FromWin1251(bytes), text);
    }

    void everyByteSurvives() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        const QString text = FromWin1251(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(ToWin1251(text), all);
    }

    void unmappable_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("latin accents") << QStringLiteral("café Müller") << QByteArray("caf? M?ller");
        QTest::newRow("greek and cjk") << QStringLiteral("αβ中") << QByteArray("???");
        QTest::newRow("emoji is one character") << QStringLiteral("a\U0001F600b") << QByteArray("a?b");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + QLatin1Char('x') << QByteArray("?x");
        QTest::newRow("mixed with cyrillic") << QStringLiteral("Ж×Ж") << QByteArray("\xc6?\xc6");
    }
    void unmappable() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(ToWin1251(text), bytes);
    }

    void codePage_data() {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QByteArray>("converted");
        // Input: А (0xC0), п (0xEF), р (0xF0), я (0xFF), Ё, ё, 0xBF, "A".
        QTest::newRow("0 unchanged") << 0
                                     << QByteArray("\xc0\xef\xf0\xff\xa8\xb8\xbf"
                                                   "A");
        QTest::newRow("1 letters packed") << 1
                                          << QByteArray("\x80\xaf\xb0\xbf\xa8\xb8\xbf"
                                                        "A");
        QTest::newRow("2 code page 866") << 2
                                         << QByteArray("\x80\xaf\xe0\xef\xa8\xb8\xbf"
                                                       "A");
        QTest::newRow("other values as 1") << 7
                                           << QByteArray("\x80\xaf\xb0\xbf\xa8\xb8\xbf"
                                                         "A");
    }
    void codePage() {
        QFETCH(int, codePage);
        QByteArray bytes("\xc0\xef\xf0\xff\xa8\xb8\xbf"
                         "A");
        ConvertCodePage(bytes, quint8(codePage));
        QTEST(bytes, "converted");
    }
};

TAMSEL_TEST(Win1251Test);
#include "Win1251Test.moc"
