#include "ZorvStr.h"

#include <algorithm>

namespace {

// Shorter texts get d fill characters, before selects how many go in front.
// Widths count characters: a character outside the basic plane (two UTF-16
// units) is one, and a cut never splits it.
void Fit(QString& text, int width, QChar fill, int (*before)(int)) {
    if (width < 0) width = 0;
    qsizetype units = 0;
    int characters = 0;
    while (units < text.size() && characters < width) {
        units +=
            text.at(units).isHighSurrogate() && units + 1 < text.size() && text.at(units + 1).isLowSurrogate()
                ? 2
                : 1;
        ++characters;
    }
    if (characters < width) {
        const int d = width - characters;
        const int front = before(d);
        text = QString(front, fill) + text + QString(d - front, fill);
    } else {
        text.truncate(units);
    }
}

} // namespace

void PadLeft(QString& text, int width, QChar fill) {
    Fit(text, width, fill, [](int d) { return d; });
}

void PadCenter(QString& text, int width, QChar fill) {
    Fit(text, width, fill, [](int d) { return d / 2; });
}

void PadRight(QString& text, int width, QChar fill) {
    Fit(text, width, fill, [](int) { return 0; });
}

QString Elided(const QString& text, int longest) {
    if (text.size() <= longest) return text;
    QString cut = text.left(std::max(0, longest - 1));
    if (!cut.isEmpty() && cut.back().isHighSurrogate()) cut.chop(1);
    return cut + QChar(0x2026);
}

void ReplaceChar(QString& text, QChar find, QChar put) {
    text.replace(find, put);
}

QString StripPunctuation(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool punctuation =
            (u >= 32 && u <= 47) || (u >= 58 && u <= 63) || (u >= 91 && u <= 94) || (u >= 123 && u <= 126);
        if (!punctuation) result += c;
    }
    return result;
}
