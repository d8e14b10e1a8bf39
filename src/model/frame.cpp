#include "model/frame.h"

#include "graphics/file_utilities.h"
#include "graphics/geometry_utilities.h"
#include "graphics/image_loading.h"
#include "graphics/image_operations.h"
#include "graphics/text_values.h"
#include "platform/foundation/archive_copy.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/property_list.h"
#include "platform/gfx/bitmap_context.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

const QString kScaleKey = QStringLiteral("scale");
const QStringList kImageExtensions = {QStringLiteral("jpng"), QStringLiteral("jpg"), QStringLiteral("png")};

// Largest frame description read, in bytes.
constexpr qint64 kMaximumDescriptionSize = 1024 * 1024;

QByteArray readSmallFile(const QString& path, qint64 limit) {
    QFile file(path);
    if (file.size() > limit || !file.open(QIODevice::ReadOnly))
        return {};
    return file.read(limit);
}

QString replacingExtension(const QString& path, const QString& extension) {
    return deletingPathExtension(path) + QLatin1Char('.') + extension;
}

// A value that single precision cannot hold (not finite, or beyond its range, which would become infinite)
// reads as 0.
float finiteFloat(double v) {
    return std::isfinite(v) && std::abs(v) <= double(std::numeric_limits<float>::max()) ? float(v) : 0.0f;
}

}  // namespace

// ---- KXFrameMargin ----

KXFrameMargin::KXFrameMargin(const QString& path) {
    readMargins(readSmallFile(path, maximumFileSize));
}

std::shared_ptr<KXFrameMargin> KXFrameMargin::marginWithData(const QByteArray& data) {
    auto margin = std::make_shared<KXFrameMargin>();
    margin->readMargins(data.left(maximumFileSize));
    return margin;
}

void KXFrameMargin::readMargins(const QByteArray& data) {
    QXmlStreamReader reader(data);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        auto read = [&](const char* name) {
            return float(intValueOfText(attributes.value(QLatin1String(name)).toString()));
        };
        m_left = read("MarginLeft");
        m_right = read("MarginRight");
        m_top = read("MarginTop");
        m_bottom = read("MarginBottom");
    }
}

void KXFrameMargin::encodeWithCoder(kx::KeyedArchiver& coder) const {
    // Truncated like a C conversion, but saturated: a huge or NaN margin must not be undefined behaviour.
    auto toInt = [](float v) -> std::int32_t {
        if (!std::isfinite(v))
            return 0;
        return std::int32_t(std::clamp<double>(std::trunc(v), -2147483648.0, 2147483647.0));
    };
    coder.encodeInt32(toInt(m_left), QStringLiteral("left"));
    coder.encodeInt32(toInt(m_right), QStringLiteral("right"));
    coder.encodeInt32(toInt(m_top), QStringLiteral("top"));
    coder.encodeInt32(toInt(m_bottom), QStringLiteral("bottom"));
}

void KXFrameMargin::initWithCoder(kx::KeyedUnarchiver& coder) {
    m_left = float(coder.decodeInt32(QStringLiteral("left")));
    m_right = float(coder.decodeInt32(QStringLiteral("right")));
    m_top = float(coder.decodeInt32(QStringLiteral("top")));
    m_bottom = float(coder.decodeInt32(QStringLiteral("bottom")));
}

std::shared_ptr<KXFrameMargin> KXFrameMargin::copy() const {
    return kx::archiveCopy(*this);
}

// ---- KXFrame ----

KXFrame::KXFrame(std::int32_t style) : m_style(style), m_width(10), m_scale(1) {}

std::shared_ptr<KXFrame> KXFrame::frameWithName(const QString& name, double scale) {
    auto frame = std::make_shared<KXFrame>(KXFrameStyleExpandable);
    frame->m_scale = scale;
    frame->setName(name);
    return frame;
}

std::shared_ptr<KXFrame> KXFrame::frameWithName(const QString& name) {
    auto frame = std::make_shared<KXFrame>(KXFrameStyleSingleImage);
    frame->setName(name);
    return frame;
}

QStringList KXFrame::announcedKeys() const {
    return {kScaleKey};
}

void KXFrame::addObserver(kx::KeyObserver* observer) {
    if (observer)
        kx::Observable::addObserver(observer, kScaleKey);
}

void KXFrame::removeObserver(kx::KeyObserver* observer) {
    if (observer)
        kx::Observable::removeObserver(observer, kScaleKey);
}

const kx::PropertyTable& KXFrame::propertyTable() const {
    static const kx::PropertyTable table = [] {
        kx::PropertyTable t;
        t.add(kScaleKey, &KXFrame::scale, &KXFrame::setScale);
        return t;
    }();
    return table;
}

void KXFrame::setScale(double scale) {
    if (float(scale) == float(m_scale) && std::isfinite(scale) == std::isfinite(m_scale)) {
        m_scale = scale;
        return;
    }
    setProperty(kScaleKey, m_scale, scale);
}

QString KXFrame::type() const {
    std::lock_guard lock(m_mutex);
    return m_type;
}

void KXFrame::setType(const QString& type) {
    std::lock_guard lock(m_mutex);
    m_type = type;
}

std::shared_ptr<KXFrameMargin> KXFrame::margin() const {
    std::lock_guard lock(m_mutex);
    return m_margin;
}

void KXFrame::setMargin(std::shared_ptr<KXFrameMargin> margin) {
    std::lock_guard lock(m_mutex);
    m_margin = std::move(margin);
}

void KXFrame::setName(const QString& name) {
    m_name = name;
    if (m_style == KXFrameStyleExpandable)
        loadExpandFrame();
    else if (m_style == KXFrameStyleSingleImage)
        loadShrinkFrame();
}

QString KXFrame::folderName() const {
    const QString n = deletingPathExtension(lastPathComponent(m_name));
    // The last component of "/" is "/" itself, which would take the frames folder for a frame.
    if (n.isEmpty() || n == QLatin1String(".") || n == QLatin1String("..") || n.contains(QLatin1Char('/')))
        return {};
    return n;
}

void KXFrame::releaseImages() {
    for (kx::Image* image : {&m_leftBottomImage, &m_leftTopImage, &m_rightTopImage, &m_rightBottomImage,
                             &m_bottomImage, &m_topImage, &m_leftImage, &m_rightImage, &m_frameImage,
                             &m_frameMaskImage})
        *image = kx::Image();
    setMargin(nullptr);
}

void KXFrame::readDescription(const QByteArray& description) {
    const std::optional<kx::Value> plist =
        description.isEmpty() || description.size() > kMaximumDescriptionSize ? std::nullopt
                                                                              : kx::readPropertyList(description);
    const kx::ValueDictionary info = plist ? plist->toDictionary() : kx::ValueDictionary();
    auto entry = [&](const char* key) {
        const auto found = info.find(QString::fromUtf8(key));
        return found == info.end() ? kx::Value() : found->second;
    };
    setType(entry("type").type() == kx::Value::Type::String ? entry("type").toString() : QString());
    m_expansion = finiteFloat(entry("expansion").toDouble());
    m_width = finiteFloat(entry("width").toDouble());
}

void KXFrame::loadExpandFrame() {
    releaseImages();
    if (m_name.isEmpty())
        return;
    // A name that does not lead to a folder inside the frames (".." would climb out) loads nothing.
    const QString n = folderName();
    if (n.isEmpty())
        return;
    const QString folder = kx::Bundle::main().resourcePath() + QStringLiteral("/Frame/") + n;
    readDescription(readSmallFile(folder + QLatin1Char('/') + n + QStringLiteral(".xml"), kMaximumDescriptionSize));

    const QString material = folder + QStringLiteral("/Material");
    auto piece = [&](const char* suffix) {
        const QString path = firstExistingPathWithExtensions(material + QLatin1String(suffix), kImageExtensions);
        return path.isEmpty() ? kx::Image() : loadSharedImageFromFile(path);
    };
    m_leftBottomImage = piece("/lb");
    m_leftTopImage = piece("/lt");
    m_rightTopImage = piece("/rt");
    m_rightBottomImage = piece("/rb");
    m_bottomImage = piece("/bottom");
    m_topImage = piece("/top");
    m_leftImage = piece("/left");
    m_rightImage = piece("/right");
}

void KXFrame::loadShrinkFrame() {
    releaseImages();
    if (m_name.isEmpty())
        return;
    m_hasMargin = false;
    m_frameImage = loadSharedImageFromFile(m_name);
    const QString maskPath = replacingExtension(m_name, QStringLiteral("jpg"));
    if (fileExists(maskPath)) {
        m_frameMaskImage = convertImageToGray(loadSharedImageFromFile(maskPath));
        return;
    }
    const QString marginPath = replacingExtension(m_name, QStringLiteral("frm"));
    if (fileExists(marginPath)) {
        setMargin(std::make_shared<KXFrameMargin>(marginPath));
        m_hasMargin = true;
    }
}

std::array<kx::Rect, 8> KXFrame::expandPieceRects(const kx::Rect& rect, double zoom) const {
    const double c = m_width * m_scale * zoom;
    const double e = m_expansion * m_scale * zoom;
    const kx::Rect o = rect.insetBy(-e, -e);
    const kx::Rect lb = roundRectComponents({o.minX(), o.minY(), c, c});
    const kx::Rect lt = roundRectComponents({o.minX(), o.maxY() - c, c, c});
    const kx::Rect rt = roundRectComponents({o.maxX() - c, o.maxY() - c, c, c});
    const kx::Rect rb = roundRectComponents({o.maxX() - c, o.minY(), c, c});
    const kx::Rect left =
        roundRectComponents({lb.minX(), lb.maxY() - 1, lb.size.width, lt.minY() - lb.maxY() + 2});
    const kx::Rect top =
        roundRectComponents({lt.maxX() - 1, lt.minY(), rt.minX() - lt.maxX() + 2, lt.size.height});
    const kx::Rect right =
        roundRectComponents({rb.minX(), rb.maxY() - 1, rb.size.width, rt.minY() - rb.maxY() + 2});
    const kx::Rect bottom =
        roundRectComponents({lb.maxX() - 1, o.minY(), rb.minX() - lb.maxX() + 2, lb.size.height});
    return {lb, lt, rt, rb, left, top, right, bottom};
}

void KXFrame::drawInContext(kx::BitmapContext& context, const kx::Rect& rect, double zoom) const {
    if (m_name.isEmpty())
        return;
    if (m_style == KXFrameStyleSingleImage) {
        drawShrinkFrameInContext(context, rect, zoom);
        return;
    }
    if (m_style != KXFrameStyleExpandable)
        return;
    const std::array<kx::Rect, 8> rects = expandPieceRects(rect, zoom);
    const std::array<const kx::Image*, 8> images = {&m_leftBottomImage, &m_leftTopImage, &m_rightTopImage,
                                                    &m_rightBottomImage, &m_leftImage, &m_topImage,
                                                    &m_rightImage, &m_bottomImage};
    context.saveGState();
    for (std::size_t i = 0; i < rects.size(); ++i) {
        // A piece of no size (a frame of no width) or not a number is skipped.
        const kx::Rect& r = rects[i];
        if (!images[i]->isNull() && r.size.width > 0 && r.size.height > 0)
            context.drawImage(r, *images[i]);
    }
    context.restoreGState();
}

void KXFrame::drawShrinkFrameInContext(kx::BitmapContext&, const kx::Rect&, double) const {}

void KXFrame::encodeWithCoder(kx::KeyedArchiver& coder) const {
    coder.encodeInteger(m_style, QStringLiteral("style"));
    coder.encodeObject(m_name.isNull() ? kx::Value() : kx::Value(m_name), QStringLiteral("name"));
    coder.encodeFloat(float(m_scale), QStringLiteral("scale"));
}

void KXFrame::initWithCoder(kx::KeyedUnarchiver& coder) {
    const std::int64_t style = coder.decodeInteger(QStringLiteral("style"));
    // A style beyond 32 bits is no style we know; it loads and draws nothing, as any other unknown one.
    m_style = style >= INT32_MIN && style <= INT32_MAX ? std::int32_t(style) : -1;
    m_scale = coder.decodeFloat(QStringLiteral("scale"));
    // A scale that is not a number would carry into every rectangle the frame reaches.
    if (!std::isfinite(m_scale))
        m_scale = 1;
    const kx::Value name = coder.decodeObjectOfType(QStringLiteral("name"), kx::Value::Type::String);
    setName(name.toString());
}

std::shared_ptr<KXFrame> KXFrame::copy() const {
    return kx::archiveCopy(*this);
}
