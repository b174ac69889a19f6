#include "engine/FieldFormatter.h"

#include "engine/FormatSettings.h"
#include "engine/Session.h"
#include "engine/TDataSet.h"
#include "engine/TField.h"
#include "engine/TTable.h"
#include "support/TestRegistry.h"
#include "support/TestSqlite.h"

#include <QTemporaryDir>
#include <QTest>

class FieldFormatterTest : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QString Db() const { return FDir.filePath(QStringLiteral("formatter.db")); }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        // More rows than the cache holds, so that a walk streams; every kind
        // of awkward value among them.
        ExecSqlite(
            Db(), {QStringLiteral("create table F (i integer, f double precision, d date, s varchar(20), "
                                  "n numeric(10,2), t time, \"Сума \"\"общо\"\", select\" numeric(30,10))"),
                   QStringLiteral(
                       "insert into F with recursive c(k) as (select 1 union all select k + 1 from c where k "
                       "< 3000) "
                       "select case k % 7 when 0 then null when 1 then 'abc' when 2 then 9223372036854775807 "
                       "when 3 then -k when 4 then 2.5 else k end, "
                       "case k % 6 when 0 then null when 1 then 3 when 2 then 1e300 when 3 then 'x1' "
                       "when 4 then -0.000001234 else k / 7.0 end, "
                       "case k % 5 when 0 then null when 1 then '2000-13-45' when 2 then '0999-03-04' "
                       "else date('2000-01-01', '+' || k || ' days') end, "
                       "case k % 7 when 0 then null when 1 then '' when 2 then 'a' || char(9) || 'b' "
                       "when 3 then cast(x'41c328' as text) when 4 then 'a' || char(0) || 'b' when 5 then k "
                       "else 'Ж' || k end, "
                       "case k % 3 when 0 then null else k / 4.0 end, "
                       "case k % 2 when 0 then null else '07:05:09' end, "
                       "case k % 5 when 0 then null when 1 then '12345678901234567890.1234567891' "
                       "when 2 then '-0.0000000001' when 3 then 99999999999999999999 else "
                       "1234567890123456789 end from c")});
        Session().Open();
    }

    void pictures_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("text");
        const QDate day(2000, 1, 2);
        const QTime at(7, 5, 9);
        const QString ds(FormatSettings().DateSeparator), ts(FormatSettings().TimeSeparator);
        QTest::newRow("short date") << "DD.MM.YYYY" << day << at << "02.01.2000";
        QTest::newRow("single letters") << "d.m.yy" << day << at << "2.1.00";
        QTest::newRow("names") << "dddd, d mmmm yyyy" << day << at << "Sunday, 2 January 2000";
        QTest::newRow("short names") << "ddd mmm" << day << at << "Sun Jan";
        QTest::newRow("M after H is minutes") << "hh:mm:ss" << day << at << "07" + ts + "05" + ts + "09";
        QTest::newRow("single-letter time") << "h:m" << day << at << "7" + ts + "5";
        QTest::newRow("N is minutes") << "hhnn" << day << at << "0705";
        QTest::newRow("separators") << "yyyy/mm/dd" << day << at << "2000" + ds + "01" + ds + "02";
        QTest::newRow("quoted literals") << "'at' hh\"h\" 'mm'" << day << at << "at 07h mm";
        QTest::newRow("unclosed quote") << "yy 'rest" << day << at << "00 rest";
        QTest::newRow("year below 1000") << "yyyy" << QDate(999, 3, 4) << at << "0999";
        QTest::newRow("month after a date part") << "hh dd mm" << day << at << "07 02 01";
        QTest::newRow("other letters") << "yyyy-Q" << day << at << "2000-Q";
    }

    void pictures() {
        QFETCH(QString, picture);
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(QString, text);
        QCOMPARE(FormatDateTimePicture(picture, date, time), text);
        QString appended = QStringLiteral(">");
        TDateTimePicture(picture).Append(appended, date, time);
        QCOMPARE(appended, ">" + text);
    }

    void matchesFieldTexts_data() {
        QTest::addColumn<QString>("floatFormat");
        QTest::addColumn<QString>("dateFormat");
        QTest::addColumn<QString>("fixedFormat"); // empty: the column's own decimals
        QTest::newRow("default formats") << QString() << QString() << QString();
        QTest::newRow("pictures") << QStringLiteral("#,##0.00") << QStringLiteral("yyyy/mm/dd")
                                  << QStringLiteral("0.0");
        QTest::newRow("sections") << QStringLiteral("### ### ##0.00##;(0.0);'нула'")
                                  << QStringLiteral("d mmm yy") << QStringLiteral("000.#");
    }

    // Record for record, streamed or cached, the formatter writes what the
    // field itself gives.
    void matchesFieldTexts() {
        QFETCH(QString, floatFormat);
        QFETCH(QString, dateFormat);
        QFETCH(QString, fixedFormat);
        TTable table;
        table.SetDatabaseName(Db());
        table.SetTableName(QStringLiteral("F"));
        table.Open();
        table.FieldByName(QStringLiteral("f"))->SetDisplayFormat(floatFormat);
        table.FieldByName(QStringLiteral("d"))->SetDisplayFormat(dateFormat);
        if (!fixedFormat.isEmpty()) table.FieldByName(QStringLiteral("n"))->SetDisplayFormat(fixedFormat);
        QList<TField*> fields;
        std::vector<std::unique_ptr<TFieldFormatter>> formatters;
        for (int i = 0; i < table.FieldCount(); ++i) {
            fields << table.Fields(i);
            formatters.push_back(std::make_unique<TFieldFormatter>(table.Fields(i)));
        }
        auto check = [&] {
            for (int i = 0; i < fields.size(); ++i) {
                const TField* field = fields[i];
                const QString expected =
                    field->IsNumeric() || field->IsDateTime() ? field->DisplayText() : field->AsString();
                QString got = QStringLiteral("|");
                formatters[size_t(i)]->Append(got);
                if (got != "|" + expected)
                    return QStringLiteral("record %1, %2: %3 instead of %4")
                        .arg(table.RecNo())
                        .arg(field->FieldName(), got.mid(1), expected);
            }
            return QString();
        };
        int records = 0;
        {
            const TDataSet::TWalkFields walk(&table, fields);
            for (table.First(); !table.Eof(); table.Next(), ++records) {
                const QString fault = check();
                QVERIFY2(fault.isEmpty(), qPrintable(fault));
            }
        }
        QCOMPARE(records, 3000);
        for (int recNo : {1, 2, 3, 4, 5, 6, 7, 1500, 2999, 3000}) {
            table.SetRecNo(recNo);
            const QString fault = check();
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
        }
        // Past 15 digits a fixed-point value keeps every digit, whatever its
        // column is called.
        table.SetRecNo(4);
        QString exact;
        formatters.back()->Append(exact);
        QCOMPARE(exact, QStringLiteral("1234567890123456789.0000000000"));
    }
};

TAMSEL_TEST(FieldFormatterTest);
#include "FieldFormatterTest.moc"
