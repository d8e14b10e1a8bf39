// Feeds arbitrary bytes to the reader of copied page objects, as clipboard data from another program would
// arrive, then pastes what it read onto a page twice (the second time onto a page of another size), checks
// that each paste is one undo step that takes exactly the pasted objects away again, and copies the pasted
// selection back. Hostile data must be refused or read sanely, never crash or run away.
#include "document/graph_pasteboard.h"
#include "document/version_info.h"
#include "fuzz_support.h"
#include "headless_page_owner.h"
#include "model/canvas.h"
#include "model/canvas_owner.h"
#include "model/graph.h"
#include "model/model_classes.h"
#include "model/page_size.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

void pasteOnto(double width, double height, const QByteArray& data) {
    const auto pasted = readGraphPasteboardData(data);
    if (!pasted)
        return;
    kxfuzz::require(pasted->sourcePixelSize.width > 0 && pasted->sourcePixelSize.height > 0);
    kxfuzz::require(pasted->graphs.size() <= kMaxGraphPasteboardObjects);
    NoLayers owner;
    auto page = std::make_shared<KXCanvas>();
    const KXSize size(width, height, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    page->zoomToFitSize(page->pixelSize());
    page->setOwner(&owner);
    page->undoManager().setGroupsByEvent(false);
    kx::Point offset{0, 0};
    const KXCanvas::GraphList added = pasteGraphsOnPage(*page, offset, *pasted);
    kxfuzz::require(added.size() == pasted->graphs.size());
    kxfuzz::require(page->graphCount() == std::int64_t(added.size()));
    selectedGraphsAsDatas(*page);
    if (!added.empty()) {
        page->undoManager().undo();
        kxfuzz::require(page->graphCount() == 0);
        page->undoManager().redo();
        kxfuzz::require(page->graphCount() == std::int64_t(added.size()));
    }
    page->setOwner(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool started = [] {
        qInstallMessageHandler(kxfuzz::quiet);
        kxfuzz::startGuiApplication("fuzz_graph_pasteboard");
        registerModelClasses();
        registerDocumentClasses();
        return true;
    }();
    (void)started;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    pasteOnto(640, 480, bytes);
    pasteOnto(300, 900, bytes);
    return 0;
}
