// Feeds arbitrary bytes to the SVG reader and draws what it read: reading and drawing must never crash,
// never read past the data and stay fast, whatever numbers, commands or entities the document holds.
#include "graphics/svg_image.h"
#include "graphics/svg_parser.h"
#include "platform/gfx/bitmap_context.h"

#include <QtGlobal>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool installed = (qInstallMessageHandler(quiet), true);
    (void)installed;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    KXSVGParser parser(bytes);
    parser.parseSVGDocument();
    // Every styled path comes from one element, and every element takes at least four bytes ("<g/>").
    if (parser.paths().size() > size / 4 + 1)
        std::abort();

    const auto picture = KXSVGImage::imageWithSVGData(bytes);
    kx::BitmapContext context(48, 48);
    picture->drawInRect(context, kx::Rect(0, 0, 48, 48));
    picture->drawAtPoint(context, kx::Point(3, 5));
    // Small pictures also render at their own size; the size limit itself is covered by the tests.
    const kx::Size s = picture->size();
    if (s.width > 0 && s.height > 0 && s.width * s.height <= 256 * 256) {
        const kx::Image image = picture->image();
        if (image.isNull() || image.width() != int(std::ceil(s.width)) || image.height() != int(std::ceil(s.height)))
            std::abort();
    }
    return 0;
}
