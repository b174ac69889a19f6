#include "engine/FormatSettings.h"
#include "engine/NumberPictures.h"
#include "engine/TField.h"
#include "support/TestRegistry.h"

#include <QDate>
#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(TFieldType)

class FieldTextTest : public QObject {
    Q_OBJECT

private slots:
    void formatFloatFollowsPicture_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("two to six decimals, short") << "0.00####" << 1.5 << "1.50";
        QTest::newRow("two to six decimals, long") << "0.00####" << 3.14159265 << "3.141593";
        QTest::newRow("two to six decimals, middle") << "0.00####" << 2.125 << "2.125";
        QTest::newRow("two to six decimals, negative") << "0.00####" << -0.5 << "-0.50";
        QTest::newRow("rounds to zero without sign") << "0.00" << -0.001 << "0.00";
        QTest::newRow("grouping") << "#,##0.00" << 1234567.891 << "1,234,567.89";
        QTest::newRow("grouping, small") << "#,##0.00" << 12.0 << "12.00";
        QTest::newRow("optional integer digit") << "#.##" << 0.5 << ".5";
        QTest::newRow("whole number") << "0" << 2.5 << "3";
        QTest::newRow("leading zeros") << "000" << 7.0 << "007";
        QTest::newRow("more digits than places") << "00" << 12345.0 << "12345";
        QTest::newRow("literal blanks between digits") << "### ### ##0" << 1234.0 << "1 234";
        QTest::newRow("literal blanks, big") << "### ### ##0" << 1234567.0 << "1 234 567";
        QTest::newRow("quoted literal") << "0.0 'kg'" << 2.0 << "2.0 kg";
        QTest::newRow("negative section") << "0.0;(0.0)" << -2.0 << "(2.0)";
        QTest::newRow("zero section") << "0.0;-0.0;'none'" << 0.0 << "none";
        QTest::newRow("scientific") << "0.00E+00" << 12345.0 << "1.23E+04";
        QTest::newRow("empty picture") << "" << 0.1 << "0.1";
    }
    void formatFloatFollowsPicture() {
        QFETCH(QString, picture);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(FormatFloat(picture, value), text);
    }

    // A picture of digits and a mark alone is written by a shorter path; it
    // must give what the general layout gives (a grouped twin of the picture,
    // its commas taken out), ties and values that round to zero included.
    void plainPictureMatchesGeneralLayout_data() {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("grouped");
        QTest::newRow("table window's floats") << "0.00####"
                                               << "#,##0.00####";
        QTest::newRow("whole") << "0"
                               << "#,##0";
        QTest::newRow("optional integer") << "#.##"
                                          << "#,###.##";
        QTest::newRow("forced places") << "000.0"
                                       << "#,000.0";
        QTest::newRow("many decimals") << "0.000000000000000000##"
                                       << "#,##0.000000000000000000##";
    }
    void plainPictureMatchesGeneralLayout() {
        QFETCH(QString, plain);
        QFETCH(QString, grouped);
        QList<double> values = {0.0,
                                -0.0,
                                0.5,
                                1.5,
                                2.5,
                                -2.5,
                                0.125,
                                0.0078125,
                                -0.0078125,
                                1e-7,
                                -4e-7,
                                0.999999999,
                                999999.9999995,
                                123456789012345.6,
                                999999999999999.0,
                                1e15,
                                -1e15,
                                1.5e300,
                                4.9e-324,
                                std::numeric_limits<double>::max()};
        // Exact binary fractions: every one that ends in 5 is a tie at some
        // number of decimals.
        for (int bits = 1; bits <= 12; ++bits)
            for (int k = 1; k < 40; k += 2)
                values << std::ldexp(double(k), -bits) << -std::ldexp(double(k), -bits) * 1000.0;
        QRandomGenerator random(20261209);
        for (int i = 0; i < 3000; ++i) {
            const double magnitude = std::pow(10.0, random.generateDouble() * 25.0 - 9.0);
            values << (i % 2 ? -1 : 1) * magnitude * random.generateDouble();
        }
        for (double value : values) {
            const QString expected = FormatFloat(grouped, value).remove(QLatin1Char(','));
            if (FormatFloat(plain, value) != expected)
                QFAIL(qPrintable(QStringLiteral("%1 as \"%2\": \"%3\", the general layout \"%4\"")
                                     .arg(value, 0, 'g', 17)
                                     .arg(plain, FormatFloat(plain, value), expected)));
        }
    }

    void valuesAsText_data() {
        QTest::addColumn<TFieldType>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("asString");
        QTest::addColumn<QString>("display");
        const TFieldType f = TFieldType::ftFloat;
        QTest::newRow("float, shortest") << f << QVariant(1.5) << "1.5"
                                         << "1.5";
        QTest::newRow("float, full precision") << f << QVariant(0.1 + 0.2) << "0.30000000000000004"
                                               << "0.3";
        QTest::newRow("float, whole") << f << QVariant(100000000.0) << "100000000"
                                      << "100000000";
        QTest::newRow("float, huge") << f << QVariant(1.5e20) << "1.5E20"
                                     << "1.5e+20";
        QTest::newRow("float, tiny") << f << QVariant(-2.5e-7) << "-2.5E-7"
                                     << "-2.5e-07";
        QTest::newRow("currency") << TFieldType::ftCurrency << QVariant(12.3) << "12.3"
                                  << "12.3";
        QTest::newRow("integer") << TFieldType::ftInteger << QVariant(qlonglong(-42)) << "-42"
                                 << "-42";
        QTest::newRow("null") << f << QVariant() << ""
                              << "";
        QTest::newRow("date") << TFieldType::ftDate << QVariant(QDate(2024, 3, 9)) << "09.03.2024"
                              << "09.03.2024";
        QTest::newRow("time") << TFieldType::ftTime << QVariant(QTime(7, 5, 59)) << "07:05"
                              << "07:05";
        QTest::newRow("date-time") << TFieldType::ftDateTime
                                   << QVariant(QDateTime(QDate(2024, 3, 9), QTime(23, 1)))
                                   << "09.03.2024 23:01"
                                   << "09.03.2024 23:01";
        QTest::newRow("date-time at midnight")
            << TFieldType::ftDateTime << QVariant(QDateTime(QDate(2024, 3, 9), QTime(0, 0))) << "09.03.2024"
            << "09.03.2024";
        QTest::newRow("logical") << TFieldType::ftBoolean << QVariant(true) << "True"
                                 << "True";
        QTest::newRow("text") << TFieldType::ftString << QVariant(QStringLiteral("Иван")) << "Иван"
                              << "Иван";
        QTest::newRow("memo") << TFieldType::ftMemo << QVariant(QStringLiteral("long")) << "long"
                              << "long";
        QTest::newRow("memo, first line")
            << TFieldType::ftMemo << QVariant(QStringLiteral("Ред 1\r\nред 2")) << "Ред 1\r\nред 2"
            << "Ред 1";
        QTest::newRow("memo, 10 MB on one line") << TFieldType::ftMemo << QVariant(QString(10 << 20, u'ж'))
                                                 << QString(10 << 20, u'ж') << QString(2000, u'ж');
        QTest::newRow("memo as bytes") << TFieldType::ftMemo << QVariant(QByteArray("а\nб")) << "а\nб"
                                       << "а";
        QTest::newRow("memo, null") << TFieldType::ftMemo << QVariant() << ""
                                    << "";
        QTest::newRow("blob") << TFieldType::ftBlob << QVariant(QByteArray("\x01\x02")) << "\x01\x02"
                              << "(BLOB)";
        QTest::newRow("text in a float column") << f << QVariant(QStringLiteral("n/a")) << "n/a"
                                                << "n/a";
    }
    void valuesAsText() {
        QFETCH(TFieldType, type);
        QFETCH(QVariant, value);
        QFETCH(QString, asString);
        QFETCH(QString, display);
        TField field(nullptr, 0, QStringLiteral("F"), type, 20);
        QCOMPARE(field.TextFor(value), asString);
        QCOMPARE(field.DisplayTextFor(value), display);
    }

    void displayFormatAppliesToNumbersAndDates() {
        TField price(nullptr, 0, QStringLiteral("PRICE"), TFieldType::ftFloat, 0);
        price.SetDisplayFormat(QStringLiteral("0.00####"));
        QCOMPARE(price.DisplayTextFor(1.5), QStringLiteral("1.50"));
        QCOMPARE(price.TextFor(1.5), QStringLiteral("1.5"));
        TField day(nullptr, 0, QStringLiteral("DAY"), TFieldType::ftDate, 0);
        day.SetDisplayFormat(QStringLiteral("YYYY/MM/DD"));
        QCOMPARE(day.DisplayTextFor(QDate(2020, 1, 2)), QStringLiteral("2020.01.02"));
    }

    void formatsFollowTheSettings() {
        TFormatSettings saved = FormatSettings();
        TField price(nullptr, 0, QStringLiteral("PRICE"), TFieldType::ftFloat, 0);
        TField day(nullptr, 0, QStringLiteral("DAY"), TFieldType::ftDate, 0);
        const QDate date(2020, 1, 2);
        const QString before = day.TextFor(date); // a day's text is kept while the settings stay
        FormatSettings().DecimalSeparator = QLatin1Char(',');
        FormatSettings().ShortDateFormat = QStringLiteral("YYYY-MM-DD");
        const QString number = price.TextFor(1.5), picture = day.TextFor(date);
        FormatSettings().ShortDateFormat = QStringLiteral("YYYY/MM/DD");
        FormatSettings().DateSeparator = QLatin1Char('.');
        const QString dotted = day.TextFor(date);
        FormatSettings().DateSeparator = QLatin1Char('-');
        const QString separator = day.TextFor(date);
        FormatSettings() = saved;
        QCOMPARE(number, QStringLiteral("1,5"));
        QCOMPARE(picture, QStringLiteral("2020-01-02"));
        QCOMPARE(dotted, QStringLiteral("2020.01.02"));
        QCOMPARE(separator, QStringLiteral("2020-01-02"));
        QCOMPARE(day.TextFor(date), before);
    }

    void kindsAndDefaults_data() {
        QTest::addColumn<TFieldType>("type");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<bool>("isFloat");
        QTest::addColumn<int>("alignment");
        QTest::newRow("integer") << TFieldType::ftInteger << true << false << int(TAlignment::taRightJustify);
        QTest::newRow("large integer")
            << TFieldType::ftLargeint << true << false << int(TAlignment::taRightJustify);
        QTest::newRow("auto-increment")
            << TFieldType::ftAutoInc << true << false << int(TAlignment::taRightJustify);
        QTest::newRow("fixed-point") << TFieldType::ftBCD << true << false << int(TAlignment::taRightJustify);
        QTest::newRow("float") << TFieldType::ftFloat << true << true << int(TAlignment::taRightJustify);
        QTest::newRow("currency") << TFieldType::ftCurrency << true << true
                                  << int(TAlignment::taRightJustify);
        QTest::newRow("text") << TFieldType::ftString << false << false << int(TAlignment::taLeftJustify);
        QTest::newRow("date") << TFieldType::ftDate << false << false << int(TAlignment::taLeftJustify);
        QTest::newRow("logical") << TFieldType::ftBoolean << false << false << int(TAlignment::taLeftJustify);
    }
    void kindsAndDefaults() {
        QFETCH(TFieldType, type);
        QFETCH(bool, numeric);
        QFETCH(bool, isFloat);
        QFETCH(int, alignment);
        TField field(nullptr, 0, QStringLiteral("F"), type, 12);
        QCOMPARE(field.IsNumeric(), numeric);
        QCOMPARE(field.IsFloat(), isFloat);
        QCOMPARE(int(field.Alignment()), alignment);
        QVERIFY(field.DisplayWidth() > 0);
        field.SetDisplayWidth(30);
        QCOMPARE(field.DisplayWidth(), 30);
        QCOMPARE(field.DisplayName(), QStringLiteral("F"));
        field.SetDisplayLabel(QStringLiteral("Label"));
        QCOMPARE(field.DisplayName(), QStringLiteral("Label"));
    }
};

TAMSEL_TEST(FieldTextTest);

#include "FieldTextTest.moc"
