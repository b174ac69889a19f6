#include "OdbcTestSupport.h"

#include "engine/odbc/OdbcDriver.h"

#include <QProcess>
#include <QTest>
#include <clocale>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <stdexcept>

QString TestDsn() {
    return qEnvironmentVariable("TAMSEL_ODBC_DSN", QStringLiteral("TamselLite"));
}

bool OnPostgres() {
    return qEnvironmentVariable("TAMSEL_ODBC_KIND") == QLatin1String("pg");
}

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

namespace {

const SQLWCHAR* Wide(const QString& text) {
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

QString Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    QStringList lines;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLWCHAR message[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, record, state, &native, message, 1024, &length)))
            break;
        lines << QString::fromUtf16(reinterpret_cast<const char16_t*>(message), qMin<int>(length, 1023));
    }
    return lines.join(QLatin1Char('\n'));
}

[[noreturn]] void Fail(SQLSMALLINT type, SQLHANDLE handle, const QString& what) {
    throw std::runtime_error(qPrintable(what + QStringLiteral(": ") + Diagnostics(type, handle)));
}

} // namespace

TOdbcWriter::TOdbcWriter()
    : TOdbcWriter(TestDsn(), OnPostgres() ? QStringLiteral("tamsel") : QString(),
                  OnPostgres() ? QStringLiteral("secret") : QString()) {}

TOdbcWriter::TOdbcWriter(const QString& dsn, const QString& user, const QString& password) {
    // The driver manager converts wide texts for a narrow driver (SQLite's)
    // by LC_CTYPE; the tests run in the C locale.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &FEnv);
    SQLSetEnvAttr(FEnv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, FEnv, &FDbc);
    QString connect = QStringLiteral("DSN=") + dsn;
    if (!user.isEmpty()) connect += QStringLiteral(";UID=") + user + QStringLiteral(";PWD=") + password;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLDriverConnectW(FDbc, nullptr, const_cast<SQLWCHAR*>(Wide(connect)),
                                         SQLSMALLINT(connect.size()), nullptr, 0, &length,
                                         SQL_DRIVER_NOPROMPT)))
        Fail(SQL_HANDLE_DBC, FDbc, QStringLiteral("connect ") + dsn);
}

TOdbcWriter::~TOdbcWriter() {
    SQLDisconnect(FDbc);
    SQLFreeHandle(SQL_HANDLE_DBC, FDbc);
    SQLFreeHandle(SQL_HANDLE_ENV, FEnv);
}

void TOdbcWriter::Execute(const QString& sql) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, FDbc, &stmt);
    const SQLRETURN rc = SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(Wide(sql)), SQLINTEGER(sql.size()));
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        const QString message = Diagnostics(SQL_HANDLE_STMT, stmt);
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        throw std::runtime_error(qPrintable(sql + QStringLiteral(": ") + message));
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

void RecreateTable(TOdbcWriter& writer, const QString& quotedName, const QString& columns) {
    writer.Execute(QStringLiteral("DROP TABLE IF EXISTS %1").arg(quotedName));
    writer.Execute(QStringLiteral("CREATE TABLE %1 (%2)").arg(quotedName, columns));
}

void FillNumbered(TOdbcWriter& writer, const QString& quotedName, int count) {
    RecreateTable(writer, quotedName, QStringLiteral("id INTEGER, grp INTEGER, name VARCHAR(40)"));
    // INSERT first: psqlODBC takes a statement that begins with WITH for a query.
    writer.Execute(
        QStringLiteral("INSERT INTO %1 WITH RECURSIVE g(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM g "
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
    script.start(QStringLiteral("sh"),
                 {qEnvironmentVariable("TAMSEL_PG_SCRIPT"), action, qEnvironmentVariable("TAMSEL_PG_STATE")});
    return script.waitForFinished(120000) && script.exitStatus() == QProcess::NormalExit &&
           script.exitCode() == 0;
}
