// Colours of SVG files: the reader takes only the hexadecimal form #RRGGBB.
#pragma once

#include "platform/gfx/color.h"

#include <QString>

#include <optional>

// No colour (a null colour) for no text and for "none". Otherwise the first character is skipped and
// the longest hexadecimal number after it (0 when none follows) is read as 0xRRGGBB: an opaque sRGB
// colour. So "#f80" reads as 0x000F80 and a colour name as whatever hexadecimal digits follow its first
// letter ("red" is 0x0000ED, "black" black), which files made for this reader rely on.
kx::Color colorFromHexString(const std::optional<QString>& text);
