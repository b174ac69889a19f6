#include "engine/Session.h"
#include "engine/TDatabase.h"
#include "engine/TField.h"
#include "engine/TQuery.h"
#include "engine/TTable.h"
#include "engine/Win1251.h"
#include "support/TestRegistry.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Generator = QStringLiteral(TAMSEL_BINARY_DIR "/demo/tamsel-demo");

bool Generate(const QString& folder, const QStringList& options = {}) {
    QProcess process;
    process.start(Generator, options + QStringList{folder});
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

void Restore(const char* name, const QByteArray& old) {
    if (old.isEmpty())
        qunsetenv(name);
    else
        qputenv(name, old);
}

QByteArray Digest(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

// The demo database as the program meets it: through its data source, as a
// server database, with the field kinds and links the demo exists to show.
class DemoDatabaseTest : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QByteArray FOldIni, FOldSysIni;
    std::unique_ptr<TDatabase> FDatabase;

    QString Folder() const { return FDir.filePath(QStringLiteral("demo")); }

    QVariant Value(const QString& sql) {
        TQuery query;
        query.SetDatabaseName(QStringLiteral("TamselDemo"));
        query.SetSQL({sql});
        query.Open();
        return query.Fields(0)->IsNull() ? QVariant() : QVariant(query.Fields(0)->AsString());
    }

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(Generator), "build the tamsel-demo target first");
        QVERIFY(Generate(Folder(), {QStringLiteral("--sales"), QStringLiteral("3000")}));
        FOldIni = qgetenv("ODBCINI");
        FOldSysIni = qgetenv("ODBCSYSINI");
        qputenv("ODBCINI", QFile::encodeName(Folder() + QStringLiteral("/odbc.ini")));
        qputenv("ODBCSYSINI", QFile::encodeName(Folder() + QStringLiteral("/odbcsys")));
        FDatabase = std::make_unique<TDatabase>();
        FDatabase->SetDatabaseName(QStringLiteral("TamselDemo"));
        FDatabase->SetAliasName(QStringLiteral("TamselDemo"));
        FDatabase->SetLoginPrompt(false);
        FDatabase->Params() = QStringList{QStringLiteral("USER NAME=dba"), QStringLiteral("PASSWORD=sql")};
        FDatabase->SetConnected(true);
    }
    void cleanupTestCase() {
        FDatabase.reset();
        Session().Close();
        Restore("ODBCINI", FOldIni);
        Restore("ODBCSYSINI", FOldSysIni);
    }

    void dataSource() {
        const TAliasInfo info = Session().AliasInfo(QStringLiteral("TamselDemo"));
        QCOMPARE(info.Kind, TAliasKind::EmbeddedServer);
        QCOMPARE(info.Driver, QStringLiteral("SQL Anywhere 11"));
        QCOMPARE(info.DatabaseFile, Folder() + QStringLiteral("/tamsel-demo.db"));
        QCOMPARE(info.UserName, QStringLiteral("dba"));
        QCOMPARE(info.Password, QStringLiteral("sql"));
        QVERIFY(FDatabase->IsSQLBased());
        // The machine's own data sources stay out.
        for (const char* file : {"odbc.ini", "odbcinst.ini"})
            QCOMPARE(QFileInfo(Folder() + "/odbcsys/" + file).size(), 0);
    }

    void fieldKinds_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("kind");
        QTest::newRow("integer key") << "prodazhbi"
                                     << "klient_id" << int(TFieldType::ftInteger);
        QTest::newRow("money") << "prodazhbi"
                               << "edinichna_cena" << int(TFieldType::ftCurrency);
        QTest::newRow("decimal") << "prodazhbi"
                                 << "suma" << int(TFieldType::ftBCD);
        QTest::newRow("float") << "prodazhbi"
                               << "teglo" << int(TFieldType::ftFloat);
        QTest::newRow("date") << "prodazhbi"
                              << "data" << int(TFieldType::ftDate);
        QTest::newRow("text") << "klienti"
                              << "ime" << int(TFieldType::ftString);
    }
    void fieldKinds() {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(int, kind);
        TTable t;
        t.SetDatabaseName(QStringLiteral("TamselDemo"));
        t.SetTableName(table);
        t.Open();
        QCOMPARE(int(t.FieldByName(field)->DataType()), kind);
    }

    void decimalWidthFromItsDigits() {
        // DECIMAL(10,2): ten digits, a sign and the mark, not the two decimals.
        TTable t;
        t.SetDatabaseName(QStringLiteral("TamselDemo"));
        t.SetTableName(QStringLiteral("prodazhbi"));
        t.Open();
        QCOMPARE(t.FieldByName(QStringLiteral("suma"))->DisplayWidth(), 12);
    }

    void contents() {
        QCOMPARE(Value(QStringLiteral("select count(*) from prodazhbi")).toInt(), 3000);
        // The probe that picks the data script RestData.sql.
        QCOMPARE(
            Value(QStringLiteral("select count(*) from systable where LCase(table_name) = 'stoki'")).toInt(),
            1);
        // Cyrillic texts that Windows-1251 holds, so that exports keep them.
        const QString name = Value(QStringLiteral("select ime from kategorii where id = 1")).toString();
        QCOMPARE(name, QStringLiteral("Хлебни изделия"));
        QVERIFY(!ToWin1251(Value(QStringLiteral("select list(ime) from stoki")).toString()).contains('?'));
        // Nulls where the demo shows them, and keys that find their masters.
        QVERIFY(Value(QStringLiteral("select count(*) from prodazhbi where klient_id is null")).toInt() > 0);
        QVERIFY(Value(QStringLiteral("select count(*) from klienti where e_mail is null")).toInt() > 0);
        QCOMPARE(Value(QStringLiteral(
                           "select count(*) from prodazhbi p where p.klient_id is not null and not exists "
                           "(select 1 from klienti k where k.id = p.klient_id)"))
                     .toInt(),
                 0);
        QCOMPARE(Value(QStringLiteral("select count(*) from prodazhbi p where not exists "
                                      "(select 1 from stoki s where s.id = p.stoka_id)"))
                     .toInt(),
                 0);
    }

    // The data script the preparation runs for a database with stoki.
    void dataScriptCreatesTheConnectionVariables() {
        QFile script(QStringLiteral(TAMSEL_SOURCE_DIR "/demo/RestData.sql"));
        QVERIFY(script.open(QIODevice::ReadOnly));
        const QByteArray bytes = script.readAll();
        QVERIFY(bytes.endsWith("\r\n"));
        for (const QString& line : FromWin1251(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
            TQuery query;
            query.SetDatabaseName(QStringLiteral("TamselDemo"));
            query.SetSQL({line});
            query.ExecSQL();
        }
        QCOMPARE(Value(QStringLiteral("select varexists('bvrConnectID')")).toInt(), 1);
        QCOMPARE(Value(QStringLiteral("select varexists('bvrExecDir')")).toInt(), 1);
    }

    void sameSeedSameDatabase() {
        const QString again = FDir.filePath(QStringLiteral("again")),
                      other = FDir.filePath(QStringLiteral("other"));
        QVERIFY(Generate(again, {QStringLiteral("--sales"), QStringLiteral("3000")}));
        QVERIFY(Generate(other, {QStringLiteral("--sales"), QStringLiteral("3000"), QStringLiteral("--seed"),
                                 QStringLiteral("7")}));
        const QByteArray first = Digest(Folder() + QStringLiteral("/tamsel-demo.db"));
        QVERIFY(!first.isEmpty());
        QCOMPARE(Digest(again + QStringLiteral("/tamsel-demo.db")), first);
        QVERIFY(Digest(other + QStringLiteral("/tamsel-demo.db")) != first);
    }
};

TAMSEL_TEST(DemoDatabaseTest);
#include "DemoDatabaseTest.moc"
