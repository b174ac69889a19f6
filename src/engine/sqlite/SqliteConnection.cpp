#include "SqliteConnection.h"

#include "SqliteCursor.h"
#include "SqliteParameters.h"
#include "SqliteTypes.h"
#include "SqliteValues.h"
#include "engine/Exception.h"
#include "engine/StatementWait.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <atomic>
#include <cstdint>
#include <type_traits>

namespace {

// The catalogue of a SQL Anywhere server, over SQLite's own. SQLite's
// internal tables (sqlite_schema, sqlite_stat1, ...) are no objects of such a
// server and stay out; the view that stands for its catalogue is one.
const char* const CatalogueView = R"(
CREATE TEMP VIEW systable (table_name, table_type, creator) AS
  SELECT name, CASE type WHEN 'view' THEN 'VIEW' ELSE 'BASE' END, 1
    FROM main.sqlite_schema WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite\_%' ESCAPE '\'
  UNION ALL SELECT 'systable', 'VIEW', 0
)";

std::atomic<int> ConnectionCount{0};

// Every this many virtual machine steps (some tens of microseconds) a running
// statement lets the windows answer; non-zero interrupts it.
constexpr int ProgressSteps = 1000;

int Progress(void*) {
    return PollStatementWait() ? 1 : 0;
}

void Run(sqlite3* db, const char* sql) {
    const TSqliteStatement statement = PrepareSqlite(db, QByteArray(sql));
    while (statement && StepSqlite(db, statement.get())) {
    }
}

bool IsOn(const QString& value) {
    static const QStringList on = {"on", "yes", "1", "true"};
    return on.contains(value.trimmed().toLower());
}

QString Unquoted(const QString& name) {
    if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
        return name.mid(1, name.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return name;
}

// exact_sum(value, fixed point): the values as the cursor reads them exactly
// (a fixed-point column's REALs by their first 15 digits, its texts by their
// digits), added up exactly; NULL for a value it cannot read so or a sum
// past what stays exact.
struct TExactSumState {
    TExactSum Sum;
    qint64 Whole = 0; // whole numbers, the common case, gather here while 64 bits hold them
    bool Inexact = false;
};
static_assert(std::is_trivially_copyable_v<TExactSumState>);

// SQLite's aggregate memory, zeroed at first, is aligned for 8 bytes only:
// the state, with its 128-bit sum, sits at the first boundary of its own
// alignment inside it. None before the first row when not asked to make it.
TExactSumState* ExactSumOf(sqlite3_context* context, bool make) {
    constexpr std::uintptr_t align = alignof(TExactSumState);
    void* memory = sqlite3_aggregate_context(context, make ? int(sizeof(TExactSumState) + align) : 0);
    if (!memory) return nullptr;
    return reinterpret_cast<TExactSumState*>((reinterpret_cast<std::uintptr_t>(memory) + align - 1) &
                                             ~(align - 1));
}

void ExactSumStep(sqlite3_context* context, int, sqlite3_value** argv) {
    TExactSumState* state = ExactSumOf(context, true);
    if (!state) return sqlite3_result_error_nomem(context);
    if (state->Inexact) return;
    sqlite3_value* value = argv[0];
    TExactNumber number;
    bool exact = false;
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return;
    case SQLITE_INTEGER: {
        const qint64 whole = sqlite3_value_int64(value);
        qint64 sum = 0;
        if (!__builtin_add_overflow(state->Whole, whole, &sum)) {
            state->Whole = sum;
            return;
        }
        number.Mantissa = TInt128(state->Whole) + whole;
        state->Whole = 0;
        exact = true;
        break;
    }
    case SQLITE_FLOAT:
        exact = sqlite3_value_int(argv[1]) != 0 && ExactNumberFromDouble(sqlite3_value_double(value), number);
        break;
    case SQLITE_TEXT:
        exact = sqlite3_value_int(argv[1]) != 0 &&
                ParseExactNumber(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                                 sqlite3_value_bytes(value), number);
        break;
    default:
        break;
    }
    state->Inexact = !exact || !state->Sum.Add(number);
}

void ExactSumFinal(sqlite3_context* context) {
    const TExactSumState* state = ExactSumOf(context, false);
    TExactSum sum = state ? state->Sum : TExactSum();
    if ((state && state->Inexact) || !sum.Add(TInt128(state ? state->Whole : 0), 0))
        return sqlite3_result_null(context);
    const QByteArray text = sum.Value().Text();
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

// While the connection only reads, a pragma given a value is a setting and
// is refused, so that no statement undoes query_only or changes the file
// where query_only lets it (the journal mode); those whose value names an
// object to read about stay open.
int Authorize(void* writable, int action, const char* name, const char* value, const char*, const char*) {
    if (action != SQLITE_PRAGMA || !value || *static_cast<const bool*>(writable)) return SQLITE_OK;
    for (const char* reading :
         {"table_info", "table_xinfo", "index_info", "index_xinfo", "index_list", "foreign_key_list"})
        if (sqlite3_stricmp(name, reading) == 0) return SQLITE_OK;
    return SQLITE_DENY;
}

// Bytes 18 and 19 of the header: 2 and 2 in write-ahead-log mode.
bool InWalMode(const QString& file) {
    QFile header(file);
    return header.open(QIODevice::ReadOnly) && header.read(20).mid(18) == QByteArrayLiteral("\x02\x02");
}

// A write-ahead-log database needs its shared-memory index beside it, which
// a user who may not write the folder cannot make while no other program
// has the file open: SQLite then reads the file as it stands.
QByteArray ImmutableUri(const QString& file) {
    return QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toEncoded() + "?immutable=1";
}

} // namespace

TSqliteConnection::TSqliteConnection(const QString& file) {
    if (file.isEmpty())
        throw EDatabaseError(QStringLiteral("%1: ").arg(QString::fromUtf8(sqlite3_errstr(SQLITE_CANTOPEN))),
                             QString(), SQLITE_CANTOPEN, false);
    // Read-write, so that the post-connect preparation's data script may
    // write; query_only refuses every write but while it runs. A file this
    // user may only read opens read-only. Never created.
    try {
        Open(file, file.toUtf8(), SQLITE_OPEN_READWRITE);
    } catch (const EDatabaseError& error) {
        const int code = error.NativeCode() & 0xff;
        if ((code != SQLITE_READONLY && code != SQLITE_CANTOPEN) || !InWalMode(file)) throw;
        Open(file, ImmutableUri(file), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        qWarning("%s: a write-ahead-log database in a folder this user may not write; it is read as it "
                 "stands, without the changes that other programs make while it is open",
                 qUtf8Printable(file));
    }
    Run(FDb.get(), CatalogueView);
    RegisterSqlAnywhereFunctions(*this);
    if (sqlite3_create_function_v2(FDb.get(), "exact_sum", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   nullptr, ExactSumStep, ExactSumFinal, nullptr) != SQLITE_OK)
        RaiseSqliteError(FDb.get());
    sqlite3_set_authorizer(FDb.get(), Authorize, &FWritable);
    SetWritable(false);
    FNumber = ++ConnectionCount;
}

void TSqliteConnection::Open(const QString& file, const QByteArray& name, int flags) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    FDb.reset(raw);
    if (rc != SQLITE_OK)
        throw EDatabaseError(QStringLiteral("%1: %2").arg(
                                 QString::fromUtf8(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)), file),
                             QString(), raw ? sqlite3_extended_errcode(raw) : rc, false);
    sqlite3_busy_timeout(raw, 5000);
    sqlite3_progress_handler(raw, ProgressSteps, Progress, nullptr);
    // No other file is attached, nor written by VACUUM INTO (which attaches
    // its target).
    sqlite3_limit(raw, SQLITE_LIMIT_ATTACHED, 0);
    // "..." names a column or table, never a text: a misspelt name fails.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // Closing leaves the write-ahead log to the programs that write.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // Walks read the file through the system's page cache, not copies; the
    // window is capped so that a walk over a large file keeps a small
    // resident set (mapped pages count as the process's own).
    Run(raw, "PRAGMA mmap_size = 67108864");
    Run(raw, "SELECT count(*) FROM main.sqlite_schema"); // is it a database at all
}

void TSqliteConnection::SetWritable(bool writable) {
    FWritable = true; // the setting itself is one
    Run(FDb.get(), writable ? "PRAGMA query_only = OFF" : "PRAGMA query_only = ON");
    FWritable = writable;
}

QStringList TSqliteConnection::TableNames() {
    const TSqliteStatement statement = PrepareSqlite(
        FDb.get(),
        QByteArrayLiteral(
            "SELECT name FROM (SELECT name FROM main.sqlite_schema WHERE type IN ('table', 'view') "
            "UNION SELECT name FROM temp.sqlite_schema WHERE type IN ('table', 'view')) "
            "WHERE name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY 1 COLLATE NOCASE"));
    QStringList names;
    while (StepSqlite(FDb.get(), statement.get()))
        names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
    return names;
}

QString TSqliteConnection::QuoteIdentifier(const QString& name) const {
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QList<TColumnInfo> TSqliteConnection::TableColumns(const QString& table) {
    const TSqliteStatement statement =
        PrepareSqlite(FDb.get(), QByteArrayLiteral("SELECT name, type FROM pragma_table_info(?1)"));
    BindSqlite(FDb.get(), statement.get(), {table});
    QList<TColumnInfo> columns;
    while (StepSqlite(FDb.get(), statement.get())) {
        const auto text = [&](int i) {
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), i)));
        };
        columns << ColumnFromDeclaration(text(0), text(1));
    }
    if (columns.isEmpty()) throw EDatabaseError(QStringLiteral("no such table: %1").arg(table));
    return columns;
}

bool TSqliteConnection::HasRowid(const QString& table) {
    const auto known = FRowid.constFind(table);
    if (known != FRowid.cend()) return *known;
    // Fails for views and tables without rowid.
    const bool has =
        sqlite3_table_column_metadata(FDb.get(), nullptr, Unquoted(table).toUtf8().constData(), "rowid",
                                      nullptr, nullptr, nullptr, nullptr, nullptr) == SQLITE_OK;
    FRowid.insert(table, has);
    return has;
}

QString TSqliteConnection::SelectText(const TSelectSpec& spec, const QString& what) const {
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(what, spec.Table);
    if (!spec.Where.trimmed().isEmpty()) sql += QStringLiteral(" WHERE ") + spec.Where;
    return sql;
}

std::unique_ptr<TCursor> TSqliteConnection::Select(const TSelectSpec& spec, qint64 offset) {
    QString sql = SelectText(spec, spec.SelectList());
    // Rowid last: equal keys keep one order, whatever block is read.
    QStringList order = spec.OrderBy;
    if (HasRowid(spec.Table)) order << QStringLiteral("rowid");
    if (spec.Descending)
        for (QString& column : order)
            column += QStringLiteral(" DESC");
    if (!order.isEmpty()) sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    // A limit lets SQLite keep only the first rows of a sort.
    sql += QStringLiteral(" LIMIT %1 OFFSET %2")
               .arg(spec.Limit < 0 ? -1 : spec.Limit)
               .arg(qMax<qint64>(offset, 0));
    TSqliteStatement statement = PrepareSqlite(FDb.get(), sql.toUtf8());
    BindSqlite(FDb.get(), statement.get(), spec.Params);
    return std::make_unique<TSqliteCursor>(FDb.get(), std::move(statement), false);
}

qint64 TSqliteConnection::Count(const TSelectSpec& spec) {
    const TSqliteStatement statement =
        PrepareSqlite(FDb.get(), SelectText(spec, QStringLiteral("count(*)")).toUtf8());
    BindSqlite(FDb.get(), statement.get(), spec.Params);
    return StepSqlite(FDb.get(), statement.get()) ? sqlite3_column_int64(statement.get(), 0) : 0;
}

bool TSqliteConnection::Totals(const TSelectSpec& spec, const TColumnInfo& column, TColumnTotals& totals) {
    const TSqliteDecode decode = SqliteDecodeOf(column);
    if (decode != TSqliteDecode::Integer && decode != TSqliteDecode::Decimal) return false;
    const QString what = QStringLiteral("count(*), count(%1), exact_sum(%1, %2)")
                             .arg(QuoteIdentifier(column.Name))
                             .arg(decode == TSqliteDecode::Decimal ? 1 : 0);
    const TSqliteStatement statement = PrepareSqlite(FDb.get(), SelectText(spec, what).toUtf8());
    BindSqlite(FDb.get(), statement.get(), spec.Params);
    sqlite3_stmt* s = statement.get();
    if (!StepSqlite(FDb.get(), s) || sqlite3_column_type(s, 2) == SQLITE_NULL) return false;
    const auto sum = TDecimal::FromText(
        QByteArrayView(reinterpret_cast<const char*>(sqlite3_column_text(s, 2)), sqlite3_column_bytes(s, 2)));
    if (!sum) return false;
    totals.Rows = sqlite3_column_int64(s, 0);
    totals.Nulls = totals.Rows - sqlite3_column_int64(s, 1);
    totals.Sum = *sum;
    return true;
}

// NULLs come first ascending and last descending, so a descending order is
// the ascending one backwards once the rowid breaks every tie.
bool TSqliteConnection::Reversible(const TSelectSpec& spec) {
    return HasRowid(spec.Table);
}

TRowKey TSqliteConnection::RowKeyOf(const TSelectSpec& spec) {
    if (!HasRowid(spec.Table)) return {};
    return {{QStringLiteral("rowid")}, {QStringLiteral("?")}};
}

TDialectStatement TSqliteConnection::Translate(const QString& sql) const {
    RefuseNul(sql.contains(QChar(0)));
    return TranslateStatement(sql, [this](const QString& name) { return FindVariable(name) != nullptr; });
}

QString TSqliteConnection::TranslateQuery(const QString& sql) const {
    const TDialectStatement statement = Translate(sql);
    if (statement.Kind != TDialectStatement::TKind::Sql)
        throw EDatabaseError(QStringLiteral("Not a query: %1").arg(sql));
    return statement.Sql;
}

std::unique_ptr<TCursor> TSqliteConnection::Query(const QString& sql) {
    const TDialectStatement statement = Translate(sql);
    if (statement.Kind != TDialectStatement::TKind::Sql) {
        Carry(statement);
        return std::make_unique<TSqliteCursor>(FDb.get(), nullptr, false);
    }
    return std::make_unique<TSqliteCursor>(FDb.get(), PrepareSqlite(FDb.get(), statement.Sql.toUtf8()), true);
}

void TSqliteConnection::Execute(const QString& sql) {
    const TDialectStatement statement = Translate(sql);
    if (statement.Kind != TDialectStatement::TKind::Sql) {
        Carry(statement);
        return;
    }
    // Every statement of the text, in turn.
    QByteArray rest = statement.Sql.toUtf8();
    while (!rest.isEmpty()) {
        const char* tail = nullptr;
        const TSqliteStatement one = PrepareSqlite(FDb.get(), rest, &tail);
        while (one && StepSqlite(FDb.get(), one.get())) {
        }
        rest = rest.mid(tail ? tail - rest.constData() : rest.size());
    }
}

const TSqliteConnection::TVariable* TSqliteConnection::FindVariable(const QString& name) const {
    auto found = FVariables.find(name.toLower());
    if (found == FVariables.end() && name.startsWith(u'@')) found = FVariables.find(name.mid(1).toLower());
    return found == FVariables.end() ? nullptr : &found->second;
}

void TSqliteConnection::Carry(const TDialectStatement& statement) {
    using TKind = TDialectStatement::TKind;
    switch (statement.Kind) {
    case TKind::CreateVariable: {
        if (FindVariable(statement.Name))
            throw EDatabaseError(QStringLiteral("Variable '%1' already exists").arg(statement.Name));
        // The type must be one that values can be cast to.
        PrepareSqlite(FDb.get(), QStringLiteral("SELECT CAST(NULL AS %1)").arg(statement.TypeName).toUtf8());
        FVariables[statement.Name.toLower()] = TVariable{statement.Name, statement.TypeName, nullptr};
        break;
    }
    case TKind::DropVariable: {
        const TVariable* variable = FindVariable(statement.Name);
        if (!variable && !statement.IfExists)
            throw EDatabaseError(QStringLiteral("Variable '%1' not found").arg(statement.Name));
        if (variable) FVariables.erase(variable->Name.toLower());
        break;
    }
    case TKind::SetVariable:
        SetVariable(statement);
        break;
    case TKind::SetOption:
        FOptions.insert(statement.Name.toLower(), statement.Value);
        break;
    case TKind::Unload:
        Unload(statement);
        break;
    case TKind::Sql:
        break;
    }
}

void TSqliteConnection::SetVariable(const TDialectStatement& statement) {
    auto* variable = const_cast<TVariable*>(FindVariable(statement.Name));
    if (!variable) throw EDatabaseError(QStringLiteral("Variable '%1' not found").arg(statement.Name));
    const TSqliteStatement query = PrepareSqlite(
        FDb.get(), QStringLiteral("SELECT CAST((%1) AS %2)").arg(statement.Sql, variable->Type).toUtf8());
    TSqliteValue value;
    if (StepSqlite(FDb.get(), query.get())) {
        value.reset(sqlite3_value_dup(sqlite3_column_value(query.get(), 0)));
        if (!value) throw EDatabaseError(QStringLiteral("out of memory"));
    }
    variable->Value = std::move(value);
}

void TSqliteConnection::Unload(const TDialectStatement& statement) {
    if (!IsOn(FOptions.value(QStringLiteral("allow_write_client_file"))))
        throw EDatabaseError(QStringLiteral("Writing the client file '%1' is not allowed: the option "
                                            "allow_write_client_file is not 'On'")
                                 .arg(statement.File));
    const TSqliteStatement query = PrepareSqlite(FDb.get(), statement.Sql.toUtf8());
    if (!query) throw EDatabaseError(QStringLiteral("Syntax error near 'unload'"));
    UnloadToFile(FDb.get(), query.get(), statement);
}
