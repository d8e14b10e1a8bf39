// Feeds arbitrary text to the text-field number readers: they must never crash, never read past the
// text, never produce NaN, and must ignore commas wherever they are.
#include "graphics/text_values.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const double d = doubleValueOfText(text);
    const float f = floatValueOfText(text);
    const int i = intValueOfText(text);
    if (std::isnan(d) || std::isnan(f))
        std::abort();
    QString withoutCommas = text;
    withoutCommas.remove(u',');
    if (doubleValueOfText(withoutCommas) != d || intValueOfText(withoutCommas) != i)
        std::abort();
    return 0;
}
