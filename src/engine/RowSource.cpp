#include "RowSource.h"

#include "Exception.h"
#include "Filter.h"
#include "TDataSet.h"
#include "TField.h"

namespace {

class TEmptyCursor : public TCursor {
public:
    explicit TEmptyCursor(const QList<TColumnInfo>& columns) : FColumns(columns) {}
    const QList<TColumnInfo>& Columns() const override { return FColumns; }
    bool Next() override { return false; }
    QVariant Value(int) const override { return QVariant(); }

private:
    QList<TColumnInfo> FColumns;
};

// A condition that holds for the rows before one whose values of columns
// are values, in ascending order by columns, first to last; after: for the
// rows after it, which come before it in the order backwards, where NULLs
// are at the other end.
QString RowsBefore(const QStringList& columns, const QStringList& placeholders, const QVariantList& values,
                   bool nullsFirst, QVariantList& params, bool after = false) {
    const QString op = after ? QStringLiteral(">") : QStringLiteral("<");
    if (after) nullsFirst = !nullsFirst;
    QStringList terms, equal;
    QVariantList equalParams;
    for (int i = 0; i < columns.size(); ++i) {
        const QString& c = columns[i];
        const QVariant& v = values[i];
        QString less;
        QVariantList lessParams = equalParams;
        if (!v.isNull()) {
            less = nullsFirst ? QStringLiteral("(%1 %2 %3 OR %1 IS NULL)").arg(c, op, placeholders[i])
                              : QStringLiteral("%1 %2 %3").arg(c, op, placeholders[i]);
            lessParams << v;
        } else if (!nullsFirst) {
            less = c + QStringLiteral(" IS NOT NULL");
        }
        if (!less.isEmpty()) {
            QStringList parts = equal;
            parts << less;
            terms << QLatin1Char('(') + parts.join(QStringLiteral(" AND ")) + QLatin1Char(')');
            params << lessParams;
        }
        if (v.isNull()) {
            equal << c + QStringLiteral(" IS NULL");
        } else {
            equal << QStringLiteral("%1 = %2").arg(c, placeholders[i]);
            equalParams << v;
        }
    }
    return terms.isEmpty() ? QStringLiteral("1 = 0") : terms.join(QStringLiteral(" OR "));
}

class TTableSource : public TRowSource {
public:
    TTableSource(TDriverConnection& connection, QList<TColumnInfo> columns, TSelectSpec spec,
                 QList<int> order, bool empty)
        : FConnection(connection), FColumns(std::move(columns)), FSpec(std::move(spec)),
          FOrder(std::move(order)), FEmpty(empty) {
        if (!FEmpty) FKey = FConnection.RowKeyOf(FSpec);
    }
    const QList<TColumnInfo>& Columns() const override { return FColumns; }
    std::unique_ptr<TCursor> OpenAt(qint64 offset, qint64 limit, const QList<int>& columns) override {
        if (FEmpty) return std::make_unique<TEmptyCursor>(FColumns);
        TSelectSpec spec = FSpec;
        spec.Limit = limit;
        for (int c : columns)
            spec.Columns << FConnection.QuoteIdentifier(FColumns[c].Name);
        if (columns.isEmpty() && !FKey.Columns.isEmpty()) spec.Columns << QStringLiteral("*") << FKey.Columns;
        return FConnection.Select(spec, offset);
    }
    qint64 Count() override { return FEmpty ? 0 : FConnection.Count(FSpec); }
    bool Totals(int column, TColumnTotals& totals) override {
        if (!FEmpty) return FConnection.Totals(FSpec, FColumns[column], totals);
        totals = TColumnTotals();
        return true;
    }
    std::unique_ptr<TCursor> OpenFromEnd(qint64 skip, qint64 limit) override {
        if (FEmpty || FKey.Columns.isEmpty() || !FConnection.Reversible(FSpec)) return nullptr;
        TSelectSpec spec = FSpec;
        spec.Limit = limit;
        spec.Descending = true;
        spec.Columns << QStringLiteral("*") << FKey.Columns;
        return FConnection.Select(spec, skip);
    }
    // Only where the order is the row key alone, whose values compare
    // exactly as they were read.
    std::unique_ptr<TCursor> OpenAfter(const QVariantList& row, qint64 limit) override {
        if (FEmpty || !FSpec.OrderBy.isEmpty() || FKey.Columns.isEmpty() ||
            row.size() != FColumns.size() + FKey.Columns.size() || !FConnection.Reversible(FSpec))
            return nullptr;
        TSelectSpec spec = FSpec;
        spec.Limit = limit;
        spec.Columns << QStringLiteral("*") << FKey.Columns;
        const QString after = RowsBefore(FKey.Columns, FKey.Placeholders, row.mid(FColumns.size()),
                                         FConnection.NullsFirst(), spec.Params, true);
        spec.Where = spec.Where.isEmpty() ? after : QStringLiteral("(%1) AND (%2)").arg(spec.Where, after);
        return FConnection.Select(spec, 0);
    }
    qint64 Place(const QVariantList& row, bool& byKey) override {
        byKey = !FKey.Columns.isEmpty() && row.size() == FColumns.size() + FKey.Columns.size();
        if (FEmpty) return -1;
        QStringList columns = FSpec.OrderBy, placeholders(FOrder.size(), QStringLiteral("?"));
        QVariantList values;
        for (int c : FOrder)
            values << row.value(c);
        if (byKey) {
            columns << FKey.Columns;
            placeholders << FKey.Placeholders;
            values << row.mid(FColumns.size());
        }
        if (columns.isEmpty()) return -1;
        TSelectSpec spec = FSpec;
        const QString before =
            RowsBefore(columns, placeholders, values, FConnection.NullsFirst(), spec.Params);
        spec.Where = spec.Where.isEmpty() ? before : QStringLiteral("(%1) AND (%2)").arg(spec.Where, before);
        return FConnection.Count(spec);
    }

private:
    TDriverConnection& FConnection;
    QList<TColumnInfo> FColumns;
    TSelectSpec FSpec;
    QList<int> FOrder; // the field of each OrderBy column
    TRowKey FKey;
    bool FEmpty;
};

// A statement's rows can only be read forwards: reading from an offset runs
// it again and skips.
class TQuerySource : public TRowSource {
public:
    TQuerySource(TDriverConnection& connection, QString sql) : FConnection(connection), FSql(std::move(sql)) {
        FFirst = FConnection.Query(FSql);
        FColumns = FFirst->Columns();
    }
    const QList<TColumnInfo>& Columns() const override { return FColumns; }
    std::unique_ptr<TCursor> OpenAt(qint64 offset, qint64, const QList<int>&) override {
        std::unique_ptr<TCursor> c = FFirst ? std::move(FFirst) : FConnection.Query(FSql);
        for (qint64 i = 0; i < offset && c->Next(); ++i) {
        }
        return c;
    }
    qint64 Count() override {
        std::unique_ptr<TCursor> c = FConnection.Query(FSql);
        qint64 n = 0;
        while (c->Next())
            ++n;
        return n;
    }

private:
    TDriverConnection& FConnection;
    QString FSql;
    std::unique_ptr<TCursor> FFirst;
    QList<TColumnInfo> FColumns;
};

const TColumnInfo* FindColumn(const QList<TColumnInfo>& columns, const QString& name) {
    for (const TColumnInfo& c : columns)
        if (c.Name.compare(name.trimmed(), Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

} // namespace

std::unique_ptr<TRowSource> BuildRowSource(TDriverConnection& conn, const TRowSpec& spec,
                                           const QString& filter, bool filtered,
                                           QList<TColumnInfo>& columnsOut, QString& columnsTable,
                                           QVariantList& linkValues) {
    if (!spec.Sql.isNull()) {
        if (filtered && !filter.trimmed().isEmpty())
            throw EDatabaseError(QStringLiteral("A query cannot be filtered"));
        auto source = std::make_unique<TQuerySource>(conn, spec.Sql);
        columnsOut = source->Columns();
        columnsTable.clear();
        return source;
    }
    if (spec.TableName.trimmed().isEmpty()) throw EDatabaseError(QStringLiteral("Table name is not set"));
    QList<TColumnInfo> columns = conn.TableColumns(spec.TableName);
    TSelectSpec select;
    select.Table = conn.QuoteIdentifier(spec.TableName);
    QList<int> order;
    for (const QString& name : spec.OrderBy) {
        const TColumnInfo* c = FindColumn(columns, name);
        if (!c) throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name.trimmed()));
        select.OrderBy << conn.QuoteIdentifier(c->Name);
        order << int(c - columns.constData());
    }
    QStringList where;
    if (filtered) {
        const TCompiledFilter f = CompileFilter(
            filter, columns, [&conn](const QString& name) { return conn.QuoteIdentifier(name); },
            [&conn](const QString& column, const QString& prefix, bool negated, QVariantList& params) {
                return conn.CaselessPrefix(column, prefix, negated, params);
            });
        if (!f.Where.isEmpty()) {
            where << f.Where;
            select.Params << f.Params;
        }
    }
    bool empty = false;
    linkValues.clear();
    if (spec.Linked) {
        TDataSet* master = spec.Master ? spec.Master->DataSet() : nullptr;
        if (spec.DetailFields.size() < spec.MasterFields.size())
            throw EDatabaseError(
                QStringLiteral("A linked table needs as many index fields as master fields"));
        if (!master || !master->Active() || master->IsEmpty()) {
            empty = true;
        } else {
            for (int i = 0; i < spec.MasterFields.size(); ++i) {
                const QVariant v = master->FieldByName(spec.MasterFields[i])->Value();
                const TColumnInfo* c = FindColumn(columns, spec.DetailFields[i]);
                if (!c)
                    throw EDatabaseError(
                        QStringLiteral("Field '%1' not found").arg(spec.DetailFields[i].trimmed()));
                linkValues << v;
                if (v.isNull()) empty = true; // NULL equals nothing
                where << QStringLiteral("(%1 = ?)").arg(conn.QuoteIdentifier(c->Name));
                select.Params << v;
            }
        }
    }
    select.Where = where.join(QLatin1String(" AND "));
    columnsOut = columns;
    columnsTable = spec.TableName;
    return std::make_unique<TTableSource>(conn, std::move(columns), std::move(select), std::move(order),
                                          empty);
}
