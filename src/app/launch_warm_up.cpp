#include "app/launch_warm_up.h"

#include "app/first_window.h"
#include "canvas/backdrop_layers.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImageReader>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

bool anyWindowOnItsWay() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget* w) { return w->isVisible(); });
}

}  // namespace

void warmUpFirstWindowResources() {
    // Asking for the list loads every image format plugin, as the first image read through one would.
    QImageReader::supportedImageFormats();
    // Measuring a text loads the default font and the shaping behind it.
    QFontMetricsF(QApplication::font()).horizontalAdvance(QStringLiteral("Kollage"));
    KXPreviewLayer::texture();
    KXShadowLayer::texture();
}

void scheduleLaunchWarmUp(QApplication& application, std::function<void()> work) {
    QTimer::singleShot(0, &application, [&application, work = std::move(work)]() mutable {
        if (anyWindowOnItsWay())
            callWhenFirstWindowShown(application, std::move(work));
        else
            work();
    });
}
