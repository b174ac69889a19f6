#pragma once

// The filter language of tables: comparisons (=, <>, <, >, <=, >=), AND,
// OR, NOT, parentheses, IS [NOT] NULL, numbers with "." as decimal mark,
// texts in single quotes with doubled inner quotes, dates 'DD.MM.YYYY',
// times 'HH:MM', field names bare or in square brackets ("]]" for a "]"
// inside them), and a trailing "*" in a text for "begins with", letters of
// every alphabet compared without regard to case. "==" compares as "=" but
// takes a trailing "*" as itself. A comparison with nothing after "="
// (or "<>") matches NULL (or not NULL).
//
// The text is parsed into a tree, its names are checked against the
// table's columns, and it becomes a WHERE clause whose values are all "?"
// parameters and whose names are quoted identifiers.

#include "Driver.h"

#include <QList>
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>

struct TFilterNode {
    enum class Kind { And, Or, Not, Compare, IsNull };
    enum class Operand { Field, Number, Text, Null };
    struct TOperand {
        Operand Type = Operand::Null;
        QString Text; // the field's name or the value as written
        int Position = 0;
    };

    Kind Type = Kind::Compare;
    QList<std::shared_ptr<TFilterNode>> Children; // And, Or: two or more; Not: one
    QString Op;                                   // Compare: "=", "<>", "<", ">", "<=", ">="
    bool Negated = false;                         // IsNull: IS NOT NULL
    bool Literal = false;                         // Compare written "==": a trailing "*" is no wildcard
    TOperand Left, Right;                         // Right absent (Null at Position 0) for "F="
    int Position = 0;                             // 1-based, where the node starts
};

// Raises EDatabaseError naming the position (counted from 1) and what was
// expected. An empty or blank text gives no tree.
std::shared_ptr<TFilterNode> ParseFilter(const QString& text);

struct TCompiledFilter {
    QString Where; // "" when the filter keeps every row
    QVariantList Params;
};

// Raises for a field the columns do not have and for a value that the
// field's kind cannot take.
// caselessPrefix, where given, is the driver's TDriverConnection::CaselessPrefix.
using TCaselessPrefix =
    std::function<QString(const QString& column, const QString& prefix, bool negated, QVariantList& params)>;
TCompiledFilter CompileFilter(const QString& text, const QList<TColumnInfo>& columns,
                              const std::function<QString(const QString&)>& quote,
                              const TCaselessPrefix& caselessPrefix = {});
