#include "FieldNames.h"

bool IsNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c == QLatin1Char('#');
}

QString BracketName(const QString& name) {
    QString out = name;
    out.replace(QLatin1Char(']'), QLatin1String("]]"));
    return QLatin1Char('[') + out + QLatin1Char(']');
}

qsizetype ReadBracketName(const QString& text, qsizetype open, QString& name) {
    name.clear();
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        if (text[i] != QLatin1Char(']')) {
            name += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == QLatin1Char(']')) {
            name += QLatin1Char(']');
            ++i;
            continue;
        }
        return i + 1;
    }
    return -1;
}

QString FilterFieldName(const QString& name) {
    bool plain = !name.isEmpty() && !name.front().isDigit();
    for (QChar c : name)
        plain = plain && IsNameChar(c);
    if (plain) {
        const QString up = name.toUpper();
        for (const char* word : {"AND", "OR", "NOT", "IS", "NULL"})
            if (up == QLatin1String(word)) plain = false;
    }
    return plain ? name : BracketName(name);
}

QString JoinFieldNames(const QStringList& names, QChar separator) {
    QStringList out;
    for (const QString& name : names) {
        const bool bracket = name.contains(QLatin1Char(',')) || name.contains(QLatin1Char(';')) ||
                             name.startsWith(QLatin1Char('[')) || name != name.trimmed();
        out << (bracket ? BracketName(name) : name);
    }
    return out.join(separator);
}

QStringList SplitFieldNames(const QString& list, QChar separator) {
    QStringList out;
    qsizetype i = 0;
    while (i <= list.size()) {
        while (i < list.size() && list[i].isSpace())
            ++i;
        if (i < list.size() && list[i] == QLatin1Char('[')) {
            QString name;
            qsizetype next = ReadBracketName(list, i, name);
            while (next >= 0 && next < list.size() && list[next].isSpace())
                ++next;
            // Only a whole bracketed entry is unquoted; anything else that
            // begins with "[" is taken as written.
            if (next >= 0 && (next == list.size() || list[next] == separator)) {
                if (!name.isEmpty()) out << name;
                i = next + 1;
                continue;
            }
        }
        qsizetype end = list.indexOf(separator, i);
        if (end < 0) end = list.size();
        const QString entry = list.mid(i, end - i).trimmed();
        if (!entry.isEmpty()) out << entry;
        i = end + 1;
    }
    return out;
}
