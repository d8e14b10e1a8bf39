// Drawing of fills: colours, gradients and images into a rectangle at a zoom.
#include "model/background.h"

#include "graphics/geometry_utilities.h"
#include "graphics/image_cache.h"

#include <cmath>

namespace {

// The angle read modulo 360 into 0 ≤ a < 360; a value that is not a number reads as 0.
double normalizedDegrees(double angle) {
    if (!std::isfinite(angle))
        return 0;
    double a = std::fmod(angle, 360.0);
    if (a < 0)
        a += 360;
    return a < 360 ? a : 0;
}

float tangentOfDegrees(double degrees) {
    return std::tan(float(degreesToRadians(degrees)));
}

}  // namespace

kx::Point KXBackground::endPointOfRect(const kx::Rect& rect, double angle) const {
    const double mx = rect.midX(), my = rect.midY();
    const double maxX = rect.maxX(), maxY = rect.maxY();
    const float diagonal = float(radiansToDegrees(std::atan(float(my / mx))));
    const float complement = 90.0f - diagonal;
    const double a = normalizedDegrees(angle);
    if (a < 90) {
        const float t = tangentOfDegrees(a);
        if (a < diagonal)
            return kx::Point(maxX, my - mx * t);
        return kx::Point(mx + my / t, 0);
    }
    if (a < 180) {
        const double b = a - 90;
        const float t = tangentOfDegrees(b);
        if (b < complement)
            return kx::Point(mx - my * t, 0);
        return kx::Point(0, my - mx / t);
    }
    if (a < 270) {
        const double b = a - 180;
        const float t = tangentOfDegrees(b);
        if (b < diagonal)
            return kx::Point(0, my + mx * t);
        return kx::Point(mx - my / t, maxY);
    }
    const double b = a - 270;
    const float t = tangentOfDegrees(b);
    if (b < complement)
        return kx::Point(mx + my * t, maxY);
    return kx::Point(maxX, my + mx / t);
}

kx::Image KXBackground::imageForDrawing(const kx::Size& areaSize) const {
    if (!m_renderTexture.isNull())
        return m_renderTexture;
    KXCacheManager& cache = KXCacheManager::cacheManager();
    if (m_fillType == KXFillTypeImage)
        return m_imagePath.isEmpty() ? kx::Image() : cache.imageWithPath(m_imagePath, areaSize);
    if (m_customImagePath.isEmpty())
        return kx::Image();
    const kx::Size asked = m_imageType == KXImageTypeTile ? kx::Size(400, 400) : areaSize;
    return cache.imageWithPath(m_customImagePath, asked);
}

void KXBackground::drawInContext(kx::BitmapContext& context, const kx::Rect& rect, double zoom) const {
    const kx::Rect frame = rect.standardized();
    if (frame.isEmpty() || !std::isfinite(frame.width()) || !std::isfinite(frame.height()))
        return;
    const double width = frame.width(), height = frame.height();
    const kx::Rect area(0, 0, width, height);

    context.saveGState();
    context.translate(frame.minX(), frame.minY());
    context.clipToRect(area);

    if (m_fillType != KXFillTypeColor) {
        const kx::Image image = imageForDrawing(area.size);
        if (!image.isNull()) {
            const double iw = image.width(), ih = image.height();
            switch (m_imageType) {
            case KXImageTypeTile: {
                const kx::Rect tile(0, 0, zoom * iw, zoom * ih);
                // A tile of less than a pixel would be repeated beyond counting for nothing visible:
                // such a tile is drawn once.
                const bool tiles = tile.width() >= 1 && tile.height() >= 1 &&
                                   (width > tile.width() || height > tile.height());
                if (tiles)
                    context.drawTiledImage(tile, image);
                else if (tile.width() > 0 && tile.height() > 0 && std::isfinite(tile.width() + tile.height()))
                    context.drawImage(tile, image);
                break;
            }
            case KXImageTypeStretch:
                context.drawImage(area, image);
                break;
            case KXImageTypeStretchCrop: {
                const kx::Size cover = aspectFillSize(kx::Size(iw, ih), area.size);
                context.setInterpolationQuality(kx::InterpolationQuality::High);
                context.setShouldAntialias(true);
                context.drawImage(kx::Rect(-(cover.width - width) / 2, -(cover.height - height) / 2, cover.width,
                                           cover.height),
                                  image);
                break;
            }
            default:
                break;  // an unknown placement draws nothing
            }
        }
    } else if (m_colorType == KXColorTypeSolid) {
        context.setFillColor(m_color1);
        context.fillRect(area);
    } else {
        const unsigned extend = kx::GradientDrawsBeforeStart | kx::GradientDrawsAfterEnd;
        const double mx = area.midX(), my = area.midY();
        const auto drawLinear = [&](const kx::Gradient& g) {
            const kx::Point end = endPointOfRect(area, m_fillAngle);
            context.drawLinearGradient(g, kx::Point(2 * mx - end.x, 2 * my - end.y), end, extend);
        };
        if (m_colorType == KXColorTypeGradient) {
            drawLinear(gradient());
        } else if (m_gradientType == KXGradientTypeRadial) {
            const double radius = double(std::sqrt(float(mx * mx + my * my)));
            context.drawRadialGradient(advancedGradient(), kx::Point(mx, my), 1, kx::Point(mx, my), radius, extend);
        } else if (m_gradientType == KXGradientTypeLinear) {
            drawLinear(advancedGradient());
        }
    }
    context.restoreGState();
}
