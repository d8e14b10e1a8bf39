// The canvas view as a drop target: image files become photos near the drop point or replace the picture,
// mask or frame of the photo under the pointer; internet search results become photos whose picture is
// fetched in the background; text becomes a text object. While a drag hovers over a photo the overlay
// highlights it. Each drop is one undo step on the page's undo manager.
#include "canvas/canvas_drop.h"

#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "canvas/shape_layer.h"
#include "graphics/color_utilities.h"
#include "graphics/geometry_utilities.h"
#include "graphics/image_cache.h"
#include "graphics/image_file_types.h"
#include "graphics/image_search_record.h"
#include "model/frame.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "text/advanced_text.h"

#include <QBuffer>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QImageReader>
#include <QMessageBox>
#include <QMimeData>
#include <QTextDocument>
#include <QUrl>

#include <cmath>

namespace {

// The user setting that turns the source notice of dropped search results off.
const QString kNotShowSearchImageAlert = QStringLiteral("KXNotShowSearchImageAlert");
// The class of the template strip's browser, whose drags the page refuses.
const QString kHorizonBrowserClass = QStringLiteral("KXHorizonImageBrowserView");

bool isPositiveSize(const kx::Size& size) {
    return std::isfinite(size.width) && std::isfinite(size.height) && size.width > 0 && size.height > 0;
}

kx::Image thumbnailFromPNG(const QByteArray& bytes) {
    if (bytes.size() > kMaxDroppedThumbnailBytes)
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    // A thumbnail is small; anything large is refused before it is decoded.
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > 2048 || size.height() > 2048)
        return {};
    QImage image;
    if (!reader.read(&image))
        return {};
    return kx::Image(std::move(image));
}

// The fitted size of a dragged picture (its aspect kept) within m on both sides.
kx::Size fittedDragSize(kx::Size s, double m) {
    if (!isPositiveSize(s))
        return s;
    const double a = s.width / s.height;
    if (a >= 1 && s.width > m)
        return {m, m / a};
    if (a < 1 && s.height > m)
        return {a * m, m};
    return s;
}

}  // namespace

// ---- decoding ----

int resourceTypeForBrowserId(const QString& idString) {
    const QString id = idString.toLower();
    if (id == QLatin1String("mask"))
        return KXResourceTypeMask;
    if (id == QLatin1String("frame"))
        return KXResourceTypeFrame;
    return KXResourceTypePhoto;
}

KXDropContents decodeDropMimeData(const QMimeData& data) {
    KXDropContents contents;
    if (data.hasUrls()) {
        for (const QUrl& url : data.urls()) {
            if (contents.filePaths.size() >= kMaxDroppedFiles)
                break;
            if (url.isLocalFile() && !url.toLocalFile().isEmpty())
                contents.filePaths.append(url.toLocalFile());
        }
    }
    if (data.hasFormat(KXGoogleImagePboardType))
        contents.googleImages = googleImageArchivesFromPasteboardData(data.data(KXGoogleImagePboardType));
    // Qt counts file URLs as text too; only a text of its own is a dropped text.
    if (data.hasFormat(QStringLiteral("text/plain")) || data.hasFormat(QStringLiteral("text/plain;charset=utf-8"))) {
        const QString text = data.text();
        if (text.size() <= kMaxDroppedTextChars)
            contents.text = text;
    }
    if (data.hasHtml()) {
        const QString html = data.html();
        if (html.size() <= kMaxDroppedTextChars)
            contents.html = html;
    }
    if (data.hasFormat(KXDragSourceClassFormat))
        contents.sourceClass = QString::fromUtf8(data.data(KXDragSourceClassFormat).left(256));
    if (data.hasFormat(KXDragBrowserIdFormat))
        contents.resourceType = resourceTypeForBrowserId(QString::fromUtf8(data.data(KXDragBrowserIdFormat).left(256)));
    if (data.hasFormat(KXDragImageFormat)) {
        const kx::Rect r = kx::rectFromString(QString::fromUtf8(data.data(KXDragImageFormat).left(256)));
        const kx::Size size = r.size;
        if (isPositiveSize(size) && size.width <= kMaxDragImageSide && size.height <= kMaxDragImageSide &&
            std::isfinite(r.origin.x) && std::isfinite(r.origin.y)) {
            contents.imageSize = size;
            // A pointer outside the picture is held at its nearest edge.
            contents.imageHotSpot = {std::clamp(r.origin.x, 0.0, size.width), std::clamp(r.origin.y, 0.0, size.height)};
        }
    }
    if (data.hasFormat(KXDragThumbnailsFormat) && !contents.googleImages.empty()) {
        const std::optional<kx::Value> list = kx::readPropertyList(data.data(KXDragThumbnailsFormat));
        if (list && list->type() == kx::Value::Type::Dictionary) {
            for (const auto& [address, value] : list->toDictionary()) {
                if (contents.thumbnails.size() >= kMaxGoogleImagesPerDrag)
                    break;
                if (value.type() != kx::Value::Type::Data || !isWebImageAddress(address))
                    continue;
                if (kx::Image image = thumbnailFromPNG(value.toData()); !image.isNull())
                    contents.thumbnails.insert(address, image);
            }
        }
    }
    return contents;
}

void addDragSourceFacts(QMimeData& data, const QString& sourceClass, const QString& browserId) {
    data.setData(KXDragSourceClassFormat, sourceClass.toUtf8());
    if (!browserId.isEmpty())
        data.setData(KXDragBrowserIdFormat, browserId.toUtf8());
}

void addDragImageFacts(QMimeData& data, const kx::Size& imageSize, const kx::Point& hotSpot) {
    data.setData(KXDragImageFormat, kx::stringFromRect(kx::Rect(hotSpot, imageSize)).toUtf8());
}

void addDragThumbnails(QMimeData& data, const QHash<QString, kx::Image>& thumbnails) {
    kx::ValueDictionary dictionary;
    for (auto it = thumbnails.begin(); it != thumbnails.end(); ++it) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!it.value().isNull() && it.value().qimage().save(&buffer, "PNG"))
            dictionary[it.key()] = kx::Value(png);
    }
    data.setData(KXDragThumbnailsFormat,
                 kx::writePropertyList(kx::Value(std::move(dictionary)), kx::PropertyListFormat::Binary));
}

// ---- hooks ----

namespace {

KXPreview::DropFailureReporter& dropFailureReporter() {
    static KXPreview::DropFailureReporter reporter;
    return reporter;
}

KXPreview::SearchImageNoticePresenter& searchImageNoticePresenter() {
    static KXPreview::SearchImageNoticePresenter presenter;
    return presenter;
}

}  // namespace

void KXPreview::setDropFailureReporter(DropFailureReporter reporter) {
    dropFailureReporter() = std::move(reporter);
}

void KXPreview::setSearchImageNoticePresenter(SearchImageNoticePresenter presenter) {
    searchImageNoticePresenter() = std::move(presenter);
}

void KXPreview::reportUnplacedFiles(const QStringList& names) {
    if (names.isEmpty())
        return;
    if (dropFailureReporter()) {
        dropFailureReporter()(names);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QString(),
                    kx::Bundle::main().localizedString(QStringLiteral("DropImagesFailed")), QMessageBox::Ok,
                    window());
    box.setInformativeText(names.join(u'\n'));
    box.exec();
}

// ---- Qt's drag events ----

void KXPreview::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void KXPreview::dragMoveEvent(QDragMoveEvent* event) {
    const KXDropContents contents = decodeDropMimeData(*event->mimeData());
    if (draggingUpdated(contents, event->position()) == Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void KXPreview::dragLeaveEvent(QDragLeaveEvent* event) {
    draggingEnded();
    event->accept();
}

void KXPreview::dropEvent(QDropEvent* event) {
    const KXDropContents contents = decodeDropMimeData(*event->mimeData());
    if (performDragOperation(contents, event->position())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
    draggingEnded();
}

// ---- the drop road ----

Qt::DropAction KXPreview::draggingUpdated(const KXDropContents& contents, const QPointF& viewPoint) {
    if (contents.sourceClass == kHorizonBrowserClass)
        return Qt::IgnoreAction;
    const bool images = containsSupportedImageFile(contents.filePaths) || !contents.googleImages.empty();
    if (!images)
        return contents.hasString() ? Qt::CopyAction : Qt::IgnoreAction;
    if (!m_canvasLayer)
        return Qt::IgnoreAction;
    const kx::Point point = pagePointForViewPoint(viewPoint);
    m_auxilLayer->setReplacingLayer(m_canvasLayer->draggingLayerAtPoint(point));
    const kx::Rect bounds = m_canvasLayer->bounds();
    const bool overPage = point.x >= 0 && point.y >= 0 && point.x <= bounds.size.width && point.y <= bounds.size.height;
    return contents.hasString() || overPage ? Qt::CopyAction : Qt::IgnoreAction;
}

void KXPreview::draggingEnded() {
    if (m_auxilLayer)
        m_auxilLayer->setReplacingLayer(nullptr);
}

bool KXPreview::performDragOperation(const KXDropContents& contents, const QPointF& viewPoint) {
    undoNeedExitCropMode();
    if (!m_canvas || !m_canvasLayer || contents.sourceClass == kHorizonBrowserClass)
        return false;
    // The whole drop is one undo step.
    kx::UndoManager& undo = m_canvas->undoManager();
    undo.beginUndoGrouping();
    bool ran = false;
    if (!contents.filePaths.isEmpty()) {
        ran = performDragFiles(contents, viewPoint);
    } else if (!contents.googleImages.empty()) {
        ran = performDragInternetImages(contents, viewPoint);
    } else if (contents.hasString()) {
        ran = performDragString(contents, viewPoint);
    }
    undo.endUndoGrouping();
    return ran;
}

bool KXPreview::performDragFiles(const KXDropContents& contents, const QPointF& viewPoint) {
    exitDrawMode();
    const kx::Rect bounds = m_canvasLayer->bounds();
    const double W = bounds.size.width, H = bounds.size.height;
    const double m = (W + H) / 5;
    const kx::Point D = pagePointForViewPoint(viewPoint);
    const int t = contents.resourceType;
    KXShapeLayer* target = m_auxilLayer->replacingLayer();
    if (!target)
        target = m_canvasLayer->draggingLayerAtPoint(D);
    QStringList unplaced;

    KXCanvas::GraphList result;
    if (target && target->shape()) {
        QStringList rest = contents.filePaths;
        bool replaced = false;
        while (!rest.isEmpty() && !replaced) {
            const QString path = rest.takeFirst();
            if (!isSupportedImageFile(path)) {
                unplaced.append(QFileInfo(path).fileName());
                continue;
            }
            replaced = replacePhotoWithPath(path, target, t);
            if (!replaced)
                unplaced.append(QFileInfo(path).fileName());
        }
        KXShape* shape = target->shape();
        const kx::Point origin = shape->relativeRect().origin;
        if (replaced) {
            for (const auto& graph : m_canvas->graphs())
                if (graph.get() == shape)
                    result.push_back(graph);
        }
        const KXCanvas::GraphList added =
            addPhotosWithPaths(rest, {W / 20 + origin.x * W, origin.y * H - H / 20}, {m, m}, t, &unplaced);
        result.insert(result.end(), added.begin(), added.end());
    } else {
        // Where the pointer holds the dragged picture fixes where the first new photo lies.
        std::optional<kx::Size> s = contents.imageSize;
        kx::Point f{0.5, 0.5};
        if (s) {
            f = {contents.imageHotSpot.x / s->width, (s->height - contents.imageHotSpot.y) / s->height};
        } else {
            for (const QString& path : contents.filePaths) {
                if (!isSupportedImageFile(path))
                    continue;
                if (t == KXResourceTypePhoto) {
                    if (KXCachePtr entry = KXCacheManager::cacheManager().cacheWithPath(path))
                        s = entry->imageSize();
                } else if (const QSize size = QImageReader(path).size(); size.isValid() && !size.isEmpty()) {
                    s = kx::Size{double(size.width()), double(size.height())};
                }
                break;
            }
        }
        kx::Size fitted = s ? fittedDragSize(*s, m) : kx::Size{m, m};
        if (!isPositiveSize(fitted))
            fitted = {m, m};
        result = addPhotosWithPaths(contents.filePaths, {D.x - f.x * fitted.width, D.y - f.y * fitted.height}, {m, m},
                                    t, &unplaced);
    }
    const bool changed = !result.empty();
    if (changed) {
        const bool selectionChanged = result != m_mutabSelectedList;
        setSelectedGraphs(result);
        m_auxilLayer->setReplacingLayer(nullptr);
        redrawAuxiliaryLayer();
        if ((t == KXResourceTypeMask || t == KXResourceTypeFrame) && !target)
            kx::NotificationCenter::defaultCenter().post(KXNewEmptyPhoto, this);
        if (!selectionChanged)
            kx::NotificationCenter::defaultCenter().post(KXGraphSelectionChange, this);
        kx::NotificationCenter::defaultCenter().post(KXFloatingNeedUpdate, this);
        activateWindow();
    }
    reportUnplacedFiles(unplaced);
    return changed;
}

std::shared_ptr<KXShape> KXPreview::newPhotoShape() {
    auto shape = std::make_shared<KXShape>();
    shape->setText(nullptr);
    shape->setStrokeEnabled(false);
    shape->stroke()->setColor(cgColorFromRGBA(rgbaFromCGColor(kx::Color::srgb(1, 1, 1, 1))));
    shape->stroke()->setWidth(3);
    return shape;
}

void KXPreview::placeNewPhoto(const std::shared_ptr<KXShape>& shape, const kx::Size& natural, const kx::Point& p,
                              const kx::Size& maxSize) {
    const kx::Rect bounds = m_canvasLayer->bounds();
    const double W = bounds.size.width, H = bounds.size.height;
    const kx::Size size = aspectFitSize(natural, maxSize);
    shape->setSelected(true);
    shape->setRelativeRect({p.x / W, p.y / H, size.width / W, size.height / H});
    shape->setAspectRatio(size.width / size.height);
    m_canvas->addGraph(shape);
}

KXCanvas::GraphList KXPreview::addPhotosWithPaths(const QStringList& paths, kx::Point p, const kx::Size& maxSize,
                                                  int resourceType, QStringList* unplaced) {
    KXCanvas::GraphList result;
    if (!m_canvas || !m_canvasLayer)
        return result;
    const kx::Rect bounds = m_canvasLayer->bounds();
    const double W = bounds.size.width, H = bounds.size.height;
    if (!(W > 0) || !(H > 0))
        return result;
    for (const QString& path : paths) {
        std::shared_ptr<KXShape> shape = newPhotoShape();
        KXPhoto* photo = shape->photo();
        kx::Size natural;
        if (resourceType == KXResourceTypeFrame) {
            std::shared_ptr<KXFrame> frame = isSupportedImageFile(path) ? KXFrame::frameWithName(path) : nullptr;
            if (frame && !frame->frameImage().isNull()) {
                natural = {double(frame->frameImage().width()), double(frame->frameImage().height())};
                photo->setFrame(frame);
                photo->setFrameEnabled(true);
                photo->setMaskEnabled(false);
            }
        } else if (resourceType == KXResourceTypeMask) {
            if (isSupportedImageFile(path)) {
                photo->setMaskName(path);
                natural = photo->maskImageSize();
                photo->setMaskEnabled(true);
                photo->setFrameEnabled(false);
            }
        } else if (isSupportedImageFile(path)) {
            // A file whose picture cannot be read is left out rather than becoming an empty photo.
            KXCachePtr entry = KXCacheManager::cacheManager().cacheWithPath(path);
            if (entry && !entry->isEmpty() && isPositiveSize(entry->imageSize()) && !entry->thumbImage().isNull()) {
                natural = entry->imageSize();
                photo->setCropRect(kx::Rect());
                photo->setImagePath(path);
                photo->setMaskEnabled(false);
                photo->setFrameEnabled(false);
            }
        }
        if (!isPositiveSize(natural) || !isPositiveSize(aspectFitSize(natural, maxSize))) {
            if (unplaced)
                unplaced->append(QFileInfo(path).fileName());
            continue;
        }
        placeNewPhoto(shape, natural, p, maxSize);
        result.push_back(shape);
        p = {p.x + W / 20, p.y - H / 20};
    }
    return result;
}

bool KXPreview::replacePhotoWithPath(const QString& path, KXShapeLayer* target, int resourceType) {
    KXShape* shape = target ? target->shape() : nullptr;
    KXPhoto* photo = shape ? shape->photo() : nullptr;
    if (!photo)
        return false;
    const bool wasPhoto = shape->graphType() == KXGraphTypePhoto;
    if (resourceType == KXResourceTypeFrame) {
        std::shared_ptr<KXFrame> frame = KXFrame::frameWithName(path);
        if (!frame || frame->frameImage().isNull())
            return false;
        shape->setStrokeEnabled(false);
        photo->setMaskEnabled(false);
        photo->setFrameEnabled(true);
        photo->setFrame(frame);
    } else if (resourceType == KXResourceTypeMask) {
        QImageReader probe(path);
        if (!probe.canRead() && !isSupportedImageFile(path))
            return false;
        shape->setStrokeEnabled(false);
        photo->setMaskEnabled(true);
        photo->setFrameEnabled(false);
        photo->setMaskName(path);
    } else {
        KXCachePtr entry = KXCacheManager::cacheManager().cacheWithPath(path);
        if (!entry || entry->isEmpty() || !isPositiveSize(entry->imageSize()) || entry->thumbImage().isNull())
            return false;
        photo->setCropRect(kx::Rect());
        photo->setImagePath(path);
    }
    if (!wasPhoto)
        kx::NotificationCenter::defaultCenter().post(KXGraphSelectionChange, this);
    kx::NotificationCenter::defaultCenter().post(KXReplacePhotoNotification, shape);
    return true;
}

// ---- search results ----

KXCachePtr KXPreview::cacheForGoogleImage(const KXGoogleImage& image, const KXDropContents& contents) {
    // Only web addresses are fetched, and only a size the record states plainly is believed.
    if (!isWebImageAddress(image.url()))
        return nullptr;
    const std::optional<double> w = imageDimensionFromString(image.width());
    const std::optional<double> h = imageDimensionFromString(image.height());
    if (!w || !h)
        return nullptr;
    KXCacheManager& manager = KXCacheManager::cacheManager();
    if (KXCachePtr entry = manager.caches().value(image.url()); entry && !entry->isEmpty())
        return entry;
    KXCachePtr entry;
    const kx::Image thumb = contents.thumbnails.value(image.tbUrl());
    if (!thumb.isNull())
        entry = KXCache::initWithThumbImage(thumb, QUrl(image.url()), {*w, *h});
    else if (isWebImageAddress(image.tbUrl()))
        entry = KXCache::initWithThumbURL(QUrl(image.tbUrl()), QUrl(image.url()), {*w, *h});
    if (!entry || entry->isEmpty())
        return nullptr;
    manager.addCache(entry, image.url());
    return entry;
}

bool KXPreview::performDragInternetImages(const KXDropContents& contents, const QPointF& viewPoint) {
    std::vector<std::shared_ptr<KXGoogleImage>> images;
    for (const QByteArray& archive : contents.googleImages)
        if (auto image = googleImageFromArchive(archive))
            images.push_back(image);
    if (images.empty())
        return false;
    alertForImages(images);
    exitDrawMode();
    const kx::Rect bounds = m_canvasLayer->bounds();
    const double W = bounds.size.width, H = bounds.size.height;
    const double m = (W + H) / 5;
    const kx::Point D = pagePointForViewPoint(viewPoint);
    KXShapeLayer* target = m_auxilLayer->replacingLayer();
    if (!target)
        target = m_canvasLayer->draggingLayerAtPoint(D);
    QStringList unplaced;
    KXCanvas::GraphList result;
    if (target && target->shape()) {
        KXShape* shape = target->shape();
        const kx::Point origin = shape->relativeRect().origin;
        if (replacePhotoWithGoogleImage(*images.front(), contents, target)) {
            for (const auto& graph : m_canvas->graphs())
                if (graph.get() == shape)
                    result.push_back(graph);
        } else {
            unplaced.append(images.front()->url());
        }
        const std::vector<std::shared_ptr<KXGoogleImage>> rest(images.begin() + 1, images.end());
        const KXCanvas::GraphList added = addPhotosWithInternetImages(
            rest, contents, {W / 20 + origin.x * W, origin.y * H - H / 20}, {m, m}, &unplaced);
        result.insert(result.end(), added.begin(), added.end());
    } else {
        kx::Point f{0.5, 0.5};
        kx::Size fitted{m, m};
        if (contents.imageSize) {
            const kx::Size s = *contents.imageSize;
            f = {contents.imageHotSpot.x / s.width, (s.height - contents.imageHotSpot.y) / s.height};
            fitted = fittedDragSize(s, m);
        }
        result = addPhotosWithInternetImages(images, contents, {D.x - f.x * fitted.width, D.y - f.y * fitted.height},
                                             {m, m}, &unplaced);
    }
    if (!result.empty()) {
        setSelectedGraphs(result);
        m_auxilLayer->setReplacingLayer(nullptr);
        redrawAuxiliaryLayer();
        kx::NotificationCenter::defaultCenter().post(KXFloatingNeedUpdate, this);
        activateWindow();
    }
    reportUnplacedFiles(unplaced);
    return !result.empty();
}

KXCanvas::GraphList KXPreview::addPhotosWithInternetImages(const std::vector<std::shared_ptr<KXGoogleImage>>& images,
                                                           const KXDropContents& contents, kx::Point p,
                                                           const kx::Size& maxSize, QStringList* unplaced) {
    KXCanvas::GraphList result;
    const kx::Rect bounds = m_canvasLayer->bounds();
    const double W = bounds.size.width, H = bounds.size.height;
    for (const auto& image : images) {
        KXCachePtr entry = cacheForGoogleImage(*image, contents);
        if (entry && isPositiveSize(entry->imageSize())) {
            std::shared_ptr<KXShape> shape = newPhotoShape();
            KXPhoto* photo = shape->photo();
            photo->setCropRect(kx::Rect());
            photo->setImagePath(image->url());
            photo->setMaskEnabled(false);
            photo->setFrameEnabled(false);
            placeNewPhoto(shape, entry->imageSize(), p, maxSize);
            result.push_back(shape);
        } else if (unplaced) {
            unplaced->append(image->url());
        }
        // Every result moves the place on, also one that gave no photo.
        p = {p.x + W / 20, p.y - H / 20};
    }
    return result;
}

bool KXPreview::replacePhotoWithGoogleImage(const KXGoogleImage& image, const KXDropContents& contents,
                                            KXShapeLayer* target) {
    KXShape* shape = target ? target->shape() : nullptr;
    KXPhoto* photo = shape ? shape->photo() : nullptr;
    if (!photo || !cacheForGoogleImage(image, contents))
        return false;
    const bool wasPhoto = shape->graphType() == KXGraphTypePhoto;
    photo->setCropRect(kx::Rect());
    photo->setImagePath(image.url());
    if (!wasPhoto)
        kx::NotificationCenter::defaultCenter().post(KXGraphSelectionChange, this);
    kx::NotificationCenter::defaultCenter().post(KXReplacePhotoNotification, shape);
    return true;
}

void KXPreview::alertForImages(const std::vector<std::shared_ptr<KXGoogleImage>>& images) {
    if (images.empty() || kx::UserDefaults::standard().boolValue(kNotShowSearchImageAlert))
        return;
    if (searchImageNoticePresenter())
        searchImageNoticePresenter()(this, images.front()->originalContextURL());
}

// ---- text ----

bool KXPreview::performDragString(const KXDropContents& contents, const QPointF& viewPoint) {
    const kx::Size pixels = m_canvas->pixelSize();
    const QSize area = scrollContentSize();
    const kx::Size F = aspectFitSize(pixels, {double(area.width()), double(area.height())});
    if (!isPositiveSize(F))
        return false;
    // The text laid out as a text view of the fitted page's width would lay out the dropped text.
    QTextDocument document;
    document.setDocumentMargin(0);
    if (!contents.html.isEmpty())
        document.setHtml(contents.html);
    else
        document.setPlainText(contents.text);
    document.setTextWidth(F.width);
    const QString plain = document.toPlainText();
    if (plain.trimmed().isEmpty())
        return false;
    const kx::Size u{std::max(1.0, std::ceil(document.idealWidth())), std::max(1.0, document.size().height())};
    const kx::Point D = pagePointForViewPoint(viewPoint);
    kx::Rect rect{(D.x - u.width / 2) / F.width, (D.y - u.height / 2) / F.height, u.width / F.width,
                  u.height / F.height};
    if (rect.size.height < 0.3) {
        rect.size.height *= 2;
        rect.origin.y = D.y / F.height - rect.size.height / 2;
    }
    if (rect.size.width < 0.3) {
        rect.size.width *= 2;
        rect.origin.x = D.x / F.width - rect.size.width / 2;
    }
    std::shared_ptr<KXShape> shape = KXShape::initTextShapeWithString(plain, rect);
    shape->setPhoto(nullptr);
    auto shadow = std::make_shared<KXShadow>();
    shadow->setBlur(2);
    shadow->setOffset(2);
    shape->setShadow(shadow);
    shape->setAspectRatio(u.width / u.height);
    m_canvas->addGraph(shape);
    if (auto* text = dynamic_cast<KXAdvancedText*>(shape->text()))
        text->updateFontScale();
    setSelectedGraphs({shape});
    m_auxilLayer->setReplacingLayer(nullptr);
    redrawAuxiliaryLayer();
    kx::NotificationCenter::defaultCenter().post(KXFloatingNeedUpdate, this);
    activateWindow();
    return true;
}

void KXPreview::addPhotoGraphToPreview(const KXCanvas::GraphList& graphs) {
    setSelectedGraphs(graphs);
    if (m_auxilLayer)
        m_auxilLayer->setReplacingLayer(nullptr);
    redrawAuxiliaryLayer();
}
