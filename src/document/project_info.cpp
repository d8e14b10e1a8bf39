#include "document/project_info.h"

#include "document/xml_input.h"

#include "graphics/color_utilities.h"
#include "graphics/text_values.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QXmlStreamReader>

#include <cstdint>

namespace {

XMLErrorPresenter& errorPresenter() {
    static XMLErrorPresenter presenter;
    return presenter;
}

void presentError(const QString& message) {
    if (errorPresenter()) {
        errorPresenter()(message);
        return;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QMessageBox alert(QMessageBox::Critical, QString(), message);
        alert.setWindowModality(Qt::ApplicationModal);
        alert.exec();
        return;
    }
    qWarning("XML reader: %s", qUtf8Printable(message));
}

// The values of one element's attributes, each looked up by its exact name.
class Attributes {
public:
    explicit Attributes(const QXmlStreamAttributes& attributes) : m_attributes(attributes) {}

    bool has(QLatin1StringView name) const { return m_attributes.hasAttribute(name); }
    // The text unchanged; null when absent (an empty value is empty, not null).
    QString string(QLatin1StringView name) const {
        return has(name) ? m_attributes.value(name).toString() : QString();
    }
    // The leading integer after white space; 0 when absent or not a number.
    std::int32_t integer(QLatin1StringView name) const { return intValueOfString(string(name)); }
    float real(QLatin1StringView name) const { return floatValueOfString(string(name)); }
    bool boolean(QLatin1StringView name) const { return boolValueOfString(string(name)); }
    // A packed red | green << 8 | blue << 16 value as an opaque colour; black when absent.
    kx::Color color(QLatin1StringView name) const { return cgColorFromRGB(integer(name)); }
    // A 64-bit integer whose low 32 bits are a packed colour with its own alpha.
    kx::Color rgbaColor(QLatin1StringView name) const {
        return cgColorFromRGBA(KXPackedRGBA(std::uint32_t(longLongValueOfString(string(name)))));
    }

private:
    const QXmlStreamAttributes& m_attributes;
};

using L = QLatin1StringView;

void fillInfo(VRTInfo& info, const Attributes& a) {
    info.company = a.string(L("Company"));
    info.version = a.integer(L("Version"));
    info.product = a.string(L("Product"));
}

void fillPage(VRTPage& page, const Attributes& a) {
    page.version = a.integer(L("Version"));
    page.imageSizeX = a.real(L("ImageSizeX"));
    page.imageSizeY = a.real(L("ImageSizeY"));
    page.isLandscape = a.boolean(L("Landscape"));
    page.backDPI = a.integer(L("BackDPI"));
    page.backUnitType = a.integer(L("BackUnitType"));
    page.backDescription = a.string(L("BackDescription"));
    page.isKeepSameSizeInProject = a.boolean(L("KeepSameSizeInProject"));
    page.marginLeft = a.real(L("MarginLeft"));
    page.marginRight = a.real(L("MarginRight"));
    page.marginTop = a.real(L("MarginTop"));
    page.marginBottom = a.real(L("MarginBottom"));
    page.marginDPI = a.integer(L("MarginDPI"));
    page.marginUnitType = a.integer(L("MarginUnitType"));
    page.pageCount = a.integer(L("PageCount"));
}

void fillSceneGraph(VRTSceneGraph& graph, const Attributes& a) {
    graph.imageName = a.string(L("Image"));
    graph.type = a.integer(L("Type"));
    graph.imageType = a.integer(L("ImageType"));
    graph.colorFillType = a.integer(L("ColorFillType"));
    graph.backTextureBrushZoomFactor = a.real(L("BackTextureBrushZoomFactor"));
    graph.textureTransparent = a.real(L("TextureTransparent"));
    graph.fillColor = a.color(L("FillColor"));
    graph.fillColor2 = a.color(L("FillColor2"));
    graph.imageSizeX = a.real(L("ImageSizeX"));
    graph.imageSizeY = a.real(L("ImageSizeY"));
    graph.isLandscape = a.boolean(L("Landscape"));
    graph.backDPI = a.integer(L("BackDPI"));
    graph.backUnitType = a.integer(L("BackUnitType"));
    graph.backDescription = a.string(L("BackDescription"));
    graph.pubPredefineIndex = a.integer(L("PredefineIndex"));
    graph.imageFillType = a.integer(L("CustomImageType"));
    graph.customImagePath = a.string(L("CustomBackgroundImage"));
}

void fillSceneObject(VRTSceneObject& object, const Attributes& a) {
    object.version = a.integer(L("Version"));
    object.type = a.integer(L("Type"));
    object.angle = a.real(L("Angle"));
    object.boundingBoxLeft = a.real(L("BoundingBoxLeft"));
    object.boundingBoxTop = a.real(L("BoundingBoxTop"));
    object.boundingBoxRight = a.real(L("BoundingBoxRight"));
    object.boundingBoxBottom = a.real(L("BoundingBoxBottom"));
    object.isVisible = a.boolean(L("Visible"));
    object.transparent = a.real(L("Transparent"));
}

void fillPhoto(VRTPhotoObject& photo, const Attributes& a) {
    photo.effectName = a.string(L("EffectName"));
    photo.imageName = a.string(L("Image"));
    photo.enableMask = a.boolean(L("EnableMask"));
    photo.maskName = a.string(L("MaskName"));
    photo.enableFrame = a.boolean(L("EnableFrame"));
    photo.frameName = a.string(L("FrameName"));
    photo.borderType = a.boolean(L("BorderType")) ? 1 : 0;
    photo.ColorBorderColor = a.color(L("ColorBorderColor"));
    photo.ColorBorderWidth = a.real(L("ColorBorderWidth"));
    photo.ColorBorderUnit = a.integer(L("ColorBorderUnit"));
    photo.photoRotation = a.real(L("PhotoRotation"));
    photo.cropLeft = a.real(L("CropLeft"));
    photo.cropTop = a.real(L("CropTop"));
    photo.cropRight = a.real(L("CropRight"));
    photo.cropBottom = a.real(L("CropBottom"));
    photo.enableShadow = a.boolean(L("EnableShadow"));
    photo.shadowPrecise = a.integer(L("ShadowPrecise"));
    photo.shadowColor = a.color(L("ShadowColor"));
    photo.shadowAngle = a.real(L("ShadowAngle"));
    photo.shadowAlpha = a.real(L("ShadowAlpha"));
    photo.shadowBlur = a.real(L("ShadowSmooth"));
    photo.shadowOffsetX = a.real(L("ShadowOffsetX"));
    photo.shadowOffsetY = a.real(L("ShadowOffsetY"));
    photo.roundWidth = a.integer(L("RoundWidth"));
}

// An integer attribute that keeps `fallback` when it is absent or reads as 0.
std::int32_t nonZeroInteger(const Attributes& a, QLatin1StringView name, std::int32_t fallback) {
    const std::int32_t value = a.has(name) ? a.integer(name) : 0;
    return value != 0 ? value : fallback;
}

kx::Color colorOr(const Attributes& a, QLatin1StringView name, const kx::Color& fallback) {
    return a.has(name) ? a.color(name) : fallback;
}

void fillText(VRTTextObject& text, const Attributes& a) {
    text.textScaleX = a.real(L("TextScaleX"));
    text.textScaleY = a.real(L("TextScaleY"));
    text.textString = a.has(L("TextString")) ? KXProjectInfo::decodeTextString(a.string(L("TextString"))) : QString();
    text.fontName = a.string(L("lfFaceName"));
    text.charSet = a.integer(L("lfCharSet"));
    text.fontSize = a.real(L("fontSize"));
    text.isItalic = a.boolean(L("lfItalic"));
    text.isUnderline = a.boolean(L("lfUnderline"));
    text.fontColor = a.color(L("fcolor"));
    text.bkColor = a.color(L("bcolor"));
    text.opacity = a.real(L("opacity"));
    text.bkRadius = a.real(L("r_radius"));
    text.opaque = a.real(L("opaque"));
    text.textAlign = a.integer(L("align"));
    text.isOutline = a.boolean(L("b_outline"));
    text.isBold = a.boolean(L("b_bold"));
    text.isVertical = a.boolean(L("b_vertical"));
    text.enableShadow = a.boolean(L("EnableShadow"));
    text.shadowPrecise = a.integer(L("ShadowPrecise"));
    text.shadowColor = a.color(L("ShadowColor"));
    text.shadowAlpha = a.real(L("ShadowAlpha"));
    text.shadowAngle = a.real(L("ShadowAngle"));
    text.shadowBlur = a.real(L("ShadowSmooth"));
    text.shadowOffsetX = a.real(L("ShadowOffsetX"));
    text.shadowOffsetY = a.real(L("ShadowOffsetY"));
    text.isStrokeEnable = a.boolean(L("IsStrokeEnable"));
    text.strokeColor = colorOr(a, L("EffectStrokeColor"), kx::Color::srgb(1, 1, 1, 1));
    text.strokeWidth = nonZeroInteger(a, L("StrokeWidth"), 30);
    text.isGlowEnable = a.boolean(L("IsGlowEnable"));
    text.glowColor = colorOr(a, L("GlowColor"), kx::Color::srgb(1, 0.8, 0.4, 1));
    text.glowPower = nonZeroInteger(a, L("GlowPower"), 11);
    text.glowRadius = nonZeroInteger(a, L("GlowRadius"), 30);
    text.isBkEnable = a.boolean(L("IsBkEnable"));
    text.effectBkColor = colorOr(a, L("EffectBkColor"), kx::Color::srgb(0.6, 0.8, 1, 1));
    text.bkWidth = a.has(L("bkWidth")) ? a.integer(L("bkWidth")) : 5;
    text.isGradient = a.boolean(L("IsGradient"));
    text.isImageFill = a.boolean(L("IsImageFill"));
    text.textColor2 = a.color(L("TextColor2"));
    text.textImagePath = a.string(L("TextImagePath"));
    text.gradientDirection = a.integer(L("GradientDirection"));
}

void fillClipart(VRTClipartObject& clipart, const Attributes& a) {
    clipart.imageName = a.string(L("Image"));
}

// Labels from the attributes prefix0 .. prefix<count - 1>; an absent one keeps its current text.
void fillLabels(QStringList& labels, const Attributes& a, const char* prefix, int count) {
    for (int i = 0; i < count && i < labels.size(); ++i) {
        const QByteArray name = prefix + QByteArray::number(i);
        if (a.has(QLatin1StringView(name)))
            labels[i] = a.string(QLatin1StringView(name));
    }
}

void fillCalendar(VRTCalendarObject& calendar, const Attributes& a) {
    calendar.firstWeekday = a.integer(L("firstWeekday"));
    // A label that the element does not name keeps the locale's, so a damaged file still shows a
    // complete calendar.
    fillLabels(calendar.weekdays, a, "weekday_", 7);
    fillLabels(calendar.months, a, "month_", 12);
    calendar.fontName = a.string(L("fontName"));
    calendar.hasBackground = a.boolean(L("hasBackground"));
    calendar.backgroundColor = a.rgbaColor(L("backgroundColor"));
    calendar.year = a.integer(L("year"));
    calendar.firstMonth = a.integer(L("firstMonth"));
    calendar.monthCount = a.integer(L("monthCount"));
    calendar.isShowYear = a.boolean(L("isShowYear"));
    calendar.yearColor = a.rgbaColor(L("yearColor"));
    calendar.yearAlignment = a.integer(L("yearAlignment"));
    calendar.monthGap = a.integer(L("monthGap"));
    calendar.monthAlignment = a.integer(L("monthAlignment"));
    calendar.monthColor = a.rgbaColor(L("monthColor"));
    calendar.dayGap = a.integer(L("dayGap"));
    calendar.dayColor = a.rgbaColor(L("dayColor"));
    calendar.dayBKColor = a.rgbaColor(L("dayBKColor"));
    calendar.weekendColor = a.rgbaColor(L("weekendColor"));
    calendar.weekendBKColor = a.rgbaColor(L("weekendBKColor"));
    calendar.hasWeekday = a.boolean(L("hasWeekday"));
    if (calendar.hasWeekday) {
        calendar.weekdayColor = a.rgbaColor(L("weekdayColor"));
        calendar.weekdayBKColor = a.rgbaColor(L("weekdayBKColor"));
    }
    calendar.hasAdjacentDay = a.boolean(L("hasAdjacentDay"));
    if (calendar.hasAdjacentDay) {
        calendar.adjDayColor = a.rgbaColor(L("adjDayColor"));
        calendar.adjDayBKColor = a.rgbaColor(L("adjDayBKColor"));
    }
}

void fillShape(VRTShapeObject& shape, const Attributes& a) {
    shape.shapeImageName = a.string(L("ShapePatternImage"));
    shape.shapePatternType = a.integer(L("ShapePatternType"));
    shape.shapePatternImageType = a.integer(L("ShapePatternImageType"));
    shape.shapePatternColorFillType = a.integer(L("ShapePatternColorFillType"));
    shape.shapePatternTextureBrushZoomFactor = a.real(L("ShapePatternTextureBrushZoomFactor"));
    shape.shapePatternTextureTransparent = a.real(L("ShapePatternTextureTransparent"));
    shape.shapePatternFillColor = a.color(L("ShapePatternFillColor"));
    shape.shapePatternFillColor2 = a.color(L("ShapePatternFillColor2"));
    shape.shapeLineWidth = a.real(L("ShapeLineWidth"));
    shape.shapeLineWidthUnit = a.integer(L("ShapeLineUnit"));
    shape.shapeFillType = a.integer(L("ShapeFillType"));
    shape.shapeType = a.integer(L("ShapeType"));
    shape.shapeLineType = a.integer(L("ShapeLineType"));
    shape.shapeLineColor = a.color(L("ShapeLineColor"));
}

template <typename Record>
std::shared_ptr<VRTSceneObject> makeRecord(const Attributes& a, void (*fill)(Record&, const Attributes&)) {
    auto record = std::make_shared<Record>();
    fillSceneObject(*record, a);
    fill(*record, a);
    return record;
}

// A filled object record of the kind the "Type" attribute names; null for other kinds.
std::shared_ptr<VRTSceneObject> makeSceneObject(const Attributes& a) {
    switch (a.integer(L("Type"))) {
    case VRTObjectTypePhoto: return makeRecord<VRTPhotoObject>(a, fillPhoto);
    case VRTObjectTypeText: return makeRecord<VRTTextObject>(a, fillText);
    case VRTObjectTypeClipart: return makeRecord<VRTClipartObject>(a, fillClipart);
    case VRTObjectTypeCalendar: return makeRecord<VRTCalendarObject>(a, fillCalendar);
    case VRTObjectTypeShape: return makeRecord<VRTShapeObject>(a, fillShape);
    default: return nullptr;
    }
}

QString tooLargeMessage(const QString& path) {
    const QString what = path.isEmpty() ? QStringLiteral("The document") : QStringLiteral("The file \"%1\"").arg(path);
    return QStringLiteral("%1 is larger than %2 MB and is not read.").arg(what).arg(kMaxXMLFileBytes / (1024 * 1024));
}

QString invalidMessage(qint64 line, qint64 column, const QString& what) {
    return QStringLiteral("The document cannot be read (line %1, column %2): %3").arg(line).arg(column).arg(what);
}

}  // namespace

KXProjectInfo::KXProjectInfo()
    : m_info(std::make_shared<VRTInfo>()), m_page(std::make_shared<VRTPage>()) {}

std::unique_ptr<KXProjectInfo> KXProjectInfo::initWithFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        presentError(QStringLiteral("The file \"%1\" could not be read: %2").arg(path, file.errorString()));
        return nullptr;
    }
    // Read one byte past the limit, so that a file growing while it is read is caught too.
    const QByteArray data = file.read(kMaxXMLFileBytes + 1);
    if (data.size() > kMaxXMLFileBytes) {
        presentError(tooLargeMessage(file.fileName()));
        return nullptr;
    }
    return initWithData(data);
}

std::unique_ptr<KXProjectInfo> KXProjectInfo::initWithData(const QByteArray& data) {
    auto reader = std::make_unique<KXProjectInfo>();
    reader->parse(data);
    if (!reader->hasError() && reader->page()->pageCount < 0)
        reader->parseErrorOccurred(QStringLiteral("The page count %1 is negative.").arg(reader->page()->pageCount));
    if (reader->hasError())
        return nullptr;
    return reader;
}

void KXProjectInfo::parse(const QByteArray& data) {
    if (data.size() > kMaxXMLFileBytes) {
        parseErrorOccurred(tooLargeMessage(QString()));
        return;
    }
    XMLInputProblem problem;
    const QString text = decodeXMLDocument(data, &problem);
    if (!problem.isProblem())
        problem = checkXMLLimits(text);
    if (problem.isProblem()) {
        parseErrorOccurred(invalidMessage(problem.line, problem.column, problem.message));
        return;
    }
    // The parser gets the decoded text, so that it sees exactly the characters checked above (the
    // encoding a declaration names was applied by the decoding).
    QXmlStreamReader xml(text);
    // Names are taken as written, prefixes included; external entities are never loaded.
    xml.setNamespaceProcessing(false);
    xml.setEntityExpansionLimit(entityExpansionLimit);
    int elements = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (++elements > kMaxXMLElements) {
            xml.raiseError(QStringLiteral("more than %1 elements").arg(kMaxXMLElements));
            break;
        }
        didStartElement(xml.qualifiedName().toString(), xml.attributes());
        if (m_graphList.size() > size_t(kMaxXMLPages))
            xml.raiseError(QStringLiteral("more than %1 pages").arg(kMaxXMLPages));
        else if (m_objectCount > kMaxXMLObjects)
            xml.raiseError(QStringLiteral("more than %1 page objects").arg(kMaxXMLObjects));
    }
    if (xml.hasError())
        parseErrorOccurred(invalidMessage(xml.lineNumber(), xml.columnNumber(), xml.errorString()));
}

void KXProjectInfo::didStartElement(const QString& elementName, const QXmlStreamAttributes& attributes) {
    if (elementName.isEmpty())
        return;
    const Attributes a(attributes);
    const QString name = elementName.toLower();
    if (name == u"info") {
        fillInfo(*m_info, a);
    } else if (name == u"vrtpropage" || name == u"project") {
        fillPage(*m_page, a);
    } else if (name == u"scenegraph") {
        auto graph = std::make_shared<VRTSceneGraph>();
        fillSceneGraph(*graph, a);
        m_graphList.push_back(std::move(graph));
    } else if (name == u"sceneobject") {
        if (m_graphList.empty())
            return;
        if (auto object = makeSceneObject(a)) {
            m_graphList.back()->objectList.push_back(std::move(object));
            ++m_objectCount;
        }
    }
}

void KXProjectInfo::parseErrorOccurred(const QString& error) {
    if (error.isEmpty())
        return;
    m_hasError = true;
    presentError(error);
}

QString KXProjectInfo::decodeTextString(const QString& string) {
    QString decoded = string;
    decoded.replace(QLatin1StringView("\\r\\n"), QLatin1StringView("\r\n"));
    return decoded;
}

std::shared_ptr<VRTSceneGraph> KXProjectInfo::graphInfoAtIndex(qsizetype index) const {
    if (index < 0 || index >= qsizetype(m_graphList.size()))
        return nullptr;
    return m_graphList[size_t(index)];
}

std::vector<std::shared_ptr<VRTSceneGraph>> KXProjectInfo::graphInfosToConvert() const {
    const std::int32_t count = m_page->pageCount == 0 ? 1 : m_page->pageCount;
    if (count < 0)
        return {};
    const size_t n = std::min(size_t(count), m_graphList.size());
    return {m_graphList.begin(), m_graphList.begin() + std::ptrdiff_t(n)};
}

void setXMLErrorPresenter(XMLErrorPresenter presenter) {
    errorPresenter() = std::move(presenter);
}
