// Feeds arbitrary bytes to the image search's answer reader as if a service had sent them: whatever comes
// back holds at most 100 records, and every address kept in a record is an http or https address.
#include "fuzz_support.h"
#include "library/image_search_searcher.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qInstallMessageHandler(kxfuzz::quiet);
    const auto images =
        KXImageSearcher::imagesFromAnswerData(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    kxfuzz::require(images.size() <= 100);
    for (const auto& image : images) {
        kxfuzz::require(image != nullptr);
        kxfuzz::require(image->url().isEmpty() || isWebImageAddress(image->url()));
        kxfuzz::require(image->tbUrl().isEmpty() || isWebImageAddress(image->tbUrl()));
        kxfuzz::require(image->url() == image->originalContextURL());
    }
    return 0;
}
