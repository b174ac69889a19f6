#include "OdbcTestSupport.h"
#include "engine/Exception.h"
#include "engine/TDecimal.h"
#include "support/TestRegistry.h"

#include <QDate>
#include <QDateTime>
#include <QTest>
#include <algorithm>

// The driver itself on each data source: values and kinds, row windows,
// bound parameters, names that need quoting, failures.
class OdbcDriverTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void values_data();
    void values();
    void rowWindows_data();
    void rowWindows();
    void longTextAmongShortOnes();
    void hostileValuesAreInert_data();
    void hostileValuesAreInert();
    void quotedNamesOpenFilterAndSort();
    void failingStatementLeavesOpenCursorWhole();
    void failuresCarryTheDriversText_data();
    void failuresCarryTheDriversText();

private:
    std::unique_ptr<TDriverConnection> FConn;
    std::unique_ptr<TOdbcWriter> FWriter; // makes the tables FConn reads
};

void OdbcDriverTest::initTestCase() {
    FConn = OpenTestConnection();
    FWriter = std::make_unique<TOdbcWriter>();
}

void OdbcDriverTest::values_data() {
    QTest::addColumn<QString>("declared");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<int>("type");

    const QString longText =
        QString(QStringLiteral("Дълъг текст със символи ")).repeated(800); // > 16 KB as UTF-16
    QTest::newRow("cyrillic text") << "VARCHAR(40)"
                                   << "'Иван Петров'" << QVariant(QStringLiteral("Иван Петров"))
                                   << int(TFieldType::ftString);
    QTest::newRow("null text") << "VARCHAR(40)"
                               << "NULL" << QVariant() << int(TFieldType::ftString);
    QTest::newRow("empty text") << "VARCHAR(40)"
                                << "''" << QVariant(QString()) << int(TFieldType::ftString);
    QTest::newRow("integer") << "INTEGER"
                             << "-42" << QVariant(qlonglong(-42)) << int(TFieldType::ftInteger);
    QTest::newRow("null integer") << "INTEGER"
                                  << "NULL" << QVariant() << int(TFieldType::ftInteger);
    QTest::newRow("large integer") << "BIGINT"
                                   << "9007199254740993" << QVariant(qlonglong(9007199254740993LL))
                                   << int(TFieldType::ftLargeint);
    QTest::newRow("float") << "DOUBLE PRECISION"
                           << "1.5" << QVariant(1.5) << int(TFieldType::ftFloat);
    // Fixed-point values come as their digits, also where the driver reports
    // them as doubles (SQLite's); whole ones as integers.
    const auto decimal = [](const char* text) {
        return DecimalVariant(*TDecimal::FromText(QByteArrayView(text)));
    };
    QTest::newRow("decimal") << "NUMERIC(12,2)"
                             << "1234.56" << decimal("1234.56") << int(TFieldType::ftBCD);
    QTest::newRow("decimal past 2^53")
        << "NUMERIC(20,0)"
        << "9007199254740993" << QVariant(qlonglong(9007199254740993LL)) << int(TFieldType::ftBCD);
    QTest::newRow("decimal millionths") << "DECIMAL(10,6)"
                                        << "0.000005" << decimal("0.000005") << int(TFieldType::ftBCD);
    if (OnPostgres()) {
        // Past what a double or SQLite holds.
        QTest::newRow("NUMERIC(38,10)")
            << "NUMERIC(38,10)"
            << "1234567890123456789012345678.0123456789" << decimal("1234567890123456789012345678.0123456789")
            << int(TFieldType::ftBCD);
        // Longer than the room the cursor binds for it.
        const QByteArray digits = QByteArray("9").repeated(150) + "." + QByteArray("0123456789").repeated(5);
        QTest::newRow("NUMERIC without precision, 200 digits")
            << "NUMERIC" << QString::fromLatin1(digits) << decimal(digits.constData())
            << int(TFieldType::ftBCD);
        QTest::newRow("NaN") << "NUMERIC"
                             << "'NaN'" << QVariant(QStringLiteral("NaN")) << int(TFieldType::ftBCD);
    }
    QTest::newRow("date") << "DATE"
                          << "'2024-02-29'" << QVariant(QDate(2024, 2, 29)) << int(TFieldType::ftDate);
    QTest::newRow("date-time") << "TIMESTAMP"
                               << "'2024-02-29 23:59:58'"
                               << QVariant(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58), Qt::UTC))
                               << int(TFieldType::ftDateTime);
    QTest::newRow("time") << "TIME"
                          << "'10:20:30'" << QVariant(QTime(10, 20, 30)) << int(TFieldType::ftTime);
    QTest::newRow("logical") << "BOOLEAN"
                             << "TRUE" << QVariant(true) << int(TFieldType::ftBoolean);
    QTest::newRow("long cyrillic memo")
        << "TEXT" << QStringLiteral("'%1'").arg(longText) << QVariant(longText) << int(TFieldType::ftMemo);
    if (!OnPostgres()) {
        // SQLite keeps texts longer than the declared size.
        QTest::newRow("text past its size")
            << "VARCHAR(5)"
            << "'Дълъг текст'" << QVariant(QStringLiteral("Дълъг текст")) << int(TFieldType::ftString);
    }
}

void OdbcDriverTest::values() {
    QFETCH(QString, declared);
    QFETCH(QString, literal);
    QFETCH(QVariant, expected);
    QFETCH(int, type);

    RecreateTable(*FWriter, QStringLiteral("t_values"), QStringLiteral("id INTEGER, v %1").arg(declared));
    // Rows before and after: a block holds several rows and the value must
    // land in its own.
    FWriter->Execute(
        QStringLiteral("INSERT INTO t_values VALUES (1, NULL), (2, %1), (3, NULL)").arg(literal));
    // SQLite's ODBC driver describes a statement by the schema its
    // connection last read: the table was made anew on another one.
    FConn = OpenTestConnection();

    TSelectSpec spec;
    spec.Table = FConn->QuoteIdentifier(QStringLiteral("t_values"));
    const auto cursor = FConn->Select(spec, 0);
    QCOMPARE(cursor->Columns().size(), 2);
    if (OnPostgres() || type != int(TFieldType::ftMemo)) QCOMPARE(int(cursor->Columns()[1].Type), type);
    const QList<QVariantList> rows = ReadAll(*cursor);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0][1].isNull(), true);
    QCOMPARE(rows[1][0], QVariant(qlonglong(2)));
    QCOMPARE(rows[1][1].isNull(), expected.isNull());
    if (!expected.isNull()) QCOMPARE(rows[1][1], expected);
    QCOMPARE(rows[2][1].isNull(), true);
}

// A text column without a bound is read in blocks; a value longer than the
// block's room, in the middle of a walk, still comes whole, and so do the
// rows after it.
void OdbcDriverTest::longTextAmongShortOnes() {
    RecreateTable(*FWriter, QStringLiteral("t_long"), QStringLiteral("id INTEGER, note TEXT"));
    const QString rows =
        OnPostgres() ? QStringLiteral("generate_series(1, 3000) g")
                     : QStringLiteral("(WITH RECURSIVE c(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM c "
                                      "WHERE g < 3000) SELECT g FROM c)");
    const QString longValue = OnPostgres() ? QStringLiteral("repeat('д', 5000)")
                                           : QStringLiteral("replace(hex(zeroblob(5000)), '00', 'д')");
    FWriter->Execute(
        QStringLiteral("INSERT INTO t_long SELECT g, CASE WHEN g = 1500 THEN %1 WHEN g % 10 = 0 THEN NULL "
                       "WHEN g % 7 = 0 THEN '' ELSE 'бележка ' || g END FROM %2")
            .arg(longValue, rows));
    FConn = OpenTestConnection();
    TSelectSpec spec;
    spec.Table = FConn->QuoteIdentifier(QStringLiteral("t_long"));
    spec.OrderBy << FConn->QuoteIdentifier(QStringLiteral("id"));
    const auto cursor = FConn->Select(spec, 0);
    const QList<QVariantList> read = ReadAll(*cursor);
    QCOMPARE(read.size(), 3000);
    for (int g = 1; g <= 3000; ++g) {
        const QVariant note = read[g - 1][1];
        QCOMPARE(read[g - 1][0].toInt(), g);
        if (g == 1500)
            QCOMPARE(note.toString(), QString(5000, QChar(0x434)));
        else if (g % 10 == 0)
            QVERIFY2(note.isNull(), qPrintable(QString::number(g)));
        else
            QCOMPARE(note.toString(), g % 7 == 0 ? QString() : QStringLiteral("бележка %1").arg(g));
    }
}

// Rows 1..2500 in blocks and windows: every window must be the matching
// slice of the whole result, in natural order and sorted on a column with
// many equal values.
void OdbcDriverTest::rowWindows_data() {
    QTest::addColumn<bool>("ordered");
    QTest::addColumn<int>("group"); // -1: no filter
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("limit");

    QTest::newRow("natural, all") << false << -1 << qint64(0) << qint64(-1);
    QTest::newRow("natural, first block") << false << -1 << qint64(0) << qint64(50);
    QTest::newRow("natural, across a fetch boundary") << false << -1 << qint64(990) << qint64(40);
    QTest::newRow("natural, rest from the middle") << false << -1 << qint64(1234) << qint64(-1);
    QTest::newRow("natural, last row") << false << -1 << qint64(2499) << qint64(10);
    QTest::newRow("natural, past the end") << false << -1 << qint64(2500) << qint64(10);
    QTest::newRow("natural, far past the end") << false << -1 << qint64(9000) << qint64(-1);
    QTest::newRow("sorted, first block") << true << -1 << qint64(0) << qint64(50);
    QTest::newRow("sorted, middle window") << true << -1 << qint64(1234) << qint64(1000);
    QTest::newRow("sorted, rest") << true << -1 << qint64(1000) << qint64(-1);
    QTest::newRow("filtered, natural") << false << 3 << qint64(100) << qint64(100);
    QTest::newRow("filtered, sorted, rest") << true << 0 << qint64(5) << qint64(-1);
    QTest::newRow("no rows at all") << false << 99 << qint64(0) << qint64(-1);
}

void OdbcDriverTest::rowWindows() {
    QFETCH(bool, ordered);
    QFETCH(int, group);
    QFETCH(qint64, offset);
    QFETCH(qint64, limit);

    static bool filled = false;
    if (!filled) {
        FillNumbered(*FWriter, QStringLiteral("t_rows"), 2500);
        filled = true;
    }
    QList<int> all;
    for (int id = 1; id <= 2500; ++id)
        if (group < 0 || id % 7 == group) all << id;
    if (ordered) std::stable_sort(all.begin(), all.end(), [](int a, int b) { return a % 7 < b % 7; });
    const QList<int> expected = all.mid(std::min<qint64>(offset, all.size()), limit < 0 ? -1 : limit);

    TSelectSpec spec;
    spec.Table = FConn->QuoteIdentifier(QStringLiteral("t_rows"));
    if (group >= 0) {
        spec.Where = FConn->QuoteIdentifier(QStringLiteral("grp")) + QStringLiteral(" = ?");
        spec.Params << QVariant(qlonglong(group));
    }
    if (ordered) spec.OrderBy << FConn->QuoteIdentifier(QStringLiteral("grp"));
    spec.Limit = limit;
    QList<int> ids;
    for (const QVariantList& row : ReadAll(*FConn->Select(spec, offset))) {
        ids << row[0].toInt();
        if (row[2].toString() != QStringLiteral("Ред %1").arg(row[0].toInt()))
            QFAIL(qPrintable(
                QStringLiteral("row %1 has the text %2").arg(row[0].toInt()).arg(row[2].toString())));
    }
    QCOMPARE(ids, expected);
    spec.Limit = -1;
    QCOMPARE(FConn->Count(spec), qint64(all.size()));
}

void OdbcDriverTest::hostileValuesAreInert_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("quote and OR") << "x' OR '1'='1";
    QTest::newRow("backslash quote") << "x\\' OR 1=1 --";
    QTest::newRow("statement after") << "'; DROP TABLE t_hostile; --";
    QTest::newRow("doubled quotes") << "a''b";
    QTest::newRow("cyrillic quote") << "Ж'Ж";
    QTest::newRow("question mark") << "? OR 1=1";
}

void OdbcDriverTest::hostileValuesAreInert() {
    QFETCH(QString, value);
    RecreateTable(*FWriter, QStringLiteral("t_hostile"), QStringLiteral("id INTEGER, name VARCHAR(60)"));
    FWriter->Execute(QStringLiteral("INSERT INTO t_hostile VALUES (1, 'a'), (2, 'b'), (3, NULL)"));

    TSelectSpec spec;
    spec.Table = FConn->QuoteIdentifier(QStringLiteral("t_hostile"));
    spec.Where = FConn->QuoteIdentifier(QStringLiteral("name")) + QStringLiteral(" = ?");
    spec.Params << value;
    QCOMPARE(FConn->Count(spec), qint64(0));
    QCOMPARE(ReadAll(*FConn->Select(spec, 0)).size(), 0);

    // The same text as the start of a LIKE pattern.
    TSelectSpec like = spec;
    like.Where = FConn->QuoteIdentifier(QStringLiteral("name")) + QStringLiteral(" LIKE ? ESCAPE '\\'");
    like.Params = {QVariant(value + QLatin1Char('%'))};
    QCOMPARE(FConn->Count(like), qint64(0));

    TSelectSpec whole;
    whole.Table = spec.Table;
    QCOMPARE(FConn->Count(whole), qint64(3));
}

void OdbcDriverTest::quotedNamesOpenFilterAndSort() {
    const QString table = QStringLiteral("Клиенти \"и\" доставчици");
    const QString column = QStringLiteral("Име на \"фирма\"");
    const QString qTable = FConn->QuoteIdentifier(table);
    const QString qColumn = FConn->QuoteIdentifier(column);
    RecreateTable(*FWriter, qTable, QStringLiteral("id INTEGER, %1 VARCHAR(40)").arg(qColumn));
    FWriter->Execute(
        QStringLiteral("INSERT INTO %1 VALUES (1, 'Юг'), (2, 'Агро'), (3, 'Мир'), (4, 'Агро')").arg(qTable));

    QVERIFY(FConn->TableNames().contains(table));
    const QList<TColumnInfo> columns = FConn->TableColumns(table);
    QCOMPARE(columns.size(), 2);
    QCOMPARE(columns[1].Name, column);

    TSelectSpec spec;
    spec.Table = qTable;
    spec.OrderBy << qColumn;
    QList<int> ids;
    for (const QVariantList& row : ReadAll(*FConn->Select(spec, 0)))
        ids << row[0].toInt();
    QCOMPARE(ids, QList<int>({2, 4, 3, 1}));

    spec.Where = qColumn + QStringLiteral(" = ?");
    spec.Params << QStringLiteral("Агро");
    QCOMPARE(FConn->Count(spec), qint64(2));
    const QList<QVariantList> rows = ReadAll(*FConn->Select(spec, 1));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][0].toInt(), 4);
    QCOMPARE(rows[0][1].toString(), QStringLiteral("Агро"));
}

// A statement that fails while a table's rows are still being read must
// not cut that table short.
void OdbcDriverTest::failingStatementLeavesOpenCursorWhole() {
    FillNumbered(*FWriter, QStringLiteral("t_walk"), 2500);
    TSelectSpec spec;
    spec.Table = FConn->QuoteIdentifier(QStringLiteral("t_walk"));
    const auto cursor = FConn->Select(spec, 0);
    int rows = 0;
    while (rows < 10 && cursor->Next())
        ++rows;
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, FConn->Execute(QStringLiteral("SET bvrConnectID = 5")));
    int last = 0;
    while (cursor->Next()) {
        ++rows;
        last = cursor->Value(0).toInt();
    }
    QCOMPARE(rows, 2500);
    QCOMPARE(last, 2500);
}

void OdbcDriverTest::failuresCarryTheDriversText_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("pgText");
    QTest::addColumn<QString>("liteText");
    QTest::newRow("syntax") << "SELEKT 1"
                            << "syntax error"
                            << "syntax error";
    QTest::newRow("no table") << "SELECT * FROM no_such_table"
                              << "does not exist"
                              << "no such table";
    QTest::newRow("unload")
        << "unload from table t into client file '/tmp/x' delimited by '\\x09' quotes off append on"
        << "syntax error"
        << "syntax error";
}

void OdbcDriverTest::failuresCarryTheDriversText() {
    QFETCH(QString, statement);
    QFETCH(QString, pgText);
    QFETCH(QString, liteText);
    try {
        FConn->Query(statement)->Next();
        QFAIL("the statement did not fail");
    } catch (const EDatabaseError& e) {
        QVERIFY2(e.Message().contains(OnPostgres() ? pgText : liteText), qPrintable(e.Message()));
        QVERIFY2(e.Message().contains(QLatin1String("SQLSTATE")), qPrintable(e.Message()));
    }
    // The connection goes on working.
    const auto cursor = FConn->Query(QStringLiteral("SELECT 1"));
    QVERIFY(cursor->Next());
    QCOMPARE(cursor->Value(0).toInt(), 1);
}

TAMSEL_TEST(OdbcDriverTest);

#include "OdbcDriverTest.moc"
