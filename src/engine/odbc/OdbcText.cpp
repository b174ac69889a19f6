#include "OdbcText.h"

#include <QStringDecoder>
#include <algorithm>

QString FromOdbcWide(const SQLWCHAR* text, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

QString FromOdbcBuffer(const SQLWCHAR* text, qsizetype reported, qsizetype room) {
    const qsizetype limit = std::clamp<qsizetype>(reported, 0, room - 1);
    qsizetype length = 0;
    while (length < limit && text[length] != 0)
        ++length;
    return FromOdbcWide(text, length);
}

QString FromOdbcName(const SQLWCHAR* text, qsizetype room) {
    const QString wide = FromOdbcBuffer(text, room - 1, room);
    if (std::any_of(wide.begin(), wide.end(), [](QChar c) { return c.unicode() > 0xff; })) return wide;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(wide.toLatin1());
    return utf8.hasError() ? wide : decoded;
}
