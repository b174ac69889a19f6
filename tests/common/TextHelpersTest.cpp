#include "common/ZorvMathUnit.h"
#include "common/ZorvStr.h"
#include "support/TestRegistry.h"

#include <QTest>
#include <limits>

class TextHelpersTest : public QObject {
    Q_OBJECT
private slots:
    void pad_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("center");
        QTest::addColumn<QString>("right");
        QTest::newRow("two letters to 5") << "ab" << 5 << "...ab"
                                          << ".ab.."
                                          << "ab...";
        QTest::newRow("even leftover") << "ab" << 6 << "....ab"
                                       << "..ab.."
                                       << "ab....";
        QTest::newRow("six letters to 4 keeps the first four") << "abcdef" << 4 << "abcd"
                                                               << "abcd"
                                                               << "abcd";
        QTest::newRow("width 0 empties") << "abc" << 0 << ""
                                         << ""
                                         << "";
        // A character outside the basic plane is one character wide and is
        // never cut in half.
        QTest::newRow("emoji counts once") << QStringLiteral("a\U0001F600b") << 5 << QStringLiteral("..a\U0001F600b")
                                           << QStringLiteral(".a\U0001F600b.") << QStringLiteral("a\U0001F600b..");
        QTest::newRow("cut after an emoji") << QStringLiteral("\U0001F600\U0001F601xyz") << 2
                                            << QStringLiteral("\U0001F600\U0001F601") << QStringLiteral("\U0001F600\U0001F601")
                                            << QStringLiteral("\U0001F600\U0001F601");
        QTest::newRow("empty text") << "" << 3 << "..."
                                    << "..."
                                    << "...";
    }
    void pad() {
        QFETCH(QString, text);
        QFETCH(int, width);
        QString left = text, center = text, right = text;
        PadLeft(left, width, QLatin1Char('.'));
        PadCenter(center, width, QLatin1Char('.'));
        PadRight(right, width, QLatin1Char('.'));
        QTEST(left, "left");
        QTEST(center, "center");
        QTEST(right, "right");
    }

    void replaceChar() {
        QString text = QStringLiteral("a;b;;в;");
        ReplaceChar(text, QLatin1Char(';'), QChar(0x0416));
        QCOMPARE(text, QStringLiteral("aЖbЖЖвЖ"));
    }

    void stripPunctuation_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stripped");
        QTest::newRow("every removed range")
            << QStringLiteral(" !\"#$%&'()*+,-./:;<=>?[\\]^{|}~") << QString();
        QTest::newRow("kept neighbours of the ranges")
            << QStringLiteral("09@AZ_`az\x7f\t") << QStringLiteral("09@AZ_`az\x7f\t");
        QTest::newRow("cyrillic and above 126 stay")
            << QStringLiteral("Цена: 1 234,50 лв.№") << QStringLiteral("Цена123450лв№");
    }
    void stripPunctuation() {
        QFETCH(QString, text);
        QTEST(StripPunctuation(text), "stripped");
    }

    void textToNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("number");
        QTest::newRow("1.234,56") << "1.234,56" << 1234.56;
        QTest::newRow("1,234.56") << "1,234.56" << 1234.56;
        QTest::newRow("1,234") << "1,234" << 1.234;
        QTest::newRow("-1 234,5") << "-1 234,5" << -1234.5;
        QTest::newRow("(12)") << "(12)" << 12.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("lone minus") << "-" << 0.0;
        QTest::newRow("exponent") << "1.5e3" << 1500.0;
        QTest::newRow("negative exponent keeps the first minus only") << "2e-2" << 0.02;
        QTest::newRow("only the first minus counts") << "-5-" << -5.0;
        QTest::newRow("leading mark") << ",5" << 0.5;
    }
    void textToNumber() {
        QFETCH(QString, text);
        QFETCH(double, number);
        QCOMPARE(double(TextToNumber(text)), number);
    }

    void textToNumberFails_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("12-") << "12-"
                             << "'12-' is not a valid floating point value";
        QTest::newRow("letters") << "abc"
                                 << "'abc' is not a valid floating point value";
        QTest::newRow("cyrillic") << "5 лв"
                                  << "'5лв' is not a valid floating point value";
        QTest::newRow("exponent without digits") << "1e"
                                                 << "'1e' is not a valid floating point value";
        QTest::newRow("out of range") << "1e99999"
                                      << "'1e99999' is not a valid floating point value";
    }
    void textToNumberFails() {
        QFETCH(QString, text);
        QFETCH(QString, message);
        try {
            TextToNumber(text);
            QFAIL("no conversion error");
        } catch (const EConvertError& error) {
            QCOMPARE(error.Message(), message);
        }
    }

    void formatNumber_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("text");
        QTest::newRow("grouped integer") << 1234567.0 << "### ### ##0"
                                         << "1 234 567";
        QTest::newRow("optional decimals dropped") << 0.5 << "0.00####"
                                                   << "0.50";
        QTest::newRow("negative grouped") << -1234.5 << "### ### ##0.00##"
                                          << "-1 234.50";
        QTest::newRow("half rounds up") << 2.675 << "0.00"
                                        << "2.68";
        QTest::newRow("zero padding") << 5.0 << "00,000"
                                      << "00,005";
        QTest::newRow("hash padding vanishes") << 5.0 << "##,##0"
                                               << "5";
        QTest::newRow("empty picture") << 3.7 << ""
                                       << "4";
        QTest::newRow("float picture") << 1234567.5 << "### ### ##0.00####"
                                       << "1 234 567.50";
        QTest::newRow("four decimals") << 0.12345 << "### ### ##0.00##"
                                       << "0.1235";
        QTest::newRow("negative half away from zero") << -2.5 << "0"
                                                      << "-3";
        QTest::newRow("negative rounding to zero has no sign") << -0.001 << "0.00"
                                                               << "0.00";
        QTest::newRow("separator not left dangling") << 123.0 << "### ### ##0"
                                                     << "123";
        QTest::newRow("more digits than picture") << 123456.0 << "#0"
                                                  << "123456";
        QTest::newRow("all decimals optional") << 12.0 << "0.##"
                                               << "12";
        QTest::newRow("zero with hash picture") << 0.0 << "### ##0"
                                                << "0";
        QTest::newRow("fraction picture cut to 31") << 0.0 << "0." + QString(31, QLatin1Char('#')) + "00"
                                                    << "0";
    }
    void formatNumber() {
        QFETCH(double, value);
        QFETCH(QString, picture);
        QTEST(FormatNumber(picture, value), "text");
    }

    void formatNumberOutOfRange_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("picture");
        QTest::newRow("huge") << 1e300 << "0";
        QTest::newRow("scaled past 2^63") << 1e17 << "0.00";
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "0";
    }
    void formatNumberOutOfRange() {
        QFETCH(double, value);
        QFETCH(QString, picture);
        try {
            const QString text = FormatNumber(picture, value);
            QFAIL(qPrintable("formatted as " + text));
        } catch (const EConvertError& error) {
            QVERIFY(error.Message().contains(picture));
        }
    }

    void formatNumberNearLimit() {
        QCOMPARE(FormatNumber(QStringLiteral("0"), 9.2e18L), QStringLiteral("9200000000000000000"));
        QCOMPARE(FormatNumber(QStringLiteral("0.0"), -9.2e17L), QStringLiteral("-920000000000000000.0"));
    }
};

TAMSEL_TEST(TextHelpersTest);
#include "TextHelpersTest.moc"
