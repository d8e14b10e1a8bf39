#include "model/photo.h"

#include "graphics/file_utilities.h"
#include "graphics/geometry_utilities.h"
#include "graphics/image_cache.h"
#include "graphics/image_loading.h"
#include "graphics/image_operations.h"
#include "graphics/photo_filter.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/graph.h"
#include "model/stroke.h"
#include "platform/foundation/archive_copy.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

const QString kImagePathKey = QStringLiteral("imagePath");
const QString kCropRectKey = QStringLiteral("cropRect");
const QString kFrameKey = QStringLiteral("frame");
const QString kFrameEnabledKey = QStringLiteral("frameEnabled");
const QString kMaskEnabledKey = QStringLiteral("maskEnabled");
const QString kMaskNameKey = QStringLiteral("maskName");
const QString kEffectNameKey = QStringLiteral("effectName");
const QString kPhotoRotationKey = QStringLiteral("photoRotation");
const QString kRoundCornerRadiusKey = QStringLiteral("roundCornerRadius");
const QString kFrameScaleKey = QStringLiteral("scale");

const QStringList kImageExtensions = {QStringLiteral("jpng"), QStringLiteral("jpg"), QStringLiteral("png")};

kx::Value nilForNull(const QString& s) { return s.isNull() ? kx::Value() : kx::Value(s); }

bool isFiniteRect(const kx::Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

double shorterSide(const kx::Size& size) { return std::min(size.width, size.height); }

QString resourceFolder() { return kx::Bundle::main().resourcePath(); }

// The name of the folder that holds the file ("" for a file at the root).
QString parentFolderName(const QString& path) {
    return QFileInfo(QFileInfo(path).path()).fileName();
}

// The first existing of RES/<category>/<folder>/<name> with the image extensions, where <folder> is the
// file's folder name and <name> its name without extension.
QString resourceWithSameName(const QString& category, const QString& stored) {
    const QString folder = parentFolderName(stored);
    const QString name = deletingPathExtension(lastPathComponent(stored));
    if (folder.isEmpty() || name.isEmpty() || folder == QLatin1String("..") || name == QLatin1String(".."))
        return {};
    return firstExistingPathWithExtensions(resourceFolder() + category + QLatin1Char('/') + folder +
                                               QLatin1Char('/') + name,
                                           kImageExtensions);
}

// One axis of a crop rectangle: position and length in fractions of the image.
struct Span {
    double pos, len;
};

// Fits a crop to a new aspect along one axis: `fit` gets the length that gives the aspect, `other` keeps
// its length where it can (other = fit x k, k being the other axis's length per unit of this one in the
// image). The new length is centred on the old one and pushed back inside the image; a length of the whole
// image instead keeps the other axis centred.
void fitCropAxis(Span& fit, Span& other, double k) {
    double len = other.len / k;
    if (len >= 1) {
        fit = {0, 1};
        other = {other.pos + (other.len - k) / 2, k};
        return;
    }
    double pos = fit.pos + (fit.len - len) / 2;
    if (pos < 0) {
        len += pos;
        pos = 0;
        other.len = len * k;
    }
    if (pos + len > 1) {
        pos = 1 - len;
        other.len = len * k;
    }
    fit = {pos, len};
}

}  // namespace

// ---- life ----

KXPhoto::KXPhoto() {
    m_internetImageToken = kx::NotificationCenter::defaultCenter().addObserver(
        KXCacheDidLoadingInternetImage, nullptr,
        [this](const kx::Notification& note) { cacheDidLoadingInternetImage(note.sender); });
}

std::shared_ptr<KXPhoto> KXPhoto::photoWithOwner(kx::ShapeFieldOwner* owner) {
    auto photo = std::make_shared<KXPhoto>();
    photo->setOwner(owner);
    photo->m_frameEnabled = true;
    photo->m_maskEnabled = true;
    photo->setVariableFilter(std::make_shared<KXPhotoFilter>());
    photo->setFrame(std::make_shared<KXFrame>(KXFrameStyleExpandable));
    return photo;
}

KXPhoto::~KXPhoto() {
    m_internetImageToken = kx::NotificationToken();
    setOwner(nullptr);
    giveUpCacheUse();
    if (m_frame)
        m_frame->removeObserver(this);
    if (m_variableFilter)
        m_variableFilter->removeObserver(this);
}

KXGraph* KXPhoto::ownerGraph() const {
    return dynamic_cast<KXGraph*>(owner());
}

// ---- observation ----

QStringList KXPhoto::announcedKeys() const {
    return {kImagePathKey,   kCropRectKey,      kFrameKey,          kFrameEnabledKey,     kMaskEnabledKey,
            kMaskNameKey,    kEffectNameKey,    kPhotoRotationKey,  kRoundCornerRadiusKey};
}

void KXPhoto::addObserver(kx::KeyObserver* observer) {
    for (const QString& key : announcedKeys())
        kx::Observable::addObserver(observer, key);
}

void KXPhoto::removeObserver(kx::KeyObserver* observer) {
    for (const QString& key : announcedKeys())
        kx::Observable::removeObserver(observer, key);
}

const kx::PropertyTable& KXPhoto::propertyTable() const {
    using P = KXPhoto;
    static const kx::PropertyTable table = [] {
        kx::PropertyTable t;
        t.add<P>(
            kImagePathKey, [](const P& p) { return nilForNull(p.imagePath()); },
            [](P& p, const kx::Value& v) { p.setImagePath(v.toString()); });
        t.add<P>(
            kCropRectKey, [](const P& p) { return kx::Value(p.cropRect()); },
            [](P& p, const kx::Value& v) { p.setCropRect(v.toRect()); });
        t.add<P>(
            kFrameKey, [](const P& p) { return p.frame() ? kx::Value(p.frame()) : kx::Value(); },
            [](P& p, const kx::Value& v) { p.setFrame(v.objectAs<KXFrame>()); });
        t.add(kFrameEnabledKey, &P::isFrameEnabled, &P::setFrameEnabled);
        t.add(kMaskEnabledKey, &P::isMaskEnabled, &P::setMaskEnabled);
        t.add<P>(
            kMaskNameKey, [](const P& p) { return nilForNull(p.maskName()); },
            [](P& p, const kx::Value& v) { p.setMaskName(v.toString()); });
        t.add<P>(
            kEffectNameKey, [](const P& p) { return nilForNull(p.effectName()); },
            [](P& p, const kx::Value& v) { p.setEffectName(v.toString()); });
        t.add(kPhotoRotationKey, &P::photoRotation, &P::setPhotoRotation);
        t.add(kRoundCornerRadiusKey, &P::roundCornerRadius, &P::setRoundCornerRadius);
        return t;
    }();
    return table;
}

void KXPhoto::observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                           const kx::Value& newValue) {
    KXGraph* graph = ownerGraph();
    KXCanvas* page = graph ? graph->canvas() : nullptr;
    auto registerStep = [&] {
        if (!page || !page->undoManager().isUndoRegistrationEnabled())
            return;
        // The step keeps the changed object alive for as long as it may be undone.
        std::shared_ptr<kx::Object> keep = object ? object->weak_from_this().lock() : nullptr;
        std::weak_ptr<kx::Object> self = weak_from_this();
        page->undoManager().registerUndo(this, [self, key, object, keep, oldValue] {
            if (auto photo = std::dynamic_pointer_cast<KXPhoto>(self.lock()))
                photo->changeKeyPath(key, object, oldValue);
        });
    };
    if (key == kFrameScaleKey && object == m_frame.get()) {
        if (graph)
            graph->textWrapRectChanged();
        registerStep();
        return;
    }
    // Filter values: only a change that survives single precision counts.
    if (float(oldValue.toDouble()) == float(newValue.toDouble()))
        return;
    registerStep();
    updateRenderImage();
    setNeedsDisplay();
}

void KXPhoto::changeKeyPath(const QString& key, kx::Observable* object, const kx::Value& value) {
    if (object)
        object->setValueForKey(key, value);
}

// ---- fields ----

void KXPhoto::takeCacheUse() {
    if (m_imagePath.isEmpty())
        return;
    // The entry and the use in one step: between a separate look-up and retain, another holder's last
    // removal could clear the entry, and this photo would later give up a use it never had.
    m_holdsImageUse = KXCacheManager::cacheManager().retainedCacheWithPath(m_imagePath) != nullptr;
}

void KXPhoto::giveUpCacheUse() {
    if (!m_holdsImageUse)
        return;
    m_holdsImageUse = false;
    KXCacheManager::cacheManager().removeCacheWithPath(m_imagePath);
}

void KXPhoto::setImagePath(const QString& path) {
    giveUpCacheUse();
    const kx::Value old = nilForNull(m_imagePath);
    m_imagePath = path;
    takeCacheUse();
    didChangeValue(kImagePathKey, old, nilForNull(m_imagePath));
    updateRenderImage();
    updateCropRect();
    kx::NotificationCenter::defaultCenter().post(KXPhotoPathChanged, this);
}

void KXPhoto::setMaskName(const QString& path) {
    const kx::Value old = nilForNull(m_maskName);
    m_maskName = path;
    if (path.isEmpty()) {
        m_maskImage = kx::Image();
    } else {
        const kx::Image image = loadSharedImageFromFile(path);
        m_maskImage = image.isGray() || image.format() == kx::Image::Format::Alpha ? image : convertImageToGray(image);
    }
    didChangeValue(kMaskNameKey, old, nilForNull(m_maskName));
}

void KXPhoto::setEffectName(const QString& name) {
    const kx::Value old = nilForNull(m_effectName);
    m_effectName = name;
    didChangeValue(kEffectNameKey, old, nilForNull(m_effectName));
    updateRenderImage();
}

void KXPhoto::setPhotoRotation(std::int64_t degrees) {
    setProperty(kPhotoRotationKey, m_photoRotation, degrees);
    KXGraph* graph = ownerGraph();
    KXCanvas* page = graph ? graph->canvas() : nullptr;
    if (page) {
        kx::UndoDisabler noUndo(page->undoManager());
        setCropRect(kx::Rect());
    } else {
        setCropRect(kx::Rect());
    }
    updateRenderImage();
    updateCropRect();
}

void KXPhoto::setCropRect(const kx::Rect& rect) {
    setProperty(kCropRectKey, m_cropRect, isFiniteRect(rect) ? rect : kx::Rect());
}

void KXPhoto::setRoundCornerRadius(std::int64_t radius) {
    setProperty(kRoundCornerRadiusKey, m_roundCornerRadius, radius);
}

void KXPhoto::setFrameEnabled(bool enabled) {
    setProperty(kFrameEnabledKey, m_frameEnabled, enabled);
}

void KXPhoto::setMaskEnabled(bool enabled) {
    setProperty(kMaskEnabledKey, m_maskEnabled, enabled);
}

void KXPhoto::setFrame(std::shared_ptr<KXFrame> frame) {
    const kx::Value old = m_frame ? kx::Value(m_frame) : kx::Value();
    if (m_frame)
        m_frame->removeObserver(this);
    m_frame = std::move(frame);
    if (m_frame)
        m_frame->addObserver(this);
    didChangeValue(kFrameKey, old, m_frame ? kx::Value(m_frame) : kx::Value());
    if (m_frame && m_frame->style() == KXFrameStyleSingleImage)
        updateCropRect();
}

void KXPhoto::setVariableFilter(std::shared_ptr<KXPhotoFilter> filter) {
    if (m_variableFilter)
        m_variableFilter->removeObserver(this);
    m_variableFilter = std::move(filter);
    if (m_variableFilter)
        m_variableFilter->addObserver(this);
}

kx::Size KXPhoto::maskImageSize() const {
    return m_maskImage.isNull() ? kx::Size() : m_maskImage.pixelSize();
}

bool KXPhoto::isEmpty() const {
    return m_imagePath.isEmpty() && m_renderImage.isNull();
}

bool KXPhoto::isClipart() const {
    const QString& p = m_imagePath;
    if (!p.contains(QLatin1String("/Clipart/")))
        return false;
    return p.contains(resourceFolder() + QStringLiteral("/Clipart/")) ||
           p.contains(QLatin1String("Contents/Resources/Clipart")) ||
           p.contains(QLatin1String("Custom Resources/Clipart")) ||
           (p.contains(QLatin1String("/Boxes/")) && p.contains(QLatin1String("/Caches/")));
}

// ---- geometry ----

bool KXPhoto::hasUsableMargins() const {
    // Margins are in frame-image pixels: without the image they scale to nothing sensible.
    return m_frameEnabled && m_frame && m_frame->hasMargin() && m_frame->margin() &&
           m_frame->frameImage().width() > 0 && m_frame->frameImage().height() > 0;
}

kx::Rect KXPhoto::marginRect(const kx::Rect& r) const {
    const std::shared_ptr<KXFrameMargin> margin = m_frame->margin();
    const double fw = m_frame->frameImage().width();
    const double fh = m_frame->frameImage().height();
    const double w = r.size.width, h = r.size.height;
    const double left = std::trunc(w * margin->left() / fw);
    const double right = std::trunc(w * margin->right() / fw);
    const double top = std::trunc(h * margin->top() / fh);
    const double bottom = std::trunc(h * margin->bottom() / fh);
    return {r.origin.x + left, r.origin.y + bottom, w - (right + left), h - (top + bottom)};
}

kx::Rect KXPhoto::reducedRect(const kx::Rect& rect, const kx::Size& referenceSize) const {
    const KXGraph* graph = ownerGraph();
    if (graph && graph->isStrokeEnabled() && graph->stroke()) {
        const double d = std::trunc(graph->stroke()->borderWidthWithReference(shorterSide(referenceSize), 1) / 2);
        if (std::isfinite(d))
            return {rect.origin.x + d, rect.origin.y + d, rect.size.width - 2 * d, rect.size.height - 2 * d};
        return rect;
    }
    if (hasUsableMargins())
        return marginRect(rect);
    return rect;
}

kx::Rect KXPhoto::visisbleRect() const {
    const KXGraph* graph = ownerGraph();
    if (!graph)
        return {};
    const KXCanvas* page = graph->canvas();
    return reducedRect(graph->frameRect(), page ? page->previewSize() : kx::Size());
}

kx::Rect KXPhoto::fullImageRect(const kx::Rect& rect, bool storeCrop) {
    if (m_renderImage.isNull() || rect.isEmpty())
        return rect;
    const KXGraph* graph = ownerGraph();
    const KXCanvas* page = graph ? graph->canvas() : nullptr;
    const kx::Rect v = reducedRect(rect, page ? page->previewSize() : kx::Size());
    // Margins or a border that leave no area: there is nothing to place the image in.
    if (!(v.size.width > 0) || !(v.size.height > 0))
        return v;
    const kx::Size image = m_renderImage.pixelSize();
    kx::Size s;
    kx::Point o;
    if (!(m_cropRect.size.width > 0) || !(m_cropRect.size.height > 0)) {
        s = aspectFillSize(image, v.size);
        o = {float((s.width - v.size.width) / 2), float((s.height - v.size.height) / 2)};
        if (storeCrop)
            setCropRect({o.x / s.width, o.y / s.height, v.size.width / s.width, v.size.height / s.height});
    } else {
        s = {v.size.width / m_cropRect.size.width, v.size.height / m_cropRect.size.height};
        o = {float(m_cropRect.origin.x * s.width), float(m_cropRect.origin.y * s.height)};
    }
    return {v.origin.x - o.x, v.origin.y - o.y, s.width, s.height};
}

kx::Rect KXPhoto::fullImageRectWithFrame(const kx::Rect& rect) {
    return fullImageRect(rect, true);
}

kx::Rect KXPhoto::fullImageRectForDrawing(const kx::Rect& rect) const {
    return const_cast<KXPhoto*>(this)->fullImageRect(rect, false);
}

void KXPhoto::updateCropRect() {
    if (isEmpty())
        return;
    const KXGraph* graph = ownerGraph();
    if (!graph)
        return;
    const KXCanvas* page = graph->canvas();
    const kx::Rect v = reducedRect(graph->actualRect(), page ? page->pixelSize() : kx::Size());
    if (!(v.size.width > 0) || !(v.size.height > 0))
        return;
    const double W = m_renderImage.width();
    const double H = m_renderImage.height();
    const kx::Rect c = m_cropRect;
    if (c.size.height * H == 0)
        return;
    const double b = v.size.width / v.size.height;
    const float af = float((c.size.width * W) / (c.size.height * H));
    const float bf = float(b);
    Span xs{c.origin.x, c.size.width};
    Span ys{c.origin.y, c.size.height};
    if (af > bf)
        fitCropAxis(ys, xs, H * b / W);  // too wide: choose the height, the width follows
    else if (af < bf)
        fitCropAxis(xs, ys, W / (H * b));  // too tall: choose the width, the height follows
    else
        return;
    setCropRect({xs.pos, ys.pos, xs.len, ys.len});
}

// ---- notifications ----

void KXPhoto::cacheDidLoadingInternetImage(const void* sender) {
    // A photo without a path, or one that holds no entry, has nothing that can have loaded.
    if (m_imagePath.isEmpty() || !m_holdsImageUse || !sender)
        return;
    const KXCachePtr cache = KXCacheManager::cacheManager().cacheWithPath(m_imagePath);
    if (cache.get() != sender)
        return;
    updateRenderImage();
    setNeedsDisplay();
}

// ---- archive ----

void KXPhoto::encodeWithCoder(kx::KeyedArchiver& coder) const {
    coder.encodeObject(nilForNull(m_imagePath), QStringLiteral("imagePath"));
    coder.encodeBool(m_imagePath.contains(resourceFolder() + QStringLiteral("/Clipart")), QStringLiteral("isClipart"));
    coder.encodeRect(m_cropRect, QStringLiteral("cropRect"));
    coder.encodeInteger(m_photoRotation, QStringLiteral("photoRotation"));
    coder.encodeInteger(m_roundCornerRadius, QStringLiteral("roundCornerRadius"));
    coder.encodeObject(nilForNull(m_effectName), QStringLiteral("effectName"));
    coder.encodeBool(m_maskEnabled, QStringLiteral("maskEnabled"));
    coder.encodeObject(nilForNull(m_maskName), QStringLiteral("maskImagePath"));
    coder.encodeBool(m_frameEnabled, QStringLiteral("frameEnabled"));
    coder.encodeObject(m_frame ? nilForNull(m_frame->name()) : kx::Value(), QStringLiteral("frameName"));
    coder.encodeFloat(m_frame ? float(m_frame->scale()) : 1.0f, QStringLiteral("frameScale"));
    coder.encodeObject(m_variableFilter ? kx::Value(m_variableFilter) : kx::Value(), QStringLiteral("variableFilter"));
}

QString KXPhoto::resolveArchivedImagePath(const QString& stored) {
    if (stored.contains(QLatin1String("/Caches/")) && stored.contains(QLatin1String("/Boxes/")))
        return stored;
    if (!fileExists(stored))
        return stored;
    const QString category = QFileInfo(stored).path();
    if (QFileInfo(category).path() == category ||
        QFileInfo(QFileInfo(category).path()).fileName().toLower() != QLatin1String("clipart"))
        return stored;
    // An existing clip-art inside some application's resources: this application's own copy when it has
    // one; otherwise the stored file itself, which exists and may be the user's own.
    const QString replacement = resourceWithSameName(QStringLiteral("/Clipart"), stored);
    return replacement.isEmpty() ? stored : replacement;
}

QString KXPhoto::resolveArchivedMaskPath(const QString& stored) {
    if (fileExists(stored))
        return stored;
    const QString replacement = resourceWithSameName(QStringLiteral("/Mask"), stored);
    return replacement.isEmpty() ? stored : replacement;
}

std::shared_ptr<KXFrame> KXPhoto::resolveArchivedFrame(const QString& stored, double scale) {
    const QString n = deletingPathExtension(lastPathComponent(stored));
    const QString frames = resourceFolder() + QStringLiteral("/Frame/");
    // An expandable frame is named by its folder, or by a file inside its own folder (which is what this
    // reading names it by, so that a saved expandable frame reads back as one).
    const bool validName = !n.isEmpty() && n != QLatin1String(".") && n != QLatin1String("..");
    const bool expandable =
        isDirectory(stored) || (validName && parentFolderName(stored) == n && isDirectory(frames + n) &&
                                fileExists(frames + n + QLatin1Char('/') + n + QStringLiteral(".xml")));
    if (expandable) {
        QString name;
        if (validName) {
            name = firstExistingPathWithExtensions(frames + n + QLatin1Char('/') + n, kImageExtensions);
            // A frame folder without a preview image of its own name is named by the folder itself.
            if (name.isEmpty() && isDirectory(frames + n))
                name = frames + n;
        }
        return KXFrame::frameWithName(name, scale == 0 ? 1 : scale);
    }
    const QString folder = parentFolderName(stored);
    const QString file = lastPathComponent(stored);
    QString candidate;
    if (!folder.isEmpty() && folder != QLatin1String("..") && !file.isEmpty() && file != QLatin1String(".."))
        candidate = frames + folder + QLatin1Char('/') + file;
    return KXFrame::frameWithName(!candidate.isEmpty() && fileExists(candidate) ? candidate : stored);
}

void KXPhoto::initWithCoder(kx::KeyedUnarchiver& coder) {
    setPhotoRotation(coder.decodeInteger(QStringLiteral("photoRotation")));
    setEffectName(coder.decodeObjectOfType(QStringLiteral("effectName"), kx::Value::Type::String).toString());
    setVariableFilter(coder.decodeObjectOfClass<KXPhotoFilter>(QStringLiteral("variableFilter")));
    setCropRect(coder.decodeRect(QStringLiteral("cropRect")));

    const kx::Value imagePath = coder.decodeObjectOfType(QStringLiteral("imagePath"), kx::Value::Type::String);
    if (!imagePath.isNil())
        setImagePath(resolveArchivedImagePath(imagePath.toString()));

    m_roundCornerRadius = coder.decodeInteger(QStringLiteral("roundCornerRadius"));
    setMaskEnabled(coder.decodeBool(QStringLiteral("maskEnabled")));

    const kx::Value mask = coder.decodeObjectOfType(QStringLiteral("maskImagePath"), kx::Value::Type::String);
    setMaskName(mask.isNil() ? QString() : resolveArchivedMaskPath(mask.toString()));

    setFrameEnabled(coder.decodeBool(QStringLiteral("frameEnabled")));

    const kx::Value frameName = coder.decodeObjectOfType(QStringLiteral("frameName"), kx::Value::Type::String);
    if (!frameName.isNil()) {
        double scale = coder.decodeFloat(QStringLiteral("frameScale"));
        if (!std::isfinite(scale))
            scale = 1;
        setFrame(resolveArchivedFrame(frameName.toString(), scale));
    }
}

std::shared_ptr<KXPhoto> KXPhoto::copy() const {
    return kx::archiveCopy(*this);
}
