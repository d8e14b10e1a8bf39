// Feeds arbitrary bytes to what reads an EPS drawing inside our process: the search for its bounding box
// (plain and DOS EPS binary files, the box in the header or "(atend)" in the trailer), and the decoding of
// the PNG that Ghostscript hands back, at sizes drawn from the box. Ghostscript itself never runs here. A box
// must be empty or of finite positive size; a picture must come out at the size asked for, or not at all.
#include "graphics/geometry_utilities.h"
#include "graphics/image_loading.h"

#include "fuzz_support.h"

#include <QByteArray>
#include <QtGlobal>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void checkPicture(const QByteArray& png, const kx::Size& fitted) {
    const kx::Image image = epsImageFromPNG(png, fitted);
    if (!image.isNull())
        kxfuzz::require(image.width() == int(std::ceil(fitted.width)) && image.height() == int(std::ceil(fitted.height)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(kxfuzz::quiet), true);
    (void)ready;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const EPSBoundingBox box = epsBoundingBoxOfData(bytes);
    const kx::Rect& r = box.rect;
    if (r.size.width != 0 || r.size.height != 0)
        kxfuzz::require(r.size.width > 0 && r.size.height > 0 && kx::isFiniteGeometry(r));
    // The same bytes as Ghostscript's answer for the drawing fitted into a small picture, and for a size of
    // its own.
    if (r.size.width > 0)
        checkPicture(bytes, aspectFitSize(r.size, kx::Size(40, 40)));
    checkPicture(bytes, kx::Size(16, 12));
    return 0;
}
