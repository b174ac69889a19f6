#include "common/ZorvMathUnit.h"
#include "common/ZorvStr.h"
#include "support/TestRegistry.h"

#include <QTest>
#include <cmath>
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
        QTest::newRow("emoji counts once")
            << QStringLiteral("a\U0001F600b") << 5 << QStringLiteral("..a\U0001F600b")
            << QStringLiteral(".a\U0001F600b.") << QStringLiteral("a\U0001F600b..");
        QTest::newRow("cut after an emoji")
            << QStringLiteral("\U0001F600\U0001F601xyz") << 2 << QStringLiteral("\U0001F600\U0001F601")
            << QStringLiteral("\U0001F600\U0001F601") << QStringLiteral("\U0001F600\U0001F601");
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
        // Many decimals: the double's exact binary value, rounded there.
        const QString zeros31 = "0." + QString(31, QLatin1Char('0'));
        QTest::newRow("one at 31 decimals") << 1.0 << zeros31 << "1." + QString(31, QLatin1Char('0'));
        QTest::newRow("2.5 at 31 decimals") << 2.5 << zeros31 << "2.5" + QString(30, QLatin1Char('0'));
        QTest::newRow("1e20 at 31 decimals")
            << 1e20 << zeros31 << "100000000000000000000." + QString(31, QLatin1Char('0'));
        QTest::newRow("0.1 as stored, at 31 decimals")
            << 0.1 << "0." + QString(31, QLatin1Char('#')) << "0.1000000000000000055511151231258";
        QTest::newRow("-2^-60 at 20 decimals")
            << -std::ldexp(1.0, -60) << "0." + QString(20, QLatin1Char('0')) << "-0.00000000000000000087";
    }
    void formatNumber() {
        QFETCH(double, value);
        QFETCH(QString, picture);
        QTEST(FormatNumber(picture, value), "text");
    }

    // Any finite value is written, however large; only NaN and infinities raise.
    void formatNumberAnyFiniteValue_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("text");
        QTest::newRow("float sum of 9.2e12 at six decimals") << 9.2e12 << "0.00####"
                                                             << "9200000000000.00";
        QTest::newRow("1e15 at six decimals") << 1e15 << "### ### ##0.00####"
                                              << "1000000000 000 000.00";
        QTest::newRow("1.8e19") << 1.8e19 << "### ### ##0"
                                << "18000000000000 000 000";
        QTest::newRow("scaled past 2^63") << 1e17 << "0.00"
                                          << "100000000000000000.00";
        QTest::newRow("near the old limit") << 9.2e18 << "0"
                                            << "9200000000000000000";
        QTest::newRow("negative near the old limit") << -9.2e17 << "0.0"
                                                     << "-920000000000000000.0";
    }
    void formatNumberAnyFiniteValue() {
        QFETCH(double, value);
        QFETCH(QString, picture);
        QTEST(FormatNumber(picture, value), "text");
    }

    void formatNumberHugeValueKeepsEveryDigit() {
        const QString text = FormatNumber(QStringLiteral("### ### ##0"), -9.9e300L);
        // The picture groups its own nine places; the other digits come before.
        QCOMPARE(text.count(QLatin1Char(' ')), 2);
        const QString digits = QString(text).remove(QLatin1Char(' '));
        QCOMPARE(digits.size(), 302); // the sign and 301 digits
        QCOMPARE(digits.toDouble(), -9.9e300);
    }

    void formatNumberRefusesNoNumber_data() {
        QTest::addColumn<double>("value");
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity();
    }
    void formatNumberRefusesNoNumber() {
        QFETCH(double, value);
        const QString picture = QStringLiteral("0.00");
        try {
            const QString text = FormatNumber(picture, value);
            QFAIL(qPrintable("formatted as " + text));
        } catch (const EConvertError& error) {
            QVERIFY(error.Message().contains(picture));
        }
    }

    // Exact sums are written digit for digit, with the same rounding rule.
    void formatNumberOfDecimal_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("text");
        QTest::newRow("2^53 + 1") << "9007199254740993"
                                  << "### ### ##0"
                                  << "9007199254 740 993";
        QTest::newRow("money to the cent") << "370962.79"
                                           << "0.00"
                                           << "370962.79";
        QTest::newRow("ten million cents") << "123456789012345.67"
                                           << "### ### ##0.00##"
                                           << "123456789 012 345.67";
        QTest::newRow("half rounds up") << "2.675"
                                        << "0.00"
                                        << "2.68";
        QTest::newRow("0.499999 already rounds up") << "0.4999995"
                                                    << "0"
                                                    << "1";
        QTest::newRow("just below stays") << "0.4999989"
                                          << "0"
                                          << "0";
        QTest::newRow("negative half away from zero") << "-2.5"
                                                      << "0"
                                                      << "-3";
        QTest::newRow("negative rounding to zero has no sign") << "-0.001"
                                                               << "0.00"
                                                               << "0.00";
        QTest::newRow("optional decimals dropped") << "12.5"
                                                   << "0.0###"
                                                   << "12.5";
        QTest::newRow("zero padding") << "5"
                                      << "00,000"
                                      << "00,005";
        QTest::newRow("past 38 digits") << "123456789012345678901234567890123456789012"
                                        << "0"
                                        << "123456789012345678901234567890123456789012";
    }
    void formatNumberOfDecimal() {
        QFETCH(QString, value);
        QFETCH(QString, picture);
        QTEST(FormatNumber(picture, *TDecimal::FromText(QStringView(value))), "text");
    }
};

TAMSEL_TEST(TextHelpersTest);
#include "TextHelpersTest.moc"
