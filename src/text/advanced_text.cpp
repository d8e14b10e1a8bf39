#include "text/advanced_text.h"

#include "graphics/color_utilities.h"
#include "graphics/geometry_utilities.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/filters.h"
#include "platform/gfx/jpng.h"

#include <algorithm>
#include <cmath>

namespace {
const QString kFontScaleKey = QStringLiteral("fontScale");
const QString kBackgroundKey = QStringLiteral("background");
const QString kSampleString = QStringLiteral("gyqpA");
constexpr double kMeasureSide = 10000000;

bool isUsableScale(double scale) {
    return std::isfinite(scale) && scale > 0;
}

// The largest font size in the text (text units), or 0 when no run names a font.
double largestFontSize(const kx::AttributedString& text) {
    double largest = 0;
    for (const kx::AttributeRun& run : text.runs())
        if (run.attributes.font)
            largest = std::max(largest, run.attributes.font->pointSize());
    return largest;
}

// How the words are set for drawing. In the layout size when they all fit there. When they do not (a
// bolder face, a larger font or more words in a frame that was sized tightly to the text), the text layer
// would leave out the lines past the frame's bottom, and a title whose one line grew a little taller would
// vanish whole. The words are then drawn whole, scaled down into the frame, in whichever arrangement shows
// them the largest: wrapped at the frame's width, or on their own unwrapped lines. The font scale is not
// changed; only this drawing is smaller.
struct WordSetting {
    std::unique_ptr<kx::TextLayoutManager> manager;
    double width = 0;      // of the container the words are set in, in text units
    double fit = 1;        // scale of the drawing; 1 when the words fit the layout size
    kx::Point origin;      // where the container's top-left corner is drawn, in text units
    kx::Size drawnSize;    // the words' extent as drawn, in text units
};

std::unique_ptr<kx::TextLayoutManager> layOutWords(const kx::AttributedString& text, kx::Size container) {
    auto manager = std::make_unique<kx::TextLayoutManager>(std::make_shared<kx::TextStorage>(text));
    manager->addTextContainer(std::make_shared<kx::TextContainer>(container));
    return manager;
}

bool holdsAll(kx::TextLayoutManager& manager, const kx::AttributedString& text) {
    return manager.firstUnlaidCharacterIndex() >= text.length();
}

// The share of the room left beside scaled-down words that goes to their left: as their first paragraph
// is aligned.
double horizontalPlacement(const kx::AttributedString& text) {
    if (text.length() == 0)
        return 0;
    switch (text.attributesAt(0).effectiveParagraphStyle().alignment) {
    case kx::TextAlignment::Center:
        return 0.5;
    case kx::TextAlignment::Right:
        return 1;
    default:
        return 0;
    }
}

WordSetting setWords(const kx::AttributedString& text, kx::Size area) {
    WordSetting setting;
    setting.manager = layOutWords(text, area);
    const bool usable = area.width > 0 && area.height > 0 && std::isfinite(area.width) && std::isfinite(area.height);
    setting.width = area.width;
    if (!usable || holdsAll(*setting.manager, text)) {
        setting.drawnSize = setting.manager->usedRect(0).size;
        return setting;
    }
    // The unwrapped lines' width, with a 64th of a point to spare so that they break where they did.
    const double naturalWidth = layOutWords(text, {kMeasureSide, kMeasureSide})->usedRect(0).size.width + 1.0 / 64;
    double bestFit = 0;
    for (const double width : {area.width, naturalWidth}) {
        auto manager = layOutWords(text, {width, kMeasureSide});
        const kx::Size used = manager->usedRect(0).size;
        if (!holdsAll(*manager, text) || !(used.height > 0) || !(width > 0))
            continue;
        const double fit = std::min({1.0, area.width / width, area.height / used.height});
        if (fit > bestFit) {
            bestFit = fit;
            setting.manager = std::move(manager);
            setting.width = width;
            setting.fit = fit;
            setting.origin = {(area.width - width * fit) * horizontalPlacement(text), 0};
            setting.drawnSize = {used.width * fit, used.height * fit};
        }
    }
    return setting;
}

// Where the glow lies, in the points of the bitmap the text is drawn into. Every length grows with the drawn
// text (the scale k from text units to points), so that the glow keeps its shape at any zoom and font scale.
struct GlowGeometry {
    double strokeWidth = 0;  // of the glyph outlines: a percentage of the font size, drawn at scale k
    double margin = 0;       // around the text in the glow bitmap, enough for half the stroke
    double blur = 0;         // box blur radius
    // How far the blurred glow reaches beyond the text area.
    double reach() const { return margin + blur; }
};

// The glow of `text` drawn at the zoom.
GlowGeometry glowGeometry(KXAdvancedText& text, double zoom) {
    const double width = text.glowRadius() + (text.isOutlineEnabled() ? text.outlineWidth() : 0);
    const double sampleHeight = text.sampleLineHeight();
    const double fontSize = std::max(largestFontSize(text.textStorage().attributedString()), sampleHeight);
    const double k = zoom * text.fontScale();
    const double blur = text.glowBlur() * zoom;
    GlowGeometry glow;
    glow.strokeWidth = std::round(width / 100 * 0.6 * sampleHeight);
    // Half the stroke of the largest glyphs, and a point to spare for antialiasing.
    const double halfStroke = glow.strokeWidth / 100 * fontSize * k / 2;
    glow.margin = std::max(std::round(glow.strokeWidth * k), std::ceil(halfStroke) + 1);
    glow.blur = std::isfinite(blur) ? std::max(blur, 0.0) : 0;
    return glow;
}
}  // namespace

KXAdvancedText::KXAdvancedText() : m_background(defaultBackground()) {}

KXAdvancedText::~KXAdvancedText() {
    m_renderImage = kx::Image();
    m_background.reset();
}

std::shared_ptr<KXAdvancedText> KXAdvancedText::initWithOwner(kx::ShapeFieldOwner* owner, const QString& string) {
    return makeWithOwner<KXAdvancedText>(owner, string);
}

std::shared_ptr<KXBackground> KXAdvancedText::defaultBackground() {
    auto fill = std::make_shared<KXBackground>();
    fill->setFillType(KXFillTypeColor);
    fill->setColorType(KXColorTypeSolid);
    fill->setImageType(0);
    fill->setGradientType(0);
    const kx::Color first = createSRGBColor(0, 0, 0, 1);
    const kx::Color second = createSRGBColor(0, 0.49019607843137253, 0.8, 1);
    fill->setColor1(first);
    fill->setColor2(second);
    fill->setFillAngle(0);
    fill->setAdGradientColorArray({first, second});
    return fill;
}

void KXAdvancedText::setFontScale(double scale) {
    if (!isUsableScale(scale))
        return;
    setProperty(kFontScaleKey, m_fontScale, scale);
}

void KXAdvancedText::setBackground(std::shared_ptr<KXBackground> background) {
    m_background = std::move(background);
}

// ---- measuring ----

kx::Size KXAdvancedText::measuredSize(kx::Size containerSize) {
    if (!(containerSize.width > 0) || !(containerSize.height > 0) || !std::isfinite(containerSize.width) ||
        !std::isfinite(containerSize.height))
        return {};
    kx::TextLayoutManager manager(textStoragePtr());
    manager.addTextContainer(std::make_shared<kx::TextContainer>(containerSize));
    return manager.usedRect(0).size;
}

kx::Size KXAdvancedText::naturalSize() {
    return measuredSize({kMeasureSide, kMeasureSide});
}

double KXAdvancedText::halfBorderWidth() const {
    KXShape* shape = ownerShape();
    KXCanvas* canvas = ownerCanvas();
    if (!shape || !canvas || !shape->isStrokeEnabled() || !shape->stroke())
        return 0;
    const kx::Size preview = canvas->previewSize();
    const double width = shape->stroke()->borderWidthWithReference(std::min(preview.width, preview.height), 1);
    return std::isfinite(width) ? std::trunc(width / 2) : 0;
}

kx::Size KXAdvancedText::layoutSize() const {
    KXShape* shape = ownerShape();
    KXCanvas* canvas = ownerCanvas();
    if (!shape || !canvas || !isUsableScale(m_fontScale))
        return {};
    // The border on the page: the same share of the page's shorter side as on the preview, in page pixels.
    double border = 0;
    if (shape->isStrokeEnabled() && shape->stroke()) {
        const kx::Size pixels = canvas->pixelSize();
        border = shape->stroke()->borderWidthWithReference(std::min(pixels.width, pixels.height), 1);
        if (!std::isfinite(border) || border < 0)
            border = 0;
    }
    const kx::Size frame = shape->actualRect().size;
    return {std::max(0.0, frame.width - border) / m_fontScale, std::max(0.0, frame.height - border) / m_fontScale};
}

kx::Size KXAdvancedText::textSize() {
    return setWords(textStorage().attributedString(), layoutSize()).drawnSize;
}

void KXAdvancedText::updateFontScale() {
    KXShape* shape = ownerShape();
    if (!shape)
        return;
    setFontScale(shape->actualRect().size.width / naturalSize().width);
}

void KXAdvancedText::updateRelativeRect() {
    KXShape* shape = ownerShape();
    KXCanvas* canvas = ownerCanvas();
    if (!shape || !canvas)
        return;
    const kx::Size natural = naturalSize();
    const kx::Rect actual = shape->actualRect();
    const kx::Size pixels = canvas->pixelSize();
    if (!(pixels.width > 0) || !(pixels.height > 0))
        return;
    const double width = natural.width * m_fontScale + 1;
    const double height = natural.height * m_fontScale + 1;
    const kx::Rect r{actual.minX(), actual.maxY() - height, width, height};
    shape->setRelativeRect(
        {r.origin.x / pixels.width, r.origin.y / pixels.height, r.size.width / pixels.width, r.size.height / pixels.height});
}

bool KXAdvancedText::fitOwnerToText() {
    KXShape* shape = ownerShape();
    KXCanvas* canvas = ownerCanvas();
    // A locked object keeps its frame; its words are drawn scaled into it.
    if (!shape || !canvas || shape->isLocked() || isEmpty() || !isUsableScale(m_fontScale))
        return false;
    const kx::AttributedString& text = textStorage().attributedString();
    const WordSetting setting = setWords(text, layoutSize());
    if (setting.fit >= 1 && holdsAll(*setting.manager, text))
        return false;
    const kx::Size pixels = canvas->pixelSize();
    const kx::Rect actual = shape->actualRect();
    if (!(pixels.width > 0) || !(pixels.height > 0) || !(setting.fit > 0))
        return false;
    // The frame grows by what the words need beyond the layout size (the border stays as it was), a pixel
    // to spare as when a frame is first sized to its text; it never shrinks.
    const kx::Size area = layoutSize();
    const auto grown = [this](double side, double needed, double available) {
        return needed > available ? side + (needed - available) * m_fontScale + 1 : side;
    };
    const double width = grown(actual.size.width, setting.width, area.width);
    const double height = grown(actual.size.height, setting.drawnSize.height / setting.fit, area.height);
    // The top edge stays; the left edge, the middle or the right edge stays as the words are aligned.
    const double x = actual.minX() - (width - actual.size.width) * horizontalPlacement(text);
    const kx::Rect r{x, actual.maxY() - height, width, height};
    if (!std::isfinite(r.size.width) || !std::isfinite(r.size.height))
        return false;
    shape->setRelativeRect(
        {r.origin.x / pixels.width, r.origin.y / pixels.height, r.size.width / pixels.width, r.size.height / pixels.height});
    return true;
}

void KXAdvancedText::setString(const QString& string) {
    kx::TextStorage& storage = textStorage();
    const kx::TextAttributes attributes =
        storage.length() > 0 ? storage.attributedString().attributesAt(0)
                             : (textViews().empty() ? defaultAttributes() : textViews().front()->typingAttributes());
    storage.setAttributedString(kx::AttributedString(string, attributes));
}

double KXAdvancedText::sampleLineHeight() const {
    return kx::measureString(kSampleString, currentAttributes()).height;
}

// ---- drawing ----

void KXAdvancedText::drawTextInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    if (!isDrawableTextRect(rect) || isEmpty())
        return;
    context.saveGState();
    if (m_renderImage.isNull())
        updateRenderImage(false);
    if (!m_renderImage.isNull()) {
        const double s = kx::mainScreenBackingScale();
        const kx::Size size{m_renderImage.width() / s, m_renderImage.height() / s};
        const kx::Rect target = roundRectComponents(
            {rect.midX() - size.width / 2, rect.midY() - size.height / 2, size.width, size.height});
        context.drawImage(target, m_renderImage);
    }
    m_renderImage = kx::Image();
    context.restoreGState();
}

void KXAdvancedText::updateRenderImage(bool) {
    m_renderImage = image();
}

std::unique_ptr<kx::BitmapContext> KXAdvancedText::contextWithSize(kx::Size size) const {
    const double s = kx::mainScreenBackingScale();
    const double w = std::trunc(s * size.width), h = std::trunc(s * size.height);
    if (!(w >= 1) || !(h >= 1) || !(w * h <= double(kx::Image::maximumPixelCount)))
        return nullptr;
    auto context = std::make_unique<kx::BitmapContext>(int(w), int(h));
    if (!context->isValid())
        return nullptr;
    context->scale(s, s);
    return context;
}

kx::Image KXAdvancedText::image() {
    KXShape* shape = ownerShape();
    if (!shape || isEmpty())
        return {};
    kx::Rect F = shape->frameRect();
    if (F.isEmpty())
        return {};
    F = roundRectComponents(F);
    F.origin = {0, 0};
    const double d = halfBorderWidth();
    kx::Rect T = F.insetBy(d, d);
    const double h = std::trunc(sampleLineHeight());
    const double o = isOutlineEnabled() ? h * (outlineWidth() / 100 * 0.6) : 0;
    double p = std::round(o);
    if (isGlowEnabled()) {
        // The glow's room grows with the drawn text, and always holds the blurred glow whole.
        const double k = zoom() * m_fontScale;
        const double drawnHeight = isUsableScale(k) ? h * k : h;
        p = std::round(std::max(drawnHeight * (glowRadius() / 100 * 0.6) + drawnHeight, o));
        if (isUsableScale(k))
            p = std::max(p, std::ceil(glowGeometry(*this, zoom()).reach()) + 1);
    }
    if (!std::isfinite(p) || p < 0)
        return {};
    std::unique_ptr<kx::BitmapContext> bitmap = contextWithSize({F.size.width + 2 * p, F.size.height + 2 * p});
    if (!bitmap)
        return {};
    bitmap->translate(p, p);
    bitmap->translate(T.origin.x, T.origin.y);
    T.origin = {0, 0};
    bitmap->setAllowsAntialiasing(true);
    bitmap->setShouldAntialias(true);
    m_textDrawing = true;
    if (isGlowEnabled())
        drawGlowInContext(*bitmap, T.size);
    if (isOutlineEnabled())
        drawTextInContext(*bitmap, T, outlineWidth() / 100 * 0.6 * h,
                          nsColorFromRGBA(KXPackedRGBA(outlineColorValue())));
    if (!m_background || (m_background->fillType() == KXFillTypeColor && m_background->colorType() == KXColorTypeSolid))
        drawTextStorage(textStorage().attributedString(), *bitmap, T);
    else
        fillTextInContext(*bitmap, T);
    m_textDrawing = false;
    return bitmap->makeImage();
}

void KXAdvancedText::drawGlowInContext(kx::BitmapContext& context, kx::Size size) {
    if (!isUsableScale(zoom() * m_fontScale))
        return;
    const GlowGeometry glowShape = glowGeometry(*this, zoom());
    const kx::Color color = nsColorFromRGBA(KXPackedRGBA(glowColorValue()));
    const double g = glowShape.margin;
    if (!std::isfinite(g) || g < 0 || !std::isfinite(glowShape.strokeWidth))
        return;
    std::unique_ptr<kx::BitmapContext> glow = contextWithSize({size.width + 2 * g, size.height + 2 * g});
    if (!glow)
        return;
    glow->saveGState();
    glow->translate(g, g);
    drawTextInContext(*glow, {0, 0, size.width, size.height}, glowShape.strokeWidth, color);
    const kx::Image plain = glow->makeImage();
    glow->restoreGState();
    // The blur is measured in points; the glow bitmap has the backing scale's pixels to the point.
    const double s = kx::mainScreenBackingScale();
    const kx::Image blurred = kx::applyFilter(QStringLiteral("CIBoxBlur"), plain,
                                              {{QStringLiteral("inputRadius"), kx::Value(double(float(glowShape.blur * s)))}});
    if (blurred.isNull())
        return;
    const kx::Size extent{float(blurred.width() / s), float(blurred.height() / s)};
    context.drawImage({size.width / 2 - extent.width / 2, size.height / 2 - extent.height / 2, extent.width,
                       extent.height},
                      blurred);
}

void KXAdvancedText::drawTextInContext(kx::BitmapContext& context, const kx::Rect& rect, double strokeWidth,
                                       const kx::Color& strokeColor) {
    if (rect.isEmpty())
        return;
    kx::AttributedString text = textStorage().attributedString();
    kx::TextAttributes stroke;
    stroke.strokeWidth = double(float(strokeWidth));
    stroke.strokeColor = strokeColor;
    text.addAttributes({0, text.length()}, stroke);
    drawTextStorage(text, context, rect);
}

void KXAdvancedText::drawTextStorage(const kx::AttributedString& text, kx::BitmapContext& context,
                                     const kx::Rect& rect) {
    if (rect.isEmpty())
        return;
    const double k = zoom() * m_fontScale;
    if (!isUsableScale(k))
        return;
    context.saveGState();
    context.translate(0, rect.size.height);
    context.scale(k, -k);
    context.setLineJoin(kx::LineJoin::Round);
    // The lines are set in the page's geometry and only drawn at the zoom: `rect` places them, it does not
    // size them (its whole pixels would move line breaks from one zoom to the next).
    const WordSetting setting = setWords(text, layoutSize());
    context.translate(setting.origin.x, setting.origin.y);
    context.scale(setting.fit, setting.fit);
    setting.manager->drawBackground(context, 0, {0, 0});
    setting.manager->drawGlyphs(context, 0, {0, 0});
    context.restoreGState();
    m_drawnLines.clear();
    for (const kx::LineFragment& fragment : setting.manager->lineFragments())
        m_drawnLines.push_back({0, fragment.characters});
}

kx::Image KXAdvancedText::maskTextImageWithSize(kx::Size size) {
    const double s = kx::mainScreenBackingScale();
    const double w = std::trunc(s * size.width), h = std::trunc(s * size.height);
    if (!(w >= 1) || !(h >= 1) || !(w * h <= double(kx::Image::maximumPixelCount)))
        return {};
    // Coverage only: the mask lets paint through where the glyphs are, whatever their colour.
    kx::BitmapContext mask(int(w), int(h), kx::BitmapContext::Kind::AlphaOnly);
    if (!mask.isValid())
        return {};
    mask.scale(s, s);
    drawTextInContext(mask, {0, 0, size.width, size.height}, 0, kx::Color::srgb(0, 0, 0, 1));
    return mask.makeImage();
}

void KXAdvancedText::fillTextInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    KXCanvas* canvas = ownerCanvas();
    if (!canvas || !m_background)
        return;
    context.saveGState();
    const kx::Image mask = maskTextImageWithSize(rect.size);
    if (mask.isNull()) {
        context.restoreGState();
        return;
    }
    context.clipToMask({0, 0, rect.size.width, rect.size.height}, mask);
    const double k = zoom() * m_fontScale;
    const double d = halfBorderWidth();
    const kx::Rect Q = kx::Rect(0, 0, rect.size.width, rect.size.height).insetBy(d, d);
    const kx::Size size = textSize();
    const double tw = size.width * k, th = size.height * k;
    double z = zoom();
    if (KXSize* pageSize = canvas->pageSize(); pageSize && pageSize->unit() != KXSizeUnitPixel)
        z = z * double(pageSize->dpi()) / 72;
    m_background->drawInContext(context, {Q.origin.x, rect.size.height - (th + Q.origin.y), tw, th}, z);
    context.restoreGState();
}

// ---- observation ----

void KXAdvancedText::addObserver(kx::KeyObserver* observer) {
    if (!observer)
        return;
    KXText::addObserver(observer);
    kx::Observable::addObserver(observer, kFontScaleKey);
    if (m_background)
        m_background->addObserver(observer);
}

void KXAdvancedText::removeObserver(kx::KeyObserver* observer) {
    if (!observer)
        return;
    KXText::removeObserver(observer);
    kx::Observable::removeObserver(observer, kFontScaleKey);
    if (m_background)
        m_background->removeObserver(observer);
}

const kx::PropertyTable& KXAdvancedText::propertyTable() const {
    using T = KXAdvancedText;
    const kx::PropertyTable& base = KXText::propertyTable();
    static const kx::PropertyTable table = [&base] {
        kx::PropertyTable t(&base);
        t.add(kFontScaleKey, &T::fontScale, &T::setFontScale);
        return t;
    }();
    return table;
}

// ---- archive ----

void KXAdvancedText::encodeWithCoder(kx::KeyedArchiver& coder) const {
    KXText::encodeWithCoder(coder);
    coder.encodeFloat(float(m_fontScale), kFontScaleKey);
    coder.encodeObject(m_background ? kx::Value(std::static_pointer_cast<kx::Object>(m_background)) : kx::Value(),
                       kBackgroundKey);
}

void KXAdvancedText::initWithCoder(kx::KeyedUnarchiver& coder) {
    KXText::initWithCoder(coder);
    setFontScale(coder.decodeFloat(kFontScaleKey));
    setBackground(coder.decodeObjectOfClass<KXBackground>(kBackgroundKey));
}
