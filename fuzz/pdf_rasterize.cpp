// Feeds arbitrary bytes to poppler as a PDF or AI file, which runs in our process, and draws the first page
// fitted into a few small sizes: a damaged or hostile file must give an image of at most the size asked
// for, or none, and never crash, run away or leak.
#include "graphics/image_loading.h"

#include "fuzz_support.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(kxfuzz::quiet), true);
    (void)ready;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Small sizes keep each input fast; a page of any shape still meets both sides.
    for (const auto& [width, height] : {std::pair{48.0, 32.0}, std::pair{7.5, 90.0}}) {
        const kx::Image image = rasterizePDFData(bytes, width, height);
        if (!image.isNull() && (image.width() > int(width) + 1 || image.height() > int(height) + 1))
            std::abort();
    }
    return 0;
}
