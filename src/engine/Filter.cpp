#include "Filter.h"

#include "Exception.h"
#include "FieldFamily.h"
#include "FieldNames.h"
#include "TField.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace {

enum class Tok { End, LParen, RParen, Op, Name, Number, Text, And, Or, Not, Is, Null };

struct TToken {
    Tok Type = Tok::End;
    QString Text;
    int Position = 0; // 1-based
};

QString Describe(const TToken& t) {
    switch (t.Type) {
    case Tok::End:
        return QStringLiteral("the end of the text");
    case Tok::Text:
        return QStringLiteral("'%1'").arg(t.Text);
    default:
        return QStringLiteral("\"%1\"").arg(t.Text);
    }
}

[[noreturn]] void Fail(int position, const QString& expected, const QString& found) {
    throw EDatabaseError(QStringLiteral("Invalid filter at position %1: expected %2, found %3")
                             .arg(position)
                             .arg(expected, found));
}

class TLexer {
public:
    explicit TLexer(const QString& text) : s(text) {}

    QList<TToken> Tokens() {
        QList<TToken> out;
        for (;;) {
            TToken t = NextToken();
            out.append(t);
            if (t.Type == Tok::End) return out;
        }
    }

private:
    const QString& s;
    int i = 0;

    TToken NextToken() {
        while (i < s.size() && s[i].isSpace())
            ++i;
        TToken t;
        t.Position = i + 1;
        if (i >= s.size()) return t;
        const QChar c = s[i];
        if (c == QLatin1Char('(') || c == QLatin1Char(')')) {
            t.Type = c == QLatin1Char('(') ? Tok::LParen : Tok::RParen;
            t.Text = c;
            ++i;
            return t;
        }
        if (c == QLatin1Char('=') || c == QLatin1Char('<') || c == QLatin1Char('>')) {
            t.Type = Tok::Op;
            t.Text = c;
            ++i;
            // "==" is equality that takes a text's trailing "*" as itself.
            if (i < s.size() &&
                (s[i] == QLatin1Char('=') || (c == QLatin1Char('<') && s[i] == QLatin1Char('>')))) {
                t.Text += s[i];
                ++i;
            }
            return t;
        }
        if (c == QLatin1Char('\'')) {
            ++i;
            for (;;) {
                if (i >= s.size())
                    Fail(int(s.size()) + 1,
                         QStringLiteral("a closing quote of the text begun at position %1").arg(t.Position),
                         QStringLiteral("the end of the text"));
                if (s[i] == QLatin1Char('\'')) {
                    if (i + 1 < s.size() && s[i + 1] == QLatin1Char('\'')) {
                        t.Text += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.Text += s[i++];
            }
            t.Type = Tok::Text;
            return t;
        }
        if (c == QLatin1Char('[')) {
            // Inside the brackets "]]" stands for one "]".
            const qsizetype after = ReadBracketName(s, i, t.Text);
            if (after < 0)
                Fail(int(s.size()) + 1,
                     QStringLiteral("\"]\" closing the field name begun at position %1").arg(t.Position),
                     QStringLiteral("the end of the text"));
            t.Type = Tok::Name;
            if (t.Text.trimmed().isEmpty())
                Fail(t.Position + 1, QStringLiteral("a field name"), QStringLiteral("\"]\""));
            i = int(after);
            return t;
        }
        const bool sign =
            (c == QLatin1Char('-') || c == QLatin1Char('+')) && i + 1 < s.size() &&
            (s[i + 1].isDigit() || (s[i + 1] == QLatin1Char('.') && i + 2 < s.size() && s[i + 2].isDigit()));
        if (c.isDigit() || sign || (c == QLatin1Char('.') && i + 1 < s.size() && s[i + 1].isDigit())) {
            const int start = i;
            if (sign) ++i;
            while (i < s.size() && s[i].isDigit())
                ++i;
            if (i < s.size() && s[i] == QLatin1Char('.')) {
                ++i;
                while (i < s.size() && s[i].isDigit())
                    ++i;
            }
            if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
                int j = i + 1;
                if (j < s.size() && (s[j] == QLatin1Char('-') || s[j] == QLatin1Char('+'))) ++j;
                if (j < s.size() && s[j].isDigit()) {
                    i = j;
                    while (i < s.size() && s[i].isDigit())
                        ++i;
                }
            }
            if (i < s.size() && IsNameChar(s[i]))
                Fail(i + 1, QStringLiteral("an operator or the end of the number"),
                     QStringLiteral("\"%1\"").arg(s[i]));
            t.Type = Tok::Number;
            t.Text = s.mid(start, i - start);
            return t;
        }
        if (IsNameChar(c)) {
            const int start = i;
            while (i < s.size() && IsNameChar(s[i]))
                ++i;
            t.Text = s.mid(start, i - start);
            const QString up = t.Text.toUpper();
            t.Type = up == QLatin1String("AND")    ? Tok::And
                     : up == QLatin1String("OR")   ? Tok::Or
                     : up == QLatin1String("NOT")  ? Tok::Not
                     : up == QLatin1String("IS")   ? Tok::Is
                     : up == QLatin1String("NULL") ? Tok::Null
                                                   : Tok::Name;
            return t;
        }
        Fail(t.Position, QStringLiteral("a field name, a value, an operator or a parenthesis"),
             QStringLiteral("\"%1\"").arg(c));
    }
};

using PNode = std::shared_ptr<TFilterNode>;

class TParser {
public:
    explicit TParser(QList<TToken> tokens) : t(std::move(tokens)) {}

    PNode Parse() {
        PNode node = ParseOr();
        if (Peek().Type != Tok::End)
            Fail(Peek().Position,
                 Peek().Type == Tok::RParen ? QStringLiteral("no \")\" without its \"(\"")
                                            : QStringLiteral("AND, OR or the end of the text"),
                 Describe(Peek()));
        return node;
    }

private:
    QList<TToken> t;
    int p = 0;
    int depth = 0;
    static constexpr int MaxDepth = 200;

    const TToken& Peek() const { return t[p]; }
    TToken Take() { return t[p++]; }

    PNode Combine(TFilterNode::Kind kind, Tok tok, PNode (TParser::*sub)()) {
        PNode first = (this->*sub)();
        if (Peek().Type != tok) return first;
        auto node = std::make_shared<TFilterNode>();
        node->Type = kind;
        node->Position = first->Position;
        node->Children.append(first);
        while (Peek().Type == tok) {
            Take();
            node->Children.append((this->*sub)());
        }
        return node;
    }
    PNode ParseOr() { return Combine(TFilterNode::Kind::Or, Tok::Or, &TParser::ParseAnd); }
    PNode ParseAnd() { return Combine(TFilterNode::Kind::And, Tok::And, &TParser::ParseNot); }

    // Every NOT and "(" nests the parser (and later the compiler and the
    // tree's destruction) one level deeper; deep nesting is refused before it
    // can exhaust the stack.
    void Nest(const TToken& tok, const QString& fewer) {
        if (++depth > MaxDepth) Fail(tok.Position, fewer, Describe(tok));
    }

    PNode ParseNot() {
        if (Peek().Type != Tok::Not) return ParsePrimary();
        const TToken no = Take();
        Nest(no, QStringLiteral("fewer nested NOTs"));
        auto node = std::make_shared<TFilterNode>();
        node->Type = TFilterNode::Kind::Not;
        node->Position = no.Position;
        node->Children.append(ParseNot());
        --depth;
        return node;
    }

    PNode ParsePrimary() {
        if (Peek().Type == Tok::LParen) {
            const TToken open = Take();
            Nest(open, QStringLiteral("fewer nested parentheses"));
            PNode inner = ParseOr();
            if (Peek().Type != Tok::RParen)
                Fail(Peek().Position,
                     QStringLiteral("\")\" closing the \"(\" at position %1").arg(open.Position),
                     Describe(Peek()));
            Take();
            --depth;
            return inner;
        }
        return ParseComparison();
    }

    TFilterNode::TOperand ParseOperand(const QString& expected) {
        const TToken tok = Take();
        TFilterNode::TOperand o;
        o.Position = tok.Position;
        o.Text = tok.Text;
        switch (tok.Type) {
        case Tok::Name:
            o.Type = TFilterNode::Operand::Field;
            break;
        case Tok::Number:
            o.Type = TFilterNode::Operand::Number;
            break;
        case Tok::Text:
            o.Type = TFilterNode::Operand::Text;
            break;
        case Tok::Null:
            o.Type = TFilterNode::Operand::Null;
            break;
        default:
            Fail(tok.Position, expected, Describe(tok));
        }
        return o;
    }

    PNode ParseComparison() {
        auto node = std::make_shared<TFilterNode>();
        node->Position = Peek().Position;
        node->Left = ParseOperand(QStringLiteral("a field name, a value or \"(\""));
        if (Peek().Type == Tok::Is) {
            Take();
            node->Type = TFilterNode::Kind::IsNull;
            if (Peek().Type == Tok::Not) {
                Take();
                node->Negated = true;
            }
            if (Peek().Type != Tok::Null)
                Fail(Peek().Position, QStringLiteral("NULL after IS"), Describe(Peek()));
            Take();
            return node;
        }
        if (Peek().Type != Tok::Op)
            Fail(Peek().Position, QStringLiteral("a comparison operator (=, ==, <>, <, >, <=, >=) or IS"),
                 Describe(Peek()));
        const TToken op = Take();
        node->Op = op.Text;
        if (node->Op == QLatin1String("==")) {
            node->Op = QStringLiteral("=");
            node->Literal = true;
        }
        const Tok next = Peek().Type;
        if (next == Tok::End || next == Tok::And || next == Tok::Or || next == Tok::RParen) {
            // "F=" with nothing after the operator matches an empty value.
            if (node->Op != QLatin1String("=") && node->Op != QLatin1String("<>"))
                Fail(Peek().Position, QStringLiteral("a value after \"%1\"").arg(node->Op), Describe(Peek()));
            node->Right.Position = 0;
        } else {
            node->Right = ParseOperand(QStringLiteral("a value or a field name after \"%1\"").arg(node->Op));
        }
        return node;
    }
};

// --- compiling -------------------------------------------------------------

class TCompiler {
public:
    TCompiler(const QList<TColumnInfo>& columns, const std::function<QString(const QString&)>& quote,
              const TCaselessPrefix& caselessPrefix)
        : cols(columns), q(quote), caseless(caselessPrefix) {}

    QVariantList Params;

    QString Node(const TFilterNode& n) {
        switch (n.Type) {
        case TFilterNode::Kind::And:
        case TFilterNode::Kind::Or: {
            QStringList parts;
            for (const auto& c : n.Children)
                parts << Node(*c);
            return QLatin1Char('(') +
                   parts.join(n.Type == TFilterNode::Kind::And ? QLatin1String(" AND ")
                                                               : QLatin1String(" OR ")) +
                   QLatin1Char(')');
        }
        case TFilterNode::Kind::Not:
            return QStringLiteral("(NOT %1)").arg(Node(*n.Children.first()));
        case TFilterNode::Kind::IsNull: {
            if (n.Left.Type != TFilterNode::Operand::Field)
                Fail(n.Left.Position, QStringLiteral("a field name before IS"), QStringLiteral("a value"));
            return QStringLiteral("(%1 IS %2NULL)")
                .arg(Name(n.Left), n.Negated ? QStringLiteral("NOT ") : QString());
        }
        case TFilterNode::Kind::Compare:
            return Compare(n);
        }
        return QString();
    }

private:
    const QList<TColumnInfo>& cols;
    const std::function<QString(const QString&)>& q;
    const TCaselessPrefix& caseless;

    const TColumnInfo& Column(const TFilterNode::TOperand& o) const {
        // A bracketed name may keep blanks at its ends; "[ x ]" still finds x.
        for (const TColumnInfo& c : cols)
            if (c.Name.compare(o.Text, Qt::CaseInsensitive) == 0) return c;
        const QString name = o.Text.trimmed();
        for (const TColumnInfo& c : cols)
            if (c.Name.compare(name, Qt::CaseInsensitive) == 0) return c;
        throw EDatabaseError(
            QStringLiteral("Invalid filter at position %1: field '%2' not found").arg(o.Position).arg(name));
    }
    QString Name(const TFilterNode::TOperand& o) const { return q(Column(o).Name); }

    QString Param(const QVariant& v) {
        Params.append(v);
        return QStringLiteral("?");
    }

    [[noreturn]] static void BadValue(const TFilterNode::TOperand& o, const QString& kind,
                                      const QString& field) {
        throw EDatabaseError(
            QStringLiteral("Invalid filter at position %1: '%2' is not a valid %3 for field '%4'")
                .arg(o.Position)
                .arg(o.Text, kind, field));
    }

    static QString Mirror(const QString& op) {
        if (op == QLatin1String("<")) return QStringLiteral(">");
        if (op == QLatin1String(">")) return QStringLiteral("<");
        if (op == QLatin1String("<=")) return QStringLiteral(">=");
        if (op == QLatin1String(">=")) return QStringLiteral("<=");
        return op;
    }

    // A value given to the minute (or the day) covers the whole minute (day),
    // so that what a grid cell shows, typed back, finds that row.
    QString Range(const QString& name, const QString& op, const QVariant& from, const QVariant& to) {
        if (op == QLatin1String("=") || op == QLatin1String("<>")) {
            // The parameters in the order of their "?" marks.
            const QString first = Param(from);
            const QString second = Param(to);
            const QString shape = op == QLatin1String("=") ? QStringLiteral("(%1 >= %2 AND %1 < %3)")
                                                           : QStringLiteral("(%1 < %2 OR %1 >= %3)");
            return shape.arg(name, first, second);
        }
        if (op == QLatin1String("<") || op == QLatin1String(">="))
            return QStringLiteral("(%1 %2 %3)").arg(name, op, Param(from));
        // ">" and "<=" compare with the end of the range.
        return QStringLiteral("(%1 %2 %3)")
            .arg(name, op == QLatin1String(">") ? QStringLiteral(">=") : QStringLiteral("<"), Param(to));
    }

    QString Compare(const TFilterNode& n) {
        TFilterNode::TOperand field = n.Left, value = n.Right;
        QString op = n.Op;
        if (field.Type != TFilterNode::Operand::Field) {
            if (value.Type != TFilterNode::Operand::Field)
                Fail(field.Position, QStringLiteral("a field name on one side of \"%1\"").arg(op),
                     QStringLiteral("a value"));
            std::swap(field, value);
            op = Mirror(op);
        }
        const TColumnInfo& col = Column(field);
        const QString name = q(col.Name);
        if (value.Type == TFilterNode::Operand::Field)
            return QStringLiteral("(%1 %2 %3)").arg(name, op, Name(value));

        const bool eq = op == QLatin1String("="), ne = op == QLatin1String("<>");
        const bool empty = value.Type == TFilterNode::Operand::Null ||
                           (value.Type == TFilterNode::Operand::Text && value.Text.isEmpty());
        const TFieldFamily family = FamilyOf(col.Type);
        // Bytes and unknown kinds compare as text does.
        const bool textual =
            family == TFieldFamily::Text || family == TFieldFamily::Binary || family == TFieldFamily::Other;
        if (empty && (value.Type == TFilterNode::Operand::Null || !textual)) {
            if (!eq && !ne)
                Fail(value.Position, QStringLiteral("\"=\" or \"<>\" with an empty value"),
                     QStringLiteral("\"%1\"").arg(op));
            return QStringLiteral("(%1 IS %2NULL)").arg(name, ne ? QStringLiteral("NOT ") : QString());
        }

        switch (family) {
        case TFieldFamily::Whole:
        case TFieldFamily::Fixed:
        case TFieldFamily::Float: {
            bool ok = false;
            const QString text = value.Text.trimmed();
            const qint64 i = text.toLongLong(&ok);
            if (ok) return QStringLiteral("(%1 %2 %3)").arg(name, op, Param(i));
            // A fixed-point column compares with the literal's exact digits, and
            // an integer column with a whole number too long for 64 bits.
            const bool exactColumn = family == TFieldFamily::Fixed;
            if (exactColumn || (family != TFieldFamily::Float && !text.contains(QLatin1Char('.')))) {
                if (const auto decimal = TDecimal::FromText(QStringView(text)))
                    return QStringLiteral("(%1 %2 %3)").arg(name, op, Param(DecimalVariant(*decimal)));
            }
            const double d = text.toDouble(&ok);
            if (!ok) BadValue(value, QStringLiteral("number"), col.Name);
            return QStringLiteral("(%1 %2 %3)").arg(name, op, Param(d));
        }
        case TFieldFamily::Boolean: {
            const QString t = value.Text.trimmed().toUpper();
            bool b;
            if (t == QLatin1String("TRUE") || t == QLatin1String("1"))
                b = true;
            else if (t == QLatin1String("FALSE") || t == QLatin1String("0"))
                b = false;
            else
                BadValue(value, QStringLiteral("logical value"), col.Name);
            return QStringLiteral("(%1 %2 %3)").arg(name, op, Param(b));
        }
        case TFieldFamily::Date: {
            const QDate date = QDate::fromString(value.Text.trimmed(), QStringLiteral("d.M.yyyy"));
            if (!date.isValid()) BadValue(value, QStringLiteral("date (DD.MM.YYYY)"), col.Name);
            return QStringLiteral("(%1 %2 %3)").arg(name, op, Param(date));
        }
        case TFieldFamily::Time: {
            const QString t = value.Text.trimmed();
            QTime time = QTime::fromString(t, QStringLiteral("H:m:s"));
            if (time.isValid()) return QStringLiteral("(%1 %2 %3)").arg(name, op, Param(time));
            time = QTime::fromString(t, QStringLiteral("H:m"));
            if (!time.isValid()) BadValue(value, QStringLiteral("time (HH:MM)"), col.Name);
            const QVariant to = time.hour() == 23 && time.minute() == 59 ? QVariant(QTime(23, 59, 59, 999))
                                                                         : QVariant(time.addSecs(60));
            return Range(name, op, time, to);
        }
        case TFieldFamily::DateTime: {
            const QString t = value.Text.trimmed().simplified();
            QDateTime dt = QDateTime::fromString(t, QStringLiteral("d.M.yyyy H:m:s"));
            if (dt.isValid()) {
                dt.setTimeSpec(Qt::UTC);
                return QStringLiteral("(%1 %2 %3)").arg(name, op, Param(dt));
            }
            dt = QDateTime::fromString(t, QStringLiteral("d.M.yyyy H:m"));
            qint64 span = 60;
            if (!dt.isValid()) {
                const QDate d = QDate::fromString(t, QStringLiteral("d.M.yyyy"));
                if (d.isValid()) dt = QDateTime(d, QTime(0, 0));
                span = 86400;
            }
            if (!dt.isValid()) BadValue(value, QStringLiteral("date and time (DD.MM.YYYY HH:MM)"), col.Name);
            dt.setTimeSpec(Qt::UTC);
            return Range(name, op, dt, dt.addSecs(span));
        }
        case TFieldFamily::Text:
        case TFieldFamily::Binary:
        case TFieldFamily::Other:
            break;
        }

        QString text = value.Text;
        if (value.Type == TFilterNode::Operand::Text && text.endsWith(QLatin1Char('*')) && (eq || ne) &&
            !n.Literal) {
            text.chop(1);
            const bool letters = text.toUpper() != text || text.toLower() != text;
            if (letters && caseless) {
                const QString own = caseless(name, text, ne, Params);
                if (!own.isEmpty()) return own;
            }
            QString pattern;
            for (QChar c : text) {
                if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
                    pattern += QLatin1Char('\\');
                pattern += c;
            }
            pattern += QLatin1Char('%');
            const QString like = ne ? QStringLiteral("NOT LIKE") : QStringLiteral("LIKE");
            // A prefix without letters needs no case rule and stays a plain
            // LIKE that a server can answer from an index. Letters are
            // compared in upper case on both sides, by the server's UPPER,
            // which knows every alphabet (LIKE alone ignores the case of
            // Latin letters at most).
            if (!letters) return QStringLiteral("(%1 %2 %3 ESCAPE '\\')").arg(name, like, Param(pattern));
            return QStringLiteral("(UPPER(%1) %2 UPPER(%3) ESCAPE '\\')").arg(name, like, Param(pattern));
        }
        // An empty text also matches a NULL: the grid shows both the same.
        if (text.isEmpty() && eq) return QStringLiteral("(%1 IS NULL OR %1 = %2)").arg(name, Param(text));
        if (text.isEmpty() && ne)
            return QStringLiteral("(%1 IS NOT NULL AND %1 <> %2)").arg(name, Param(text));
        return QStringLiteral("(%1 %2 %3)").arg(name, op, Param(text));
    }
};

} // namespace

std::shared_ptr<TFilterNode> ParseFilter(const QString& text) {
    if (text.trimmed().isEmpty()) return nullptr;
    return TParser(TLexer(text).Tokens()).Parse();
}

TCompiledFilter CompileFilter(const QString& text, const QList<TColumnInfo>& columns,
                              const std::function<QString(const QString&)>& quote,
                              const TCaselessPrefix& caselessPrefix) {
    TCompiledFilter out;
    const auto tree = ParseFilter(text);
    if (!tree) return out;
    TCompiler c(columns, quote, caselessPrefix);
    out.Where = c.Node(*tree);
    out.Params = c.Params;
    return out;
}
