#include "document/xml_conversion.h"

#include "document/project.h"
#include "document/package_paths.h"
#include "document/project_info.h"
#include "document/xml_project_paths.h"
#include "graphics/color_utilities.h"
#include "graphics/image_effect_manager.h"
#include "model/background.h"
#include "model/calendar.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/page_size_manager.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/text/font.h"
#include "platform/text/text_layout_manager.h"
#include "text/advanced_text.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

void setError(QString* error, const QString& message) {
    if (error)
        *error = message;
}

// A resource name as the file gives it, with backslashes as separators, made a path.
QString withSlashes(const QString& name) {
    QString path = name;
    path.replace(u'\\', u'/');
    return path;
}

// The last component of a (backslash or slash separated) name with its extension replaced.
QString lastComponentWithExtension(const QString& name, const QString& extension) {
    const QString file = QFileInfo(withSlashes(name)).fileName();
    if (file.isEmpty())
        return {};
    const int dot = int(file.lastIndexOf(u'.'));
    return (dot > 0 ? file.left(dot) : file) + u'.' + extension;
}

kx::Color withAlpha(const kx::Color& color, double alpha) {
    const kx::Color c = color.isNull() ? kx::Color::srgb(0, 0, 0, 1) : color;
    return kx::Color::srgb(c.red(), c.green(), c.blue(), alpha);
}

// Opacity and shadow alpha from the file: a fraction 0 to 1 (an unusable value counts as opaque for objects, as
// transparent for shadows).
double fraction(double value, double fallback) {
    return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : fallback;
}

// The box of an object in page pixels (top-left origin, y down) as a rectangle relative to the page
// (bottom-left origin, y up).
kx::Rect relativeRectOfBox(const VRTSceneObject& object, const kx::Size& page) {
    const float w = object.boundingBoxRight - object.boundingBoxLeft;
    const float h = object.boundingBoxBottom - object.boundingBoxTop;
    return {object.boundingBoxLeft / page.width, (page.height - object.boundingBoxTop - h) / page.height,
            w / page.width, h / page.height};
}

// Geometry and opacity common to every object; the graph is already on its page.
void applyGeometry(KXGraph& graph, const VRTSceneObject& object, const kx::Size& page, bool rotate = true) {
    const kx::Rect relative = relativeRectOfBox(object, page);
    if (kx::isFiniteGeometry(relative))
        graph.setRelativeRect(relative);
    if (rotate) {
        const double angle = 2 * std::numbers::pi - double(object.angle) * std::numbers::pi / 180;
        if (std::isfinite(angle))
            graph.setAngle(angle);
    }
    graph.setOpacity(fraction(object.transparent, 1.0));
}

template <typename Record>
void applyShadow(KXGraph& graph, const Record& object) {
    graph.setShadowEnabled(object.enableShadow);
    const auto finite = [](float v) { return std::isfinite(v) ? double(v) : 0.0; };
    graph.setShadow(KXShadow::shadowWithColor(withAlpha(object.shadowColor, fraction(object.shadowAlpha / 100.0, 0)),
                                              finite(object.shadowBlur), finite(object.shadowAngle),
                                              finite(object.shadowOffsetX)));
}

// The font of a text object at 72 points: the named family (the text system's default when no such font is
// installed) with the bold and italic traits the object asks for.
kx::Font fontOfText(const VRTTextObject& text) {
    kx::Font font = kx::Font::named(text.fontName, 72).value_or(kx::Font::defaultFont(72));
    font = font.withTraits(text.isBold, text.isItalic);
    if (font.postScriptName().isEmpty() && font.family().isEmpty())
        font = kx::Font::defaultFont(72);
    return font;
}

// The scale at which the 72-point text covers its box: the height fills the box when the text is wider in
// proportion than the box, else the width does. 1 when the text or the box has no size, so an empty measurement
// never divides by zero.
double coverScale(const kx::Size& measured, double boxWidth, double boxHeight) {
    const float mw = float(measured.width), mh = float(measured.height);
    const float bw = float(boxWidth), bh = float(boxHeight);
    if (!(mw > 0) || !(mh > 0) || !(bw > 0) || !(bh > 0) || !std::isfinite(mw) || !std::isfinite(mh) ||
        !std::isfinite(bw) || !std::isfinite(bh))
        return 1;
    const double scale = mw / mh > bw / bh ? double(bh) / mh : double(bw) / mw;
    return std::isfinite(scale) && scale > 0 ? scale : 1;
}

std::shared_ptr<KXShape> textGraph(const VRTTextObject& t, KXCanvas& page) {
    if (t.textString.isNull() || t.fontName.isNull())
        return nullptr;
    auto shape = std::make_shared<KXShape>();
    shape->setPhoto(nullptr);
    if (!dynamic_cast<KXAdvancedText*>(shape->text()))
        shape->setText(KXAdvancedText::initWithOwner(shape.get()));
    auto* field = static_cast<KXAdvancedText*>(shape->text());
    page.addGraph(shape);

    kx::TextAttributes attributes = KXText::defaultAttributes();
    attributes.font = fontOfText(t);
    attributes.underline = t.isUnderline ? 1 : 0;
    attributes.foregroundColor = t.fontColor.isNull() ? kx::Color::srgb(0, 0, 0, 1) : t.fontColor;
    kx::ParagraphStyle paragraph = attributes.effectiveParagraphStyle();
    paragraph.alignment = t.textAlign == 1   ? kx::TextAlignment::Center
                          : t.textAlign == 2 ? kx::TextAlignment::Right
                                             : kx::TextAlignment::Left;
    attributes.paragraphStyle = paragraph;
    if (t.isOutline)
        attributes.strokeWidth = -3;

    // The text measured on one line in the 72-point font it is set in.
    const QString sample = t.textString.isEmpty() ? QStringLiteral("A") : t.textString;
    kx::TextAttributes measuring = attributes;
    measuring.strokeWidth.reset();
    measuring.ligature = 0;
    const kx::Size measured = kx::measureString(sample, measuring);
    field->textStorage().setAttributedString(kx::AttributedString(t.textString, attributes));
    field->setFontScale(coverScale(measured, double(t.boundingBoxRight) - t.boundingBoxLeft,
                                   double(t.boundingBoxBottom) - t.boundingBoxTop));

    KXBackground* glyphs = field->background();
    const kx::Color c1 = attributes.foregroundColor.value();
    const kx::Color c2 = t.textColor2.isNull() ? kx::Color::srgb(0, 0, 0, 1) : t.textColor2;
    if (t.isGradient) {
        if (t.gradientDirection == 2) {
            glyphs->setColorType(KXColorTypeAdvancedGradient);
            glyphs->setFillAngle(0);
            glyphs->setAdGradientColorArray({c1, c2, c1});
        } else {
            glyphs->setColorType(KXColorTypeGradient);
            glyphs->setColor1(c1);
            glyphs->setColor2(c2);
            glyphs->setFillAngle(t.gradientDirection == 0 ? 0 : 90);
        }
    } else if (t.isImageFill) {
        glyphs->setFillType(KXFillTypeImage);
        glyphs->setImagePath(t.textImagePath);
    }

    field->setOutlineEnabled(t.isStrokeEnable);
    field->setOutlineWidth(t.strokeWidth);
    field->setOutlineColorValue(rgbaFromCGColor(t.strokeColor));
    field->setGlowEnabled(t.isGlowEnable);
    field->setGlowColorValue(rgbaFromCGColor(t.glowColor));
    field->setGlowRadius(t.glowRadius);
    field->setGlowBlur(t.glowPower);

    shape->setFillEnabled(t.isBkEnable);
    if (shape->background())
        shape->background()->setColor1(t.effectBkColor.isNull() ? kx::Color::srgb(0.6, 0.8, 1, 1) : t.effectBkColor);

    applyGeometry(*shape, t, page.pixelSize());
    applyShadow(*shape, t);
    field->updateRelativeRect();
    return shape;
}

std::shared_ptr<KXCalendar> calendarGraph(const VRTCalendarObject& k, KXCanvas& page) {
    auto calendar = KXCalendar::calendarWithRelativeRect({0, 0, 1, 1});
    calendar->setStrokeEnabled(false);
    page.addGraph(calendar);
    applyGeometry(*calendar, k, page.pixelSize());
    calendar->setFirstWeekday(k.firstWeekday);
    calendar->setWeekdays(k.weekdays);
    calendar->setMonths(k.months);
    if (!k.fontName.isEmpty())
        calendar->setFontName(k.fontName);
    calendar->setHasBackground(k.hasBackground);
    calendar->setYear(k.year);
    calendar->setFirstMonth(k.firstMonth);
    calendar->setMonthCount(k.monthCount);
    calendar->setIsShowYear(k.isShowYear);
    calendar->setYearColor(k.yearColor);
    calendar->setYearAlignment(k.yearAlignment);
    calendar->setMonthGap(k.monthGap);
    calendar->setMonthAlignment(k.monthAlignment);
    calendar->setMonthColor(k.monthColor);
    calendar->setDayGap(k.dayGap);
    calendar->setDayColor(k.dayColor);
    calendar->setDayBKColor(k.dayBKColor);
    calendar->setWeekendColor(k.weekendColor);
    calendar->setWeekendBKColor(k.weekendBKColor);
    calendar->setHasWeekday(k.hasWeekday);
    if (k.hasWeekday) {
        calendar->setWeekdayColor(k.weekdayColor);
        calendar->setWeekdayBKColor(k.weekdayBKColor);
    }
    calendar->setHasAdjacentDay(k.hasAdjacentDay);
    if (k.hasAdjacentDay) {
        calendar->setAdjDayColor(k.adjDayColor);
        calendar->setAdjDayBKColor(k.adjDayBKColor);
    }
    if (calendar->background())
        calendar->background()->setColor1(k.backgroundColor);
    return calendar;
}

// A photo shape without text field, its fill, mask, frame and border off.
std::shared_ptr<KXShape> emptyPhotoShape() {
    auto shape = std::make_shared<KXShape>();
    shape->setText(nullptr);
    shape->setFillEnabled(false);
    shape->photo()->setMaskEnabled(false);
    shape->photo()->setFrameEnabled(false);
    shape->setStrokeEnabled(false);
    return shape;
}

bool isFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// The largest page side in pixels that a converted page may have; larger sizes in a file are damaged values,
// not pages.
constexpr double kMaxPagePixels = 1 << 16;

}  // namespace

KXXMLConverter::KXXMLConverter(KXResourceLookup lookup) : m_lookup(std::move(lookup)) {
    registerModelClasses();
    if (!m_lookup) {
        auto project = std::make_shared<KXProject>();
        m_lookup = [project](const QString& name, const QString& category) {
            return project->imagePathWithName(name, category);
        };
    }
}

QString KXXMLConverter::lookup(const QString& name, const QString& category) {
    if (name.isEmpty())
        return {};
    const QString found = m_lookup(name, category);
    if (found.isEmpty())
        noteMissing(category + u'/' + QFileInfo(withSlashes(name)).fileName());
    return found;
}

void KXXMLConverter::noteMissing(const QString& entry) {
    if (!m_missing.contains(entry, Qt::CaseInsensitive))
        m_missing.append(entry);
}

std::vector<std::shared_ptr<KXCanvas>> KXXMLConverter::applyCollageInfo(const KXProjectInfo& info, std::int32_t type,
                                                                        const QString& dataPath) {
    std::vector<std::shared_ptr<KXCanvas>> pages;
    const std::int32_t version = info.info()->version;
    for (const auto& graph : info.graphInfosToConvert())
        if (graph)
            pages.push_back(applySceneGraphInfo(*graph, type, dataPath, version));
    return pages;
}

std::shared_ptr<KXCanvas> KXXMLConverter::applySceneGraphInfo(const VRTSceneGraph& s, std::int32_t type,
                                                              const QString& dataPath, std::int32_t version) {
    const QString imageFolder = type == KXXMLSourceProject ? xmlImageFolder(dataPath, version) : QString();
    // Images inside the package are checked for links from the package down; those beside it (older
    // versions) from their own folder down.
    m_imageRoot = version >= 5 ? dataPath : imageFolder;

    auto page = std::make_shared<KXCanvas>();
    page->setLayoutType(KXLayoutTypeProportional);
    {
        kx::UndoDisabler noUndo(page->undoManager());
        const auto size = KXSize::sizeWithWith(s.imageSizeX, s.imageSizeY, s.backUnitType, s.backDPI);
        size->setLandscape(s.isLandscape);
        const kx::Size pixels = size->sizeWithUnit(KXSizeUnitPixel);
        // A size that is no page (zero, negative, not finite, absurdly large) leaves the page its own size.
        if (pixels.width >= 1 && pixels.height >= 1 && pixels.width <= kMaxPagePixels &&
            pixels.height <= kMaxPagePixels)
            page->setPageSize(size.get());
        const kx::Size pagePixels = page->pixelSize();
        page->setMarginRect({0, 0, pagePixels.width, pagePixels.height});
        page->zoomToFitSize(pagePixels);

        auto fill = std::make_shared<KXBackground>();
        fill->setFillType(s.type);
        if (s.type == KXFillTypeCustomImage) {
            fill->setCustomImagePath(s.customImagePath);
            fill->setImageType(s.imageFillType);
        } else if (s.type == KXFillTypeImage) {
            fill->setImageType(s.imageType);
            fill->setImagePath(lookup(withSlashes(s.imageName), QStringLiteral("Background")));
            if (s.imageType == KXImageTypeStretchCrop && !fill->imagePath().isEmpty()) {
                const QString folder = QFileInfo(QFileInfo(fill->imagePath()).absolutePath()).fileName().toLower();
                if (folder == QLatin1String("tile"))
                    fill->setImageType(KXImageTypeTile);
                else if (folder == QLatin1String("stretch"))
                    fill->setImageType(KXImageTypeStretch);
            }
        } else if (s.type == KXFillTypeColor) {
            fill->setColor1(s.fillColor);
            fill->setColor2(s.fillColor2);
            if (s.colorFillType == 0) {
                fill->setColorType(KXColorTypeSolid);
            } else if (s.colorFillType == 1 || s.colorFillType == 2) {
                fill->setColorType(KXColorTypeGradient);
                fill->setGradientType(KXGradientTypeLinear);
                fill->setFillAngle(s.colorFillType == 1 ? 0 : 90);
            }
        }
        page->setBackground(fill);

        for (const auto& object : s.objectList) {
            if (!object)
                continue;
            switch (object->type) {
            case VRTObjectTypePhoto:
                if (const auto* photo = dynamic_cast<const VRTPhotoObject*>(object.get())) {
                    auto graph = photoGraph(*photo, type, imageFolder, version);
                    page->addGraph(graph);
                    applyGeometry(*graph, *photo, pagePixels);
                    applyShadow(*graph, *photo);
                }
                break;
            case VRTObjectTypeText:
                if (const auto* text = dynamic_cast<const VRTTextObject*>(object.get()))
                    textGraph(*text, *page);
                break;
            case VRTObjectTypeClipart:
                if (const auto* clipart = dynamic_cast<const VRTClipartObject*>(object.get()); clipart && version > 6)
                    if (auto graph = clipartGraph(*clipart)) {
                        page->addGraph(graph);
                        applyGeometry(*graph, *clipart, pagePixels, false);
                    }
                break;
            case VRTObjectTypeCalendar:
                if (const auto* calendar = dynamic_cast<const VRTCalendarObject*>(object.get()))
                    calendarGraph(*calendar, *page);
                break;
            default: break;  // drawn shapes of the old format are not converted
            }
        }

        // Sizes near a catalogue entry take it, as pages read from packages do; the margins keep their
        // distances to every edge, so they still cover the whole page.
        if (KXSize* own = page->pageSize()) {
            const KXPageSizeManager& catalogue = KXPageSizeManager::pageSizeManager();
            const std::int64_t index = catalogue.indexOfsize(own, true);
            if (const auto entry = index == KXSizeNotFound ? nullptr : catalogue.sizeAtIndex(index)) {
                const kx::Size before = own->sizeWithUnit(KXSizeUnitPixel);
                own->setSize(entry.get());
                const kx::Size after = own->sizeWithUnit(KXSizeUnitPixel);
                if (after != before) {
                    const kx::Rect m = page->marginRect();
                    page->setMarginRect({m.origin,
                                         {after.width - (before.width - (m.origin.x + m.size.width)) - m.origin.x,
                                          after.height - (before.height - (m.origin.y + m.size.height)) - m.origin.y}});
                    page->zoomToFitSize(after);
                }
            }
        }
        page->setAllGrpahsSelection(false);
    }
    page->undoManager().removeAllActions();
    return page;
}

std::shared_ptr<KXGraph> KXXMLConverter::photoGraph(const VRTPhotoObject& p, std::int32_t type,
                                                    const QString& imageFolder, std::int32_t version) {
    auto shape = emptyPhotoShape();
    KXPhoto* photo = shape->photo();
    photo->setPhotoRotation(std::isfinite(p.photoRotation) && std::fabs(p.photoRotation) < 1e9
                                ? std::int64_t(std::trunc(p.photoRotation))
                                : 0);
    photo->setRoundCornerRadius(5 * std::int64_t(p.roundWidth));

    const bool hasImage = type == KXXMLSourceProject && !p.imageName.isEmpty();
    QString imagePath;
    if (hasImage) {
        imagePath = xmlImagePath(imageFolder, p.imageName);
        if (!imagePath.isEmpty() && !isFile(imagePath))
            noteMissing(QStringLiteral("Photo/") + QFileInfo(imagePath).fileName());
        // An image inside the image folder is read only when it is the folder's own file, not a link.
        if (!imagePath.isEmpty() && isFile(imagePath) && !isLinkFreeInside(m_imageRoot, imagePath)) {
            noteMissing(QStringLiteral("Photo/") + QFileInfo(imagePath).fileName());
            imagePath.clear();
        }
    }
    QString effect = p.effectName;
    if (hasImage) {
        const KXImageEffectManager& effects = KXImageEffectManager::imageEffectManager();
        if (effects.effectCount() > 0)
            effect = effects.effectDataWithName(p.effectName) ? p.effectName : QStringLiteral("Original");
    }
    if (version <= 6 && !p.enableEffect)
        effect = QStringLiteral("Original");
    photo->setEffectName(effect);
    photo->setImagePath(imagePath);

    if (p.enableMask) {
        photo->setMaskEnabled(true);
        if (version >= 7 && !p.maskName.isEmpty())
            photo->setMaskName(
                lookup(lastComponentWithExtension(p.maskName, QStringLiteral("jpg")), QStringLiteral("Mask")));
    } else if (p.enableFrame && version >= 7) {
        if (p.borderType == 1) {
            const QString frame =
                p.frameName.isEmpty()
                    ? QString()
                    : lookup(lastComponentWithExtension(p.frameName, QStringLiteral("png")), QStringLiteral("Frame"));
            if (!frame.isEmpty())
                if (auto made = KXFrame::frameWithName(frame)) {
                    photo->setFrame(std::move(made));
                    photo->setFrameEnabled(true);
                }
        } else {
            shape->stroke()->setColor(p.ColorBorderColor.isNull() ? kx::Color::srgb(0, 0, 0, 1) : p.ColorBorderColor);
            shape->stroke()->setWidth(std::isfinite(p.ColorBorderWidth) ? p.ColorBorderWidth : 0);
            shape->setStrokeEnabled(true);
        }
    }

    const kx::Rect crop{p.cropLeft, p.cropBottom, double(p.cropRight) - p.cropLeft, double(p.cropTop) - p.cropBottom};
    if (kx::isFiniteGeometry(crop))
        photo->setCropRect(crop);

    if (!shape->isStrokeEnabled()) {
        shape->stroke()->setT_color(rgbaFromNSColor(kx::Color::srgb(1, 1, 1, 1)));
        shape->stroke()->setWidth(3);
    }
    return shape;
}

std::shared_ptr<KXGraph> KXXMLConverter::clipartGraph(const VRTClipartObject& c) {
    if (c.imageName.isNull())
        return nullptr;
    auto shape = emptyPhotoShape();
    shape->photo()->setImagePath(lookup(withSlashes(c.imageName), QStringLiteral("Clipart")));
    return shape;
}

// ---- files ----

namespace {

bool convertFile(const QString& file, std::int32_t type, const QString& dataPath, KXXMLConversion* result,
                 QString* error, const KXResourceLookup& lookup) {
    const auto info = KXProjectInfo::initWithFile(file);
    if (!info) {
        setError(error, QStringLiteral("\"%1\" cannot be read as a project or template").arg(file));
        return false;
    }
    KXXMLConverter converter(lookup);
    auto pages = converter.applyCollageInfo(*info, type, dataPath);
    if (pages.empty()) {
        setError(error, QStringLiteral("\"%1\" holds no pages").arg(file));
        return false;
    }
    if (result) {
        result->pages = std::move(pages);
        result->missingResources = converter.missingResources();
    }
    return true;
}

}  // namespace

bool loadXMLTemplateWithPath(const QString& path, KXXMLConversion* result, QString* error,
                             const KXResourceLookup& lookup) {
    if (!QFileInfo(path).isFile()) {
        setError(error, QStringLiteral("The template \"%1\" does not exist").arg(path));
        return false;
    }
    // A template file lives in its template folder; a link there (to a file anywhere) is not followed.
    if (QFileInfo(path).isSymLink()) {
        setError(error, QStringLiteral("The template \"%1\" is a symbolic link").arg(path));
        return false;
    }
    return convertFile(path, KXXMLSourceTemplate, QFileInfo(path).absolutePath(), result, error, lookup);
}

bool loadOldProjectWithPath(const QString& package, KXXMLConversion* result, QString* error,
                            const KXResourceLookup& lookup) {
    const QFileInfo info(package);
    QString file = package;
    if (info.isDir() && !QDir(package).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const QString contents = QDir::cleanPath(package) + QStringLiteral("/Contents");
        const QString relative = xmlFilePathFromPath(contents);
        if (relative.isEmpty()) {
            setError(error, QStringLiteral("\"%1\" holds no project file").arg(package));
            return false;
        }
        file = contents + u'/' + relative;
        // The package's own file only: no link to another file, nor through a linked folder.
        if (!isLinkFreeInside(package, file)) {
            setError(error, QStringLiteral("\"%1\" holds no project file of its own").arg(package));
            return false;
        }
    }
    if (!QFileInfo(file).isFile()) {
        setError(error, QStringLiteral("\"%1\" holds no project file").arg(package));
        return false;
    }
    return convertFile(file, KXXMLSourceProject, package, result, error, lookup);
}

QString xmlTemplateFileInFolder(const QString& folder) {
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& entry : entries)
        if (entry.suffix().compare(QLatin1String("tpl"), Qt::CaseInsensitive) == 0)
            return entry.absoluteFilePath();
    return {};
}
