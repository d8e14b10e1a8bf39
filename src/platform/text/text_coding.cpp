// Keyed archiving of attributed strings and of the fonts, colours, paragraph styles and shadows inside
// their attributes. Each of these values travels as an object of its own class; the holder classes
// below exist only while an archive is written or read.
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/text/text_storage.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace kx {

namespace {

const QString kStringKey = QStringLiteral("NSString");
const QString kAttributesKey = QStringLiteral("NSAttributes");
const QString kLengthKey = QStringLiteral("length");
const QString kRunAttributesKey = QStringLiteral("attributes");

// Reads a real; a missing key gives `fallback`. The value is taken as stored: the attributed string
// that receives it repairs one that is not usable, so that one bad number never makes a text unreadable.
double decodeReal(KeyedUnarchiver& coder, const QString& key, double fallback) {
    return coder.containsValue(key) ? coder.decodeDouble(key) : fallback;
}

QString decodeString(KeyedUnarchiver& coder, const QString& key) {
    return coder.decodeObjectOfType(key, Value::Type::String).toString();
}

// Holds a font while it is archived ("NSFont").
class CodableFont : public Object, public Coding {
public:
    CodableFont() = default;
    explicit CodableFont(Font f) : font(std::move(f)) {}
    QString className() const override { return QStringLiteral("NSFont"); }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(font.postScriptName(), QStringLiteral("NSName"));
        coder.encodeObject(font.family(), QStringLiteral("NSFamily"));
        coder.encodeObject(font.style(), QStringLiteral("NSStyle"));
        coder.encodeDouble(font.pointSize(), QStringLiteral("NSSize"));
    }
    // The names are kept as stored even when no such face is installed.
    void initWithCoder(KeyedUnarchiver& coder) override {
        const QString name = decodeString(coder, QStringLiteral("NSName"));
        const QString family = decodeString(coder, QStringLiteral("NSFamily"));
        const QString style = decodeString(coder, QStringLiteral("NSStyle"));
        // A negative or unusable size is repaired by the font itself.
        font = Font(name, family, style, decodeReal(coder, QStringLiteral("NSSize"), 0));
    }
    Font font;
};

QByteArray componentText(std::initializer_list<double> components, double alpha) {
    QByteArray out;
    for (double c : components) {
        if (!out.isEmpty())
            out += ' ';
        out += QByteArray::number(c, 'g', QLocale::FloatingPointShortest);
    }
    if (alpha != 1.0)
        out += ' ' + QByteArray::number(alpha, 'g', QLocale::FloatingPointShortest);
    return out;
}

// Components from "r g b a" text, clamped to 0..1; missing ones are 0 (alpha 1).
std::vector<double> parseComponents(const QByteArray& text, std::size_t count) {
    std::vector<double> values(count, 0.0);
    values.back() = 1.0;
    const QList<QByteArray> parts = text.simplified().split(' ');
    for (std::size_t i = 0; i < count && i < std::size_t(parts.size()); ++i) {
        bool ok = false;
        const double v = parts[qsizetype(i)].toDouble(&ok);
        values[i] = ok && std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
    }
    return values;
}

// Holds a colour while it is archived ("NSColor"): RGB colours in space 1, grey ones in space 3.
class CodableColor : public Object, public Coding {
public:
    CodableColor() = default;
    explicit CodableColor(Color c) : color(c) {}
    QString className() const override { return QStringLiteral("NSColor"); }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        if (color.colorSpace() == ColorSpace::Gray) {
            coder.encodeInteger(3, QStringLiteral("NSColorSpace"));
            coder.encodeObject(componentText({color.component(0)}, color.component(1)), QStringLiteral("NSWhite"));
            return;
        }
        coder.encodeInteger(1, QStringLiteral("NSColorSpace"));
        coder.encodeObject(componentText({color.red(), color.green(), color.blue()}, color.alpha()),
                           QStringLiteral("NSRGB"));
    }
    void initWithCoder(KeyedUnarchiver& coder) override {
        const auto space = coder.decodeInteger(QStringLiteral("NSColorSpace"));
        if (space == 1) {
            const auto c =
                parseComponents(coder.decodeObjectOfType(QStringLiteral("NSRGB"), Value::Type::Data).toData(), 4);
            color = Color::srgb(c[0], c[1], c[2], c[3]);
        } else if (space == 3) {
            const auto c =
                parseComponents(coder.decodeObjectOfType(QStringLiteral("NSWhite"), Value::Type::Data).toData(), 2);
            color = Color::gray(c[0], c[1]);
        } else {
            coder.failWithError(QStringLiteral("unknown colour space %1").arg(space));
        }
    }
    Color color;
};

struct ParagraphReal {
    const char* key;
    double ParagraphStyle::*field;
};

const ParagraphReal kParagraphReals[] = {
    {"NSLineSpacing", &ParagraphStyle::lineSpacing},
    {"NSParagraphSpacing", &ParagraphStyle::paragraphSpacing},
    {"NSParagraphSpacingBefore", &ParagraphStyle::paragraphSpacingBefore},
    {"NSLineHeightMultiple", &ParagraphStyle::lineHeightMultiple},
    {"NSMinLineHeight", &ParagraphStyle::minimumLineHeight},
    {"NSMaxLineHeight", &ParagraphStyle::maximumLineHeight},
    {"NSFirstLineHeadIndent", &ParagraphStyle::firstLineHeadIndent},
    {"NSHeadIndent", &ParagraphStyle::headIndent},
    {"NSTailIndent", &ParagraphStyle::tailIndent},
};

// Holds a paragraph style while it is archived ("NSParagraphStyle"): only keys that differ from the
// defaults are written.
class CodableParagraphStyle : public Object, public Coding {
public:
    CodableParagraphStyle() = default;
    explicit CodableParagraphStyle(ParagraphStyle s) : style(s) {}
    QString className() const override { return QStringLiteral("NSParagraphStyle"); }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        const ParagraphStyle defaults;
        if (style.alignment != defaults.alignment)
            coder.encodeInteger(int(style.alignment), QStringLiteral("NSAlignment"));
        if (style.lineBreakMode != defaults.lineBreakMode)
            coder.encodeInteger(style.lineBreakMode, QStringLiteral("NSLineBreakMode"));
        for (const auto& real : kParagraphReals)
            if (style.*real.field != defaults.*real.field)
                coder.encodeDouble(style.*real.field, QString::fromLatin1(real.key));
    }
    void initWithCoder(KeyedUnarchiver& coder) override {
        const QString alignmentKey = QStringLiteral("NSAlignment");
        if (coder.containsValue(alignmentKey)) {
            const auto a = coder.decodeInteger(alignmentKey);
            if (a < 0 || a > 4)
                coder.failWithError(QStringLiteral("unknown alignment %1").arg(a));
            else
                style.alignment = TextAlignment(a);
        }
        const QString breakKey = QStringLiteral("NSLineBreakMode");
        if (coder.containsValue(breakKey)) {
            const auto mode = coder.decodeInteger(breakKey);
            if (mode < 0 || mode > 5)
                coder.failWithError(QStringLiteral("unknown line break mode %1").arg(mode));
            else
                style.lineBreakMode = int(mode);
        }
        for (const auto& real : kParagraphReals)
            style.*real.field = decodeReal(coder, QString::fromLatin1(real.key), style.*real.field);
    }
    ParagraphStyle style;
};

// Holds a shadow while it is archived ("NSShadow").
class CodableShadow : public Object, public Coding {
public:
    CodableShadow() = default;
    explicit CodableShadow(TextShadow s) : shadow(s) {}
    QString className() const override { return QStringLiteral("NSShadow"); }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeDouble(shadow.offsetX, QStringLiteral("NSShadowHoriz"));
        coder.encodeDouble(shadow.offsetY, QStringLiteral("NSShadowVert"));
        coder.encodeDouble(shadow.blurRadius, QStringLiteral("NSShadowBlurRadius"));
        if (!shadow.color.isNull())
            coder.encodeObject(std::make_shared<CodableColor>(shadow.color), QStringLiteral("NSShadowColor"));
    }
    void initWithCoder(KeyedUnarchiver& coder) override {
        shadow.offsetX = decodeReal(coder, QStringLiteral("NSShadowHoriz"), 0);
        shadow.offsetY = decodeReal(coder, QStringLiteral("NSShadowVert"), 0);
        shadow.blurRadius = decodeReal(coder, QStringLiteral("NSShadowBlurRadius"), 0);
        if (auto c = coder.decodeObjectOfClass<CodableColor>(QStringLiteral("NSShadowColor")))
            shadow.color = c->color;
    }
    TextShadow shadow;
};

// The attribute names and how each one's value is stored.
using ColorField = std::optional<Color> TextAttributes::*;
using RealField = std::optional<double> TextAttributes::*;
using IntField = std::optional<int> TextAttributes::*;

const std::pair<const char*, ColorField> kColorAttributes[] = {
    {"NSColor", &TextAttributes::foregroundColor},
    {"NSBackgroundColor", &TextAttributes::backgroundColor},
    {"NSStrokeColor", &TextAttributes::strokeColor},
    {"NSUnderlineColor", &TextAttributes::underlineColor},
};
const std::pair<const char*, RealField> kRealAttributes[] = {
    {"NSKern", &TextAttributes::kern},
    {"NSBaselineOffset", &TextAttributes::baselineOffset},
    {"NSStrokeWidth", &TextAttributes::strokeWidth},
    {"NSObliqueness", &TextAttributes::obliqueness},
    {"NSExpansion", &TextAttributes::expansion},
};
const std::pair<const char*, IntField> kIntAttributes[] = {
    {"NSUnderline", &TextAttributes::underline},
    {"NSStrikethrough", &TextAttributes::strikethrough},
    {"NSSuperScript", &TextAttributes::superscript},
    {"NSLigature", &TextAttributes::ligature},
};
const QString kFontAttribute = QStringLiteral("NSFont");
const QString kParagraphStyleAttribute = QStringLiteral("NSParagraphStyle");
const QString kShadowAttribute = QStringLiteral("NSShadow");
const QString kLinkAttribute = QStringLiteral("NSLink");

ValueDictionary attributesToDictionary(const TextAttributes& a) {
    ValueDictionary d = a.other;
    if (a.font)
        d[kFontAttribute] = std::make_shared<CodableFont>(*a.font);
    for (const auto& [key, field] : kColorAttributes)
        if (const auto& c = a.*field; c && !c->isNull() && c->colorSpace() != ColorSpace::Pattern)
            d[QString::fromLatin1(key)] = std::make_shared<CodableColor>(*c);
    if (a.paragraphStyle)
        d[kParagraphStyleAttribute] = std::make_shared<CodableParagraphStyle>(*a.paragraphStyle);
    if (a.shadow)
        d[kShadowAttribute] = std::make_shared<CodableShadow>(*a.shadow);
    for (const auto& [key, field] : kRealAttributes)
        if (a.*field)
            d[QString::fromLatin1(key)] = *(a.*field);
    for (const auto& [key, field] : kIntAttributes)
        if (a.*field)
            d[QString::fromLatin1(key)] = *(a.*field);
    if (a.link)
        d[kLinkAttribute] = *a.link;
    return d;
}

// The attributes of a stored dictionary; false (with the archive failed) when a value has the wrong kind.
bool attributesFromDictionary(KeyedUnarchiver& coder, const ValueDictionary& d, TextAttributes& a) {
    const auto fail = [&](const QString& key) {
        coder.failWithError(QStringLiteral("text attribute \"%1\" holds a value of the wrong kind").arg(key));
        return false;
    };
    for (const auto& [key, value] : d) {
        if (value.isNil())
            continue;
        bool known = false;
        if (key == kFontAttribute) {
            auto f = value.objectAs<CodableFont>();
            if (!f)
                return fail(key);
            a.font = f->font;
            continue;
        }
        if (key == kParagraphStyleAttribute) {
            auto s = value.objectAs<CodableParagraphStyle>();
            if (!s)
                return fail(key);
            a.paragraphStyle = s->style;
            continue;
        }
        if (key == kShadowAttribute) {
            auto s = value.objectAs<CodableShadow>();
            if (!s)
                return fail(key);
            a.shadow = s->shadow;
            continue;
        }
        if (key == kLinkAttribute) {
            if (value.type() != Value::Type::String)
                return fail(key);
            a.link = value.toString();
            continue;
        }
        for (const auto& [name, field] : kColorAttributes) {
            if (key == QLatin1String(name)) {
                auto c = value.objectAs<CodableColor>();
                if (!c)
                    return fail(key);
                a.*field = c->color;
                known = true;
            }
        }
        for (const auto& [name, field] : kRealAttributes) {
            if (key == QLatin1String(name)) {
                if (value.type() != Value::Type::Real && value.type() != Value::Type::Integer)
                    return fail(key);
                a.*field = value.toDouble();
                known = true;
            }
        }
        for (const auto& [name, field] : kIntAttributes) {
            if (key == QLatin1String(name)) {
                if (value.type() != Value::Type::Integer || value.toInteger() < std::numeric_limits<int>::min() ||
                    value.toInteger() > std::numeric_limits<int>::max())
                    return fail(key);
                a.*field = int(value.toInteger());
                known = true;
            }
        }
        if (!known)
            a.other[key] = value;
    }
    return true;
}

template <class T>
void registerAll(ClassRegistry& registry, std::initializer_list<const char*> names) {
    for (const char* name : names)
        registry.registerClass<T>(QString::fromLatin1(name));
}

}  // namespace

void encodeAttributedString(KeyedArchiver& coder, const AttributedString& text) {
    coder.encodeObject(text.string(), kStringKey);
    ValueArray runs;
    runs.reserve(text.runs().size());
    for (const auto& run : text.runs())
        runs.push_back(ValueDictionary{{kLengthKey, Value(run.length)},
                                       {kRunAttributesKey, attributesToDictionary(run.attributes)}});
    coder.encodeObject(Value(std::move(runs)), kAttributesKey);
}

std::optional<AttributedString> decodeAttributedString(KeyedUnarchiver& coder) {
    const QString text = coder.decodeObjectOfType(kStringKey, Value::Type::String).toString();
    const Value stored = coder.decodeObjectOfType(kAttributesKey, Value::Type::Array);
    if (coder.failed())
        return std::nullopt;
    std::vector<AttributeRun> runs;
    qsizetype covered = 0;
    for (const Value& entry : stored.toArray()) {
        const ValueDictionary& run = entry.toDictionary();
        const auto length = run.find(kLengthKey);
        const auto attributes = run.find(kRunAttributesKey);
        if (entry.type() != Value::Type::Dictionary || length == run.end() ||
            length->second.type() != Value::Type::Integer ||
            (attributes != run.end() && !attributes->second.isNil() &&
             attributes->second.type() != Value::Type::Dictionary)) {
            coder.failWithError(QStringLiteral("damaged attribute run"));
            return std::nullopt;
        }
        if (length->second.toInteger() < 0) {
            coder.failWithError(QStringLiteral("attribute run of negative length"));
            return std::nullopt;
        }
        // Runs past the end of the text are cut there; their attributes are still checked.
        const qsizetype len = qsizetype(std::min<std::int64_t>(length->second.toInteger(), text.size() - covered));
        AttributeRun r{len, {}};
        if (attributes != run.end() &&
            !attributesFromDictionary(coder, attributes->second.toDictionary(), r.attributes))
            return std::nullopt;
        covered += len;
        runs.push_back(std::move(r));
    }
    return AttributedString(text, std::move(runs));
}

void registerTextClasses(ClassRegistry& registry) {
    registerAll<TextStorage>(registry, {"NSAttributedString", "NSMutableAttributedString", "NSTextStorage"});
    registerAll<CodableFont>(registry, {"NSFont"});
    registerAll<CodableColor>(registry, {"NSColor"});
    registerAll<CodableParagraphStyle>(registry, {"NSParagraphStyle", "NSMutableParagraphStyle"});
    registerAll<CodableShadow>(registry, {"NSShadow"});
}

}  // namespace kx
