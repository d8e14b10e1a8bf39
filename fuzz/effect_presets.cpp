// Feeds arbitrary bytes to the reader of effect files (a property list with a colour matrix and an optional
// filter with its parameters) and applies what it reads to a small picture: a file that is skipped says why,
// and one that is read must give a picture of about the same size (a blur may widen it), without crashing or
// running away on extreme parameters.
#include "graphics/image_effect_manager.h"
#include "platform/gfx/bitmap_context.h"

#include "fuzz_support.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

kx::Image samplePicture() {
    kx::BitmapContext context(12, 9);
    context.setFillColor(kx::Color::srgb(0.8, 0.3, 0.1, 1));
    context.fillRect(kx::Rect(0, 0, 12, 9));
    context.setFillColor(kx::Color::srgb(0.1, 0.5, 0.9, 0.5));
    context.fillRect(kx::Rect(3, 2, 5, 4));
    return context.makeImage();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(kxfuzz::quiet), true);
    (void)ready;
    static const kx::Image picture = samplePicture();
    QString reason;
    const KXEffectDataPtr effect =
        KXImageEffectManager::effectDataWithData(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)),
                                                 &reason);
    if (!effect) {
        if (reason.isEmpty())
            std::abort();  // a file that is skipped says why
        return 0;
    }
    const kx::Image result = applyEffectToImage(picture, effect.get());
    if (!result.isNull() && (result.width() > 4096 || result.height() > 4096))
        std::abort();
    return 0;
}
