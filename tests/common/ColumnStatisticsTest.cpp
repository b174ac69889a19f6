#include "common/ColumnStatistics.h"

#include "common/ZorvUtilUnit.h"
#include "common/ZorvWorkQuery.h"
#include "engine/TField.h"
#include "engine/TQuery.h"
#include "engine/TTable.h"
#include "support/ProgressCanceller.h"
#include "support/ScriptedMsgBox.h"
#include "support/StatisticsBox.h"
#include "support/TestRegistry.h"
#include "support/TestSqlite.h"
#include "support/TestTemp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

class ColumnStatisticsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> FTemp;
    QString FDb;

    void Exec(const QString& statement) { ExecSqlite(FDb, {statement}); }

    // A table of one column V of the given type holding the values (SQL
    // literals), opened on record recNo.
    std::unique_ptr<TTable> Table(const QString& type, const QStringList& values, int recNo = 1) {
        static int number = 0;
        const QString name = QStringLiteral("T%1").arg(++number);
        Exec(QStringLiteral("create table %1 (ID integer, V %2)").arg(name, type));
        for (int i = 0; i < values.size(); ++i)
            Exec(QStringLiteral("insert into %1 values (%2, %3)").arg(name).arg(i + 1).arg(values[i]));
        auto table = std::make_unique<TTable>();
        table->SetDatabaseName(FDb);
        table->SetTableName(name);
        table->SetIndexFieldNames(QStringLiteral("ID"));
        table->Open();
        if (!values.isEmpty()) table->SetRecNo(recNo);
        return table;
    }

    // The same rows as a statement's, whose column statistics always walk.
    std::unique_ptr<TQuery> Walked(const QString& table, const QString& where = QString()) {
        auto query = std::make_unique<TQuery>();
        query->SetDatabaseName(FDb);
        query->SQL() << QStringLiteral("select * from %1 %2 order by ID").arg(table, where);
        query->Open();
        return query;
    }

    static QString Statistics(TDataSet* dataSet, bool& server) {
        return StatisticsBox(dataSet, QStringLiteral("V"), server);
    }

    static QString Box(const QString& sum, int count, int empty = 0) {
        return StatisticsText(QStringLiteral("V"), sum, count, empty);
    }

private slots:
    void initTestCase() {
        FTemp = std::make_unique<QTemporaryDir>(TestTemp() + QStringLiteral("/stats-XXXXXX"));
        QVERIFY(FTemp->isValid());
        FDb = FTemp->path() + QStringLiteral("/stats.db");
        QFile file(FDb);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        ApplyFormatSettings();
    }

    void sums_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("displayFormat");
        QTest::addColumn<double>("sum");
        QTest::addColumn<QString>("box");
        // Whole and fixed-point columns add up on the server, every other
        // kind walks; both give the same box.
        QTest::newRow("empty set") << "integer" << QStringList{} << "" << 0.0 << Box("0", 0);
        QTest::newRow("integers grouped")
            << "integer" << QStringList{"1000", "234"} << "" << 1234.0 << Box("1 234", 2);
        QTest::newRow("texts with comma and point")
            << "varchar(10)" << QStringList{"'1,5'", "'2.5'"} << "" << 4.0 << Box("4", 2);
        QTest::newRow("texts rounded by integer picture")
            << "varchar(10)" << QStringList{"'1.5'", "'1.25'"} << "" << 2.75 << Box("3", 2);
        QTest::newRow("empty texts") << "varchar(10)" << QStringList{"' '", "null", "'7'"} << "" << 7.0
                                     << Box("7", 3, 2);
        QTest::newRow("numeric nulls, real zero not empty")
            << "integer" << QStringList{"null", "0", "null", "5", "null"} << "" << 5.0 << Box("5", 5, 3);
        QTest::newRow("float picture")
            << "float" << QStringList{"1234567.5"} << "" << 1234567.5 << Box("1 234 567.50", 1);
        QTest::newRow("float four decimals")
            << "float" << QStringList{"0.12345"} << "" << 0.12345 << Box("0.1235", 1);
        QTest::newRow("negative float")
            << "float" << QStringList{"-2", "-0.5"} << "" << -2.5 << Box("-2.50", 2);
        QTest::newRow("currency with display format")
            << "money" << QStringList{"12.5", "1"} << "0.000" << 13.5 << Box("13.500", 2);
        QTest::newRow("decimal with display format")
            << "decimal(10,2)" << QStringList{"1.25", "2"} << "0.0" << 3.25 << Box("3.3", 2);
        // A fixed-point column's declared decimals are its picture.
        QTest::newRow("decimal default picture")
            << "decimal(10,2)" << QStringList{"1.25", "2"} << "" << 3.25 << Box("3.25", 2);
        QTest::newRow("whole decimal default picture")
            << "decimal(20,0)" << QStringList{"1000", "234"} << "" << 1234.0 << Box("1 234", 2);
        QTest::newRow("decimal past 2^53 adds up exactly")
            << "numeric(20,0)" << QStringList{"9007199254740993", "2", "null"} << "" << 9007199254740995.0
            << Box("9007199254 740 995", 3, 1);
        QTest::newRow("cents add up exactly")
            << "decimal(10,2)" << QStringList{"0.1", "0.2", "0.3", "-0.01"} << "" << 0.59 << Box("0.59", 4);
        QTest::newRow("wide decimals") << "numeric(38,10)" << QStringList{"100000000000000001", "0.5"} << ""
                                       << 100000000000000001.5 << Box("100000000000000001.5000000000", 2);
        QTest::newRow("money adds up exactly") << "money" << QStringList{"1234567890.1234", "-0.0034"} << ""
                                               << 1234567890.12 << Box("1234 567 890.12", 2);
        QTest::newRow("float sum past 9.2e12 at six decimals")
            << "float" << QStringList{"9.2e12", "1"} << "0.00####" << 9200000000001.0
            << Box("9200000000001.00", 2);
        QTest::newRow("float sum of 1.8e19")
            << "float" << QStringList{"1.8e19"} << "" << 1.8e19 << Box("18000000000000 000 000.00", 1);
        QTest::newRow("whole sum past 2^63")
            << "bigint" << QStringList{"9223372036854775807", "1", "null"} << "" << 9223372036854775808.0
            << Box("9223372036854 775 808", 3, 1);
        QTest::newRow("negative whole sum past -2^63")
            << "integer" << QStringList{"-9223372036854775808", "-2"} << "" << -9223372036854775810.0
            << Box("-9223372036854 775 810", 2);
        QTest::newRow("negative cents") << "decimal(10,2)" << QStringList{"-0.01", "null", "-0.02", "0"} << ""
                                        << -0.03 << Box("-0.03", 4, 1);
        // The file keeps such a number as a REAL of its first 15 digits.
        QTest::newRow("fixed point past 2^63")
            << "numeric(20,0)" << QStringList{"12345678901234567890", "1"} << "" << 12345678901234600001.0
            << Box("12345678901234 600 001", 2);
        QTest::newRow("float zero is no null")
            << "float" << QStringList{"0", "null", "0.0"} << "" << 0.0 << Box("0.00", 3, 1);
    }
    void sums() {
        QFETCH(QString, type);
        QFETCH(QStringList, values);
        QFETCH(QString, displayFormat);
        QFETCH(double, sum);
        QFETCH(QString, box);
        auto table = Table(type, values, std::max<int>(1, int(values.size())));
        const int recNo = table->RecNo();
        if (!displayFormat.isEmpty())
            table->FieldByName(QStringLiteral("V"))->SetDisplayFormat(displayFormat);
        ScriptedMsgBox boxes;
        QCOMPARE(ColumnStatistics(table.get(), QStringLiteral("V"), true), sum);
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Caption, QStringLiteral("Съобщение"));
        QCOMPARE(boxes.Last().Flags, 64);
        QCOMPARE(boxes.Last().Text, box);
        QCOMPARE(table->RecNo(), recNo);
        QVERIFY(!table->ControlsDisabled());
        const QString name = table->TableName();
        bool server = false;
        QCOMPARE(Statistics(table.get(), server), box);
        QCOMPARE(server, table->FieldByName(QStringLiteral("V"))->IsNumeric() &&
                             !table->FieldByName(QStringLiteral("V"))->IsFloat());
        auto walked = Walked(name);
        if (!displayFormat.isEmpty())
            walked->FieldByName(QStringLiteral("V"))->SetDisplayFormat(displayFormat);
        QCOMPARE(Statistics(walked.get(), server), box);
        QVERIFY(!server);
    }

    // The server adds up exactly the rows the window shows: its filter and
    // its master's current record.
    void serverTotalsFollowFilterAndLink_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("masterRecNo");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("box");
        QTest::newRow("filter") << "V < 0" << 0 << "where V < 0" << Box("-3.75", 2);
        QTest::newRow("link") << "" << 2 << "where ID = 2" << Box("2.25", 4, 1);
        QTest::newRow("filter and link") << "V > 0" << 2 << "where ID = 2 and V > 0" << Box("3.50", 2);
        QTest::newRow("link to nothing") << "" << 3 << "where ID = 3" << Box("0.00", 0);
    }
    void serverTotalsFollowFilterAndLink() {
        QFETCH(QString, filter);
        QFETCH(int, masterRecNo);
        QFETCH(QString, where);
        QFETCH(QString, box);
        auto master = Table(QStringLiteral("integer"), {"1", "2", "9"}, std::max(1, masterRecNo));
        auto detail = Table(QStringLiteral("decimal(10,2)"), {"-1.25", "-2.5", "3"});
        detail->Close();
        Exec(QStringLiteral("update %1 set ID = 1 + ID % 2").arg(detail->TableName()));
        Exec(QStringLiteral("insert into %1 values (2, 0.5), (2, null)").arg(detail->TableName()));
        TDataSource source;
        source.SetDataSet(master.get());
        if (masterRecNo > 0) {
            detail->SetMasterSource(&source);
            detail->SetMasterFields(QStringLiteral("V"));
        }
        detail->SetFilter(filter);
        detail->SetFiltered(!filter.isEmpty());
        detail->Open();
        bool server = false;
        QCOMPARE(Statistics(detail.get(), server), box);
        QVERIFY(server);
        auto walked = Walked(detail->TableName(), where);
        QCOMPARE(Statistics(walked.get(), server), box);
        QVERIFY(!server);
    }

    void badText_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<double>("sum");
        QTest::addColumn<QString>("sumText");
        QTest::newRow("OK assumes zero") << int(IDOK) << 6.0 << "6";
        QTest::newRow("Cancel aborts") << int(IDCANCEL) << 2.0 << "<n.a.>";
    }
    void badText() {
        QFETCH(int, answer);
        QFETCH(double, sum);
        QFETCH(QString, sumText);
        auto table = Table(QStringLiteral("varchar(10)"), {"'2'", "'x'", "null", "'4'"}, 2);
        ScriptedMsgBox boxes;
        boxes.Answer(answer);
        QCOMPARE(ColumnStatistics(table.get(), QStringLiteral("V"), true), sum);
        QCOMPARE(boxes.Count(), 2);
        QCOMPARE(boxes.Boxes()[0].Text,
                 QStringLiteral("'x' is not a valid floating point value\rZero is assumed!\r\r"
                                "Press [Cancel] to abort."));
        QCOMPARE(boxes.Boxes()[0].Caption, QStringLiteral("Error"));
        QCOMPARE(boxes.Boxes()[0].Flags, 49);
        // The empty-value count stands as counted up to the abort.
        QCOMPARE(boxes.Last().Text, Box(sumText, 4, answer == IDOK ? 1 : 0));
        QCOMPARE(table->RecNo(), 2);
        QVERIFY(!table->ControlsDisabled());
    }

    // A walk past the rows kept in memory, ended by Cancel and then run to the
    // end: the user's record comes back whole either way.
    void bigTableWalkEndsOnUsersRecord() {
        Exec(QStringLiteral("create table BIG (ID integer, V varchar(10))"));
        Exec(QStringLiteral(
            "insert into BIG with recursive c(n) as (select 1 union all select n + 1 from c where n < 5000) "
            "select n, case when n = 4000 then 'x' else '1' end from c"));
        TTable table;
        table.SetDatabaseName(FDb);
        table.SetTableName(QStringLiteral("BIG"));
        table.Open();
        table.SetRecNo(3000);
        ScriptedMsgBox boxes;
        boxes.Answer(IDCANCEL);
        QCOMPARE(ColumnStatistics(&table, QStringLiteral("V"), false), 3999.0);
        QCOMPARE(table.RecNo(), 3000);
        QCOMPARE(table.FieldByName(QStringLiteral("ID"))->AsInteger(), 3000);
        boxes.Answer(IDOK);
        QCOMPARE(ColumnStatistics(&table, QStringLiteral("V"), false), 4999.0);
        QCOMPARE(boxes.Count(), 2);
        QCOMPARE(table.RecNo(), 3000);
        QCOMPARE(table.FieldByName(QStringLiteral("ID"))->AsInteger(), 3000);
        table.Next();
        QCOMPARE(table.FieldByName(QStringLiteral("ID"))->AsInteger(), 3001);
    }

    void progressCancel_data() {
        QTest::addColumn<bool>("countKnown");
        QTest::newRow("count known") << true;
        QTest::newRow("count not known") << false;
    }

    // A long walk shows its progress and can be cancelled: no sum is shown,
    // and the user is back on the record.
    void progressCancel() {
        QFETCH(bool, countKnown);
        if (!QFile::exists(FTemp->path() + QStringLiteral("/long.db")))
            ExecSqlite(
                FTemp->path() + QStringLiteral("/long.db"),
                {QStringLiteral("create table LONG (ID integer, V double precision)"),
                 QStringLiteral("insert into LONG with recursive c(n) as (select 1 union all select n + 1 "
                                "from c where n < 150000) select n, n / 4.0 from c")});
        TTable table;
        table.SetDatabaseName(FTemp->path() + QStringLiteral("/long.db"));
        table.SetTableName(QStringLiteral("LONG"));
        table.Open();
        if (countKnown) table.Last();
        table.SetRecNo(7);
        ProgressCanceller canceller;
        ScriptedMsgBox boxes;
        ColumnStatistics(&table, QStringLiteral("V"), true);
        QVERIFY(canceller.Seen);
        QVERIFY(canceller.Modal);
        QCOMPARE(canceller.Maximum, countKnown ? 150000 : 0);
        QVERIFY2(canceller.Label.startsWith(QStringLiteral("Прочетени редове: ")),
                 qPrintable(canceller.Label));
        QCOMPARE(canceller.Label.endsWith(QStringLiteral(" от 150000")), countKnown);
        QCOMPARE(boxes.Count(), 0);
        QCOMPARE(table.RecNo(), 7);
        QCOMPARE(table.FieldByName(QStringLiteral("ID"))->AsInteger(), 7);
    }

    void fieldNotFound() {
        auto table = Table(QStringLiteral("integer"), {"1"});
        ScriptedMsgBox boxes;
        QCOMPARE(ColumnStatistics(table.get(), QStringLiteral("NOPE"), true), 0.0);
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Text, QStringLiteral("Field not found:  NOPE"));
        QCOMPARE(boxes.Last().Caption, QStringLiteral("Грешка"));
        QCOMPARE(boxes.Last().Flags, 16);
    }

    void withoutShowNoBox() {
        auto table = Table(QStringLiteral("integer"), {"3", "4"});
        ScriptedMsgBox boxes;
        QCOMPARE(ColumnStatistics(table.get(), QStringLiteral("V"), false), 7.0);
        QCOMPARE(boxes.Count(), 0);
    }

    void closedDataSet() {
        auto table = Table(QStringLiteral("integer"), {"3"});
        table->Close();
        ScriptedMsgBox boxes;
        // The fields of a closed table are gone: the name is not found.
        QCOMPARE(ColumnStatistics(table.get(), QStringLiteral("V"), true), 0.0);
        QCOMPARE(boxes.Count(), 1);
        QCOMPARE(boxes.Last().Text, QStringLiteral("Field not found:  V"));
        QCOMPARE(ColumnStatistics(nullptr, QStringLiteral("V"), false), 0.0);
        QCOMPARE(boxes.Count(), 2);
    }
};

TAMSEL_TEST(ColumnStatisticsTest);
#include "ColumnStatisticsTest.moc"
