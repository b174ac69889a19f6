// TextToNumber and FormatNumber: a text is a number or an EConvertError; a
// number is written after any picture, or refused only when its scaled value
// leaves the 64-bit range.

#include "FuzzInput.h"
#include "common/ZorvMathUnit.h"

#include <cmath>
#include <cstring>

namespace {

// The digits after the picture's "." that FormatNumber keeps (at most 31).
int Decimals(const QString& picture) {
    const qsizetype point = picture.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : int(qMin<qsizetype>(picture.size() - point - 1, 31));
}

void Format(const QString& picture, long double value) {
    try {
        const QString text = FormatNumber(picture, value);
        Q_UNUSED(text);
    } catch (const EConvertError& error) {
        // The one refusal there is today: a value too large for the
        // picture's 64-bit scaled integer.
        long double scaled = std::fabs(value);
        for (int i = 0; i < Decimals(picture); ++i) scaled *= 10;
        if (std::isfinite(value) && scaled + 1 < 9223372036854775808.0L)
            Broken("refused a number that fits", error.Message());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Up to the first NUL the number's text, after it the picture.
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t textSize = nul ? size_t(nul - data) : size;
    const QString text = InputText(data, textSize);
    const QString picture = nul ? InputText(nul + 1, size - textSize - 1) : QStringLiteral("### ### ##0.00##");

    try {
        const long double value = TextToNumber(text);
        if (!std::isfinite(value)) Broken("a number that is not finite", text);
        Format(picture, value);
    } catch (const EConvertError&) {
    }
    // The raw bytes as a value too, for values no text reaches.
    if (size >= sizeof(double)) {
        double value;
        std::memcpy(&value, data + size - sizeof(double), sizeof value);
        Format(picture, value);
    }
    return 0;
}
