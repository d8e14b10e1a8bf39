#include "app/launch_warm_up.h"

#include "app/first_window.h"
#include "canvas/backdrop_layers.h"
#include "platform/foundation/thread_handover.h"
#include "platform/gfx/pixel_memory.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

bool anyWindowOnItsWay() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget* w) { return w->isVisible(); });
}

// The first paint of a new document window draws about this many layer bitmaps (workspace, page backdrop,
// page, their shadows and compositions), none larger than the canvas: the document window opens at
// 1280 x 860 with a 220-wide panel on either side.
constexpr int kFirstPaintBitmaps = 12;
constexpr int kCanvasWidth = 1280 - 2 * 220;
constexpr int kCanvasHeight = 860;

}  // namespace

void warmUpFirstPaintMemory(double scale) {
    const auto bytes = std::size_t(std::ceil(kCanvasWidth * scale)) * std::size_t(std::ceil(kCanvasHeight * scale)) * 4;
    // Large bitmap memory given back is kept for the next bitmaps of about its size, already mapped.
    std::vector<kx::LargeBuffer> buffers(kFirstPaintBitmaps);
    for (kx::LargeBuffer& buffer : buffers)
        buffer.reserve(bytes);
}

void warmUpFirstWindowResources() {
    // When the system has to gather large pages, mapping can take longer than the pause: on a worker, it
    // never holds the window back (a bitmap asked for before its memory is ready is mapped as usual).
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double scale = screen ? screen->devicePixelRatio() : 1.0;
    kx::announcePoolHandOver();
    QThreadPool::globalInstance()->start([scale] {
        kx::takePoolHandOver();
        warmUpFirstPaintMemory(scale);
    });
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
