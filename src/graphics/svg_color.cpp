#include "graphics/svg_color.h"

#include "graphics/svg_scanner.h"

kx::Color colorFromHexString(const std::optional<QString>& text) {
    if (!text || *text == QLatin1String("none"))
        return kx::Color();
    SVGScanner scanner(*text);
    scanner.setScanLocation(1);
    unsigned value = 0;
    if (!scanner.scanHexInt(&value))
        value = 0;
    return kx::Color::srgb(((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0, 1.0);
}
