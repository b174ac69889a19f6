#pragma once

// The SQL Anywhere dialect of the statements the program sends, translated
// for the embedded SQLite server. This unit is the only one that knows what
// SQLite understands and SQL Anywhere does not:
// - string literals with the server's backslash escapes (\xHH, \n, \\);
// - the catalogue name sys.systable (the connection provides systable);
// - list(expr [, delimiter] [ORDER BY ...]) as the aggregate sa_list;
// - connection variables in expressions as sa_variable('name');
// - CALL proc(...) as a select from the table-valued procedure;
// - the statements CREATE VARIABLE, DROP VARIABLE, SET, SET OPTION and
//   UNLOAD, which the connection carries out itself.
// Everything else passes unchanged.

#include <QString>
#include <functional>
#include <vector>

struct TSqlToken {
    enum class TKind { Space, Word, QuotedName, String, Number, Symbol };
    TKind Kind;
    QString Text;         // as written
    QString Value;        // Word and QuotedName: the name; String: the decoded text
    bool Escaped = false; // a String whose value differs from plain SQL quoting
};

// Splits a statement into tokens; comments count as space. Never fails: a
// text it cannot read passes on as symbols for the server to refuse.
std::vector<TSqlToken> TokenizeSql(const QString& text);

// A text as an SQLite string literal.
QString SqliteLiteral(const QString& text);

struct TDialectStatement {
    enum class TKind { Sql, CreateVariable, DropVariable, SetVariable, SetOption, Unload };
    TKind Kind = TKind::Sql;
    // Sql: the SQLite text. SetVariable: the value as an SQLite expression.
    // Unload: the SQLite query whose rows are written.
    QString Sql;
    QString Name;          // variable or option
    QString TypeName;      // CreateVariable: the declared type
    QString Value;         // SetOption: the value's text
    bool IfExists = false; // DropVariable

    // Unload options, with the server's defaults.
    QString File;
    QString Delimiter = QStringLiteral(",");
    QString RowDelimiter = QStringLiteral("\r\n");
    QString Quote = QStringLiteral("'");
    bool Quotes = true;
    bool Escapes = true;
    bool Hexadecimal = true;
    bool Append = false;
};

// Whether a name is a connection variable (the connection decides how
// "@name" is found).
using TIsVariable = std::function<bool(const QString& name)>;

// Raises EDatabaseError "Syntax error near '...'" for a dialect statement it
// cannot read.
TDialectStatement TranslateStatement(const QString& text, const TIsVariable& isVariable);
