// Feeds arbitrary bytes to the readers of picture frame descriptions: as the margins file of a single-image
// frame (XML attributes) and as the description of an expandable frame (a property list), then lays the
// pieces of such a frame around a photo; also as a frame name, which must never name a folder outside the
// frames. Margins, widths and expansions must come out finite and the pieces' rectangles finite.
#include "model/frame.h"
#include "model/model_classes.h"
#include "platform/foundation/geometry.h"

#include "fuzz_support.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(kxfuzz::quiet), registerModelClasses(), true);
    (void)ready;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    const auto margin = KXFrameMargin::marginWithData(bytes);
    for (const float v : {margin->left(), margin->right(), margin->top(), margin->bottom()})
        kxfuzz::require(std::isfinite(v));
    kxfuzz::require(margin->copy() != nullptr);

    KXFrame frame(KXFrameStyleExpandable);
    frame.readDescription(bytes);
    kxfuzz::require(std::isfinite(frame.width()) && std::isfinite(frame.expansion()));
    for (const double zoom : {1.0, 0.25}) {
        for (const kx::Rect& piece : frame.expandPieceRects(kx::Rect(10, 20, 300, 200), zoom))
            kxfuzz::require(kx::isFiniteGeometry(piece));
    }
    frame.copy();

    // A frame name from a file names a folder inside the frames, or none.
    frame.setStyle(-1);  // a style that loads nothing: only the name is looked at
    frame.setName(QString::fromUtf8(bytes.left(256)));
    const QString folder = frame.folderName();
    kxfuzz::require(folder.isEmpty() || (folder != QLatin1String(".") && folder != QLatin1String("..") &&
                                 !folder.contains(QLatin1Char('/'))));
    return 0;
}
