#include "document/graph_pasteboard.h"

#include "model/graph.h"
#include "model/page_size.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/property_list.h"

#include <cmath>

namespace {

bool isUsablePixelSize(const kx::Size& size) {
    return std::isfinite(size.width) && std::isfinite(size.height) && size.width > 0 && size.height > 0;
}

}  // namespace

QByteArray selectedGraphsAsDatas(const KXCanvas& page) {
    const kx::Size pixels = page.pixelSize();
    if (!isUsablePixelSize(pixels))
        return {};
    kx::ValueArray items;
    const auto size = KXSize::sizeWithWith(pixels.width, pixels.height, KXSizeUnitPixel, 72);
    QByteArray sizeData = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(size));
    if (sizeData.isEmpty())
        return {};
    items.push_back(kx::Value(sizeData));
    for (const auto& graph : page.selectedGraphs()) {
        // Locked objects stay where they are: they are neither copied nor cut.
        if (graph->isLocked())
            continue;
        QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(graph));
        if (data.isEmpty())
            return {};
        items.push_back(kx::Value(data));
    }
    return kx::writePropertyList(kx::Value(std::move(items)), kx::PropertyListFormat::Binary);
}

std::optional<KXPasteboardGraphs> readGraphPasteboardData(const QByteArray& data, QString* error) {
    const auto fail = [error](const QString& message) -> std::optional<KXPasteboardGraphs> {
        if (error)
            *error = message;
        return std::nullopt;
    };
    if (data.size() > kMaxGraphPasteboardBytes)
        return fail(QStringLiteral("the copied objects take more than %1 bytes").arg(kMaxGraphPasteboardBytes));
    QString plistError;
    const std::optional<kx::Value> root = kx::readPropertyList(data, &plistError);
    if (!root)
        return fail(plistError);
    if (root->type() != kx::Value::Type::Array)
        return fail(QStringLiteral("the copied objects are not a list"));
    const kx::ValueArray& items = root->toArray();
    if (items.empty())
        return fail(QStringLiteral("the copied objects have no page size"));
    if (items.size() > kMaxGraphPasteboardObjects + 1)
        return fail(QStringLiteral("more than %1 objects were copied").arg(kMaxGraphPasteboardObjects));
    if (items.front().type() != kx::Value::Type::Data)
        return fail(QStringLiteral("the page size of the copied objects is not an archive"));

    QString archiveError;
    const std::optional<kx::Value> sizeValue = kx::KeyedUnarchiver::unarchiveObjectWithData(items.front().toData(),
                                                                                           &archiveError);
    const auto size = sizeValue ? sizeValue->objectAs<KXSize>() : nullptr;
    if (!size)
        return fail(archiveError.isEmpty() ? QStringLiteral("the page size of the copied objects cannot be read")
                                           : archiveError);
    KXPasteboardGraphs pasted;
    pasted.sourcePixelSize = size->sizeWithUnit(KXSizeUnitPixel);
    if (!isUsablePixelSize(pasted.sourcePixelSize))
        return fail(QStringLiteral("the copied objects come from a page without a size"));

    for (std::size_t i = 1; i < items.size(); ++i) {
        std::shared_ptr<KXGraph> graph;
        if (items[i].type() == kx::Value::Type::Data) {
            if (const auto value = kx::KeyedUnarchiver::unarchiveObjectWithData(items[i].toData()))
                graph = value->objectAs<KXGraph>();
        }
        if (graph && kx::isFiniteGeometry(graph->relativeRect()))
            pasted.graphs.push_back(std::move(graph));
        else
            ++pasted.skippedItems;
    }
    return pasted;
}

KXCanvas::GraphList pasteGraphsOnPage(KXCanvas& page, kx::Point& offset, const KXPasteboardGraphs& pasted) {
    KXCanvas::GraphList added;
    const kx::Size target = page.pixelSize();
    if (!isUsablePixelSize(target) || !isUsablePixelSize(pasted.sourcePixelSize))
        return added;
    const bool sameSize = target.width == pasted.sourcePixelSize.width && target.height == pasted.sourcePixelSize.height;
    offset.x += kPasteCascadeStep.x;
    offset.y += kPasteCascadeStep.y;
    kx::UndoManager& undo = page.undoManager();
    undo.beginUndoGrouping();
    for (const auto& graph : pasted.graphs) {
        kx::Rect r = graph->relativeRect();
        if (!sameSize) {
            r.size.width = r.size.width * pasted.sourcePixelSize.width / target.width;
            r.size.height = r.size.height * pasted.sourcePixelSize.height / target.height;
        }
        r.origin.x += offset.x;
        r.origin.y += offset.y;
        graph->setRelativeRect(r);
        page.addGraph(graph);
        added.push_back(graph);
        // Further pastes start from the copied place again once one has run off the page.
        if (r.maxX() > 1 || r.minY() < 0)
            offset = {0, 0};
    }
    undo.endUndoGrouping();
    return added;
}
