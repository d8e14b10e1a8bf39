#include "graphics/svg_image.h"

#include "graphics/svg_parser.h"
#include "platform/foundation/bundle.h"
#include "platform/gfx/bitmap_context.h"

#include <cmath>

namespace {

std::shared_ptr<KXSVGImage> imageFromParser(KXSVGParser& parser) {
    parser.parseSVGDocument();
    auto image = std::make_shared<KXSVGImage>();
    image->setStyledPaths(parser.paths());
    image->setSize(parser.viewBox().size);
    image->setScale(1);
    return image;
}

bool isFinite(double v) {
    return std::isfinite(v);
}

}  // namespace

std::shared_ptr<KXSVGImage> KXSVGImage::imageWithContentsOfFile(const QString& path) {
    KXSVGParser parser = KXSVGParser::initWithSVGDocument(path);
    return imageFromParser(parser);
}

std::shared_ptr<KXSVGImage> KXSVGImage::imageWithSVGData(const QByteArray& data) {
    KXSVGParser parser(data);
    return imageFromParser(parser);
}

std::shared_ptr<KXSVGImage> KXSVGImage::imageNamed(const QString& name) {
    return imageWithContentsOfFile(kx::Bundle::main().pathForResource(name, QStringLiteral("svg")));
}

void KXSVGImage::drawInContext(kx::BitmapContext& context) const {
    context.saveGState();
    context.scale(m_scale, m_scale);
    for (const auto& element : m_styledPaths) {
        if (element)
            element->drawStyledPath(context);
    }
    context.restoreGState();
}

void KXSVGImage::drawInRect(kx::BitmapContext& context, const kx::Rect& rect) const {
    const double w = m_size.width, h = m_size.height;
    if (!(w != 0 && h != 0 && isFinite(w) && isFinite(h)) || !isFinite(rect.origin.x) || !isFinite(rect.origin.y) ||
        !isFinite(rect.size.width) || !isFinite(rect.size.height) || rect.isNull())
        return;
    context.saveGState();
    context.translate(rect.origin.x, rect.origin.y + rect.size.height);
    context.scale(rect.size.width / w, -rect.size.height / h);
    drawInContext(context);
    context.restoreGState();
}

void KXSVGImage::drawAtPoint(kx::BitmapContext& context, const kx::Point& point) const {
    drawInRect(context, kx::Rect(point, m_size));
}

kx::Image KXSVGImage::image() const {
    const double w = std::ceil(m_size.width * m_scale);
    const double h = std::ceil(m_size.height * m_scale);
    if (!(w >= 1 && h >= 1) || w * h > double(kx::Image::maximumPixelCount))
        return kx::Image();
    const int width = int(w), height = int(h);
    kx::BitmapContext context(width, height);
    if (!context.isValid())
        return kx::Image();
    // The picture's y axis runs downward from the image's top edge.
    context.translate(0, height);
    context.scale(1, -1);
    drawInContext(context);
    const kx::Image result = context.makeImage();
    const kx::Size pointSize(m_size.width * m_scale, m_size.height * m_scale);
    return pointSize == result.pixelSize() ? result : result.withPointSize(pointSize);
}
