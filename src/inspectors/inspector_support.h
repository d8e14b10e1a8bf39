// Small helpers every inspector section uses: its texts by key, and colours from the wells as sRGB.
#pragma once

#include "platform/foundation/bundle.h"
#include "platform/gfx/color.h"

#include <QColor>
#include <QString>

// Posted by the inspectors after an edit: the document window then leaves the canvas's crop and pen modes.
inline const QString KXExitObjectMode = QStringLiteral("KXExitObjectMode");

namespace kx::inspectors {

// The style sections' layout: their width, the height of a section showing only its menu, and what a
// section adds to the height of the settings panel it shows under its menu.
inline constexpr int kSectionWidth = 230;
inline constexpr int kSectionOffHeight = 45;
inline constexpr int kSectionMenuExtra = 33;

inline QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromLatin1(key));
}

inline kx::Color srgbColor(const QColor& color) {
    return kx::Color::fromQColor(color).convertedTo(kx::ColorSpace::SRGB);
}

}  // namespace kx::inspectors
