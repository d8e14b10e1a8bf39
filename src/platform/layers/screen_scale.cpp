#include "platform/layers/screen_scale.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace kx {

double mainScreenBackingScaleFactor() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return 1.0;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 1.0;
    const double ratio = screen->devicePixelRatio();
    return ratio > 0 && std::isfinite(ratio) ? ratio : 1.0;
}

}  // namespace kx
