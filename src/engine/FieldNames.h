#pragma once

// How field names are written inside the engine's own texts: the filter
// language and the ";"-separated name lists of tables (index fields, master
// fields). A name that such a text would split or misread is written in
// square brackets, with every "]" in it doubled: [my col], [a;b], [x]]y].

#include <QChar>
#include <QString>
#include <QStringList>

// Letters, digits, "_", "$" and "#": what a bare name of the filter
// language is made of.
bool IsNameChar(QChar c);

// The name in brackets, "]" doubled.
QString BracketName(const QString& name);

// Reads the bracketed name that opens at text[open] ("["). Returns the index
// after its closing "]", or -1 when it is not closed.
qsizetype ReadBracketName(const QString& text, qsizetype open, QString& name);

// The name as the filter language reads it: bare when it is a plain name
// (name characters, not beginning with a digit, not AND, OR, NOT, IS or
// NULL), otherwise bracketed.
QString FilterFieldName(const QString& name);

// The names joined by separator. A name that holds "," or ";", begins with
// "[" or has blanks at either end is bracketed; every other name stays as
// it is.
QString JoinFieldNames(const QStringList& names, QChar separator);

// The names of such a list: a bracketed entry gives its name exactly, any
// other entry its trimmed text; empty entries are skipped.
QStringList SplitFieldNames(const QString& list, QChar separator);
