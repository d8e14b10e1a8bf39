#include "document/page_insertion.h"

#include "graphics/geometry_utilities.h"
#include "graphics/image_cache.h"
#include "graphics/image_file_types.h"
#include "graphics/image_loading.h"
#include "model/calendar.h"
#include "model/graph.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/text/text_container.h"
#include "platform/text/text_layout_manager.h"
#include "shapes/parametric_shape.h"
#include "shapes/symbol_shape.h"
#include "text/advanced_text.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

// The width factor of text boxes and wide shapes, kept in single precision as the placement uses it.
const double kWideFactor = double(0.4f);

bool isUsableSize(const kx::Size& size) {
    return std::isfinite(size.width) && std::isfinite(size.height) && size.width > 0 && size.height > 0;
}

// Opens one undo step for everything a call adds, and closes it when the call ends.
class UndoStep {
public:
    explicit UndoStep(KXCanvas& page) : m_undo(page.undoManager()) { m_undo.beginUndoGrouping(); }
    ~UndoStep() { m_undo.endUndoGrouping(); }
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

private:
    kx::UndoManager& m_undo;
};

std::shared_ptr<KXShadow> smallShadow(double offset) {
    auto shadow = std::make_shared<KXShadow>();
    shadow->setBlur(2);
    shadow->setOffset(offset);
    return shadow;
}

KXAdvancedText* advancedTextOf(const KXShape& shape) {
    return dynamic_cast<KXAdvancedText*>(shape.text());
}

void setError(QString* error, const QString& message) {
    if (error)
        *error = message;
}

// A photo of the path's cache entry fitted into `bound`, with its page-relative rectangle from its lower-left
// corner; null when the path gives no entry or the entry no size.
std::shared_ptr<KXShape> photoForPath(const QString& path, const kx::Size& pageSize, const kx::Point& corner,
                                      const kx::Size& bound, kx::Size* fitted, QString* error) {
    const KXCachePtr entry = path.isEmpty() ? nullptr : KXCacheManager::cacheManager().cacheWithPath(path);
    if (!entry) {
        setError(error, QStringLiteral("“%1” is not a picture that can be read").arg(QFileInfo(path).fileName()));
        return nullptr;
    }
    const kx::Size size = aspectFitSize(entry->imageSize(), bound);
    if (!isUsableSize(size) || !isUsableSize(pageSize)) {
        setError(error, QStringLiteral("“%1” has no size").arg(QFileInfo(path).fileName()));
        return nullptr;
    }
    auto shape = photoShapeWithPath(path);
    shape->setRelativeRect({corner.x / pageSize.width, corner.y / pageSize.height, size.width / pageSize.width,
                            size.height / pageSize.height});
    shape->setAspectRatio(size.width / size.height);
    if (fitted)
        *fitted = size;
    return shape;
}

}  // namespace

void resetLayerOffsetByRect(const kx::Rect& rect, const kx::Size& previewSize, kx::Point& offset) {
    if (rect.origin.y + rect.size.height > previewSize.height || rect.origin.x + rect.size.width > previewSize.width)
        offset = {0, 0};
    else
        offset = {offset.x + kInsertCascadeStep.x, offset.y + kInsertCascadeStep.y};
}

kx::Rect placeNewObject(const kx::Size& previewSize, const kx::Size& size, kx::Point& offset, const kx::Rect& visible,
                        bool isCalendar) {
    const double W = previewSize.width;
    const double H = previewSize.height;
    if (!isUsableSize(previewSize))
        return {};
    kx::Rect rect{(W - size.width) * 0.5 + offset.x * W, (H - size.height) * 0.5 + offset.y * H, size.width,
                  size.height};
    if (visible.isEmpty() || rect.intersects(visible)) {
        resetLayerOffsetByRect(rect, previewSize, offset);
    } else {
        if (isCalendar)
            rect.size = {visible.size.width * 0.6, visible.size.height * 0.6};
        rect.origin = {visible.origin.x + (visible.size.width - rect.size.width) * 0.5,
                       visible.origin.y + (visible.size.height - rect.size.height) * 0.5};
    }
    return {rect.origin.x / W, rect.origin.y / H, rect.size.width / W, rect.size.height / H};
}

std::shared_ptr<KXShape> addTextBox(KXCanvas& page, kx::Point& offset, const kx::Rect& visible, const QString& string) {
    const kx::Size preview = page.previewSize();
    if (!isUsableSize(preview))
        return nullptr;
    const double W = preview.width;
    const double H = preview.height;
    const double k = double(float(0.15 * W / H));
    const kx::Size size{W * kWideFactor, H * k};
    const kx::Rect relative = placeNewObject(preview, size, offset, visible);

    UndoStep step(page);
    auto shape = KXShape::initTextShapeWithString(string, relative);
    if (KXAdvancedText* text = advancedTextOf(*shape)) {
        // A text with no width or height (nothing to measure) keeps its scale rather than dividing by zero.
        const kx::Size natural = text->naturalSize();
        const kx::Size pixels = page.pixelSize();
        if (isUsableSize(natural) && isUsableSize(pixels))
            text->setFontScale(0.9 * std::min(pixels.width * kWideFactor / natural.width,
                                              pixels.height * k / natural.height));
    }
    shape->setPhoto(nullptr);
    shape->setShadow(smallShadow(5));
    shape->setAspectRatio(size.width / size.height);
    page.addGraph(shape);
    return shape;
}

std::shared_ptr<KXCalendar> addCalendar(KXCanvas& page, kx::Point& offset, const kx::Rect& visible) {
    const kx::Size preview = page.previewSize();
    if (!isUsableSize(preview))
        return nullptr;
    const kx::Size size{0.6 * preview.width, 0.6 * preview.height};
    const kx::Rect relative = placeNewObject(preview, size, offset, visible, true);

    UndoStep step(page);
    auto calendar = KXCalendar::calendarWithRelativeRect(relative);
    calendar->setStrokeEnabled(false);
    calendar->setShadow(smallShadow(5));
    calendar->setAspectRatio(size.width / size.height);
    page.addGraph(calendar);
    return calendar;
}

std::shared_ptr<KXShape> addShapeWithType(KXCanvas& page, kx::Point& offset, const kx::Rect& visible,
                                          std::uint32_t shapeType) {
    const kx::Size preview = page.previewSize();
    if (!isUsableSize(preview))
        return nullptr;
    const double W = preview.width;
    const double H = preview.height;
    const bool wide = shapeType == 4 || shapeType == 8 || shapeType == 13 || shapeType == 15;
    const kx::Size size{W * (wide ? kWideFactor : 0.25), H * double(float(0.25 * W / H))};
    const kx::Rect relative = placeNewObject(preview, size, offset, visible);
    return createShapeWithType(page, shapeType, relative, double(float(size.width / size.height)));
}

std::shared_ptr<KXShape> createShapeWithType(KXCanvas& page, std::uint32_t shapeType, const kx::Rect& relativeRect,
                                             double aspectRatio) {
    UndoStep step(page);
    if (shapeType >= KXShapeTypeLine && shapeType <= KXShapeTypeArrowLine) {
        auto line = KXSymbolShape::symbolShapeWithType(shapeType, relativeRect);
        // 0.3 as the archive keeps it (a 4-byte real), so that the arrow's head, which is sized from the
        // width, comes out the same after a save and a reopen.
        line->stroke()->setWidth(double(0.3f));
        line->setPhoto(nullptr);
        line->setText(nullptr);
        // The page gives every graph it opens this ratio; a new line has it from the start, so that it is
        // resized the same before and after a save.
        line->setAspectRatio(aspectRatio);
        page.addGraph(line);
        return line;
    }
    auto shape = KXSpecialShape::shapeWithType(shapeType, relativeRect);
    shape->setPhoto(nullptr);
    shape->setText(nullptr);
    shape->setStrokeEnabled(false);
    shape->setAspectRatio(aspectRatio);
    page.addGraph(shape);
    shape->initTextAlignment();
    shape->updateShapeInfo();
    return shape;
}

std::shared_ptr<KXShape> photoShapeWithPath(const QString& path) {
    auto shape = std::make_shared<KXShape>();
    shape->setText(nullptr);
    shape->stroke()->setColor(kx::Color::srgb(1, 1, 1, 1));
    shape->stroke()->setWidth(3);
    shape->setStrokeEnabled(false);
    if (KXPhoto* photo = shape->photo()) {
        photo->setFrameEnabled(false);
        photo->setMaskEnabled(false);
        photo->setCropRect({});
        photo->setImagePath(path);
    }
    shape->setSelected(true);
    return shape;
}

kx::Size insertedPhotoSize(const kx::Size& pixelSize, double m) {
    if (!isUsableSize(pixelSize))
        return {};
    const double r = pixelSize.width / pixelSize.height;
    if (r >= 1 && pixelSize.width > m)
        return {m, m / r};
    if (r < 1 && pixelSize.height > m)
        return {r * m, m};
    return pixelSize;
}

std::shared_ptr<KXShape> addPhotoWithPath(KXCanvas& page, const QString& path, const kx::Point& point,
                                          const kx::Size& maxSize, QString* error) {
    auto shape = photoForPath(path, page.previewSize(), point, maxSize, nullptr, error);
    if (!shape)
        return nullptr;
    UndoStep step(page);
    page.addGraph(shape);
    return shape;
}

std::shared_ptr<KXShape> addImageWithPath(KXCanvas& page, const QString& path, const kx::Rect& visible, QString* error) {
    const kx::Size P = page.previewSize();
    // The whole page in view (or no view at all): the page is the area; otherwise the part that is seen.
    const bool pageFits = visible.isEmpty() || (P.width <= visible.size.width && P.height <= visible.size.height);
    const kx::Size area = pageFits ? P : visible.size;
    const kx::Point corner = pageFits ? kx::Point{0, 0} : visible.origin;
    // Only the picture's size is wanted; a file that gives no picture inserts nothing.
    const kx::Image image = path.isEmpty() ? kx::Image() : loadImageFromFile(path);
    if (image.isNull()) {
        setError(error, QStringLiteral("“%1” could not be read as a picture").arg(QFileInfo(path).fileName()));
        return nullptr;
    }
    const double m = (area.width + area.height) / 5;
    const kx::Size size = insertedPhotoSize({double(image.width()), double(image.height())}, m);
    const kx::Point point{(area.width - size.width) * 0.5 + corner.x, (area.height - size.height) * 0.5 + corner.y};
    return addPhotoWithPath(page, path, point, {m, m}, error);
}

KXCanvas::GraphList addPhotosWithPaths(KXCanvas& page, const QStringList& paths, const kx::Point& point,
                                       const kx::Size& maxSize) {
    KXCanvas::GraphList added;
    const kx::Size L = page.previewSize();
    kx::Point corner = point;
    UndoStep step(page);
    for (const QString& path : paths) {
        auto shape = photoForPath(path, L, corner, maxSize, nullptr, nullptr);
        if (!shape)
            continue;
        page.addGraph(shape);
        added.push_back(shape);
        corner = {corner.x + L.width / 20, corner.y - L.height / 20};
    }
    return added;
}

KXCanvas::GraphList addPhotosFromFiles(KXCanvas& page, const QStringList& paths) {
    const kx::Size L = page.previewSize();
    const double m = (L.width + L.height) / 5;
    kx::Size size;
    for (const QString& path : paths) {
        if (!isSupportedImageFile(path))
            continue;
        const kx::Image image = loadImageFromFile(path);
        if (!image.isNull())
            size = insertedPhotoSize({double(image.width()), double(image.height())}, m);
        break;
    }
    return addPhotosWithPaths(page, paths, {L.width * 0.5 - size.width * 0.5, L.height * 0.5 - size.height * 0.5},
                              {m, m});
}

KXCanvas::GraphList pasteImagesOnPage(KXCanvas& page, kx::Point& offset, const QStringList& paths) {
    KXCanvas::GraphList added;
    const kx::Size L = page.previewSize();
    if (!isUsableSize(L))
        return added;
    offset = {offset.x + 0.01, offset.y - 0.01};
    const kx::Size step{L.width / 20, L.height / 20};
    const kx::Size bound{0.4 * L.width, 0.4 * L.height};
    kx::Point c{L.width * 0.5, L.height * 0.5};
    UndoStep undo(page);
    for (const QString& path : paths) {
        // Only pictures become photos: a path of anything else is left out rather than made a photo of no size.
        if (!isSupportedImageFile(path))
            continue;
        kx::Size size;
        auto shape = photoForPath(path, L, {0, 0}, bound, &size, nullptr);
        if (!shape)
            continue;
        shape->setRelativeRect({(c.x - size.width * 0.5) / L.width + offset.x,
                                (c.y - size.height * 0.5) / L.height + offset.y, size.width / L.width,
                                size.height / L.height});
        page.addGraph(shape);
        added.push_back(shape);
        c = {c.x + step.width, c.y - step.height};
    }
    return added;
}

kx::Size usedSizeOfPlainText(const QString& string, const kx::Size& pixelSize) {
    if (string.isEmpty() || !isUsableSize(pixelSize))
        return {};
    auto shape = KXShape::initTextShapeWithString(string, {0, 0, 1, 1});
    auto* text = dynamic_cast<KXText*>(shape->text());
    if (!text)
        return {};
    kx::TextLayoutManager manager(text->textStoragePtr());
    manager.addTextContainer(std::make_shared<kx::TextContainer>(pixelSize));
    return manager.usedRect(0).size;
}

std::shared_ptr<KXShape> pasteTextOnPage(KXCanvas& page, kx::Point& offset, const QString& string,
                                         const kx::Size& viewSize) {
    const kx::Size F = aspectFitSize(page.pixelSize(), viewSize);
    const kx::Size u = usedSizeOfPlainText(string, page.pixelSize());
    if (!isUsableSize(F) || !isUsableSize(u))
        return nullptr;
    offset = {offset.x + 0.01, offset.y - 0.01};
    kx::Rect r{(F.width * 0.5 - u.width * 0.5) / F.width + offset.x, (F.height * 0.5 - u.height * 0.5) / F.height + offset.y,
               u.width / F.width, u.height / F.height};
    if (r.size.height < 0.3) {
        r.size.height = 0.3;
        r.origin.y = offset.y + 0.35;
    }
    UndoStep step(page);
    auto shape = KXShape::initTextShapeWithString(string, r);
    shape->setPhoto(nullptr);
    shape->setShadow(smallShadow(2));
    shape->setAspectRatio(u.width / u.height);
    page.addGraph(shape);
    if (KXAdvancedText* text = advancedTextOf(*shape))
        text->updateFontScale();
    return shape;
}

bool fillRandomly(KXCanvas& page, const QStringList& images, const std::function<std::uint32_t()>& random) {
    std::vector<KXPhoto*> photos = page.emptyPhotos();
    QStringList pictures;
    for (const QString& path : images) {
        if (isSupportedImageFile(path))
            pictures << path;
    }
    if (!photos.empty() && !pictures.isEmpty()) {
        UndoStep step(page);
        while (!photos.empty() && !pictures.isEmpty()) {
            const std::size_t i = random() % photos.size();
            const qsizetype j = qsizetype(random() % std::uint32_t(pictures.size()));
            KXPhoto* photo = photos[i];
            photo->setCropRect({});
            photo->setImagePath(pictures[j]);
            pictures.removeAt(j);
            photos.erase(photos.begin() + std::ptrdiff_t(i));
        }
    }
    return !page.emptyPhotos().empty();
}
