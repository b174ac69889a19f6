#include "OdbcTestSupport.h"

#include "engine/odbc/OdbcDriver.h"

#include <QProcess>
#include <QTest>

QString TestDsn() { return qEnvironmentVariable("TAMSEL_ODBC_DSN", QStringLiteral("TamselLite")); }

bool OnPostgres() { return qEnvironmentVariable("TAMSEL_ODBC_KIND") == QLatin1String("pg"); }

std::unique_ptr<TDriverConnection> OpenTestConnection(const QString& user, const QString& password,
                                                      TTransIsolation isolation) {
    TAliasInfo alias;
    alias.Kind = TAliasKind::OdbcServer;
    alias.Name = TestDsn();
    return OpenOdbcConnection(alias, user, password, isolation);
}

std::unique_ptr<TDriverConnection> OpenTestConnection(TTransIsolation isolation) {
    return OnPostgres() ? OpenTestConnection(QStringLiteral("tamsel"), QStringLiteral("secret"), isolation)
                        : OpenTestConnection(QString(), QString(), isolation);
}

void RecreateTable(TDriverConnection& connection, const QString& quotedName, const QString& columns) {
    connection.Execute(QStringLiteral("DROP TABLE IF EXISTS %1").arg(quotedName));
    connection.Execute(QStringLiteral("CREATE TABLE %1 (%2)").arg(quotedName, columns));
}

void FillNumbered(TDriverConnection& connection, const QString& quotedName, int count) {
    RecreateTable(connection, quotedName, QStringLiteral("id INTEGER, grp INTEGER, name VARCHAR(40)"));
    // INSERT first: psqlODBC takes a statement that begins with WITH for a query.
    connection.Execute(QStringLiteral("INSERT INTO %1 WITH RECURSIVE g(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM g "
                                      "WHERE x < %2) SELECT x, x % 7, 'Ред ' || x FROM g")
                           .arg(quotedName)
                           .arg(count));
}

QList<QVariantList> ReadAll(TCursor& cursor) {
    QList<QVariantList> rows;
    while (cursor.Next()) {
        QVariantList row;
        for (int c = 0; c < cursor.Columns().size(); ++c)
            row << cursor.Value(c);
        rows << row;
    }
    return rows;
}

bool ServerScript(const QString& action) {
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral("sh"), {qEnvironmentVariable("TAMSEL_PG_SCRIPT"), action,
                                        qEnvironmentVariable("TAMSEL_PG_STATE")});
    return script.waitForFinished(120000) && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}
