// TextToNumber and FormatNumber: a text is a number or an EConvertError; a
// finite number is written after any picture, and so is any exact decimal;
// only NaN and the infinities are refused.

#include "FuzzInput.h"
#include "common/ZorvMathUnit.h"
#include "engine/TDecimal.h"

#include <cmath>
#include <cstring>
#include <optional>

namespace {

void Format(const QString& picture, long double value) {
    try {
        const QString text = FormatNumber(picture, value);
        Q_UNUSED(text);
    } catch (const EConvertError& error) {
        if (std::isfinite(value)) Broken("refused a finite number", error.Message());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Up to the first NUL the number's text, after it the picture.
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t textSize = nul ? size_t(nul - data) : size;
    const QString text = InputText(data, textSize);
    const QString picture =
        nul ? InputText(nul + 1, size - textSize - 1) : QStringLiteral("### ### ##0.00##");

    try {
        const long double value = TextToNumber(text);
        if (!std::isfinite(value)) Broken("a number that is not finite", text);
        Format(picture, value);
    } catch (const EConvertError&) {
    }
    if (const std::optional<TDecimal> exact = TDecimal::FromText(QStringView(text))) {
        try {
            const QString written = FormatNumber(picture, *exact);
            Q_UNUSED(written);
        } catch (const EConvertError& error) {
            Broken("refused an exact decimal", error.Message());
        }
    }
    // The raw bytes as a value too, for values no text reaches.
    if (size >= sizeof(double)) {
        double value;
        std::memcpy(&value, data + size - sizeof(double), sizeof value);
        Format(picture, value);
    }
    return 0;
}
