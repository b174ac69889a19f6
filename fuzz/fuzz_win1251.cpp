// Windows-1251: every byte comes back as itself, every character (a pair of
// surrogates being one) takes one byte, and the export's letter conversion
// keeps the length.

#include "FuzzInput.h"
#include "engine/Win1251.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (ToWin1251(FromWin1251(bytes)) != bytes)
        Broken("bytes do not come back", QString::fromLatin1(bytes.toHex()));

    const QString text = InputText(data, size);
    qsizetype characters = text.size();
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        if (text[i].isHighSurrogate() && text[i + 1].isLowSurrogate()) --characters, ++i;
    if (ToWin1251(text).size() != characters) Broken("one byte per character", text);

    QByteArray converted = bytes;
    ConvertCodePage(converted, size ? data[0] % 3 : 0);
    if (converted.size() != bytes.size())
        Broken("conversion changed the length", QString::fromLatin1(bytes.toHex()));
    return 0;
}
