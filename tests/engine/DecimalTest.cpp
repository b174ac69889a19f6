#include "engine/FormatSettings.h"
#include "engine/FormatText.h"
#include "engine/NumberPictures.h"
#include "engine/TDecimal.h"
#include "engine/TField.h"
#include "support/TestRegistry.h"

#include <QTest>
#include <cmath>

Q_DECLARE_METATYPE(TFieldType)

namespace {

TDecimal Dec(const char* text) {
    const auto d = TDecimal::FromText(QByteArrayView(text));
    if (!d) qFatal("not a decimal: %s", text);
    return *d;
}

} // namespace

class DecimalTest : public QObject {
    Q_OBJECT

private slots:
    void readsServerTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("canonical"); // empty: refused
        QTest::newRow("whole") << "12345678901234567"
                               << "12345678901234567";
        QTest::newRow("past 64 bits") << "123456789012345678901234567890"
                                      << "123456789012345678901234567890";
        QTest::newRow("trailing zeros of a scale") << "14.20"
                                                   << "14.2";
        QTest::newRow("leading zeros") << "-000.010"
                                       << "-0.01";
        QTest::newRow("tiny") << "0.000005"
                              << "0.000005";
        QTest::newRow("point first") << ".5"
                                     << "0.5";
        QTest::newRow("point last") << "7."
                                    << "7";
        QTest::newRow("negative zero") << "-0.00"
                                       << "0";
        QTest::newRow("plus and blanks") << "  +3.25 "
                                         << "3.25";
        QTest::newRow("exponent of a REAL") << "5.0e-06"
                                            << "0.000005";
        QTest::newRow("positive exponent") << "1.5E+20"
                                           << "150000000000000000000";
        QTest::newRow("thirty-eight digits") << "1234567890123456789012345678.0123456789"
                                             << "1234567890123456789012345678.0123456789";
        QTest::newRow("far exponent") << "-1e-45"
                                      << "-0.000000000000000000000000000000000000000000001";
        QTest::newRow("NaN") << "NaN"
                             << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("lone point") << "."
                                    << "";
        QTest::newRow("grouping") << "1,234.5"
                                  << "";
        QTest::newRow("two signs") << "--1"
                                   << "";
        QTest::newRow("exponent without digits") << "1e"
                                                 << "";
        QTest::newRow("absurd exponent") << "1e999999999"
                                         << "";
        QTest::newRow("Cyrillic") << "12ш"
                                  << "";
    }
    void readsServerTexts() {
        QFETCH(QString, text);
        QFETCH(QString, canonical);
        const auto d = TDecimal::FromText(QStringView(text));
        QCOMPARE(d.has_value(), !canonical.isEmpty());
        if (d) QCOMPARE(d->ToString(), canonical);
        // A walk writes the same text from the value's exact number, under
        // either decimal separator.
        const QByteArray bytes = text.toLatin1();
        TExactNumber n;
        if (!ParseExactNumber(bytes.constData(), bytes.size(), n)) return;
        const QChar was = FormatSettings().DecimalSeparator;
        for (QChar separator : {QLatin1Char('.'), QLatin1Char(',')}) {
            FormatSettings().DecimalSeparator = separator;
            QString walked;
            AppendExactText(walked, n);
            FormatSettings().DecimalSeparator = was;
            QCOMPARE(walked, QString(canonical).replace(QLatin1Char('.'), separator));
        }
    }

    void exactNumbersOfARow_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("mantissa");
        QTest::addColumn<int>("scale");
        QTest::newRow("2^53 + 1") << "9007199254740993" << true << "9007199254740993" << 0;
        QTest::newRow("cents") << "-0.01" << true << "-1" << 2;
        QTest::newRow("scale kept for zeros inside") << "99999999.99" << true << "9999999999" << 2;
        QTest::newRow("zeros after the point do not count") << "0.000000000000000000001" << true << "1" << 21;
        QTest::newRow("exponent") << "1e20" << true << "1" << -20;
        QTest::newRow("eighteen digits") << "999999999999999999" << true << "999999999999999999" << 0;
        QTest::newRow("past 2^63") << "12345678901234567890" << true << "12345678901234567890" << 0;
        QTest::newRow("thirty-eight digits") << "-9999999999999999999999999999.9999999999" << true
                                             << "-99999999999999999999999999999999999999" << 10;
        QTest::newRow("thirty-nine digits") << "100000000000000000000000000000000000001" << false << "" << 0;
        QTest::newRow("text") << "abc" << false << "" << 0;
    }
    void exactNumbersOfARow() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        const QByteArray bytes = text.toLatin1();
        TExactNumber n;
        QCOMPARE(ParseExactNumber(bytes.constData(), bytes.size(), n), ok);
        if (!ok) return;
        QTEST(TDecimal::FromScaled(n.Mantissa, 0).ToString(), "mantissa");
        QTEST(n.Scale, "scale");
        QCOMPARE(TDecimal::FromExact(n), *TDecimal::FromText(QByteArrayView(bytes)));
    }

    void realsKeepTheirFifteenDigits_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("cents") << 14.2 << "14.2";
        QTest::newRow("tiny") << 0.000005 << "0.000005";
        QTest::newRow("money") << 99999999.99 << "99999999.99";
        QTest::newRow("negative") << -0.01 << "-0.01";
        QTest::newRow("huge") << 1e20 << "100000000000000000000";
        QTest::newRow("sum noise") << 0.1 + 0.2 << "0.3";
        QTest::newRow("zero") << 0.0 << "0";
    }
    void realsKeepTheirFifteenDigits() {
        QFETCH(double, value);
        QTEST(TDecimal::FromDouble(value).ToString(), "text");
        TExactNumber n;
        QVERIFY(ExactNumberFromDouble(value, n));
        QTEST(TDecimal::FromExact(n).ToString(), "text");
        QVERIFY(!ExactNumberFromDouble(std::nan(""), n));
    }

    void roundsItsMagnitude_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("threshold");
        QTest::addColumn<QString>("fixed");
        QTest::newRow("pads") << "14.2" << 2 << "5"
                              << "14.20";
        QTest::newRow("half away from zero") << "-2.675" << 2 << "5"
                                             << "2.68";
        QTest::newRow("carry through nines") << "99999999.995" << 2 << "5"
                                             << "100000000.00";
        QTest::newRow("below the half") << "0.0049" << 2 << "5"
                                        << "0.00";
        QTest::newRow("no decimals") << "12345678901234567.5" << 0 << "5"
                                     << "12345678901234568";
        QTest::newRow("picture threshold reached") << "0.4999991" << 0 << "499999"
                                                   << "1";
        QTest::newRow("picture threshold missed") << "0.4999989" << 0 << "499999"
                                                  << "0";
    }
    void roundsItsMagnitude() {
        QFETCH(QString, value);
        QFETCH(int, decimals);
        QFETCH(QString, threshold);
        const QByteArray t = threshold.toLatin1();
        QTEST(QString::fromLatin1(Dec(value.toLatin1().constData()).AbsFixed(decimals, QByteArrayView(t))),
              "fixed");
    }

    void travelsAsWholeNumberWhereItCan() {
        QCOMPARE(DecimalVariant(Dec("9007199254740993")).typeId(), int(QMetaType::LongLong));
        QCOMPARE(DecimalVariant(Dec("9007199254740993")).toLongLong(), 9007199254740993LL);
        QVERIFY(IsDecimal(DecimalVariant(Dec("92233720368547758070"))));
        QVERIFY(IsDecimal(DecimalVariant(Dec("0.5"))));
        TExactNumber big{1, -20, false};
        QCOMPARE(DecimalVariant(big).value<TDecimal>().ToString(), QStringLiteral("100000000000000000000"));
        TExactNumber hundred{1, -2, false};
        QCOMPARE(DecimalVariant(hundred), QVariant(qlonglong(100)));
        TExactNumber null{0, 0, true};
        QVERIFY(DecimalVariant(null).isNull());
        // A plain QVariant conversion still gives the digits.
        QCOMPARE(DecimalVariant(Dec("0.000005")).toString(), QStringLiteral("0.000005"));
        QCOMPARE(DecimalVariant(Dec("1.25")).toDouble(), 1.25);
        QVERIFY(DecimalVariant(Dec("1.25")) == QVariant::fromValue(Dec("1.250")));
    }

    void fixedPointFieldTexts_data() {
        QTest::addColumn<TFieldType>("type");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("asString");
        QTest::addColumn<QString>("display");
        const TFieldType bcd = TFieldType::ftBCD;
        QTest::newRow("key past 2^53")
            << bcd << 0 << QVariant(qlonglong(12345678901234567)) << "12345678901234567"
            << "12345678901234567";
        QTest::newRow("whole number with cents")
            << bcd << 2 << QVariant(qlonglong(12345678901234567)) << "12345678901234567"
            << "12345678901234567.00";
        QTest::newRow("REAL of a DECIMAL(10,2)") << bcd << 2 << QVariant(14.2) << "14.2"
                                                 << "14.20";
        QTest::newRow("REAL of a DECIMAL(10,6)") << bcd << 6 << QVariant(0.000005) << "0.000005"
                                                 << "0.000005";
        QTest::newRow("negative cent") << bcd << 2 << DecimalVariant(Dec("-0.01")) << "-0.01"
                                       << "-0.01";
        QTest::newRow("NUMERIC(38,10)") << bcd << 10 << DecimalVariant(Dec("12345678901234567890.0123456789"))
                                        << "12345678901234567890.0123456789"
                                        << "12345678901234567890.0123456789";
        QTest::newRow("more decimals than declared")
            << bcd << 2 << DecimalVariant(Dec("99999999.995")) << "99999999.995"
            << "100000000.00";
        QTest::newRow("null") << bcd << 2 << QVariant() << ""
                              << "";
        QTest::newRow("no number") << bcd << 2 << QVariant(QStringLiteral("NaN")) << "NaN"
                                   << "NaN";
        QTest::newRow("currency, no format of its own")
            << TFieldType::ftCurrency << 4 << DecimalVariant(Dec("7.1")) << "7.1"
            << "7.1";
    }
    void fixedPointFieldTexts() {
        QFETCH(TFieldType, type);
        QFETCH(int, scale);
        QFETCH(QVariant, value);
        TField field(nullptr, 0, QStringLiteral("F"), type, scale);
        QTEST(field.TextFor(value), "asString");
        QTEST(field.DisplayTextFor(value), "display");
    }

    void picturesKeepEveryDigit_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("float format on money") << "0.00####"
                                               << "1234567890123456.125"
                                               << "1234567890123456.125";
        QTest::newRow("grouping") << "#,##0.00"
                                  << "12345678901234567.5"
                                  << "12,345,678,901,234,567.50";
        QTest::newRow("blanks between digits") << "### ### ##0"
                                               << "9007199254740993"
                                               << "9007199254 740 993";
        QTest::newRow("rounds to zero without sign") << "0.00"
                                                     << "-0.001"
                                                     << "0.00";
        QTest::newRow("negative") << "0.00"
                                  << "-0.015"
                                  << "-0.02";
        QTest::newRow("negative section") << "0.0;(0.0)"
                                          << "-2"
                                          << "(2.0)";
        QTest::newRow("zero section") << "0.0;-0.0;'none'"
                                      << "0"
                                      << "none";
        QTest::newRow("scientific") << "0.00E+00"
                                    << "12345"
                                    << "1.23E+04";
        QTest::newRow("no picture") << ""
                                    << "0.000005"
                                    << "0.000005";
    }
    void picturesKeepEveryDigit() {
        QFETCH(QString, picture);
        QFETCH(QString, value);
        QTEST(FormatFloat(picture, Dec(value.toLatin1().constData())), "text");
    }
};

TAMSEL_TEST(DecimalTest);

#include "DecimalTest.moc"
