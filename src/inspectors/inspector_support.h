// Small helpers every inspector section uses: its texts by key, and colours from the wells as sRGB.
#pragma once

#include "platform/foundation/bundle.h"
#include "platform/gfx/color.h"

#include <QColor>
#include <QString>

// Posted by the inspectors after an edit of the selected objects: the document window then leaves the
// canvas's crop mode and pen tool.
inline const QString KXExitObjectMode = QStringLiteral("KXExitObjectMode");
// Posted by an inspector hosted in the style inspector when its view changed height.
inline const QString KXNeedToUpdateContentView = QStringLiteral("KXNeedToUpdateContentView");

namespace kx::inspectors {

// The style sections' layout: their width (the settings panel is 220 points wide, and its vertical scroll
// bar takes a part of that), the height of a section showing only its menu, and what a section adds to the
// height of the settings panel it shows under its menu.
inline constexpr int kSectionWidth = 200;
inline constexpr int kSectionOffHeight = 45;
inline constexpr int kSectionMenuExtra = 33;

inline QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromLatin1(key));
}

inline kx::Color srgbColor(const QColor& color) {
    return kx::Color::fromQColor(color).convertedTo(kx::ColorSpace::SRGB);
}

}  // namespace kx::inspectors
