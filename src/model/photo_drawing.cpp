// The drawing side of the photo: the render image built from the image cache, the cache level a drawing
// size needs, and the photo drawn with rounded corners, mask, picture frame and border, or the grey
// placeholder while it has no image to draw (none chosen, or its file missing).
#include "graphics/geometry_utilities.h"
#include "graphics/image_cache.h"
#include "graphics/image_effect_manager.h"
#include "graphics/image_operations.h"
#include "graphics/photo_filter.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/graph.h"
#include "model/graph_render.h"
#include "model/photo.h"
#include "model/stroke.h"
#include "platform/gfx/bezier_path.h"
#include "platform/foundation/thread_handover.h"
#include "platform/gfx/bitmap_context.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

bool exceeds(const kx::Size& a, const kx::Size& b) {
    return a.width > b.width || a.height > b.height;
}

thread_local int t_deferredDecoding = 0;
thread_local int t_screenDrawing = 0;

}  // namespace

KXPhoto::DeferredDecoding::DeferredDecoding() { ++t_deferredDecoding; }
KXPhoto::DeferredDecoding::~DeferredDecoding() { --t_deferredDecoding; }
KXPhoto::ScreenDrawing::ScreenDrawing() { ++t_screenDrawing; }
KXPhoto::ScreenDrawing::~ScreenDrawing() { --t_screenDrawing; }

kx::Size KXPhoto::sizeInFileOrientation(const kx::Size& size) const {
    const std::int64_t quarter = ((m_photoRotation % 360) + 360) % 360;
    return quarter == 90 || quarter == 270 ? kx::Size(size.height, size.width) : size;
}

kx::Image KXPhoto::sourceImageForSize(const kx::Size& size, bool covering) const {
    const KXCachePtr cache = KXCacheManager::cacheManager().cacheWithPath(m_imagePath);
    if (!cache)
        return {};
    return covering ? cache->imageCoveringSize(sizeInFileOrientation(size)) : cache->imageWithSize(size);
}

kx::Image KXPhoto::processedImage(const kx::Image& source) const {
    kx::Image image = source;
    if (image.isNull())
        return {};
    if (m_photoRotation % 360 != 0)
        image = rotateImageByDegrees(image, int(m_photoRotation % 360));
    const KXEffectDataPtr effect =
        m_effectName.isEmpty() ? nullptr : KXImageEffectManager::imageEffectManager().effectDataWithName(m_effectName);
    if (!effect && m_variableFilter && m_variableFilter->isDefault())
        return image;
    const KXPhotoFilter* filter = m_variableFilter.get();
    return applyEffectToImage(image, effect.get(), filter ? filter->exposureFilter() : nullptr,
                              filter ? filter->hueFilter() : nullptr, filter ? filter->colorControls() : nullptr);
}

void KXPhoto::setRenderImageFromSource(const kx::Image& source) {
    m_renderImage = processedImage(source);
    m_renderSourceSize = m_renderImage.isNull() ? kx::Size() : source.pixelSize();
    m_renderImageReduced = false;
    if (!m_renderImage.isNull()) {
        if (const KXCachePtr cache = KXCacheManager::cacheManager().cacheWithPath(m_imagePath)) {
            const kx::Size full = cache->imageSize();
            m_renderImageReduced = source.width() < full.width || source.height() < full.height;
        }
    }
}

void KXPhoto::updateRenderImage() {
    const KXGraph* graph = ownerGraph();
    const kx::Rect frame = graph ? graph->frameRect() : kx::Rect();
    const kx::Rect full = fullImageRectWithFrame(frame);
    m_renderImage = kx::Image();
    m_renderSourceSize = kx::Size();
    m_renderImageReduced = false;
    ++m_renderTicket;
    m_requestInFlight = false;
    m_backgroundDecodeFailed = false;
    if (m_imagePath.isEmpty())
        return;
    if (t_deferredDecoding > 0 && m_holdsImageUse) {
        // Read with a project: decoded when first drawn, unless the cache has the image at hand.
        m_decodesInBackground = true;
        if (const KXCachePtr cache = KXCacheManager::cacheManager().cacheWithPath(m_imagePath))
            setRenderImageFromSource(cache->loadedImageWithSize(full.size, false));
        return;
    }
    // The cache's own levels: the crop chosen next follows the proportions of this image, which a level
    // keeps as well as its pixels allow and the original keeps exactly.
    setRenderImageFromSource(sourceImageForSize(full.size, false));
}

kx::Size KXPhoto::sourceSizeForBoundSize(const kx::Size& size) const {
    const kx::Size wanted = sizeInFileOrientation(size);
    if (exceeds(wanted, {kCacheLargeImageSize, kCacheLargeImageSize}) && m_holdsImageUse) {
        if (const KXCachePtr cache = KXCacheManager::cacheManager().cacheWithPath(m_imagePath)) {
            const kx::Size covering = cache->coveringDecodeSize(wanted);
            if (covering.width > 0)
                return covering;
        }
    }
    return imageSizeForBoundSize(wanted);
}

kx::Size KXPhoto::imageSizeForBoundSize(const kx::Size& bound) const {
    kx::Size image;
    if (m_holdsImageUse) {
        if (const KXCachePtr cache = KXCacheManager::cacheManager().cacheWithPath(m_imagePath))
            image = cache->imageSize();
    }
    kx::Size result;
    if (exceeds(bound, {kCacheLargeImageSize, kCacheLargeImageSize}))
        result = image;
    else if (exceeds(bound, image))
        result = image;
    else if (exceeds(bound, {kCacheThumbnailSize, kCacheThumbnailSize}))
        result = aspectFitSize(image, {kCacheLargeImageSize, kCacheLargeImageSize});
    else if (!exceeds(image, {kCacheThumbnailSize, kCacheThumbnailSize}))
        result = image;
    else
        result = aspectFitSize(image, {kCacheThumbnailSize, kCacheThumbnailSize});
    return {std::floor(result.width), std::floor(result.height)};
}

bool KXPhoto::needsLargerSourceForRect(const kx::Rect& imageRect) const {
    if (m_renderImage.isNull() || !m_renderImageReduced)
        return false;
    const kx::Size needed = sourceSizeForBoundSize(imageRect.size);
    return needed.width > m_renderSourceSize.width || needed.height > m_renderSourceSize.height;
}

std::function<void()> KXPhoto::sourceLoadForRect(const kx::Rect& rect) const {
    if (isEmpty())
        return {};
    const kx::Rect imageRect = roundRectComponents(fullImageRectForDrawing(rect));
    if (!needsLargerSourceForRect(imageRect))
        return {};
    const KXCachePtr cache = KXCacheManager::cacheManager().cacheWithPath(m_imagePath);
    if (!cache)
        return {};
    // The request drawInContext makes through sourceImageForSize.
    const kx::Size size = sizeInFileOrientation(imageRect.size);
    return [cache, size] { (void)cache->imageCoveringSize(size); };
}

void KXPhoto::obtainDeferredRenderImage(const kx::Size& drawnSize) {
    if (!m_renderImage.isNull() || !m_decodesInBackground || !m_holdsImageUse || m_backgroundDecodeFailed)
        return;
    // What this drawing needs and no more: a cache level, or a decode that covers the drawn size (never the
    // whole original of a big photo for a large frame).
    if (t_screenDrawing > 0) {
        requestSourceInBackground(drawnSize, true);
        return;
    }
    setRenderImageFromSource(sourceImageForSize(drawnSize, true));
}

void KXPhoto::requestSourceInBackground(const kx::Size& size, bool covering) {
    if (m_requestInFlight || !QCoreApplication::instance())
        return;
    const KXCachePtr cache = KXCacheManager::cacheManager().cacheWithPath(m_imagePath);
    if (!cache)
        return;
    m_requestInFlight = true;
    const kx::Size wanted = covering ? sizeInFileOrientation(size) : size;
    const std::uint64_t ticket = m_renderTicket;
    std::weak_ptr<kx::Object> self = weak_from_this();
    std::function<void()> job = [cache, wanted, covering, self, ticket] {
        kx::takePoolHandOver();
        QCoreApplication* app = QCoreApplication::instance();
        // An entry cleared meanwhile (its photos closed or moved to another file) is not worth the decode.
        if (!app || cache->isCleared())
            return;
        const kx::Image image = covering ? cache->imageCoveringSize(wanted) : cache->imageWithSize(wanted);
        kx::announcePoolHandOver();
        QMetaObject::invokeMethod(
            app,
            [self, cache, image, ticket] {
                kx::takePoolHandOver();
                if (const auto photo = std::dynamic_pointer_cast<KXPhoto>(self.lock()))
                    photo->sourceArrived(cache, image, ticket);
            },
            Qt::QueuedConnection);
    };
    kx::announcePoolHandOver();
    KXCache::decodePool().start(std::move(job));
}

void KXPhoto::sourceArrived(const KXCachePtr& cache, const kx::Image& image, std::uint64_t ticket) {
    // Made for an earlier render image (another path, rotation or effect since): a later request serves.
    if (ticket != m_renderTicket)
        return;
    m_requestInFlight = false;
    // Only the entry the photo still holds for its path may give it pixels.
    const KXCachePtr current = m_holdsImageUse ? KXCacheManager::cacheManager().cacheWithPath(m_imagePath) : nullptr;
    if (current != cache)
        return;
    const bool larger = !image.isNull() && (m_renderImage.isNull() || image.width() > m_renderSourceSize.width ||
                                            image.height() > m_renderSourceSize.height);
    if (!larger) {
        // Nothing to show or nothing better: not asked for again, as a drawing decoding at once would not.
        if (m_renderImage.isNull())
            m_backgroundDecodeFailed = true;
        else
            m_renderImageReduced = false;
        return;
    }
    setRenderImageFromSource(image);
    setNeedsDisplay();
}

void KXPhoto::drawInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    const KXGraph* graph = ownerGraph();
    const KXCanvas* page = graph ? graph->canvas() : nullptr;
    const bool stroked = graph && graph->isStrokeEnabled() && graph->stroke();
    context.saveGState();

    double radius = 0;
    if (stroked) {
        radius = std::min(rect.size.width, rect.size.height) * 0.5 * double(m_roundCornerRadius) / 100;
        // A radius beyond half the shorter side, or below 0, has no shape of its own.
        radius = std::clamp(std::isfinite(radius) ? radius : 0.0, 0.0,
                            std::max(0.0, std::min(rect.size.width, rect.size.height) / 2));
    }
    const kx::Path outline = kx::BezierPath::withRoundedRect(rect, radius, radius).toPath();
    context.beginPath();
    context.addPath(outline);
    context.clip();
    context.saveGState();

    const kx::Rect imageRect = roundRectComponents(fullImageRectForDrawing(rect));
    if (m_maskEnabled && !m_maskImage.isNull())
        context.clipToMask(rect, m_maskImage);
    obtainDeferredRenderImage(rect.size);
    if (m_renderImage.isNull()) {
        // Nothing to show: no image chosen yet, or one whose file cannot be had. The path stays as it is, so
        // that saving keeps the reference; the placeholder shows that the frame waits for its picture.
        drawBlankInContext(context, rect);
    } else {
        // A reduced version of the file that has become too small for the drawn size is replaced by a
        // larger one. When the cache has nothing larger, the image stays and is not asked for again.
        if (needsLargerSourceForRect(imageRect) && m_decodesInBackground && t_screenDrawing > 0) {
            // On screen the smaller image stays until the larger one is decoded in the background.
            const KXCachePtr cache = KXCacheManager::cacheManager().cacheWithPath(m_imagePath);
            const kx::Image ready =
                cache ? cache->loadedImageWithSize(sizeInFileOrientation(imageRect.size), true) : kx::Image();
            if (!ready.isNull() &&
                (ready.width() > m_renderSourceSize.width || ready.height() > m_renderSourceSize.height))
                setRenderImageFromSource(ready);
            else
                requestSourceInBackground(imageRect.size, true);
        } else if (needsLargerSourceForRect(imageRect)) {
            const kx::Image larger = sourceImageForSize(imageRect.size, true);
            if (!larger.isNull() &&
                (larger.width() > m_renderSourceSize.width || larger.height() > m_renderSourceSize.height))
                setRenderImageFromSource(larger);
            else
                m_renderImageReduced = false;
        }
        drawImageAndFrame(context, rect, imageRect);
    }
    context.restoreGState();

    if (stroked) {
        context.saveGState();
        const kx::Size preview = page ? page->previewSize() : kx::Size();
        context.setLineWidth(graph->stroke()->borderWidthWithReference(std::min(preview.width, preview.height), 1));
        context.setStrokeColor(graph->stroke()->color());
        context.beginPath();
        context.addPath(outline);
        context.strokePath();
        context.restoreGState();
    }
    context.restoreGState();

    // An expandable frame lies around the rectangle, outside the clips above; it is drawn at the page's
    // zoom scaled by how large the rectangle is drawn compared with the shape's frame.
    if (m_frameEnabled && m_frame && m_frame->style() == KXFrameStyleExpandable && !m_frame->name().isEmpty()) {
        double zoom = page ? page->zoomValue() : 1.0;
        const kx::Rect frame = graph ? graph->frameRect() : kx::Rect();
        if (frame.size.width > 0)
            zoom *= rect.size.width / frame.size.width;
        m_frame->drawInContext(context, rect, zoom);
    }
}

void KXPhoto::drawImageAndFrame(kx::BitmapContext& context, const kx::Rect& rect, const kx::Rect& imageRect) {
    context.setInterpolationQuality(kx::InterpolationQuality::High);
    const bool framed = m_frameEnabled && m_frame;
    if (!framed) {
        if (!m_renderImage.isNull())
            context.drawImage(imageRect, m_renderImage);
        return;
    }
    context.saveGState();
    if (!m_frame->frameMaskImage().isNull())
        context.clipToMask(rect, m_frame->frameMaskImage());
    else if (hasUsableMargins())
        context.clipToRect(marginRect(rect));
    if (!m_renderImage.isNull())
        context.drawImage(imageRect, m_renderImage);
    context.restoreGState();
    if (!m_frame->frameImage().isNull())
        context.drawImage(rect, m_frame->frameImage());
}

void KXPhoto::drawBlankInContext(kx::BitmapContext& context, const kx::Rect& rect) const {
    const kx::Gradient gradient({kx::Color::srgb(236 / 255.0, 236 / 255.0, 236 / 255.0, 1),
                                 kx::Color::srgb(double(float(230 / 255.0)), double(float(230 / 255.0)),
                                                 double(float(230 / 255.0)), 1)},
                                {0.0, 1.0});
    const unsigned extend = kx::GradientDrawsBeforeStart | kx::GradientDrawsAfterEnd;
    const kx::Point start{rect.minX(), rect.maxY()};
    const kx::Point end{rect.minX(), rect.minY()};
    context.saveGState();
    if (m_frameEnabled && m_frame) {
        if (hasUsableMargins())
            context.clipToRect(marginRect(rect));
        else if (!m_frame->frameMaskImage().isNull())
            context.clipToMask(rect, m_frame->frameMaskImage());
        context.drawLinearGradient(gradient, start, end, extend);
        context.restoreGState();
        if (!m_frame->frameImage().isNull())
            context.drawImage(rect, m_frame->frameImage());
        return;
    }
    context.clipToRect(rect);
    context.drawLinearGradient(gradient, start, end, extend);
    context.restoreGState();
}

void KXPhoto::drawCropRect(const kx::Rect& rect, kx::BitmapContext& context) const {
    if (!m_renderImage.isNull())
        context.drawImage(rect, m_renderImage);
}

void KXPhoto::setNeedsDisplay() {
    KXShapeField::setNeedsDisplay();
    if (m_renderMode == KXPhotoRenderModeNormal)
        return;
    if (KXGraph* graph = ownerGraph(); graph && graph->render())
        graph->render()->drawGraphSelection(graph);
}
