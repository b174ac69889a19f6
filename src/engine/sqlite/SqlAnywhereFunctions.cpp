// The SQL Anywhere functions and procedures that the embedded server adds to
// SQLite: LCase, UCase, Lower, Upper, varexists, Connection_property, the list aggregate
// (as sa_list), sa_variable and sa_describe_query.

#include "SqliteConnection.h"
#include "SqliteTypes.h"
#include "engine/Exception.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {

TSqliteConnection& ConnectionOf(sqlite3_context* context) {
    return *static_cast<TSqliteConnection*>(sqlite3_user_data(context));
}

QString TextArg(sqlite3_value* value) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)),
                             sqlite3_value_bytes(value));
}

void ResultText(sqlite3_context* context, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void ResultError(sqlite3_context* context, const QString& message) {
    const QByteArray utf8 = message.toUtf8();
    sqlite3_result_error(context, utf8.constData(), int(utf8.size()));
}

// Letter case of every alphabet, not only ASCII.
template <bool Upper> void ChangeCase(sqlite3_context* context, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(context);
    const QString text = TextArg(argv[0]);
    ResultText(context, Upper ? text.toUpper() : text.toLower());
}

void VarExists(sqlite3_context* context, int, sqlite3_value** argv) {
    sqlite3_result_int(context, ConnectionOf(context).FindVariable(TextArg(argv[0])) ? 1 : 0);
}

void ConnectionProperty(sqlite3_context* context, int, sqlite3_value** argv) {
    if (TextArg(argv[0]).compare(QLatin1String("Number"), Qt::CaseInsensitive) == 0)
        return sqlite3_result_int(context, ConnectionOf(context).Number());
    sqlite3_result_null(context);
}

void Variable(sqlite3_context* context, int, sqlite3_value** argv) {
    const QString name = TextArg(argv[0]);
    const TSqliteConnection::TVariable* variable = ConnectionOf(context).FindVariable(name);
    if (!variable) return ResultError(context, QStringLiteral("Variable '%1' not found").arg(name));
    if (!variable->Value) return sqlite3_result_null(context);
    sqlite3_result_value(context, variable->Value.get());
}

// ---------------------------------------------------------------------------
// sa_list(distinct, expr, delimiter, key1, descending1, key2, ...)

struct TListKey {
    int Rank; // NULL, number, text, blob: SQLite's order of storage classes
    double Number = 0;
    QByteArray Bytes;
};

struct TListItem {
    QByteArray Text;
    std::vector<TListKey> Keys;
};

struct TListState {
    bool Started = false;
    bool Distinct = false;
    QByteArray Delimiter;
    std::vector<bool> Descending;
    std::vector<TListItem> Items;
};

TListKey KeyOf(sqlite3_value* value) {
    switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
        return {0, 0, {}};
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return {1, sqlite3_value_double(value), {}};
    case SQLITE_TEXT:
        return {
            2, 0,
            QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value))};
    default:
        return {3, 0,
                QByteArray(static_cast<const char*>(sqlite3_value_blob(value)), sqlite3_value_bytes(value))};
    }
}

int CompareKeys(const TListKey& a, const TListKey& b) {
    if (a.Rank != b.Rank) return a.Rank < b.Rank ? -1 : 1;
    if (a.Rank == 1) return a.Number < b.Number ? -1 : a.Number > b.Number ? 1 : 0;
    return a.Bytes.compare(b.Bytes);
}

void ListStep(sqlite3_context* context, int argc, sqlite3_value** argv) {
    if (argc < 3 || (argc - 3) % 2 != 0)
        return ResultError(context, QStringLiteral("Wrong number of arguments to list"));
    auto** slot = static_cast<TListState**>(sqlite3_aggregate_context(context, sizeof(TListState*)));
    if (!slot) return sqlite3_result_error_nomem(context);
    try {
        if (!*slot) *slot = new TListState;
        TListState& state = **slot;
        if (!state.Started) {
            state.Started = true;
            state.Distinct = sqlite3_value_int(argv[0]) != 0;
            state.Delimiter = QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])),
                                         sqlite3_value_bytes(argv[2]));
            for (int i = 4; i < argc; i += 2)
                state.Descending.push_back(sqlite3_value_int(argv[i]) != 0);
        }
        if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return; // nulls are left out
        TListItem item;
        item.Text = QByteArray(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])),
                               sqlite3_value_bytes(argv[1]));
        for (int i = 3; i < argc; i += 2)
            item.Keys.push_back(KeyOf(argv[i]));
        state.Items.push_back(std::move(item));
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(context);
    }
}

void ListFinal(sqlite3_context* context) {
    auto** slot = static_cast<TListState**>(sqlite3_aggregate_context(context, 0));
    if (!slot || !*slot) return sqlite3_result_null(context);
    const std::unique_ptr<TListState> state(*slot);
    *slot = nullptr;
    if (state->Items.empty()) return sqlite3_result_null(context);
    std::stable_sort(state->Items.begin(), state->Items.end(), [&](const TListItem& a, const TListItem& b) {
        for (size_t k = 0; k < a.Keys.size(); ++k) {
            const int c = CompareKeys(a.Keys[k], b.Keys[k]);
            if (c != 0) return state->Descending[k] ? c > 0 : c < 0;
        }
        return false;
    });
    QByteArray out;
    std::set<QByteArray> seen;
    bool first = true;
    for (const TListItem& item : state->Items) {
        if (state->Distinct && !seen.insert(item.Text).second) continue;
        if (!first) out += state->Delimiter;
        out += item.Text;
        first = false;
    }
    sqlite3_result_text(context, out.constData(), int(out.size()), SQLITE_TRANSIENT);
}

// ---------------------------------------------------------------------------
// sa_describe_query(query): the result columns of a query.

enum TDescribeColumn {
    dcNumber,
    dcName,
    dcDomain,
    dcDeclared,
    dcWidth,
    dcScale,
    dcBaseTable,
    dcBaseColumn,
    dcQuery
};

struct TDescribeRow {
    QByteArray Name, Domain, Declared, BaseTable, BaseColumn;
    int Width = 0, Scale = 0;
};

struct TDescribeTable : sqlite3_vtab {
    TSqliteConnection* Connection = nullptr;
};

struct TDescribeCursor : sqlite3_vtab_cursor {
    std::vector<TDescribeRow> Rows;
    size_t At = 0;
};

// The server's domain name of a field kind.
const char* DomainName(TFieldType type) {
    switch (type) {
    case TFieldType::ftSmallint:
        return "smallint";
    case TFieldType::ftInteger:
        return "integer";
    case TFieldType::ftWord:
        return "unsigned smallint";
    case TFieldType::ftLargeint:
        return "bigint";
    case TFieldType::ftFloat:
        return "double";
    case TFieldType::ftCurrency:
        return "money";
    case TFieldType::ftBCD:
        return "numeric";
    case TFieldType::ftDate:
        return "date";
    case TFieldType::ftTime:
        return "time";
    case TFieldType::ftDateTime:
        return "timestamp";
    case TFieldType::ftBoolean:
        return "bit";
    case TFieldType::ftMemo:
        return "long varchar";
    case TFieldType::ftBlob:
        return "long binary";
    case TFieldType::ftBytes:
        return "binary";
    default:
        return "varchar";
    }
}

QByteArray Bytes(const char* text) {
    return text ? QByteArray(text) : QByteArray();
}

int DescribeConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** table, char**) {
    const int rc =
        sqlite3_declare_vtab(db, "CREATE TABLE x(column_number INTEGER, name TEXT, domain_name TEXT, "
                                 "declared_type TEXT, width INTEGER, scale INTEGER, base_table_name TEXT, "
                                 "base_column_name TEXT, query HIDDEN)");
    if (rc != SQLITE_OK) return rc;
    auto* describe = new (std::nothrow) TDescribeTable;
    if (!describe) return SQLITE_NOMEM;
    describe->Connection = static_cast<TSqliteConnection*>(aux);
    *table = describe;
    return SQLITE_OK;
}

int DescribeDisconnect(sqlite3_vtab* table) {
    delete static_cast<TDescribeTable*>(table);
    return SQLITE_OK;
}

int DescribeBestIndex(sqlite3_vtab* table, sqlite3_index_info* info) {
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& constraint = info->aConstraint[i];
        if (constraint.iColumn != dcQuery || constraint.op != SQLITE_INDEX_CONSTRAINT_EQ) continue;
        if (!constraint.usable) return SQLITE_CONSTRAINT;
        info->aConstraintUsage[i].argvIndex = 1;
        info->aConstraintUsage[i].omit = 1;
        info->estimatedCost = 10;
        info->estimatedRows = 10;
        return SQLITE_OK;
    }
    sqlite3_free(table->zErrMsg);
    table->zErrMsg = sqlite3_mprintf("sa_describe_query needs the text of a query");
    return SQLITE_ERROR;
}

int DescribeOpen(sqlite3_vtab*, sqlite3_vtab_cursor** cursor) {
    auto* describe = new (std::nothrow) TDescribeCursor;
    if (!describe) return SQLITE_NOMEM;
    *cursor = describe;
    return SQLITE_OK;
}

int DescribeClose(sqlite3_vtab_cursor* cursor) {
    delete static_cast<TDescribeCursor*>(cursor);
    return SQLITE_OK;
}

int DescribeFilter(sqlite3_vtab_cursor* base, int, const char*, int argc, sqlite3_value** argv) {
    auto* cursor = static_cast<TDescribeCursor*>(base);
    auto* table = static_cast<TDescribeTable*>(base->pVtab);
    cursor->Rows.clear();
    cursor->At = 0;
    if (argc < 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) return SQLITE_OK;
    try {
        sqlite3* db = table->Connection->Handle();
        const QString sql = table->Connection->TranslateQuery(TextArg(argv[0]));
        const TSqliteStatement statement = PrepareSqlite(db, sql.toUtf8());
        const int count = statement ? sqlite3_column_count(statement.get()) : 0;
        for (int i = 0; i < count; ++i) {
            sqlite3_stmt* s = statement.get();
            const QByteArray declared = Bytes(sqlite3_column_decltype(s, i));
            const TColumnInfo column = ColumnFromDeclaration(QString::fromUtf8(sqlite3_column_name(s, i)),
                                                             QString::fromUtf8(declared));
            TDescribeRow row;
            row.Name = Bytes(sqlite3_column_name(s, i));
            row.Declared = declared;
            row.Domain = DomainName(column.Type);
            row.Width = column.Type == TFieldType::ftBCD ? column.Precision : column.Size;
            row.Scale = column.Scale;
            row.BaseTable = Bytes(sqlite3_column_table_name(s, i));
            row.BaseColumn = Bytes(sqlite3_column_origin_name(s, i));
            cursor->Rows.push_back(std::move(row));
        }
    } catch (const Exception& e) {
        sqlite3_free(table->zErrMsg);
        table->zErrMsg = sqlite3_mprintf("%s", e.Message().toUtf8().constData());
        return SQLITE_ERROR;
    } catch (const std::bad_alloc&) {
        return SQLITE_NOMEM;
    }
    return SQLITE_OK;
}

int DescribeNext(sqlite3_vtab_cursor* cursor) {
    ++static_cast<TDescribeCursor*>(cursor)->At;
    return SQLITE_OK;
}

int DescribeEof(sqlite3_vtab_cursor* base) {
    const auto* cursor = static_cast<TDescribeCursor*>(base);
    return cursor->At >= cursor->Rows.size();
}

int DescribeColumn(sqlite3_vtab_cursor* base, sqlite3_context* context, int column) {
    const auto* cursor = static_cast<TDescribeCursor*>(base);
    const TDescribeRow& row = cursor->Rows[cursor->At];
    const auto text = [&](const QByteArray& bytes) {
        sqlite3_result_text(context, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    };
    switch (column) {
    case dcNumber:
        sqlite3_result_int64(context, qint64(cursor->At) + 1);
        break;
    case dcName:
        text(row.Name);
        break;
    case dcDomain:
        text(row.Domain);
        break;
    case dcDeclared:
        text(row.Declared);
        break;
    case dcWidth:
        sqlite3_result_int(context, row.Width);
        break;
    case dcScale:
        sqlite3_result_int(context, row.Scale);
        break;
    case dcBaseTable:
        text(row.BaseTable);
        break;
    case dcBaseColumn:
        text(row.BaseColumn);
        break;
    default:
        sqlite3_result_null(context);
        break;
    }
    return SQLITE_OK;
}

int DescribeRowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid) {
    *rowid = sqlite3_int64(static_cast<TDescribeCursor*>(cursor)->At) + 1;
    return SQLITE_OK;
}

sqlite3_module DescribeModule() {
    sqlite3_module module;
    std::memset(&module, 0, sizeof module);
    // No xCreate: the table exists only under its own name.
    module.xConnect = DescribeConnect;
    module.xBestIndex = DescribeBestIndex;
    module.xDisconnect = DescribeDisconnect;
    module.xDestroy = DescribeDisconnect;
    module.xOpen = DescribeOpen;
    module.xClose = DescribeClose;
    module.xFilter = DescribeFilter;
    module.xNext = DescribeNext;
    module.xEof = DescribeEof;
    module.xColumn = DescribeColumn;
    module.xRowid = DescribeRowid;
    return module;
}

} // namespace

void RegisterSqlAnywhereFunctions(TSqliteConnection& connection) {
    sqlite3* db = connection.Handle();
    const int pure = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    struct TFunction {
        const char* Name;
        int Arguments;
        int Flags;
        void (*Call)(sqlite3_context*, int, sqlite3_value**);
    };
    const TFunction functions[] = {
        {"lcase", 1, pure, ChangeCase<false>},
        {"ucase", 1, pure, ChangeCase<true>},
        // SQLite's own upper and lower know ASCII letters only.
        {"lower", 1, pure, ChangeCase<false>},
        {"upper", 1, pure, ChangeCase<true>},
        {"varexists", 1, SQLITE_UTF8, VarExists},
        {"connection_property", 1, SQLITE_UTF8, ConnectionProperty},
        {"connection_property", 2, SQLITE_UTF8, ConnectionProperty},
        {"sa_variable", 1, SQLITE_UTF8, Variable},
    };
    for (const TFunction& f : functions)
        if (sqlite3_create_function_v2(db, f.Name, f.Arguments, f.Flags, &connection, f.Call, nullptr,
                                       nullptr, nullptr) != SQLITE_OK)
            RaiseSqliteError(db);
    if (sqlite3_create_function_v2(db, "sa_list", -1, SQLITE_UTF8, nullptr, nullptr, ListStep, ListFinal,
                                   nullptr) != SQLITE_OK)
        RaiseSqliteError(db);
    static const sqlite3_module module = DescribeModule();
    if (sqlite3_create_module_v2(db, "sa_describe_query", &module, &connection, nullptr) != SQLITE_OK)
        RaiseSqliteError(db);
}
