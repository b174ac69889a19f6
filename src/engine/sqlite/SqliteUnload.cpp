// UNLOAD ... INTO CLIENT FILE: the rows of a query as lines of text, in
// Windows-1251, streamed through a buffer.

#include "SqliteConnection.h"
#include "SqliteTypes.h"
#include "engine/Exception.h"
#include "engine/FileWrite.h"
#include "engine/Win1251.h"

#include <QFile>
#include <algorithm>
#include <charconv>

namespace {

constexpr qsizetype FlushSize = 1 << 20;

void AppendHex(QByteArray& out, unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

// With escapes on, a backslash, a line feed and the other control characters
// are written as the server reads them back, so that a row stays one line.
// A quote inside a quoted text is doubled.
void AppendText(QByteArray& out, const char* p, qsizetype n, bool escapes, char quote) {
    qsizetype run = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        const bool special =
            (escapes && (c < 0x20 || c == '\\')) || (quote && c == static_cast<unsigned char>(quote));
        if (!special) continue;
        out.append(p + run, i - run);
        run = i + 1;
        if (quote && c == static_cast<unsigned char>(quote)) {
            out += quote;
            out += quote;
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += "\\x";
            AppendHex(out, c);
        }
    }
    out.append(p + run, n - run);
}

bool IsAscii(const char* p, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80) return false;
    return true;
}

// Decimal places of a column that the server writes with a fixed scale, or -1.
int ScaleOf(sqlite3_stmt* query, int column) {
    const char* declared = sqlite3_column_decltype(query, column);
    if (!declared) return -1;
    const TColumnInfo info = ColumnFromDeclaration(QString(), QString::fromUtf8(declared));
    return info.Type == TFieldType::ftBCD || info.Type == TFieldType::ftCurrency ? info.Scale : -1;
}

} // namespace

void UnloadToFile(sqlite3* db, sqlite3_stmt* query, const TDialectStatement& options) {
    QFile file(options.File);
    const QIODevice::OpenMode mode =
        QIODevice::WriteOnly | (options.Append ? QIODevice::Append : QIODevice::Truncate);
    const auto fail = [&] {
        throw EDatabaseError(
            QStringLiteral("Cannot write the client file '%1': %2").arg(options.File, file.errorString()));
    };
    if (!file.open(mode)) fail();

    const QByteArray delimiter = ToWin1251(options.Delimiter);
    const QByteArray rowEnd = ToWin1251(options.RowDelimiter);
    const QByteArray quoteText = ToWin1251(options.Quote);
    const char quote = options.Quotes && !quoteText.isEmpty() ? quoteText[0] : 0;
    const int columns = sqlite3_column_count(query);
    std::vector<int> scales;
    for (int c = 0; c < columns; ++c)
        scales.push_back(ScaleOf(query, c));

    QByteArray out;
    out.reserve(FlushSize + 64 * 1024);
    QByteArray converted;
    char number[64];
    while (StepSqlite(db, query)) {
        for (int c = 0; c < columns; ++c) {
            if (c > 0) out += delimiter;
            switch (sqlite3_column_type(query, c)) {
            case SQLITE_NULL:
                break;
            case SQLITE_INTEGER: {
                // Whole numbers keep every digit, with the column's zero decimals.
                const auto end =
                    std::to_chars(number, number + sizeof number, sqlite3_column_int64(query, c)).ptr;
                out.append(number, end - number);
                const int scale = scales[size_t(c)];
                if (scale > 0) {
                    out += '.';
                    out.append(scale, '0');
                }
                break;
            }
            case SQLITE_FLOAT: {
                const double value = sqlite3_column_double(query, c);
                const int scale = scales[size_t(c)];
                if (scale >= 0) {
                    // A fixed-point value held as a REAL: its decimal digits at the
                    // column's scale, not the binary fraction's.
                    const TDecimal decimal = TDecimal::FromDouble(value);
                    const QByteArray digits = decimal.AbsFixed(scale);
                    const bool nonZero = std::any_of(digits.begin(), digits.end(),
                                                     [](char d) { return d >= '1' && d <= '9'; });
                    if (decimal.IsNegative() && nonZero) out += '-';
                    out.append(digits);
                    break;
                }
                const auto end = std::to_chars(number, number + sizeof number, value).ptr;
                out.append(number, end - number);
                break;
            }
            case SQLITE_TEXT: {
                const char* p = reinterpret_cast<const char*>(sqlite3_column_text(query, c));
                qsizetype n = sqlite3_column_bytes(query, c);
                if (!IsAscii(p, n)) {
                    converted = ToWin1251(QString::fromUtf8(p, n));
                    p = converted.constData();
                    n = converted.size();
                }
                if (quote) out += quote;
                AppendText(out, p, n, options.Escapes, quote);
                if (quote) out += quote;
                break;
            }
            default: {
                const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(query, c));
                const int n = sqlite3_column_bytes(query, c);
                if (options.Hexadecimal) {
                    out += "0x";
                    for (int i = 0; i < n; ++i)
                        AppendHex(out, p[i]);
                } else {
                    AppendText(out, reinterpret_cast<const char*>(p), n, options.Escapes, 0);
                }
                break;
            }
            }
        }
        out += rowEnd;
        if (out.size() >= FlushSize) {
            if (!WriteAll(file, out)) fail();
            out.resize(0);
        }
    }
    if (!WriteAll(file, out) || !file.flush()) fail();
    file.close();
}
