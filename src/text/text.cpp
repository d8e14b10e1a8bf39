#include "text/text.h"

#include "graphics/color_utilities.h"
#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "model/column_info.h"
#include "model/graph_render.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/undo_manager.h"
#include "text/column_fit.h"

#include <cmath>

namespace {
const QString kVerticalAlignmentKey = QStringLiteral("verticalAlignment");
const QString kTextMarginKey = QStringLiteral("textMargin");
const QString kTextMarginEnabledKey = QStringLiteral("textMarginEnabled");
const QString kOutlineEnabledKey = QStringLiteral("outlineEnabled");
const QString kOutlineWidthKey = QStringLiteral("outlineWidth");
const QString kOutlineColorValueKey = QStringLiteral("outlineColorValue");
const QString kGlowEnabledKey = QStringLiteral("glowEnabled");
const QString kGlowBlurKey = QStringLiteral("glowBlur");
const QString kGlowRadiusKey = QStringLiteral("glowRadius");
const QString kGlowColorValueKey = QStringLiteral("glowColorValue");
const QString kTextContainersKey = QStringLiteral("textContainers");
const QString kTextStringKey = QStringLiteral("textString");
const QString kColumnCountKey = QStringLiteral("columnCount");
const QString kColumnInfosKey = QStringLiteral("columnInfos");
const QString kEqualColumnWidthKey = QStringLiteral("equalColumnWidth");

// The new container's size: large enough never to cut a line.
constexpr double kInitialContainerSide = 1000000;
// Columns a stored text may ask for; more are not laid out.
constexpr std::int64_t kMaxColumns = 64;

// A 32-bit packed colour widened with its sign, as the field holds it.
std::int64_t widenedRGBA(int red, int green, int blue, int alpha) {
    return std::int64_t(makeRGBA(red, green, blue, alpha));
}

// A double stored as an integer field reads back as a finite number; anything else as the default.
double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}
}  // namespace

KXText::KXText()
    : m_outlineColorValue(widenedRGBA(113, 185, 255, 255)), m_glowColorValue(widenedRGBA(255, 206, 101, 255)) {}

KXText::~KXText() {
    if (m_textStorage && m_storageObserver)
        m_textStorage->removeEditObserver(m_storageObserver);
}

bool isDrawableTextRect(const kx::Rect& r) {
    return !r.isNull() && !r.isEmpty() && r.size.width >= 1 && r.size.height >= 1 && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height) && std::isfinite(r.origin.x) && std::isfinite(r.origin.y);
}

std::shared_ptr<KXText> KXText::initWithOwner(kx::ShapeFieldOwner* owner, const QString& string) {
    return makeWithOwner<KXText>(owner, string);
}

kx::TextAttributes KXText::defaultAttributes() {
    kx::TextAttributes a;
    a.font = kx::Font(QStringLiteral("LucidaGrande"), QStringLiteral("Lucida Grande"), QStringLiteral("Regular"), 72);
    a.foregroundColor = kx::Color::srgb(0, 0, 0, 1);
    kx::ParagraphStyle style;
    style.alignment = kx::TextAlignment::Left;
    style.lineBreakMode = 0;
    a.paragraphStyle = style;
    return a;
}

void KXText::initTextStorageWithString(const QString& string) {
    attachStorage(std::make_shared<kx::TextStorage>(kx::AttributedString(string, defaultAttributes())));
}

void KXText::attachStorage(std::shared_ptr<kx::TextStorage> storage) {
    if (m_textStorage && m_storageObserver)
        m_textStorage->removeEditObserver(m_storageObserver);
    m_textStorage = std::move(storage);
    m_storageObserver = m_textStorage->addEditObserver([this](const kx::TextEdit&) { textStorageDidProcessEditing(); });
    if (m_layoutManager)
        m_layoutManager->setTextStorage(m_textStorage);
}

std::unique_ptr<KXTextView> KXText::makeView(const kx::Rect& frame, std::shared_ptr<KXTextContainer> container) {
    auto view = std::make_unique<KXTextView>(frame, std::move(container));
    view->setOwner(this);
    if (m_textStorage && m_textStorage->length() > 0)
        view->setTypingAttributes(m_textStorage->attributedString().attributesAt(0));
    return view;
}

void KXText::initTextContainers() {
    m_textContainers.clear();
    m_textViews.clear();
    auto container = KXTextContainer::initWithContainerSize({kInitialContainerSide, kInitialContainerSide});
    m_layoutManager = std::make_unique<kx::TextLayoutManager>();
    m_layoutManager->addTextContainer(container);
    m_layoutManager->setTextStorage(m_textStorage);
    m_textContainers.push_back(container);
    kx::Rect frame;
    if (KXShape* shape = ownerShape())
        frame = roundRectComponents(shape->frameRect());
    frame.origin = {0, 0};
    m_textViews.push_back(makeView(frame, container));
}

void KXText::initColumnInfo() {
    m_columnCount = 1;
    m_columnInfos = {KXColumnInfo::columnInfoWithWidth(1, 0)};
}

void KXText::setColumnInfos(std::vector<std::shared_ptr<KXColumnInfo>> infos) {
    std::erase(infos, nullptr);
    if (infos.empty())
        infos.push_back(KXColumnInfo::columnInfoWithWidth(1, 0));
    m_columnInfos = std::move(infos);
    m_columnCount = std::int64_t(m_columnInfos.size());
    ensureColumns();
}

void KXText::ensureColumns() {
    if (!m_layoutManager) {
        m_layoutManager = std::make_unique<kx::TextLayoutManager>();
        m_layoutManager->setTextStorage(m_textStorage);
    }
    const std::size_t wanted = std::size_t(std::clamp<std::int64_t>(m_columnCount, 0, kMaxColumns));
    while (m_textContainers.size() < wanted) {
        auto container = KXTextContainer::initWithContainerSize({kInitialContainerSide, kInitialContainerSide});
        m_layoutManager->addTextContainer(container);
        m_textContainers.push_back(container);
    }
    while (m_textViews.size() < m_textContainers.size())
        m_textViews.push_back(makeView({}, m_textContainers[m_textViews.size()]));
}

int KXText::containerIndex(int column) const {
    return m_layoutManager ? m_layoutManager->indexOfTextContainer(m_textContainers[std::size_t(column)].get()) : -1;
}

kx::TextStorage& KXText::textStorage() {
    if (!m_textStorage)
        attachStorage(std::make_shared<kx::TextStorage>());
    return *m_textStorage;
}

bool KXText::isEmpty() const {
    return !m_textStorage || m_textStorage->string().isEmpty();
}

kx::TextRange KXText::selectedRange() const {
    if (isEmpty())
        return {KXTextNotFound, 0};
    return {0, m_textStorage->length()};
}

kx::TextAttributes KXText::currentAttributes() const {
    if (isEmpty())
        return m_textViews.empty() ? kx::TextAttributes() : m_textViews.front()->typingAttributes();
    return m_textStorage->attributedString().attributesAt(0);
}

double KXText::singleFontWidth() const {
    return kx::measureString(QStringLiteral("M"), currentAttributes()).width;
}

// ---- owner ----

KXShape* KXText::ownerShape() const {
    return dynamic_cast<KXShape*>(owner());
}

KXCanvas* KXText::ownerCanvas() const {
    KXShape* shape = ownerShape();
    return shape ? shape->canvas() : nullptr;
}

double KXText::zoom() const {
    KXCanvas* canvas = ownerCanvas();
    return canvas ? canvas->zoomValue() : 0;
}

// ---- settings ----

void KXText::setVerticalAlignment(std::uint64_t alignment) {
    if (alignment == m_verticalAlignment)
        return;
    const std::uint64_t old = m_verticalAlignment;
    m_verticalAlignment = alignment;
    didChangeValue(kVerticalAlignmentKey, kx::Value(std::int64_t(old)), kx::Value(std::int64_t(alignment)));
    relayoutText();
    setNeedsDisplay();
}

void KXText::setParagraphAlignment(std::int32_t alignment) {
    if (alignment < 0 || alignment > 4)
        return;  // not an alignment code
    const auto code = kx::TextAlignment(alignment);
    const auto align = [code](kx::TextAttributes& attributes) {
        kx::ParagraphStyle style = attributes.paragraphStyle.value_or(kx::ParagraphStyle());
        style.alignment = code;
        attributes.paragraphStyle = style;
    };
    kx::TextStorage& storage = textStorage();
    if (storage.length() > 0)
        storage.modifyAttributes(kx::TextRange{0, storage.length()}, align);
    for (const auto& view : m_textViews) {
        kx::TextAttributes typing = view->typingAttributes();
        align(typing);
        view->setTypingAttributes(typing);
    }
    relayoutText();
    setNeedsDisplay();
}

void KXText::setTextMarginEnabled(bool enabled) { setProperty(kTextMarginEnabledKey, m_textMarginEnabled, enabled); }
void KXText::setTextMargin(double margin) { setProperty(kTextMarginKey, m_textMargin, margin); }
void KXText::setOutlineEnabled(bool enabled) { setProperty(kOutlineEnabledKey, m_outlineEnabled, enabled); }
void KXText::setOutlineWidth(double width) { setProperty(kOutlineWidthKey, m_outlineWidth, width); }
void KXText::setOutlineColorValue(std::int64_t value) { setProperty(kOutlineColorValueKey, m_outlineColorValue, value); }
void KXText::setGlowEnabled(bool enabled) { setProperty(kGlowEnabledKey, m_glowEnabled, enabled); }
void KXText::setGlowBlur(double blur) { setProperty(kGlowBlurKey, m_glowBlur, blur); }
void KXText::setGlowRadius(double radius) { setProperty(kGlowRadiusKey, m_glowRadius, radius); }
void KXText::setGlowColorValue(std::int64_t value) { setProperty(kGlowColorValueKey, m_glowColorValue, value); }

void KXText::setNeedsDisplay() {
    if (!m_textDrawing)
        KXShapeField::setNeedsDisplay();
}

void KXText::textStorageDidProcessEditing() {
    if (m_textDrawing)
        return;
    setNeedsDisplay();
    kx::NotificationCenter::defaultCenter().post(kx::kTextStorageDidProcessEditingNotification, this);
}

// ---- wrap ----

std::vector<KXGraph*> KXText::wrapGraphs() const {
    std::vector<KXGraph*> graphs;
    if (!m_textContainers.empty())
        for (const std::shared_ptr<KXGraph>& g : m_textContainers.front()->wrapObjects())
            graphs.push_back(g.get());
    return graphs;
}

void KXText::updateWrapRect() {
    KXShape* shape = ownerShape();
    KXCanvas* canvas = ownerCanvas();
    if (!canvas || m_textContainers.empty())
        return;
    KXCanvas::GraphList found = canvas->graphsIntersectWithGraph(shape);
    if (found.empty() && m_textContainers.front()->wrapObjects().empty())
        return;
    m_textContainers.front()->setWrapObjects(std::move(found));
    if (KXGraphRender* render = shape->render())
        render->setNeedsDisplayGraph(shape);
}

// ---- links ----

std::optional<QUrl> KXText::linkStringAtPoint(const kx::Point& point) {
    KXShape* shape = ownerShape();
    KXCanvas* canvas = ownerCanvas();
    const double z = zoom();
    if (!shape || !canvas || !(z > 0) || !std::isfinite(z) || m_textContainers.empty() || !m_layoutManager)
        return std::nullopt;
    kx::Point p = point;
    if (shape->isStrokeEnabled() && shape->stroke()) {
        const KXStroke& stroke = *shape->stroke();
        const kx::Size preview = canvas->previewSize();
        const double width = stroke.type() != 0
                                 ? stroke.borderWidthWithReference(std::min(preview.width, preview.height), 1)
                                 : stroke.width() * z;
        if (std::isfinite(width)) {
            p.x -= width / 2;
            p.y -= width / 2;
        }
    }
    double y = p.y / z - m_textDrawPoint.y;
    double x = p.x / z;
    if (!std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;
    double previousWidth = 0;
    const kx::AttributedString& text = textStorage().attributedString();
    for (std::size_t i = 0; i < m_textContainers.size(); ++i) {
        const int index = containerIndex(int(i));
        if (index < 0)
            continue;
        kx::Rect b = m_layoutManager->boundingRect({0, text.length()}, index);
        b.size.width = std::min(b.size.width, m_textContainers[i]->size().width);
        x -= previousWidth;
        previousWidth = b.size.width;
        if (!b.contains(kx::Point(x, y)))
            continue;
        if (m_layoutManager->characterRangeInRect({x, y, 1, 1}, index).length == 0)
            continue;
        const qsizetype c = m_layoutManager->characterIndexAt({x, y}, index);
        if (c < 0 || c >= text.length())
            continue;
        const std::optional<QString>& link = text.attributesAt(c).link;
        if (!link || link->isEmpty())
            continue;
        // A link is either a web address without a scheme, which gets one, or an address with its own
        // scheme, which is kept (putting the plain web scheme in front of it would break it).
        QString address = *link;
        static const QString kScheme = QStringLiteral("http://");
        const QUrl given(address, QUrl::StrictMode);
        if (!address.contains(kScheme) && !(given.isValid() && !given.scheme().isEmpty() && address.contains(u':')))
            address.prepend(kScheme);
        const QUrl url(address, QUrl::StrictMode);
        if (!url.isValid() || (url.host().isEmpty() && url.path().isEmpty()))
            continue;
        return url;
    }
    return std::nullopt;
}

// ---- undo ----

void KXText::undoString(const kx::AttributedString& text, const kx::AttributedString& redo) {
    textStorage().setAttributedString(text);
    KXCanvas* canvas = ownerCanvas();
    if (!canvas)
        return;
    std::weak_ptr<kx::Object> weak = weak_from_this();
    canvas->undoManager().registerUndo(this, [weak, redo, text] {
        if (auto self = std::dynamic_pointer_cast<KXText>(weak.lock()))
            self->undoString(redo, text);
    });
}

// ---- observation ----

QStringList KXText::announcedKeys() const {
    return {kVerticalAlignmentKey, kTextMarginKey,    kTextMarginEnabledKey, kOutlineEnabledKey,
            kOutlineWidthKey,      kOutlineColorValueKey, kGlowEnabledKey,   kGlowBlurKey,
            kGlowRadiusKey,        kGlowColorValueKey};
}

void KXText::addObserver(kx::KeyObserver* observer) {
    if (!observer)
        return;
    for (const QString& key : KXText::announcedKeys())
        kx::Observable::addObserver(observer, key);
}

void KXText::removeObserver(kx::KeyObserver* observer) {
    if (!observer)
        return;
    for (const QString& key : KXText::announcedKeys())
        kx::Observable::removeObserver(observer, key);
}

const kx::PropertyTable& KXText::propertyTable() const {
    using T = KXText;
    static const kx::PropertyTable table = [] {
        kx::PropertyTable t;
        t.add<T>(
            kVerticalAlignmentKey, [](const T& text) { return kx::Value(std::int64_t(text.verticalAlignment())); },
            [](T& text, const kx::Value& v) { text.setVerticalAlignment(std::uint64_t(v.toInteger())); });
        t.add(kTextMarginKey, &T::textMargin, &T::setTextMargin);
        t.add(kTextMarginEnabledKey, &T::isTextMarginEnabled, &T::setTextMarginEnabled);
        t.add(kOutlineEnabledKey, &T::isOutlineEnabled, &T::setOutlineEnabled);
        t.add(kOutlineWidthKey, &T::outlineWidth, &T::setOutlineWidth);
        t.add(kOutlineColorValueKey, &T::outlineColorValue, &T::setOutlineColorValue);
        t.add(kGlowEnabledKey, &T::isGlowEnabled, &T::setGlowEnabled);
        t.add(kGlowBlurKey, &T::glowBlur, &T::setGlowBlur);
        t.add(kGlowRadiusKey, &T::glowRadius, &T::setGlowRadius);
        t.add(kGlowColorValueKey, &T::glowColorValue, &T::setGlowColorValue);
        return t;
    }();
    return table;
}

// ---- archive ----

void KXText::encodeWithCoder(kx::KeyedArchiver& coder) const {
    kx::ValueArray containers;
    for (const std::shared_ptr<KXTextContainer>& c : m_textContainers)
        containers.push_back(kx::Value(std::static_pointer_cast<kx::Object>(c)));
    coder.encodeObject(kx::Value(containers), kTextContainersKey);
    if (m_textStorage)
        coder.encodeObject(*m_textStorage, kTextStringKey);
    else
        coder.encodeObject(kx::TextStorage(), kTextStringKey);
    coder.encodeInteger(m_columnCount, kColumnCountKey);
    kx::ValueArray infos;
    for (const std::shared_ptr<KXColumnInfo>& info : m_columnInfos)
        infos.push_back(kx::Value(std::static_pointer_cast<kx::Object>(info)));
    coder.encodeObject(kx::Value(infos), kColumnInfosKey);
    coder.encodeInteger(std::int64_t(m_verticalAlignment), kVerticalAlignmentKey);
    coder.encodeBool(m_equalColumnWidth, kEqualColumnWidthKey);
    coder.encodeBool(m_outlineEnabled, kOutlineEnabledKey);
    coder.encodeFloat(float(m_outlineWidth), kOutlineWidthKey);
    coder.encodeInt64(m_outlineColorValue, kOutlineColorValueKey);
    coder.encodeBool(m_glowEnabled, kGlowEnabledKey);
    coder.encodeInteger(std::isfinite(m_glowBlur) ? std::int64_t(std::trunc(std::clamp(m_glowBlur, -1e15, 1e15))) : 0,
                        kGlowBlurKey);
    coder.encodeInteger(
        std::isfinite(m_glowRadius) ? std::int64_t(std::trunc(std::clamp(m_glowRadius, -1e15, 1e15))) : 0,
        kGlowRadiusKey);
    coder.encodeInt64(m_glowColorValue, kGlowColorValueKey);
    coder.encodeBool(m_textMarginEnabled, kTextMarginEnabledKey);
    coder.encodeFloat(float(m_textMargin), kTextMarginKey);
}

void KXText::initWithCoder(kx::KeyedUnarchiver& coder) {
    initColumnInfo();
    m_naturalSize = kx::Size();
    std::vector<std::shared_ptr<KXTextContainer>> containers;
    const kx::Value storedContainers = coder.decodeObjectOfType(kTextContainersKey, kx::Value::Type::Array);
    for (const kx::Value& item : storedContainers.toArray()) {
        auto container = item.objectAs<KXTextContainer>();
        if (!container) {
            coder.failWithError(QStringLiteral("a text field's containers must be text containers"));
            return;
        }
        containers.push_back(std::move(container));
    }
    auto storage = coder.decodeObjectOfClass<kx::TextStorage>(kTextStringKey);
    m_columnCount = coder.decodeInteger(kColumnCountKey);
    std::vector<std::shared_ptr<KXColumnInfo>> infos;
    const kx::Value storedInfos = coder.decodeObjectOfType(kColumnInfosKey, kx::Value::Type::Array);
    for (const kx::Value& item : storedInfos.toArray()) {
        auto info = item.objectAs<KXColumnInfo>();
        if (!info) {
            coder.failWithError(QStringLiteral("a text field's column infos must be column infos"));
            return;
        }
        infos.push_back(std::move(info));
    }
    // Stored widths and gutters that add up to more than the text area would draw text outside the field.
    if (!infos.empty())
        m_columnInfos = columnInfosFittingTheArea(infos);
    m_verticalAlignment = std::uint64_t(coder.decodeInt32(kVerticalAlignmentKey));
    m_equalColumnWidth = coder.decodeBool(kEqualColumnWidthKey);
    m_outlineEnabled = coder.decodeBool(kOutlineEnabledKey);
    m_outlineWidth = finiteOr(coder.decodeFloat(kOutlineWidthKey), 30.0);
    m_outlineColorValue = coder.decodeInt64(kOutlineColorValueKey);
    m_glowEnabled = coder.decodeBool(kGlowEnabledKey);
    m_glowBlur = double(coder.decodeInteger(kGlowBlurKey));
    m_glowRadius = double(coder.decodeInteger(kGlowRadiusKey));
    m_glowColorValue = coder.decodeInt64(kGlowColorValueKey);
    m_textMarginEnabled = coder.decodeBool(kTextMarginEnabledKey);
    m_textMargin = finiteOr(coder.decodeFloat(kTextMarginKey), 5.0);
    if (coder.failed())
        return;

    attachStorage(std::make_shared<kx::TextStorage>(storage ? storage->attributedString() : kx::AttributedString()));
    m_layoutManager = std::make_unique<kx::TextLayoutManager>();
    m_textContainers.clear();
    m_textViews.clear();
    for (std::shared_ptr<KXTextContainer>& container : containers) {
        // A container listed twice would be laid out twice over; the second listing gets its own copy.
        if (m_layoutManager->indexOfTextContainer(container.get()) >= 0)
            container = std::make_shared<KXTextContainer>(container->size());
        m_layoutManager->addTextContainer(container);
        m_textContainers.push_back(container);
        m_textViews.push_back(makeView({}, container));
    }
    m_layoutManager->setTextStorage(m_textStorage);
    ensureColumns();
}
