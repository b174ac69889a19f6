#include "Conformance.h"
#include "support/TestRegistry.h"
#include "support/TestSqlite.h"
#include "support/TestTemp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// A desktop database: an SQLite file named by its path.
class TEmbeddedFixture : public TConformanceFixture {
public:
    TEmbeddedFixture() : FDir(TestTemp() + QStringLiteral("/conformance-XXXXXX")) {}

    QString CreateDatabase() override {
        // In WAL mode a test writes while a data set still reads.
        ExecSqlite(Path(), {QStringLiteral("PRAGMA journal_mode=WAL")});
        return Path();
    }

    void Execute(const QString& sql) override { ExecSqlite(Path(), {sql}); }

    QByteArray FileBytes() const override {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QStringList NumbersTable(const QString& name, int rows) override {
        return {QStringLiteral("CREATE TABLE %1 (n INTEGER, x DOUBLE PRECISION, s VARCHAR(20))").arg(name),
                QStringLiteral("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < %2) "
                               "INSERT INTO %1 SELECT n, n / 4.0, 'r' || n FROM c")
                    .arg(name)
                    .arg(rows)};
    }

    QString MoneyType() const override { return QStringLiteral("MONEY"); }
    TRefusedFilter RefusedFilter() override { return SqliteRefusedFilter(); }

private:
    QString Path() const { return FDir.filePath(QStringLiteral("conformance.db")); }
    QTemporaryDir FDir;
};

} // namespace

class EmbeddedConformanceTest : public ConformanceTest {
    Q_OBJECT
public:
    EmbeddedConformanceTest() : ConformanceTest(std::make_unique<TEmbeddedFixture>()) {}
};

TAMSEL_TEST(EmbeddedConformanceTest);

#include "EmbeddedConformanceTest.moc"
