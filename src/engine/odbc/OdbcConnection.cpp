#include "OdbcConnection.h"

#include "OdbcCursor.h"
#include "OdbcDialect.h"
#include "OdbcText.h"
#include "engine/Exception.h"

#include <QSet>
#include <clocale>
#include <langinfo.h>
#include <sqlext.h>

namespace {

constexpr int LoginTimeout = 15; // seconds

// The driver manager converts between our wide texts and the narrow texts
// of a driver without wide functions (SQLite's) in the character set of
// LC_CTYPE; in the C locale that is ASCII and every Cyrillic letter is lost.
// Qt keeps its own texts in UTF-8 whatever the locale, so switching the
// character type to UTF-8 changes nothing else the program does.
void EnsureUtf8Ctype() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset && (qstrcmp(codeset, "UTF-8") == 0 || qstrcmp(codeset, "utf8") == 0)) return;
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "en_US.UTF-8");
}

} // namespace

TOdbcConnection::TOdbcConnection(QString dataSource, QString connectString, TTransIsolation isolation)
    : FDataSource(std::move(dataSource)), FConnectString(std::move(connectString)), FIsolation(isolation) {
    Connect();
}

void TOdbcConnection::Connect() {
    EnsureUtf8Ctype();
    auto link = std::make_shared<TOdbcLink>();
    // A server that does not answer a login ends the connect by itself too.
    SQLSetConnectAttrW(link->Dbc.Get(), SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(SQLULEN(LoginTimeout)), 0);
    // Everything the call uses is its own: a connect given up goes on alone.
    const SQLRETURN rc =
        link->Call(SQL_HANDLE_DBC, link->Dbc.Get(), [dbc = link->Dbc.Get(), text = FConnectString] {
            return SQLDriverConnectW(dbc, nullptr, OdbcWideArg(text), SQLSMALLINT(text.size()), nullptr, 0,
                                     nullptr, SQL_DRIVER_NOPROMPT);
        });
    link->Check(rc, SQL_HANDLE_DBC, link->Dbc.Get(), "SQLDriverConnect");
    link->Connected = true;
    FLink = std::move(link);
    FRowKeys.clear();

    FLink->Dialect = &OdbcDialect(InfoText(SQL_DBMS_NAME));
    FQuote = InfoText(SQL_IDENTIFIER_QUOTE_CHAR).trimmed();
    SQLUSMALLINT nulls = 0;
    FNullsFirst =
        OdbcSucceeded(SQLGetInfoW(FLink->Dbc.Get(), SQL_NULL_COLLATION, &nulls, sizeof nulls, nullptr))
            ? nulls == SQL_NC_LOW || nulls == SQL_NC_START
            : FLink->Dialect->NullsFirst;
    SetIsolation();
    FServerReadOnly = false;
    SetAccess();
    for (const QString& statement : FLink->Dialect->SessionStatements)
        Execute(statement);
}

const std::shared_ptr<TOdbcLink>& TOdbcConnection::Link() {
    if (FLink->Lost) Connect();
    return FLink;
}

QString TOdbcConnection::InfoText(SQLUSMALLINT info) const {
    SQLWCHAR buffer[256] = {};
    SQLSMALLINT length = 0;
    if (!OdbcSucceeded(SQLGetInfoW(FLink->Dbc.Get(), info, buffer, sizeof buffer, &length))) return QString();
    return FromOdbcBuffer(buffer, length / qsizetype(sizeof(SQLWCHAR)), std::size(buffer));
}

// The requested level where the driver offers it, else the nearest
// stricter one it offers.
void TOdbcConnection::SetIsolation() {
    SQLUINTEGER offered = 0;
    if (!OdbcSucceeded(
            SQLGetInfoW(FLink->Dbc.Get(), SQL_TXN_ISOLATION_OPTION, &offered, sizeof offered, nullptr)))
        return;
    const SQLUINTEGER levels[] = {SQL_TXN_READ_UNCOMMITTED, SQL_TXN_READ_COMMITTED, SQL_TXN_REPEATABLE_READ,
                                  SQL_TXN_SERIALIZABLE};
    const int first = FIsolation == TTransIsolation::tiDirtyRead       ? 0
                      : FIsolation == TTransIsolation::tiReadCommitted ? 1
                                                                       : 2;
    for (int i = first; i < 4; ++i) {
        if (offered & levels[i]) {
            const SQLRETURN rc = SQLSetConnectAttrW(FLink->Dbc.Get(), SQL_ATTR_TXN_ISOLATION,
                                                    reinterpret_cast<SQLPOINTER>(SQLULEN(levels[i])), 0);
            FLink->Check(rc, SQL_HANDLE_DBC, FLink->Dbc.Get(), "SQLSetConnectAttr");
            return;
        }
    }
}

void TOdbcConnection::SetWritable(bool writable) {
    FWritable = writable;
    // A lost link's handle may still be in a call given up: a new link
    // takes the setting as it connects.
    if (FLink->Lost)
        Connect();
    else
        SetAccess();
}

// The program only reads, but while it is told otherwise. Where the driver
// does not keep a connection read-only, a server whose own setting is known
// gets that instead; the log says so either way.
void TOdbcConnection::SetAccess() {
    FLink->Settle();
    const SQLULEN asked = FWritable ? SQL_MODE_READ_WRITE : SQL_MODE_READ_ONLY;
    const SQLRETURN set =
        SQLSetConnectAttrW(FLink->Dbc.Get(), SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(asked), 0);
    if (FWritable) {
        if (FServerReadOnly) Execute(FLink->Dialect->ReadWriteStatement);
        FServerReadOnly = false;
        return;
    }
    SQLUINTEGER mode = SQL_MODE_READ_WRITE;
    if (OdbcSucceeded(set) &&
        OdbcSucceeded(SQLGetConnectAttrW(FLink->Dbc.Get(), SQL_ATTR_ACCESS_MODE, &mode, 0, nullptr)) &&
        mode == SQL_MODE_READ_ONLY)
        return;
    const QString& instead = FLink->Dialect->ReadOnlyStatement;
    if (instead.isEmpty()) {
        qWarning("%s: the ODBC driver gives no read-only connection", qUtf8Printable(FDataSource));
        return;
    }
    qWarning("%s: the ODBC driver gives no read-only connection; the server is told \"%s\"",
             qUtf8Printable(FDataSource), qUtf8Printable(instead));
    Execute(instead);
    FServerReadOnly = true;
}

QStringList TOdbcConnection::TableNames() {
    TOdbcStatement stmt(Link());
    // Listing the system types asks drivers that hide them by default.
    const QString types = QStringLiteral("'TABLE','VIEW','SYSTEM TABLE','SYSTEM VIEW','GLOBAL TEMPORARY',"
                                         "'LOCAL TEMPORARY','ALIAS','SYNONYM'");
    const SQLHSTMT handle = stmt.Get();
    stmt.Check(FLink->Call(SQL_HANDLE_STMT, handle,
                           [handle, types] {
                               return SQLTablesW(handle, nullptr, 0, nullptr, 0, nullptr, 0,
                                                 OdbcWideArg(types), SQLSMALLINT(types.size()));
                           }),
               "SQLTables");
    QStringList names;
    QSet<QString> seen;
    for (;;) {
        const SQLRETURN rc = FLink->Call(SQL_HANDLE_STMT, handle, [handle] { return SQLFetch(handle); });
        if (rc == SQL_NO_DATA) break;
        stmt.Check(rc, "SQLFetch");
        SQLWCHAR name[1024];
        SQLLEN ind = 0;
        stmt.Check(SQLGetData(stmt.Get(), 3, SQL_C_WCHAR, name, sizeof name, &ind), "SQLGetData");
        if (ind == SQL_NULL_DATA) continue;
        const QString table = FromOdbcBuffer(name, ind / qsizetype(sizeof(SQLWCHAR)), std::size(name));
        if (!seen.contains(table)) {
            seen.insert(table);
            names << table;
        }
    }
    return names;
}

QString TOdbcConnection::CaselessPrefix(const QString& column, const QString& prefix, bool negated,
                                        QVariantList& params) const {
    if (!FLink || !FLink->Dialect->CaselessPrefix) return {};
    return FLink->Dialect->CaselessPrefix(column, prefix, negated, params);
}

QString TOdbcConnection::QuoteIdentifier(const QString& name) const {
    if (FQuote.isEmpty()) return name;
    QString inner = name;
    inner.replace(FQuote, FQuote + FQuote);
    return FQuote + inner + FQuote;
}

QString TOdbcConnection::UnquoteIdentifier(const QString& quoted) const {
    if (FQuote.isEmpty() || !quoted.startsWith(FQuote) || !quoted.endsWith(FQuote) || quoted.size() < 2)
        return quoted;
    QString name = quoted.mid(FQuote.size(), quoted.size() - 2 * FQuote.size());
    name.replace(FQuote + FQuote, FQuote);
    return name;
}

QList<TColumnInfo> TOdbcConnection::TableColumns(const QString& table) {
    TOdbcStatement stmt(Link());
    const QString text = QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(QuoteIdentifier(table));
    stmt.Execute(text);
    return stmt.Columns();
}

// Columns that tell rows apart, so that rows with equal sort keys come in
// the same order in every block. Read once per table.
QStringList TOdbcConnection::RowKey(const QString& quotedTable) {
    auto found = FRowKeys.constFind(quotedTable);
    if (found != FRowKeys.constEnd()) return *found;
    QStringList key = FLink->Dialect->RowKey.Columns;
    if (!key.isEmpty()) {
        // A view has none.
        TOdbcStatement stmt(Link());
        const QString probe =
            QStringLiteral("SELECT %1 FROM %2 WHERE 1 = 0").arg(key.join(QStringLiteral(", ")), quotedTable);
        const SQLHSTMT handle = stmt.Get();
        if (!OdbcSucceeded(FLink->Call(SQL_HANDLE_STMT, handle, [handle, probe] {
                return SQLExecDirectW(handle, OdbcWideArg(probe), SQLINTEGER(probe.size()));
            }))) {
            ++FLink->Failures; // as any failed call: open results may have ended
            key.clear();
        }
    } else {
        const QString name = UnquoteIdentifier(quotedTable);
        TOdbcStatement stmt(Link());
        if (OdbcSucceeded(SQLSpecialColumnsW(stmt.Get(), SQL_BEST_ROWID, nullptr, 0, nullptr, 0,
                                             OdbcWideArg(name), SQLSMALLINT(name.size()), SQL_SCOPE_SESSION,
                                             SQL_NULLABLE))) {
            while (OdbcSucceeded(SQLFetch(stmt.Get()))) {
                SQLWCHAR column[512];
                SQLLEN ind = 0;
                if (OdbcSucceeded(SQLGetData(stmt.Get(), 2, SQL_C_WCHAR, column, sizeof column, &ind)) &&
                    ind != SQL_NULL_DATA)
                    key << QuoteIdentifier(
                        FromOdbcBuffer(column, ind / qsizetype(sizeof(SQLWCHAR)), std::size(column)));
            }
        }
    }
    FRowKeys.insert(quotedTable, key);
    return key;
}

QString TOdbcConnection::SelectText(const TSelectSpec& spec, const QString& what, bool ordered) {
    QString text = QStringLiteral("SELECT %1 FROM %2").arg(what, spec.Table);
    if (!spec.Where.isEmpty()) text += QStringLiteral(" WHERE ") + spec.Where;
    if (ordered && !spec.OrderBy.isEmpty()) {
        QStringList order = spec.OrderBy;
        for (const QString& column : RowKey(spec.Table))
            if (!order.contains(column)) order << column;
        if (spec.Descending)
            for (QString& column : order)
                column += QStringLiteral(" DESC");
        text += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    }
    return text;
}

std::unique_ptr<TCursor> TOdbcConnection::Select(const TSelectSpec& spec, qint64 offset) {
    const std::shared_ptr<TOdbcLink> link = Link();
    TOdbcCursorSource source;
    source.Sql = SelectText(spec, spec.SelectList(), true);
    source.Params = spec.Params;
    source.Window = link->Dialect;
    source.Limit = spec.Limit;
    return std::make_unique<TOdbcCursor>(link, std::move(source), offset);
}

// Only an order of the engine's own ends in the row key; the servers put
// NULLs at the same end of an ascending order as they take them from in a
// descending one.
bool TOdbcConnection::Reversible(const TSelectSpec& spec) {
    return !spec.OrderBy.isEmpty() && !RowKey(spec.Table).isEmpty();
}

TRowKey TOdbcConnection::RowKeyOf(const TSelectSpec& spec) {
    // Without an order the rows come in the server's own order, which only a
    // server's own row key follows.
    TRowKey key = FLink->Dialect->RowKey;
    if (key.Columns.isEmpty() && spec.OrderBy.isEmpty()) return {};
    key.Columns = RowKey(spec.Table);
    if (key.Placeholders.size() != key.Columns.size())
        key.Placeholders = QStringList(key.Columns.size(), QStringLiteral("?"));
    return key;
}

qint64 TOdbcConnection::Count(const TSelectSpec& spec) {
    const std::shared_ptr<TOdbcLink> link = Link();
    TOdbcCursorSource source;
    source.Sql = SelectText(spec, QStringLiteral("COUNT(*)"), false);
    source.Params = spec.Params;
    TOdbcCursor cursor(link, std::move(source), 0);
    if (!cursor.Next())
        throw EDatabaseError(QStringLiteral("The row count of %1 gave no row").arg(spec.Table));
    return cursor.Value(0).toLongLong();
}

bool TOdbcConnection::Totals(const TSelectSpec& spec, const TColumnInfo& column, TColumnTotals& totals) {
    const std::shared_ptr<TOdbcLink> link = Link();
    const TOdbcFetchKind kind = OdbcFetchKindOf(column.Type);
    if (!link->Dialect->ExactSum || (kind != TOdbcFetchKind::Integer && kind != TOdbcFetchKind::Decimal))
        return false;
    TOdbcCursorSource source;
    source.Sql = SelectText(
        spec, QStringLiteral("COUNT(*), COUNT(%1), SUM(%1)").arg(QuoteIdentifier(column.Name)), false);
    source.Params = spec.Params;
    TOdbcCursor cursor(link, std::move(source), 0);
    if (!cursor.Next()) return false;
    // The sum's digits, read whole however long; a NaN among the values makes
    // it no number, and a sum past what a walk keeps exactly is the walk's.
    const QVariant sum = cursor.Value(2);
    const std::optional<TDecimal> exact = sum.isNull() ? TDecimal() : ToDecimal(sum);
    if (!exact || !TExactSum().Add(*exact)) return false;
    totals.Rows = cursor.Value(0).toLongLong();
    totals.Nulls = totals.Rows - cursor.Value(1).toLongLong();
    totals.Sum = *exact;
    return true;
}

std::unique_ptr<TCursor> TOdbcConnection::Query(const QString& sql) {
    const std::shared_ptr<TOdbcLink> link = Link();
    TOdbcCursorSource source;
    source.Sql = sql;
    return std::make_unique<TOdbcCursor>(link, std::move(source), 0);
}

void TOdbcConnection::Execute(const QString& sql) {
    TOdbcStatement stmt(Link());
    stmt.Execute(sql);
}
