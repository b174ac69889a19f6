#include "SqlAnywhereDialect.h"

#include "engine/Exception.h"
#include "engine/Win1251.h"

#include <QScopeGuard>
#include <QStringList>
#include <limits>

namespace {

using TKind = TSqlToken::TKind;
constexpr size_t None = std::numeric_limits<size_t>::max();

bool IsWordStart(QChar c) {
    return c.isLetter() || c == u'_' || c == u'@' || c == u'#';
}
bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
}

int HexDigit(QChar c) {
    if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
    return -1;
}

// A string literal from its opening quote; returns the index after it, or -1
// when it is not closed.
qsizetype ReadString(const QString& s, qsizetype i, TSqlToken& token) {
    const qsizetype n = s.size();
    qsizetype j = i + 1;
    while (j < n) {
        const QChar c = s[j];
        if (c == u'\'') {
            if (j + 1 < n && s[j + 1] == u'\'') {
                token.Value += c;
                j += 2;
                continue;
            }
            return j + 1;
        }
        if (c == u'\\' && j + 1 < n) {
            const QChar next = s[j + 1];
            if (next == u'\\' || next == u'n') {
                token.Value += next == u'n' ? QChar(u'\n') : QChar(u'\\');
                token.Escaped = true;
                j += 2;
                continue;
            }
            if ((next == u'x' || next == u'X') && j + 3 < n && HexDigit(s[j + 2]) >= 0 &&
                HexDigit(s[j + 3]) >= 0) {
                // The byte is a character of the server's code page.
                const char byte = char(HexDigit(s[j + 2]) * 16 + HexDigit(s[j + 3]));
                token.Value += FromWin1251(QByteArray(1, byte));
                token.Escaped = true;
                j += 4;
                continue;
            }
        }
        token.Value += c;
        ++j;
    }
    return -1;
}

class TTranslator {
public:
    TTranslator(const std::vector<TSqlToken>& tokens, const TIsVariable& isVariable)
        : T(tokens), FIsVariable(isVariable) {
        for (size_t i = 0; i < T.size(); ++i)
            if (T[i].Kind != TKind::Space) Sig.push_back(i);
        // A statement may end with semicolons.
        while (!Sig.empty() && IsSymbol(T[Sig.back()], u';'))
            Sig.pop_back();
    }

    const std::vector<TSqlToken>& T;
    std::vector<size_t> Sig; // the significant tokens, by index into T

    static bool IsWord(const TSqlToken& t, const char* word) {
        return t.Kind == TKind::Word && t.Value.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    static bool IsSymbol(const TSqlToken& t, char16_t c) {
        return t.Kind == TKind::Symbol && t.Text.size() == 1 && t.Text[0] == c;
    }
    bool WordAt(size_t p, const char* word) const { return p < Sig.size() && IsWord(T[Sig[p]], word); }
    bool SymbolAt(size_t p, char16_t c) const { return p < Sig.size() && IsSymbol(T[Sig[p]], c); }
    bool NameAt(size_t p) const {
        return p < Sig.size() && (T[Sig[p]].Kind == TKind::Word || T[Sig[p]].Kind == TKind::QuotedName);
    }
    // The token index where significant token p starts, or the end.
    size_t Start(size_t p) const { return p < Sig.size() ? Sig[p] : T.size(); }

    [[noreturn]] void SyntaxError(size_t p) const {
        const QString near = p < Sig.size() ? T[Sig[p]].Text : QStringLiteral("(end of line)");
        throw EDatabaseError(QStringLiteral("Syntax error near '%1'").arg(near));
    }

    // Tokens [from, to) in SQLite's terms.
    QString Emit(size_t from, size_t to) const {
        QString out;
        for (size_t i = from; i < to; ++i) {
            const TSqlToken& t = T[i];
            if (t.Kind == TKind::String) {
                out += t.Escaped ? SqliteLiteral(t.Value) : t.Text;
                continue;
            }
            if (t.Kind != TKind::Word) {
                out += t.Text;
                continue;
            }
            const size_t next = Next(i, to);
            if (IsWord(t, "sys") && next < to && IsSymbol(T[next], u'.')) {
                const size_t name = Next(next, to);
                if (name < to && IsWord(T[name], "systable")) {
                    out += QStringLiteral("systable");
                    i = name;
                    continue;
                }
            }
            if (IsWord(t, "list") && next < to && IsSymbol(T[next], u'(')) {
                const size_t close = Match(next, to);
                if (close < to) {
                    // Each list() inside another is translated one level
                    // deeper; a deep nest is refused before it can exhaust the
                    // stack (SQLite would refuse it anyway).
                    if (FListDepth >= MaxListDepth)
                        throw EDatabaseError(
                            QStringLiteral("Too many nested list() calls (at most %1)").arg(MaxListDepth));
                    ++FListDepth;
                    const auto leave = qScopeGuard([this] { --FListDepth; });
                    out += ListCall(next + 1, close);
                    i = close;
                    continue;
                }
            }
            const size_t prev = Prev(i, from);
            const bool qualified =
                (prev != None && IsSymbol(T[prev], u'.')) || (next < to && IsSymbol(T[next], u'.'));
            const bool call = next < to && IsSymbol(T[next], u'(');
            if (!qualified && !call && FIsVariable && FIsVariable(t.Value)) {
                out += QStringLiteral("sa_variable(%1)").arg(SqliteLiteral(t.Value));
                continue;
            }
            out += t.Text;
        }
        return out;
    }

    // From significant token p to the end of the statement.
    QString EmitFrom(size_t p) const { return Emit(Start(p), Sig.empty() ? 0 : Sig.back() + 1).trimmed(); }

private:
    const TIsVariable& FIsVariable;
    static constexpr int MaxListDepth = 100;
    mutable int FListDepth = 0;

    size_t Next(size_t i, size_t to) const {
        for (++i; i < to; ++i)
            if (T[i].Kind != TKind::Space) return i;
        return to;
    }
    size_t Prev(size_t i, size_t from) const {
        while (i > from) {
            --i;
            if (T[i].Kind != TKind::Space) return i;
        }
        return None;
    }
    // The ")" that closes the "(" at open, or to.
    size_t Match(size_t open, size_t to) const {
        int depth = 0;
        for (size_t i = open; i < to; ++i) {
            if (IsSymbol(T[i], u'(')) ++depth;
            if (IsSymbol(T[i], u')') && --depth == 0) return i;
        }
        return to;
    }
    // The top-level commas of [from, to) split it into ranges.
    std::vector<std::pair<size_t, size_t>> SplitCommas(size_t from, size_t to) const {
        std::vector<std::pair<size_t, size_t>> parts;
        int depth = 0;
        size_t start = from;
        for (size_t i = from; i < to; ++i) {
            if (IsSymbol(T[i], u'(')) ++depth;
            if (IsSymbol(T[i], u')')) --depth;
            if (depth == 0 && IsSymbol(T[i], u',')) {
                parts.emplace_back(start, i);
                start = i + 1;
            }
        }
        parts.emplace_back(start, to);
        return parts;
    }
    QString EmitArgument(std::pair<size_t, size_t> range) const {
        const QString text = Emit(range.first, range.second).trimmed();
        if (text.isEmpty()) throw EDatabaseError(QStringLiteral("Syntax error near 'list'"));
        return text;
    }

    // list([DISTINCT|ALL] expr [, delimiter] [ORDER BY key [ASC|DESC], ...])
    // becomes sa_list(distinct, expr, delimiter, key, descending, ...).
    QString ListCall(size_t from, size_t to) const {
        size_t order = to, keys = to;
        int depth = 0;
        for (size_t i = from; i < to && order == to; ++i) {
            if (IsSymbol(T[i], u'(')) ++depth;
            if (IsSymbol(T[i], u')')) --depth;
            if (depth == 0 && IsWord(T[i], "order")) {
                const size_t by = Next(i, to);
                if (by < to && IsWord(T[by], "by")) {
                    order = i;
                    keys = by + 1;
                }
            }
        }
        size_t start = Next(from - 1, order);
        bool distinct = false;
        if (start < order && (IsWord(T[start], "distinct") || IsWord(T[start], "all"))) {
            distinct = IsWord(T[start], "distinct");
            start = start + 1;
        }
        const auto args = SplitCommas(start, order);
        if (args.size() > 2) throw EDatabaseError(QStringLiteral("Syntax error near ','"));
        QString out =
            QStringLiteral("sa_list(%1, %2, %3")
                .arg(distinct ? 1 : 0)
                .arg(EmitArgument(args[0]), args.size() > 1 ? EmitArgument(args[1]) : QStringLiteral("','"));
        if (order < to) {
            for (auto key : SplitCommas(keys, to)) {
                bool descending = false;
                const size_t last = Prev(key.second, key.first);
                if (last != None && (IsWord(T[last], "asc") || IsWord(T[last], "desc"))) {
                    descending = IsWord(T[last], "desc");
                    key.second = last;
                }
                out += QStringLiteral(", %1, %2").arg(EmitArgument(key)).arg(descending ? 1 : 0);
            }
        }
        return out + u')';
    }
};

bool OnOff(const TTranslator& tr, size_t p) {
    if (tr.WordAt(p, "on")) return true;
    if (tr.WordAt(p, "off")) return false;
    tr.SyntaxError(p);
}

QString StringAt(const TTranslator& tr, size_t p) {
    if (p >= tr.Sig.size() || tr.T[tr.Sig[p]].Kind != TKind::String) tr.SyntaxError(p);
    return tr.T[tr.Sig[p]].Value;
}

TDialectStatement Unload(const TTranslator& tr) {
    TDialectStatement st;
    st.Kind = TDialectStatement::TKind::Unload;
    size_t p = 1;
    if (tr.WordAt(p, "from")) ++p;
    if (tr.WordAt(p, "table")) {
        ++p;
        if (!tr.NameAt(p)) tr.SyntaxError(p);
        QString table = tr.T[tr.Sig[p]].Text;
        // An owner name means nothing here; a schema name does.
        if (tr.SymbolAt(p + 1, u'.')) {
            if (!tr.NameAt(p + 2)) tr.SyntaxError(p + 2);
            const QString owner = tr.T[tr.Sig[p]].Value.toLower();
            table = owner == u"main" || owner == u"temp" ? table + u'.' + tr.T[tr.Sig[p + 2]].Text
                                                         : tr.T[tr.Sig[p + 2]].Text;
            p += 2;
        }
        st.Sql = QStringLiteral("SELECT * FROM ") + table;
        ++p;
    } else if (tr.WordAt(p, "select")) {
        const size_t from = p;
        int depth = 0;
        for (; p < tr.Sig.size(); ++p) {
            if (tr.SymbolAt(p, u'(')) ++depth;
            if (tr.SymbolAt(p, u')')) --depth;
            if (depth == 0 && (tr.WordAt(p, "to") || (tr.WordAt(p, "into") && (tr.WordAt(p + 1, "file") ||
                                                                               tr.WordAt(p + 1, "client")))))
                break;
        }
        st.Sql = tr.Emit(tr.Start(from), tr.Start(p)).trimmed();
    } else {
        tr.SyntaxError(p);
    }

    if (tr.WordAt(p, "to")) {
        ++p;
    } else if (tr.WordAt(p, "into")) {
        ++p;
        if (tr.WordAt(p, "client")) ++p;
        if (!tr.WordAt(p, "file")) tr.SyntaxError(p);
        ++p;
    } else {
        tr.SyntaxError(p);
    }
    st.File = StringAt(tr, p++);

    while (p < tr.Sig.size()) {
        if (tr.WordAt(p, "append")) {
            st.Append = OnOff(tr, p + 1);
            p += 2;
        } else if (tr.WordAt(p, "delimited") && tr.WordAt(p + 1, "by")) {
            st.Delimiter = StringAt(tr, p + 2);
            p += 3;
        } else if (tr.WordAt(p, "row") && tr.WordAt(p + 1, "delimited") && tr.WordAt(p + 2, "by")) {
            st.RowDelimiter = StringAt(tr, p + 3);
            p += 4;
        } else if (tr.WordAt(p, "quotes")) {
            st.Quotes = OnOff(tr, p + 1);
            p += 2;
        } else if (tr.WordAt(p, "quote")) {
            st.Quote = StringAt(tr, p + 1);
            p += 2;
        } else if (tr.WordAt(p, "escapes")) {
            st.Escapes = OnOff(tr, p + 1);
            p += 2;
        } else if (tr.WordAt(p, "hexadecimal")) {
            st.Hexadecimal = OnOff(tr, p + 1);
            p += 2;
        } else if (tr.WordAt(p, "order")) {
            OnOff(tr, p + 1); // rows come in the table's natural order either way
            p += 2;
        } else if (tr.WordAt(p, "format") && tr.WordAt(p + 1, "text")) {
            p += 2;
        } else {
            tr.SyntaxError(p);
        }
    }
    return st;
}

TDialectStatement SetOption(const TTranslator& tr, size_t p) {
    TDialectStatement st;
    st.Kind = TDialectStatement::TKind::SetOption;
    if (!tr.NameAt(p)) tr.SyntaxError(p);
    // [PUBLIC. | user.]name: options are the connection's own.
    if (tr.SymbolAt(p + 1, u'.')) {
        p += 2;
        if (!tr.NameAt(p)) tr.SyntaxError(p);
    }
    st.Name = tr.T[tr.Sig[p]].Value;
    if (!tr.SymbolAt(p + 1, u'=')) tr.SyntaxError(p + 1);
    p += 2;
    if (p + 1 == tr.Sig.size() && tr.T[tr.Sig[p]].Kind == TKind::String)
        st.Value = tr.T[tr.Sig[p]].Value;
    else if (p < tr.Sig.size())
        st.Value = tr.EmitFrom(p);
    return st;
}

} // namespace

std::vector<TSqlToken> TokenizeSql(const QString& s) {
    std::vector<TSqlToken> out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    auto push = [&](TKind kind, qsizetype end, QString value = {}) {
        out.push_back({kind, s.mid(i, end - i), std::move(value)});
        i = end;
    };
    while (i < n) {
        const QChar c = s[i];
        const QChar next = i + 1 < n ? s[i + 1] : QChar();
        qsizetype j = i + 1;
        if (c.isSpace()) {
            while (j < n && s[j].isSpace())
                ++j;
            push(TKind::Space, j);
        } else if ((c == u'-' && next == u'-') || (c == u'/' && next == u'/')) {
            while (j < n && s[j] != u'\n')
                ++j;
            push(TKind::Space, j);
        } else if (c == u'/' && next == u'*') {
            const qsizetype close = s.indexOf(QStringLiteral("*/"), i + 2);
            push(TKind::Space, close < 0 ? n : close + 2);
        } else if (c == u'\'') {
            TSqlToken token{TKind::String, {}, {}};
            const qsizetype end = ReadString(s, i, token);
            if (end < 0) {
                push(TKind::Symbol, n); // unclosed: the server names it
            } else {
                token.Text = s.mid(i, end - i);
                out.push_back(std::move(token));
                i = end;
            }
        } else if (c == u'"' || c == u'`' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            QString name;
            bool closed = false;
            while (j < n) {
                if (s[j] == close) {
                    if (j + 1 < n && s[j + 1] == close && close != u']') {
                        name += close;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                name += s[j++];
            }
            push(closed ? TKind::QuotedName : TKind::Symbol, j, name);
        } else if (c.isDigit() || (c == u'.' && next.isDigit())) {
            while (j < n && (s[j].isLetterOrNumber() || s[j] == u'.' ||
                             ((s[j] == u'+' || s[j] == u'-') && (s[j - 1] == u'e' || s[j - 1] == u'E'))))
                ++j;
            push(TKind::Number, j);
        } else if (IsWordStart(c)) {
            while (j < n && IsWordChar(s[j]))
                ++j;
            push(TKind::Word, j, s.mid(i, j - i));
        } else {
            static const QStringList pairs = {"<=", ">=", "<>", "!=", "||", "=="};
            if (pairs.contains(s.mid(i, 2))) ++j;
            push(TKind::Symbol, j);
        }
    }
    return out;
}

QString SqliteLiteral(const QString& text) {
    const auto quoted = [](QString part) {
        return u'\'' + part.replace(u'\'', QStringLiteral("''")) + u'\'';
    };
    if (!text.contains(QChar(0))) return quoted(text);
    // SQLite's literals end at a NUL character.
    QStringList parts;
    for (const QString& part : text.split(QChar(0)))
        parts << quoted(part);
    return u'(' + parts.join(QStringLiteral("||char(0)||")) + u')';
}

TDialectStatement TranslateStatement(const QString& text, const TIsVariable& isVariable) {
    const std::vector<TSqlToken> tokens = TokenizeSql(text);
    const TTranslator tr(tokens, isVariable);
    TDialectStatement st;
    if (tr.WordAt(0, "create") && tr.WordAt(1, "variable")) {
        st.Kind = TDialectStatement::TKind::CreateVariable;
        if (!tr.NameAt(2)) tr.SyntaxError(2);
        st.Name = tokens[tr.Sig[2]].Value;
        if (tr.Sig.size() < 4) tr.SyntaxError(3);
        st.TypeName = tr.EmitFrom(3);
    } else if (tr.WordAt(0, "drop") && tr.WordAt(1, "variable")) {
        st.Kind = TDialectStatement::TKind::DropVariable;
        size_t p = 2;
        if (tr.WordAt(p, "if") && tr.WordAt(p + 1, "exists")) {
            st.IfExists = true;
            p += 2;
        }
        if (!tr.NameAt(p)) tr.SyntaxError(p);
        if (p + 1 < tr.Sig.size()) tr.SyntaxError(p + 1);
        st.Name = tokens[tr.Sig[p]].Value;
    } else if (tr.WordAt(0, "set") && tr.WordAt(1, "option")) {
        st = SetOption(tr, 2);
    } else if (tr.WordAt(0, "set") && tr.WordAt(1, "temporary") && tr.WordAt(2, "option")) {
        st = SetOption(tr, 3);
    } else if (tr.WordAt(0, "set")) {
        st.Kind = TDialectStatement::TKind::SetVariable;
        if (!tr.NameAt(1)) tr.SyntaxError(1);
        st.Name = tokens[tr.Sig[1]].Value;
        if (!tr.SymbolAt(2, u'=')) tr.SyntaxError(2);
        if (tr.Sig.size() < 4) tr.SyntaxError(3);
        st.Sql = tr.EmitFrom(3);
    } else if (tr.WordAt(0, "unload")) {
        st = Unload(tr);
    } else if (tr.WordAt(0, "call")) {
        if (tr.Sig.size() < 2) tr.SyntaxError(1);
        st.Sql = QStringLiteral("SELECT * FROM ") + tr.EmitFrom(1);
    } else {
        st.Sql = tr.Emit(0, tokens.size());
    }
    return st;
}
