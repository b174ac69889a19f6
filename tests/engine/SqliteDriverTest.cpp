#include "engine/sqlite/SqliteDriver.h"

#include "engine/Exception.h"
#include "engine/Session.h"
#include "engine/TDecimal.h"
#include "engine/TField.h"
#include "engine/TTable.h"
#include "engine/Win1251.h"
#include "support/TestRegistry.h"
#include "support/TestTemp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(TFieldType)

namespace {

TSelectSpec Spec(const QString& table, const QString& where = {}, const QVariantList& params = {},
                 const QStringList& orderBy = {}) {
    TSelectSpec spec;
    spec.Table = table;
    spec.Where = where;
    spec.Params = params;
    spec.OrderBy = orderBy;
    return spec;
}

// A database file made with SQLite alone, so that the driver under test
// builds none of its own fixtures.
class TTestDatabase {
public:
    explicit TTestDatabase(const char* sql, const QString& base = TestTemp())
        : FDir(base + QStringLiteral("/sqlite-XXXXXX")) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(Path().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr);
        char* error = nullptr;
        sqlite3_exec(db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
        const QString message = QString::fromUtf8(error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
        if (rc != SQLITE_OK) qFatal("fixture: %s", qPrintable(message));
    }
    QString Path() const { return FDir.filePath(QStringLiteral("test.db")); }
    QString File(const QString& name) const { return FDir.filePath(name); }
    QString Folder() const { return FDir.path(); }
    std::unique_ptr<TDriverConnection> Open() const { return OpenSqliteConnection(Path()); }

private:
    QTemporaryDir FDir;
};

// The first column of the first row, as RunSql takes it.
QVariant First(TDriverConnection& c, const QString& sql) {
    const auto cursor = c.Query(sql);
    return cursor->Next() ? cursor->Value(0) : QVariant();
}

QString Failure(const std::function<void()>& run) {
    try {
        run();
    } catch (const EDatabaseError& e) {
        return e.Message();
    }
    return QStringLiteral("(no error)");
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// What read gives when run by a user who may read the folder's files but
// write neither them nor the folder: as root, in a child process that
// becomes "nobody"; else with the folder and its files made read-only.
QString AsReader(const QString& folder, const std::function<QString()>& read) {
    const auto permit = [&folder](QFileDevice::Permissions dir, QFileDevice::Permissions files) {
        for (const QString& name : QDir(folder).entryList(QDir::Files))
            QFile::setPermissions(folder + u'/' + name, files);
        QFile::setPermissions(folder, dir);
    };
    using P = QFileDevice;
    const P::Permissions dir = P::ReadOwner | P::ExeOwner | P::ReadOther | P::ExeOther;
    const P::Permissions files = P::ReadOwner | P::ReadOther;
    if (geteuid() != 0) {
        permit(dir, files);
        const QString text = read();
        permit(dir | P::WriteOwner, files | P::WriteOwner);
        return text;
    }
    permit(dir | P::WriteOwner, files | P::WriteOwner);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return QStringLiteral("(no pipe)");
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const QByteArray text = setgid(65534) == 0 && setuid(65534) == 0 ? read().toUtf8() : "(still root)";
        const ssize_t written = write(pipeEnds[1], text.constData(), size_t(text.size()));
        _exit(written == text.size() ? 0 : 1);
    }
    close(pipeEnds[1]);
    QByteArray text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return child < 0 ? QStringLiteral("(no child)") : QString::fromUtf8(text);
}

constexpr const char* Shop = R"(
CREATE TABLE Book (id INTEGER PRIMARY KEY, title VARCHAR(40));
CREATE TABLE stoki (id INTEGER, name TEXT, price FLOAT, cost DECIMAL(10,2), sold DATE);
CREATE VIEW cheap AS SELECT * FROM stoki WHERE price < 2;
INSERT INTO stoki VALUES (3, 'хляб', 1.5, 1.2, '2024-03-01');
INSERT INTO stoki VALUES (1, 'мляко', 2.25, 2, NULL);
INSERT INTO stoki VALUES (2, NULL, NULL, NULL, '2024-01-31');
INSERT INTO stoki VALUES (2, 'сол', 0.8, 0.5, '2024-02-29');
ANALYZE;
)";

} // namespace

class SqliteDriverTest : public QObject {
    Q_OBJECT
private slots:
    void openFailures() {
        const TTestDatabase db("");
        QVERIFY(Failure([&] {
                    OpenSqliteConnection(db.File("none.db"));
                }).startsWith("unable to open database file"));
        QFile junk(db.File("junk.db"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        QCOMPARE(Failure([&] { OpenSqliteConnection(junk.fileName()); }), "file is not a database");
    }

    void tableNames() {
        const TTestDatabase db(Shop);
        const QStringList names = db.Open()->TableNames();
        // SQLite's own tables (the schema, ANALYZE's statistics) are none of
        // the server's; the stand-in's catalogue is.
        QCOMPARE(names, QStringList({"Book", "cheap", "stoki", "systable"}));
    }

    void columnTypes_data() {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<TFieldType>("type");
        QTest::addColumn<int>("size");
        QTest::newRow("integer") << "INTEGER" << TFieldType::ftInteger << 0;
        QTest::newRow("int") << "int" << TFieldType::ftInteger << 0;
        QTest::newRow("bigint") << "BIGINT" << TFieldType::ftLargeint << 0;
        QTest::newRow("smallint") << "smallint" << TFieldType::ftSmallint << 0;
        QTest::newRow("unsigned smallint") << "unsigned  smallint" << TFieldType::ftWord << 0;
        QTest::newRow("float") << "FLOAT" << TFieldType::ftFloat << 0;
        QTest::newRow("double") << "DOUBLE" << TFieldType::ftFloat << 0;
        QTest::newRow("real") << "REAL" << TFieldType::ftFloat << 0;
        QTest::newRow("money") << "MONEY" << TFieldType::ftCurrency << 0;
        QTest::newRow("decimal") << "DECIMAL(12,3)" << TFieldType::ftBCD << 3;
        QTest::newRow("numeric") << "numeric" << TFieldType::ftBCD << 6;
        QTest::newRow("char") << "CHAR(10)" << TFieldType::ftString << 10;
        QTest::newRow("varchar") << "varchar ( 40 )" << TFieldType::ftString << 40;
        QTest::newRow("text") << "TEXT" << TFieldType::ftString << 255;
        QTest::newRow("long varchar") << "LONG VARCHAR" << TFieldType::ftMemo << 0;
        QTest::newRow("clob") << "CLOB" << TFieldType::ftMemo << 0;
        QTest::newRow("blob") << "BLOB" << TFieldType::ftBlob << 0;
        QTest::newRow("binary") << "BINARY(16)" << TFieldType::ftBytes << 16;
        QTest::newRow("date") << "DATE" << TFieldType::ftDate << 0;
        QTest::newRow("time") << "TIME" << TFieldType::ftTime << 0;
        QTest::newRow("datetime") << "DATETIME" << TFieldType::ftDateTime << 0;
        QTest::newRow("timestamp") << "timestamp" << TFieldType::ftDateTime << 0;
        QTest::newRow("bit") << "BIT" << TFieldType::ftBoolean << 0;
        QTest::newRow("boolean") << "BOOLEAN" << TFieldType::ftBoolean << 0;
        QTest::newRow("none") << "" << TFieldType::ftString << 255;
        QTest::newRow("other int name") << "MYINTEGRAL" << TFieldType::ftLargeint << 0;
    }
    void columnTypes() {
        QFETCH(QString, declared);
        QFETCH(TFieldType, type);
        QFETCH(int, size);
        const TTestDatabase db(
            QStringLiteral("CREATE TABLE t (\"x y\" %1)").arg(declared).toUtf8().constData());
        const QList<TColumnInfo> columns = db.Open()->TableColumns("t");
        QCOMPARE(columns.size(), 1);
        QCOMPARE(columns[0].Name, "x y");
        QCOMPARE(columns[0].Type, type);
        QCOMPARE(columns[0].Size, size);
    }

    void values_data() {
        QTest::addColumn<QString>("declared");
        QTest::addColumn<QString>("stored"); // an SQL literal
        QTest::addColumn<QVariant>("value");
        QTest::newRow("integer") << "INTEGER"
                                 << "42" << QVariant(qlonglong(42));
        QTest::newRow("large integer") << "BIGINT"
                                       << "9007199254740993" << QVariant(qlonglong(9007199254740993));
        QTest::newRow("float") << "FLOAT"
                               << "1.5" << QVariant(1.5);
        QTest::newRow("float stored as integer") << "DOUBLE"
                                                 << "2" << QVariant(2.0);
        // Fixed-point values come exactly: whole ones as integers, others as digits.
        const auto decimal = [](const char* text) {
            return DecimalVariant(*TDecimal::FromText(QByteArrayView(text)));
        };
        QTest::newRow("decimal") << "DECIMAL(10,2)"
                                 << "'12.50'" << decimal("12.5");
        QTest::newRow("decimal past 2^53") << "NUMERIC(20,0)"
                                           << "9007199254740993" << QVariant(qlonglong(9007199254740993));
        QTest::newRow("decimal millionths") << "DECIMAL(10,6)"
                                            << "0.000005" << decimal("0.000005");
        QTest::newRow("no number in a decimal column") << "DECIMAL(10,2)"
                                                       << "'n/a'" << QVariant(QStringLiteral("n/a"));
        QTest::newRow("money") << "MONEY"
                               << "3.25" << decimal("3.25");
        QTest::newRow("text") << "VARCHAR(10)"
                              << "'Иван'" << QVariant(QString::fromUtf8("Иван"));
        QTest::newRow("number in a text column") << "TEXT"
                                                 << "7" << QVariant(QStringLiteral("7"));
        QTest::newRow("date") << "DATE"
                              << "'2024-02-29'" << QVariant(QDate(2024, 2, 29));
        QTest::newRow("time") << "TIME"
                              << "'08:05:09'" << QVariant(QTime(8, 5, 9));
        QTest::newRow("time with fraction") << "TIME"
                                            << "'23:59:58.25'" << QVariant(QTime(23, 59, 58, 250));
        QTest::newRow("datetime") << "DATETIME"
                                  << "'2023-12-31 18:30:00'"
                                  << QVariant(QDateTime(QDate(2023, 12, 31), QTime(18, 30), Qt::UTC));
        QTest::newRow("timestamp with T")
            << "TIMESTAMP"
            << "'2023-12-31T18:30:00.5'"
            << QVariant(QDateTime(QDate(2023, 12, 31), QTime(18, 30, 0, 500), Qt::UTC));
        QTest::newRow("date only in datetime")
            << "DATETIME"
            << "'2023-01-02'" << QVariant(QDateTime(QDate(2023, 1, 2), QTime(0, 0), Qt::UTC));
        QTest::newRow("no date kept as stored") << "DATE"
                                                << "'31.12.2023'" << QVariant(QStringLiteral("31.12.2023"));
        QTest::newRow("impossible date kept") << "DATE"
                                              << "'2023-02-30'" << QVariant(QStringLiteral("2023-02-30"));
        QTest::newRow("bit") << "BIT"
                             << "1" << QVariant(true);
        QTest::newRow("boolean text") << "BOOLEAN"
                                      << "'false'" << QVariant(false);
        QTest::newRow("blob") << "BLOB"
                              << "x'00ff'" << QVariant(QByteArray("\x00\xff", 2));
        QTest::newRow("no type keeps storage") << ""
                                               << "2.5" << QVariant(2.5);
    }
    void values() {
        QFETCH(QString, declared);
        QFETCH(QString, stored);
        QFETCH(QVariant, value);
        const TTestDatabase db(QStringLiteral("CREATE TABLE t (a %1); INSERT INTO t VALUES (%2), (NULL);")
                                   .arg(declared, stored)
                                   .toUtf8()
                                   .constData());
        const auto c = db.Open();
        const auto cursor = c->Select(Spec(c->QuoteIdentifier("t")), 0);
        QVERIFY(cursor->Next());
        const QVariant got = cursor->Value(0);
        QCOMPARE(got.typeId(), value.typeId());
        QCOMPARE(got, value);
        // The float read without a QVariant, where given, is the value's.
        double direct = -1;
        if (cursor->FloatValue(0, direct)) QCOMPARE(direct, got.toDouble());
        QVERIFY(cursor->Next());
        QVERIFY(cursor->Value(0).isNull());
        QVERIFY(cursor->FloatValue(0, direct));
        QCOMPARE(direct, 0.0);
        QVERIFY(!cursor->Next());
        QVERIFY(!cursor->Next());
    }

    void selectOrderAndOffset() {
        const TTestDatabase db(Shop);
        const auto c = db.Open();
        const auto ids = [&](const TSelectSpec& spec, qint64 offset) {
            QList<qlonglong> out;
            const auto cursor = c->Select(spec, offset);
            while (cursor->Next())
                out << cursor->Value(0).toLongLong() * 1000 + qlonglong(cursor->Value(2).toDouble() * 100);
            return out;
        };
        const TSelectSpec all = Spec("\"stoki\"");
        QCOMPARE(ids(all, 0), QList<qlonglong>({3150, 1225, 2000, 2080})); // as inserted: rowid order
        QCOMPARE(ids(all, 2), QList<qlonglong>({2000, 2080}));
        const TSelectSpec ordered = Spec("\"stoki\"", {}, {}, {"\"id\""});
        // Equal keys keep one order, whichever offset a block starts at.
        const QList<qlonglong> sorted = ids(ordered, 0);
        QCOMPARE(sorted, QList<qlonglong>({1225, 2000, 2080, 3150}));
        QCOMPARE(ids(ordered, 1), sorted.mid(1));
        QCOMPARE(ids(ordered, 2), sorted.mid(2));
        TSelectSpec limited = ordered;
        limited.Limit = 2;
        QCOMPARE(ids(limited, 1), sorted.mid(1, 2));
        const TSelectSpec filtered =
            Spec("\"stoki\"", "\"name\" = ? OR \"sold\" < ?", {QString::fromUtf8("хляб"), QDate(2024, 2, 1)});
        QCOMPARE(ids(filtered, 0), QList<qlonglong>({3150, 2000}));
        QCOMPARE(c->Count(filtered), 2);
        QCOMPARE(c->Count(all), 4);
        QCOMPARE(c->Count(Spec("\"cheap\"")), 2);
        QCOMPARE(ids(Spec("\"cheap\""), 1), QList<qlonglong>({2080}));
        QCOMPARE(Failure([&] { c->Select(Spec("\"stoki\"", "\"nope\" = ?", {1}), 0); }),
                 "no such column: nope");
    }

    void boundValues_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QVariant>("param");
        QTest::addColumn<int>("count");
        QTest::newRow("date") << "sold = ?" << QVariant(QDate(2024, 2, 29)) << 1;
        QTest::newRow("integer") << "id = ?" << QVariant(2) << 2;
        QTest::newRow("float") << "price > ?" << QVariant(1.0) << 2;
        QTest::newRow("decimal") << "cost = ?" << QVariant(2.0) << 1;
        QTest::newRow("text with quotes") << "name = ?" << QVariant(QStringLiteral("x' OR '1'='1")) << 0;
        QTest::newRow("null matches nothing") << "name = ?" << QVariant() << 0;
        QTest::newRow("bool") << "(id = 1) = ?" << QVariant(true) << 1;
    }
    void boundValues() {
        QFETCH(QString, where);
        QFETCH(QVariant, param);
        QFETCH(int, count);
        const TTestDatabase db(Shop);
        QCOMPARE(db.Open()->Count(Spec("\"stoki\"", where, {param})), count);
    }

    void scriptsAndErrors() {
        const TTestDatabase db(Shop);
        const auto c = db.Open();
        // Several statements in one text; what a data script makes while
        // the connection may write stays for it, but only to read.
        c->SetWritable(true);
        c->Execute("create temp table x (a int); insert into x values (1); insert into x values (2);");
        c->SetWritable(false);
        QCOMPARE(First(*c, "select sum(a) from x").toInt(), 3);
        QCOMPARE(Failure([&] { c->Execute("insert into x values (3)"); }),
                 "attempt to write a readonly database");
        c->Execute("  "); // nothing to run
        QVERIFY(!c->Query("-- only a comment")->Next());
        QCOMPARE(Failure([&] { c->Query("select * from nosuch"); }), "no such table: nosuch");
        QCOMPARE(Failure([&] { c->Execute("select 1; selec 2"); }), "near \"selec\": syntax error");
        QCOMPARE(Failure([&] { c->TableColumns("nosuch"); }), "no such table: nosuch");
        // The first row of a query is read at once: its kinds name the columns.
        const auto cursor = c->Query("select 1, 'a', 2.5, null");
        QCOMPARE(cursor->Columns()[0].Type, TFieldType::ftLargeint);
        QCOMPARE(cursor->Columns()[1].Type, TFieldType::ftString);
        QCOMPARE(cursor->Columns()[2].Type, TFieldType::ftFloat);
        QVERIFY(cursor->Next());
        QCOMPARE(cursor->Value(0), QVariant(qlonglong(1)));
        QVERIFY(cursor->Value(3).isNull());
        QVERIFY(!cursor->Next());
    }

    // SQLite reads a text up to its first NUL: a statement with one is
    // refused whole, never cut short nor run for ever.
    void nulInStatement_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("execute");
        QTest::newRow("executed, after a statement")
            << QStringLiteral("select 1;") + QChar(0) + "select 2" << true;
        QTest::newRow("executed, alone") << QString(QChar(0)) << true;
        QTest::newRow("executed, a dialect statement")
            << QStringLiteral("create variable v") + QChar(0) + " integer" << true;
        QTest::newRow("opened") << QStringLiteral("select 1") + QChar(0) + "; drop table stoki" << false;
        // A data script saved as UTF-16 and read as Windows-1251.
        QTest::newRow("UTF-16 text") << FromWin1251(QByteArray("\xff\xfes\0e\0l\0e\0c\0t\0 \0\x31\0", 18))
                                     << true;
    }
    void nulInStatement() {
        QFETCH(QString, text);
        QFETCH(bool, execute);
        const TTestDatabase db(Shop);
        const auto c = db.Open();
        QCOMPARE(Failure([&] { execute ? c->Execute(text) : void(c->Query(text)); }),
                 "The statement text contains a NUL character");
        QCOMPARE(First(*c, "select count(*) from stoki").toInt(), 4);
    }

    // The connection only reads: no statement changes the file or undoes
    // that, and no other file is attached; the refusals say what they are.
    void writesAreRefused_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("code");
        QTest::newRow("insert") << "insert into stoki values (9, 'x', 1, 1, null)"
                                << "attempt to write a readonly database" << SQLITE_READONLY;
        QTest::newRow("update") << "update stoki set name = 'x'"
                                << "attempt to write a readonly database" << SQLITE_READONLY;
        QTest::newRow("delete") << "delete from stoki"
                                << "attempt to write a readonly database" << SQLITE_READONLY;
        QTest::newRow("drop") << "drop table stoki"
                              << "attempt to write a readonly database" << SQLITE_READONLY;
        QTest::newRow("create") << "create table made (a int)"
                                << "attempt to write a readonly database" << SQLITE_READONLY;
        QTest::newRow("attach") << "attach database '%1/other.db' as other"
                                << "too many attached databases - max 0" << SQLITE_ERROR;
        QTest::newRow("vacuum into") << "vacuum into '%1/copy.db'"
                                     << "too many attached databases - max 0" << SQLITE_ERROR;
        QTest::newRow("journal mode") << "pragma journal_mode = wal"
                                      << "not authorized" << SQLITE_AUTH;
        QTest::newRow("query_only undone") << "pragma query_only = off; insert into stoki (id) values (9)"
                                           << "not authorized" << SQLITE_AUTH;
    }
    void writesAreRefused() {
        QFETCH(QString, statement);
        QFETCH(QString, message);
        QFETCH(int, code);
        const TTestDatabase db(Shop);
        const QByteArray before = ReadAll(db.Path());
        const auto c = db.Open();
        try {
            c->Execute(statement.arg(QFileInfo(db.Path()).path()));
            QCOMPARE(QStringLiteral("(no error)"), message);
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.Message(), message);
            QCOMPARE(e.NativeCode() & 0xff, code);
            QVERIFY(e.SqlState().isEmpty());
            QVERIFY(!e.ConnectionLost());
        }
        QCOMPARE(First(*c, "select count(*) from stoki").toInt(), 4);
        QCOMPARE(ReadAll(db.Path()), before);
        QVERIFY(!QFile::exists(db.File("other.db")));
        QVERIFY(!QFile::exists(db.File("copy.db")));
    }

    // Another program writes the file (in rollback-journal mode, where an
    // open read would lock it out) while a table is open and partly read,
    // whatever the user did last; the rows read after go on in order.
    void otherProgramWritesWhileTableIsOpen_data() {
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("action");
        QTest::newRow("opened") << QString() << "open";
        QTest::newRow("page steps") << QString() << "page";
        QTest::newRow("steps past the first block") << QString() << "next";
        QTest::newRow("grid read far down") << QString() << "grid";
        QTest::newRow("walk ended") << QString() << "walk";
        QTest::newRow("refreshed") << QString() << "refresh";
        QTest::newRow("ordered, page steps") << "name"
                                             << "page";
        QTest::newRow("ordered, grid read") << "name"
                                            << "grid";
    }
    void otherProgramWritesWhileTableIsOpen() {
        QFETCH(QString, order);
        QFETCH(QString, action);
        const TTestDatabase db(R"(
            CREATE TABLE T (id INTEGER, name VARCHAR(20));
            WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 5000)
            INSERT INTO T SELECT n, printf('n%05d', n) FROM c;
        )");
        TTable t;
        t.SetDatabaseName(db.Path());
        t.SetTableName(QStringLiteral("T"));
        t.SetIndexFieldNames(order);
        const auto closeSession = qScopeGuard([] { Session().Close(); });
        t.Open();
        if (action == u"page")
            for (int i = 0; i < 8; ++i)
                t.MoveBy(30);
        if (action == u"next")
            for (int i = 0; i < 250; ++i)
                t.Next();
        if (action == u"grid") QCOMPARE(t.ValueAt(3000, 0).toInt(), 3000);
        if (action == u"walk") {
            t.DisableControls();
            for (t.First(); !t.Eof(); t.Next()) {
            }
            t.SetRecNo(300);
            t.EnableControls();
        }
        if (action == u"refresh") {
            t.SetRecNo(450);
            t.Refresh();
        }
        const int recNo = t.RecNo();

        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(db.Path().toUtf8().constData(), &other), SQLITE_OK);
        const auto closeOther = qScopeGuard([other] { sqlite3_close(other); });
        char* error = nullptr;
        const int rc = sqlite3_exec(other, "INSERT INTO T VALUES (9000, 'n09000')", nullptr, nullptr, &error);
        const QString message = QString::fromUtf8(error ? error : "");
        sqlite3_free(error);
        QVERIFY2(rc == SQLITE_OK, qPrintable(message));

        QCOMPARE(t.FieldByName(QStringLiteral("id"))->AsInteger(), recNo);
        t.MoveBy(400);
        QCOMPARE(t.FieldByName(QStringLiteral("id"))->AsInteger(), recNo + 400);
        QCOMPARE(t.ValueAt(recNo + 401, 0).toInt(), recNo + 401);
    }
};

// A file that this user may only read opens, read-only from the start,
// whatever its journal: a write-ahead log's index cannot be made beside a
// file in a folder this user may not write, so SQLite reads it as it stands.
class SqliteReaderTest : public QObject {
    Q_OBJECT
private slots:
    void readOnlyFileOpens_data() {
        QTest::addColumn<QString>("journal");
        QTest::newRow("rollback journal") << "delete";
        QTest::newRow("write-ahead log") << "wal";
    }
    void readOnlyFileOpens() {
        QFETCH(QString, journal);
        const QByteArray sql = "PRAGMA journal_mode = " + journal.toLatin1() + ";" + Shop;
        const TTestDatabase db(sql.constData(), QDir::tempPath());
        const QByteArray before = ReadAll(db.Path());
        const QString read = AsReader(db.Folder(), [&db] {
            try {
                const auto c = db.Open();
                QString text = First(*c, "select count(*) from stoki").toString();
                // The data script's writes fail as any failing line does.
                c->SetWritable(true);
                return text + u' ' + Failure([&] { c->Execute("insert into stoki (id) values (9)"); });
            } catch (const EDatabaseError& e) {
                return e.Message();
            }
        });
        QCOMPARE(read, QStringLiteral("4 attempt to write a readonly database"));
        QCOMPARE(ReadAll(db.Path()), before);
        QCOMPARE(QDir(db.Folder()).entryList(QDir::Files), QStringList{"test.db"});
    }
};

// The statements the program sends to a server, word for word.
class SqliteStatementsTest : public QObject {
    Q_OBJECT
private slots:
    void catalogueProbes_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<int>("count");
        QTest::newRow("book, any case")
            << "select count(*) from systable where LCase(table_name) = 'book'" << 1;
        QTest::newRow("stoki") << "select count(*) from systable where LCase(table_name) = 'stoki'" << 1;
        QTest::newRow("cng_currency")
            << "select count(*) from systable where LCase(table_name) = 'cng_currency'" << 0;
        QTest::newRow("no internal table")
            << "select count(*) from systable where table_name like 'sqlite%'" << 0;
        QTest::newRow("the catalogue itself")
            << "select count(*) from sys.systable where table_name = 'systable' and creator = 0" << 1;
    }
    void catalogueProbes() {
        QFETCH(QString, statement);
        QFETCH(int, count);
        const TTestDatabase db(Shop);
        QCOMPARE(First(*db.Open(), statement), QVariant(qlonglong(count)));
    }

    void tableList() {
        const TTestDatabase db(Shop);
        const auto cursor = db.Open()->Query("select table_name from sys.systable\n"
                                             "where creator=1 and table_type='BASE'\n"
                                             "order by table_name ");
        QStringList names;
        while (cursor->Next())
            names << cursor->Value(0).toString();
        QCOMPARE(names, QStringList({"Book", "stoki"})); // no view, no system table
    }

    void connectionNumber() {
        const TTestDatabase db(Shop);
        const auto one = db.Open();
        const auto two = db.Open();
        const int first = First(*one, "SELECT Connection_property('Number')").toInt();
        QVERIFY(first > 0);
        QCOMPARE(First(*one, "SELECT Connection_property('Number')").toInt(), first);
        QVERIFY(First(*two, "SELECT Connection_property('Number')").toInt() != first);
        QVERIFY(First(*one, "SELECT Connection_property('Unknown')").isNull());
    }

    void connectionVariables() {
        const TTestDatabase db(Shop);
        const auto c = db.Open();
        QCOMPARE(First(*c, "select varexists('bvrConnectID')").toInt(), 0);
        QCOMPARE(Failure([&] { c->Execute("SET bvrConnectID = 123"); }), "Variable 'bvrConnectID' not found");
        QCOMPARE(Failure([&] { c->Execute("SET @bvrConnectID = 123"); }),
                 "Variable '@bvrConnectID' not found");

        c->Execute("CREATE VARIABLE bvrConnectID integer");
        c->Execute("create variable bvrExecDir long varchar;");
        QCOMPARE(First(*c, "select varexists('bvrConnectID')").toInt(), 1);
        QCOMPARE(First(*c, "select varexists('BVRCONNECTID')").toInt(), 1);
        QVERIFY(First(*c, "select bvrConnectID").isNull());
        c->Execute("SET bvrConnectID = 123");
        QCOMPARE(First(*c, "select bvrConnectID"), QVariant(qlonglong(123)));
        c->Execute("SET @bvrConnectID = 124");
        QCOMPARE(First(*c, "select bvrConnectID + 1"), QVariant(qlonglong(125)));
        c->Execute(R"(SET bvrExecDir = '/opt/tamsel''s\x09dir/')");
        QCOMPARE(First(*c, "select bvrExecDir").toString(), "/opt/tamsel's\tdir/");
        c->Execute("SET bvrExecDir = ''");
        QCOMPARE(First(*c, "select bvrExecDir").toString(), "");
        QCOMPARE(Failure([&] { c->Execute("create variable bvrExecDir int"); }),
                 "Variable 'bvrExecDir' already exists");
        QCOMPARE(Failure([&] { c->Execute("create variable z no_such(type"); }).isEmpty(), false);
        QCOMPARE(First(*c, "select varexists('z')").toInt(), 0);

        // Variables belong to the connection, not to the file.
        QCOMPARE(First(*db.Open(), "select varexists('bvrConnectID')").toInt(), 0);
        c->Execute("drop variable bvrConnectID");
        QCOMPARE(First(*c, "select varexists('bvrConnectID')").toInt(), 0);
    }

    void functions_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("lcase cyrillic")
            << "select LCase('КНИГА Book')" << QVariant(QString::fromUtf8("книга book"));
        QTest::newRow("ucase cyrillic") << "select ucase('хляб')" << QVariant(QString::fromUtf8("ХЛЯБ"));
        QTest::newRow("lcase null") << "select lcase(null)" << QVariant();
        QTest::newRow("list in row order") << "select list(id) from stoki" << QVariant("3,1,2,2");
        QTest::newRow("list ordered, nulls left out")
            << "select list(name order by id desc, price) from stoki"
            << QVariant(QString::fromUtf8("хляб,сол,мляко"));
        QTest::newRow("list distinct with delimiter")
            << "select list(distinct id, '; ' order by id) from stoki" << QVariant("1; 2; 3");
        QTest::newRow("list by text key")
            << "select list(id order by name asc) from stoki" << QVariant("2,1,2,3");
        QTest::newRow("list of nothing") << "select list(id) from stoki where id > 5" << QVariant();
        QTest::newRow("list in groups") << "select list(n, '/') from (select count(*) || ':' || list(price "
                                           "order by price) as n from stoki group by id)"
                                        << QVariant("1:2.25/2:0.8/1:1.5");
        QTest::newRow("call") << " CALL sa_describe_query('select id from Book')" << QVariant(qlonglong(1));
    }
    void functions() {
        QFETCH(QString, statement);
        QFETCH(QVariant, value);
        const TTestDatabase db(Shop);
        const QVariant got = First(*db.Open(), statement);
        QCOMPARE(got.isNull(), value.isNull());
        if (!value.isNull()) QCOMPARE(got, value);
    }

    void describeQuery() {
        const TTestDatabase db(Shop);
        const auto c = db.Open();
        const auto cursor =
            c->Query("select column_number, name, domain_name, width, scale, base_table_name "
                     "from sa_describe_query('SELECT stoki.id, cost AS c, LCase(title) FROM stoki, Book')");
        QStringList rows;
        while (cursor->Next()) {
            QStringList row;
            for (int i = 0; i < 6; ++i)
                row << cursor->Value(i).toString();
            rows << row.join(u'|');
        }
        QCOMPARE(rows, QStringList({"1|id|integer|0|0|stoki", "2|c|numeric|10|2|stoki",
                                    "3|LCase(title)|varchar|255|0|"}));
        QVERIFY(Failure([&] {
                    c->Query("select * from sa_describe_query('select nope from stoki')");
                }).contains("no such column: nope"));
        QVERIFY(!Failure([&] { c->Query("select * from sa_describe_query"); }).isEmpty());
    }

    void header() {
        const TTestDatabase db("CREATE TABLE T (id INTEGER, \"име\" VARCHAR(20), price DOUBLE);"
                               "CREATE TABLE E (only_one INT);");
        const auto c = db.Open();
        QCOMPARE(
            First(
                *c,
                R"(select replace(list(name order by column_number asc),',','\x09')  from sa_describe_query('SELECT * FROM T'))"),
            QVariant(QString::fromUtf8("id\tиме\tprice")));
        QCOMPARE(
            First(
                *c,
                R"(select replace(list(name order by column_number asc),',','\x09')  from sa_describe_query('SELECT * FROM E'))"),
            QVariant("only_one"));
    }

    void unload() {
        const TTestDatabase db(R"(
            CREATE TABLE T (id INTEGER, "име" VARCHAR(20), price DOUBLE, cost DECIMAL(10,2), sold DATE, note TEXT);
            INSERT INTO T VALUES (1, 'Иван', 1.5, 2, '2024-02-29', 'a' || char(9) || 'b');
            INSERT INTO T VALUES (2, NULL, 0.1, 12.5, NULL, 'C:\dir' || char(10) || 'x');
            INSERT INTO T VALUES (3, 'O''Neil €', 1234.5, NULL, '2024-01-01', '');
            CREATE TABLE Empty (a INT);)");
        const auto c = db.Open();
        const QString file = db.File("TTable.txt");
        const QString unload = QStringLiteral(
            R"(unload from table T into client file '%1' delimited by '\x09' quotes off append on)");

        QVERIFY(Failure([&] { c->Execute(unload.arg(file)); }).contains("allow_write_client_file"));
        QVERIFY(!QFile::exists(file));

        c->Execute("set option allow_write_client_file='On'");
        {
            QFile header(file);
            QVERIFY(header.open(QIODevice::WriteOnly));
            header.write(ToWin1251(QString::fromUtf8("id\tиме\tprice\tcost\tsold\tnote\r\n")));
        }
        c->Execute(unload.arg(file));
        QCOMPARE(ReadAll(file), ToWin1251(QString::fromUtf8("id\tиме\tprice\tcost\tsold\tnote\r\n"
                                                            "1\tИван\t1.5\t2.00\t2024-02-29\ta\\x09b\r\n"
                                                            "2\t\t0.1\t12.50\t\tC:\\\\dir\\nx\r\n"
                                                            "3\tO'Neil €\t1234.5\t\t2024-01-01\t\r\n")));

        // A table without rows adds nothing to its header line.
        const QString empty = db.File("EmptyTable.txt");
        QFile(empty).open(QIODevice::WriteOnly);
        c->Execute(unload.arg(empty).replace(" T ", " Empty "));
        QCOMPARE(ReadAll(empty), QByteArray());

        // Without APPEND the file is replaced; QUOTES ON by default.
        c->Execute(QStringLiteral("UNLOAD TABLE T TO '%1' DELIMITED BY ';'").arg(file));
        QCOMPARE(ReadAll(file).split('\n').value(2),
                 QByteArray("3;'O''Neil \x88';1234.5;;'2024-01-01';''\r"));

        QVERIFY(Failure([&] {
                    c->Execute(unload.arg(db.File("no/such/folder/x.txt")));
                }).startsWith("Cannot write the client file"));
        c->Execute("SET TEMPORARY OPTION allow_write_client_file = 'Off'");
        QVERIFY(Failure([&] { c->Execute(unload.arg(file)); }).contains("allow_write_client_file"));
        QCOMPARE(Failure([&] {
                     c->Execute("set option allow_write_client_file='On'");
                     c->Execute(unload.arg(file).replace(" T ", " Nope "));
                 }),
                 "no such table: Nope");
    }
};

TAMSEL_TEST(SqliteDriverTest);
TAMSEL_TEST(SqliteReaderTest);
TAMSEL_TEST(SqliteStatementsTest);
#include "SqliteDriverTest.moc"
