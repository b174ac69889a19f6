#pragma once

// What the engine asks of a driver (embedded SQLite, ODBC). Only the engine
// and its drivers include this.

#include "TField.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

struct TColumnInfo {
    QString Name;
    QString DeclaredType; // as the server names it
    TFieldType Type = TFieldType::ftUnknown;
    int Size = 0;
    int Precision = 0;
    int Scale = 0;
};

// A forward-only result. Value() reads the current row after Next()
// returned true.
class TCursor {
public:
    virtual ~TCursor() = default;
    virtual const QList<TColumnInfo>& Columns() const = 0;
    virtual bool Next() = 0;
    virtual QVariant Value(int column) const = 0; // null QVariant for NULL
    // The value as a float straight from the row, NULL as 0, for a column
    // that holds a plain number; false where only Value() can tell.
    virtual bool FloatValue(int column, double& value) const {
        Q_UNUSED(column);
        Q_UNUSED(value);
        return false;
    }
    // Whether the value is NULL, straight from the row; false where only
    // Value() can tell.
    virtual bool NullValue(int column, bool& null) const {
        Q_UNUSED(column);
        Q_UNUSED(null);
        return false;
    }
    // Appends a text column's value as Value() gives it (nothing for NULL),
    // straight from the row; false where only Value() can tell.
    virtual bool AppendText(int column, QString& out) const {
        Q_UNUSED(column);
        Q_UNUSED(out);
        return false;
    }
    // A date column's value straight from the row, and whether it is NULL;
    // false where only Value() can tell.
    virtual bool DateValue(int column, QDate& value, bool& null) const {
        Q_UNUSED(column);
        Q_UNUSED(value);
        Q_UNUSED(null);
        return false;
    }
    // The value exactly, NULL included, for a column of whole or
    // fixed-point numbers; false where only Value() can tell.
    virtual bool ExactValue(int column, TExactNumber& value) const {
        Q_UNUSED(column);
        Q_UNUSED(value);
        return false;
    }
};

// A SELECT that the engine builds for a table: names are already quoted
// with QuoteIdentifier, values are "?" parameters.
struct TSelectSpec {
    QString Table;       // quoted
    QStringList Columns; // quoted column names to read, in order; empty: all
    QString Where;       // "" or an expression with "?" placeholders
    QVariantList Params; // values of the placeholders, in order
    QStringList OrderBy; // quoted column names, ascending
    qint64 Limit = -1;   // at most this many rows will be read; -1 all
    // The whole order backwards, its row key included: the last rows first.
    bool Descending = false;

    QString SelectList() const {
        return Columns.isEmpty() ? QStringLiteral("*") : Columns.join(QStringLiteral(", "));
    }
};

// What breaks the ties of a table select's order: expressions that tell the
// rows apart (a rowid), which the engine may add to a select list after
// "*", and the text that stands for a value of each in a comparison.
struct TRowKey {
    QStringList Columns;
    QStringList Placeholders; // "?" or a cast of it, one per column
};

class TDriverConnection {
public:
    virtual ~TDriverConnection() = default;

    virtual QStringList TableNames() = 0; // system tables included
    virtual QString QuoteIdentifier(const QString& name) const = 0;
    // A condition that the (quoted) column's text begins with prefix, letters
    // of every alphabet compared without regard to case, for a server whose
    // UPPER knows only some alphabets; its values are appended to params.
    // Empty where UPPER on both sides of a LIKE serves.
    virtual QString CaselessPrefix(const QString& column, const QString& prefix, bool negated,
                                   QVariantList& params) const {
        Q_UNUSED(column);
        Q_UNUSED(prefix);
        Q_UNUSED(negated);
        Q_UNUSED(params);
        return {};
    }
    virtual QList<TColumnInfo> TableColumns(const QString& table) = 0;

    // Rows of a table from record offset (0-based) on, in the order asked for;
    // without OrderBy the server's natural order, stable between calls.
    virtual std::unique_ptr<TCursor> Select(const TSelectSpec& spec, qint64 offset) = 0;
    virtual qint64 Count(const TSelectSpec& spec) = 0;
    // In one statement over spec's rows: their count, the count of NULLs of
    // column (one of spec's table's, whole or fixed-point) and its exact sum.
    // False, asking nothing or reading no answer, where the server cannot add
    // that column exactly.
    virtual bool Totals(const TSelectSpec& spec, const TColumnInfo& column, TColumnTotals& totals) {
        Q_UNUSED(spec);
        Q_UNUSED(column);
        Q_UNUSED(totals);
        return false;
    }
    // The row key that Select orders spec's rows by last, empty where the
    // driver knows none (a view, a server whose natural order is its own).
    virtual TRowKey RowKeyOf(const TSelectSpec& spec) = 0;
    // Whether an ascending order puts NULLs before every value.
    virtual bool NullsFirst() const = 0;
    // Whether Select with Descending gives exactly the rows of the ascending
    // order backwards: the order ends in a row key that tells every row apart.
    virtual bool Reversible(const TSelectSpec& spec) = 0;

    // A statement in the SQL Anywhere dialect, as the program sends it.
    virtual std::unique_ptr<TCursor> Query(const QString& sql) = 0;
    virtual void Execute(const QString& sql) = 0;
    // Whether statements may change data. A connection only reads until it
    // is told otherwise, and again from when it is told so.
    virtual void SetWritable(bool writable) = 0;
};
