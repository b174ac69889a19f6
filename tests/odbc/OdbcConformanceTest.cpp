#include "OdbcTestSupport.h"
#include "engine/Conformance.h"
#include "engine/Session.h"
#include "engine/TDatabase.h"
#include "support/TestRegistry.h"

#include <QFile>

namespace {

// A registered connection to a data source of the tests' ini files.
std::unique_ptr<TDatabase> RegisteredDatabase(const QString& dsn, const QString& user,
                                              const QString& password) {
    auto db = std::make_unique<TDatabase>();
    db->SetDatabaseName(dsn);
    db->SetAliasName(dsn);
    db->SetLoginPrompt(false);
    if (!user.isEmpty())
        db->Params() << QStringLiteral("USER NAME=") + user << QStringLiteral("PASSWORD=") + password;
    return db;
}

// A fresh database "conformance" on the loopback server, made by the
// server's superuser and owned by the test login.
class TPgFixture : public TConformanceFixture {
public:
    QString CreateDatabase() override {
        FDatabase.reset();
        FWriter.reset();
        {
            TOdbcWriter admin(TestDsn(), QStringLiteral("postgres"), QString());
            admin.Execute(QStringLiteral("DROP DATABASE IF EXISTS conformance WITH (FORCE)"));
            admin.Execute(QStringLiteral("CREATE DATABASE conformance OWNER tamsel"));
        }
        FDatabase = RegisteredDatabase(QStringLiteral("TamselPgConformance"), QStringLiteral("tamsel"),
                                       QStringLiteral("secret"));
        FWriter = std::make_unique<TOdbcWriter>(FDatabase->DatabaseName(), QStringLiteral("tamsel"),
                                                QStringLiteral("secret"));
        return FDatabase->DatabaseName();
    }
    void Execute(const QString& sql) override { FWriter->Execute(sql); }
    QStringList NumbersTable(const QString& name, int rows) override {
        return {QStringLiteral("CREATE TABLE %1 (n INTEGER, x DOUBLE PRECISION, s VARCHAR(20))").arg(name),
                QStringLiteral("INSERT INTO %1 SELECT g, g / 4.0, 'r' || g FROM generate_series(1, %2) g")
                    .arg(name)
                    .arg(rows)};
    }
    // The server's ordinary text, which psqlODBC reports as a long one.
    QString MemoType() const override { return QStringLiteral("TEXT"); }
    // JSON values have no equality and no order.
    TRefusedFilter RefusedFilter() override {
        return {QStringLiteral("JSON"), QStringLiteral("doc='a'"), true};
    }
    void DropDatabase() override {
        FDatabase.reset();
        FWriter.reset();
    }

private:
    std::unique_ptr<TDatabase> FDatabase;
    std::unique_ptr<TOdbcWriter> FWriter;
};

// An SQLite file of its own through SQLite's ODBC driver, which creates the
// file on connecting.
class TLiteFixture : public TConformanceFixture {
public:
    QString CreateDatabase() override {
        FDatabase.reset();
        FWriter.reset();
        QFile::remove(File());
        FWriter =
            std::make_unique<TOdbcWriter>(QStringLiteral("TamselLiteConformance"), QString(), QString());
        FDatabase = RegisteredDatabase(QStringLiteral("TamselLiteConformance"), QString(), QString());
        return FDatabase->DatabaseName();
    }
    bool ReportsScale() const override { return false; }
    void Execute(const QString& sql) override { FWriter->Execute(sql); }
    // SQLite's ODBC driver reports TEXT as a long text.
    QString MemoType() const override { return QStringLiteral("TEXT"); }
    // SQLite's ODBC driver keeps no read-only connection; the engine sets
    // query_only, which refuses every write but not ATTACH.
    bool RefusesAttach() const override { return false; }
    QByteArray FileBytes() const override {
        QFile file(File());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList NumbersTable(const QString& name, int rows) override {
        return {
            QStringLiteral("CREATE TABLE %1 (n INTEGER, x DOUBLE PRECISION, s VARCHAR(20))").arg(name),
            QStringLiteral("INSERT INTO %1 WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c "
                           "WHERE n < %2) SELECT n, n / 4.0, 'r' || n FROM c")
                .arg(name)
                .arg(rows)};
    }
    TRefusedFilter RefusedFilter() override { return SqliteRefusedFilter(); }
    void DropDatabase() override {
        FDatabase.reset();
        FWriter.reset();
    }

private:
    static QString File() { return qEnvironmentVariable("TAMSEL_LITE_CONFORMANCE_FILE"); }
    std::unique_ptr<TDatabase> FDatabase;
    std::unique_ptr<TOdbcWriter> FWriter;
};

} // namespace

class PgConformanceTest : public ConformanceTest {
    Q_OBJECT
public:
    PgConformanceTest() : ConformanceTest(std::make_unique<TPgFixture>()) {}
};

class LiteConformanceTest : public ConformanceTest {
    Q_OBJECT
public:
    LiteConformanceTest() : ConformanceTest(std::make_unique<TLiteFixture>()) {}
};

TAMSEL_TEST(PgConformanceTest);
TAMSEL_TEST(LiteConformanceTest);

#include "OdbcConformanceTest.moc"
