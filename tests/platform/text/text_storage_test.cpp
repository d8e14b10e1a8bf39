#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list.h"
#include "platform/text/text_storage.h"

#include <gtest/gtest.h>

#include <QFile>

#include <functional>
#include <limits>
#include <thread>

using namespace kx;

namespace {

TextAttributes withFont(const Font& font) {
    TextAttributes a;
    a.font = font;
    return a;
}

std::shared_ptr<TextStorage> roundTrip(const AttributedString& text, QString* error = nullptr) {
    registerTextClasses();
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(std::make_shared<TextStorage>(text), error);
    if (data.isEmpty())
        return nullptr;
    const auto value = KeyedUnarchiver::unarchiveObjectWithData(data, error);
    return value ? value->objectAs<TextStorage>() : nullptr;
}

// Archive bytes of a storage whose runs are given as stored dictionaries.
QByteArray archiveWithRuns(const QString& text, const ValueArray& runs);

// Writes an "NSAttributedString" object with arbitrary run values, to feed damaged forms to the reader.
class RawAttributedString : public Object, public Coding {
public:
    QString text;
    ValueArray runs;
    QString className() const override { return QStringLiteral("NSAttributedString"); }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeObject(text, QStringLiteral("NSString"));
        coder.encodeObject(Value(runs), QStringLiteral("NSAttributes"));
    }
    void initWithCoder(KeyedUnarchiver&) override {}
};

// An object of any class with the given keys: integers and reals written as numbers, the rest as objects.
class RawObject : public Object, public Coding {
public:
    RawObject(QString name, ValueDictionary f) : m_name(std::move(name)), m_fields(std::move(f)) {}
    QString className() const override { return m_name; }
    void encodeWithCoder(KeyedArchiver& coder) const override {
        for (const auto& [key, value] : m_fields) {
            if (value.type() == Value::Type::Integer)
                coder.encodeInteger(value.toInteger(), key);
            else if (value.type() == Value::Type::Real)
                coder.encodeDouble(value.toDouble(), key);
            else
                coder.encodeObject(value, key);
        }
    }
    void initWithCoder(KeyedUnarchiver&) override {}

private:
    QString m_name;
    ValueDictionary m_fields;
};

ValueDictionary attribute(const char* name, const char* className, ValueDictionary fields) {
    return {
        {QString::fromLatin1(name), std::make_shared<RawObject>(QString::fromLatin1(className), std::move(fields))}};
}

QByteArray archiveWithRuns(const QString& text, const ValueArray& runs) {
    auto raw = std::make_shared<RawAttributedString>();
    raw->text = text;
    raw->runs = runs;
    return KeyedArchiver::archivedDataWithRootObject(raw);
}

Value run(qsizetype length, ValueDictionary attributes = {}) {
    return ValueDictionary{{QStringLiteral("length"), Value(length)},
                           {QStringLiteral("attributes"), Value(std::move(attributes))}};
}

}  // namespace

TEST(AttributedString, EditsKeepRunsCoveringTheTextAndMergeEqualNeighbours) {
    const TextAttributes bold = withFont(Font::withFamily("DejaVu Sans", "Bold", 12));
    const TextAttributes plain = withFont(Font::withFamily("DejaVu Sans", "Book", 12));
    AttributedString s("hello world", plain);
    s.setAttributes({6, 5}, bold);
    ASSERT_EQ(s.runs().size(), 2u);
    EXPECT_EQ(s.runs()[0].length, 6);
    EXPECT_EQ(s.runs()[1].attributes, bold);

    // Typing at the end of the plain run takes the plain attributes.
    s.replaceCharacters({5, 0}, QStringLiteral("!!"));
    EXPECT_EQ(s.string(), QStringLiteral("hello!! world"));
    EXPECT_EQ(s.runs()[0].length, 8);
    // Setting the bold part back to plain merges the runs into one.
    s.setAttributes({8, 5}, plain);
    ASSERT_EQ(s.runs().size(), 1u);
    EXPECT_EQ(s.runs()[0].length, 13);
    // Replacing everything with nothing leaves no runs.
    s.replaceCharacters({0, 100}, QString());
    EXPECT_TRUE(s.runs().empty());
    EXPECT_TRUE(s.attributesAt(0) == TextAttributes());
}

TEST(AttributedString, ParagraphsEndAtEverySeparatorAndCrLfIsOne) {
    const AttributedString s(QStringLiteral("a\r\nb\nc\rd") + QChar(0x2029) + QStringLiteral("e"));
    struct Case {
        qsizetype index;
        TextRange expected;
    };
    const Case cases[] = {
        {0, {0, 3}}, {1, {0, 3}},  {2, {0, 3}},  // "a\r\n": the "\n" belongs with its "\r"
        {3, {3, 2}}, {4, {3, 2}},                // "b\n"
        {5, {5, 2}},                             // "c\r"
        {7, {7, 2}},                             // "d" U+2029
        {9, {9, 1}}, {10, {9, 1}},               // "e", and the end of the text
    };
    for (const auto& c : cases)
        EXPECT_EQ(s.paragraphRange(c.index), c.expected) << c.index;
    EXPECT_EQ(paragraphSeparatorLength(s.string(), 1), 2);
    EXPECT_EQ(paragraphSeparatorLength(s.string(), 2), 1);
}

TEST(TextStorage, EditsInsideABracketAreProcessedOnceWithTheirUnion) {
    auto storage = std::make_shared<TextStorage>(AttributedString(QStringLiteral("0123456789")));
    std::vector<TextEdit> edits;
    storage->addEditObserver([&](const TextEdit& e) { edits.push_back(e); });
    int posted = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(kTextStorageDidProcessEditingNotification,
                                                                 storage.get(), [&](const Notification&) { ++posted; });

    storage->beginEditing();
    storage->replaceCharacters({2, 2}, QStringLiteral("abc"));  // 01abc456789
    storage->replaceCharacters({8, 1}, QString());              // 01abc45689
    storage->endEditing();
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(edits[0].editedRange, (TextRange{2, 6}));
    EXPECT_EQ(edits[0].changeInLength, 0);
    EXPECT_TRUE(edits[0].charactersChanged);

    TextAttributes red;
    red.foregroundColor = Color::srgb(1, 0, 0);
    storage->addAttributes({0, 3}, red);
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_EQ(posted, 2);
    EXPECT_FALSE(edits[1].charactersChanged);
    EXPECT_EQ(edits[1].editedRange, (TextRange{0, 3}));
}

TEST(TextStorage, EditsOnAWorkerThreadPostNothingOnTheMainThreadsCentre) {
    int posted = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(kTextStorageDidProcessEditingNotification, nullptr,
                                                                 [&](const Notification&) { ++posted; });
    int observed = 0;
    std::thread worker([&] {
        TextStorage storage(AttributedString(QStringLiteral("text")));
        storage.addEditObserver([&](const TextEdit&) { ++observed; });
        storage.replaceCharacters({0, 1}, QStringLiteral("n"));
    });
    worker.join();
    EXPECT_EQ(observed, 1);
    EXPECT_EQ(posted, 0);
    TextStorage onMain(AttributedString(QStringLiteral("text")));
    onMain.replaceCharacters({0, 0}, QStringLiteral("con"));
    EXPECT_EQ(posted, 1);
}

TEST(TextStorageArchive, EveryAttributeRoundTripsEqual) {
    TextAttributes a;
    a.font = Font::withFamily("DejaVu Serif", "Bold Italic", 17.5);
    a.foregroundColor = Color::srgb(0.25, 0.5, 0.75);
    a.backgroundColor = Color::srgb(1, 1, 0, 0.5);
    a.strokeColor = Color::gray(0.5);
    a.underlineColor = Color::gray(0.25, 0.75);
    ParagraphStyle style;
    style.alignment = TextAlignment::Center;
    style.lineSpacing = 2;
    style.paragraphSpacing = 3;
    style.paragraphSpacingBefore = 4;
    style.lineHeightMultiple = 1.5;
    style.minimumLineHeight = 10;
    style.maximumLineHeight = 40;
    style.firstLineHeadIndent = 6;
    style.headIndent = 7;
    style.tailIndent = -8;
    style.lineBreakMode = 2;
    a.paragraphStyle = style;
    a.shadow = TextShadow{2, -3, 4, Color::srgb(0, 0, 1, 0.5)};
    a.kern = 1.25;
    a.baselineOffset = -2;
    a.strokeWidth = -3;
    a.obliqueness = 0.2;
    a.expansion = 0.1;
    a.underline = kUnderlineDouble;
    a.strikethrough = 1;
    a.superscript = -1;
    a.ligature = 0;
    a.link = QStringLiteral("www.example.com");
    a.other[QStringLiteral("KXCustom")] = Value(QStringLiteral("kept"));

    TextAttributes b;
    b.font = Font("LucidaGrande", "Lucida Grande", "Regular", 72);  // not installed: the names stay
    AttributedString text(QStringLiteral("mixed runs\r\nsecond paragraph"), a);
    text.setAttributes({3, 4}, b);
    text.setAttributes({20, 2}, {});

    QString error;
    const auto back = roundTrip(text, &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_EQ(back->attributedString(), text);
    EXPECT_EQ(back->attributedString().attributesAt(3).font->family(), QStringLiteral("Lucida Grande"));
    EXPECT_FALSE(back->attributedString().attributesAt(3).font->isInstalled());
}

TEST(TextStorageArchive, EmptyAndLargeStoragesRoundTrip) {
    EXPECT_EQ(roundTrip(AttributedString())->attributedString(), AttributedString());

    QString big;
    big.reserve(1 << 20);
    while (big.size() < (1 << 20))
        big += QStringLiteral("lorem ipsum dolor sit amet\n");
    AttributedString text(big, withFont(Font::defaultFont(12)));
    text.setAttributes({1000, 500000}, withFont(Font::defaultFont(20)));
    const auto back = roundTrip(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->attributedString(), text);
}

TEST(TextStorageArchive, TheStoredFormIsTheDocumentedOne) {
    AttributedString text(QStringLiteral("ab"), withFont(Font("DejaVuSans", "DejaVu Sans", "Book", 12)));
    TextAttributes second = text.attributesAt(0);
    second.foregroundColor = Color::srgb(1, 0, 0, 1);
    second.strokeWidth = 3;
    text.setAttributes({1, 1}, second);
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(std::make_shared<TextStorage>(text));

    // Read the archive back as plain dictionaries and follow the references by hand.
    const auto plist = readPropertyList(data);
    ASSERT_TRUE(plist);
    const ValueArray& objects = plist->toDictionary().at(QStringLiteral("$objects")).toArray();
    const auto deref = [&](const Value& v) { return objects.at(std::size_t(v.toUid().value)); };
    const ValueDictionary root =
        deref(plist->toDictionary().at(QStringLiteral("$top")).toDictionary().at("root")).toDictionary();
    EXPECT_EQ(deref(root.at("$class")).toDictionary().at("$classname").toString(),
              QStringLiteral("NSAttributedString"));
    EXPECT_EQ(deref(root.at("NSString")).toString(), QStringLiteral("ab"));
    const ValueArray runRefs = deref(root.at("NSAttributes")).toDictionary().at("NS.objects").toArray();
    ASSERT_EQ(runRefs.size(), 2u);
    const ValueDictionary run1 = deref(runRefs[1]).toDictionary();
    const auto entries = [&](const ValueDictionary& dictionary) {
        const ValueArray keys = dictionary.at("NS.keys").toArray();
        const ValueArray values = dictionary.at("NS.objects").toArray();
        std::map<QString, Value> out;
        for (std::size_t i = 0; i < keys.size(); ++i)
            out[deref(keys[i]).toString()] = deref(values[i]);
        return out;
    };
    const auto fields = entries(run1);
    EXPECT_EQ(fields.at("length").toInteger(), 1);
    const auto attributes = entries(fields.at("attributes").toDictionary());
    EXPECT_EQ(attributes.at("NSStrokeWidth").toDouble(), 3.0);
    const ValueDictionary color = attributes.at("NSColor").toDictionary();
    EXPECT_EQ(color.at("NSColorSpace").toInteger(), 1);
    EXPECT_EQ(deref(color.at("NSRGB")).toData(), QByteArray("1 0 0"));
    const ValueDictionary font = attributes.at("NSFont").toDictionary();
    EXPECT_EQ(deref(font.at("NSName")).toString(), QStringLiteral("DejaVuSans"));
    EXPECT_EQ(deref(font.at("NSFamily")).toString(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(deref(font.at("NSStyle")).toString(), QStringLiteral("Book"));
    EXPECT_EQ(font.at("NSSize").toDouble(), 12.0);
}

TEST(TextStorageArchive, RunsAreCutAtTheEndAndUncoveredTextHasNoAttributes) {
    registerTextClasses();
    ValueDictionary link{{QStringLiteral("NSLink"), Value(QStringLiteral("x.org"))}};
    const auto read = [](const QByteArray& data) {
        const auto v = KeyedUnarchiver::unarchiveObjectWithData(data);
        return v ? v->objectAs<TextStorage>() : nullptr;
    };
    // A run past the end is cut at it.
    auto s = read(archiveWithRuns(QStringLiteral("abc"), {run(2), run(50, link)}));
    ASSERT_TRUE(s);
    ASSERT_EQ(s->attributedString().runs().size(), 2u);
    EXPECT_EQ(s->attributedString().runs()[1].length, 1);
    // Text beyond the runs has no attributes.
    s = read(archiveWithRuns(QStringLiteral("abcdef"), {run(2, link)}));
    ASSERT_TRUE(s);
    EXPECT_FALSE(s->attributedString().attributesAt(4).link.has_value());
    EXPECT_EQ(s->attributedString().attributesAt(1).link, QStringLiteral("x.org"));
}

TEST(TextStorageArchive, DamagedFormsFailTheArchive) {
    registerTextClasses();
    const ValueDictionary wrongLink{{QStringLiteral("NSLink"), Value(3)}};
    const ValueDictionary wrongColor{{QStringLiteral("NSColor"), Value(QStringLiteral("red"))}};
    const ValueDictionary wrongUnderline{{QStringLiteral("NSUnderline"), Value(1.5)}};
    struct Case {
        const char* name;
        ValueArray runs;
    };
    const Case cases[] = {
        {"negative length", {run(-1)}},
        {"run is not a dictionary", {Value(3)}},
        {"link not a string", {run(3, wrongLink)}},
        {"colour not a colour", {run(3, wrongColor)}},
        {"underline not an integer", {run(3, wrongUnderline)}},
        {"font name not a string", {run(3, attribute("NSFont", "NSFont", {{"NSName", Value(5)}}))}},
        {"unknown alignment", {run(3, attribute("NSParagraphStyle", "NSParagraphStyle", {{"NSAlignment", 9}}))}},
        {"unknown colour space", {run(3, attribute("NSColor", "NSColor", {{"NSColorSpace", 7}}))}},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithData(archiveWithRuns(QStringLiteral("abc"), c.runs), &error))
            << c.name;
        EXPECT_FALSE(error.isEmpty()) << c.name;
    }
}

TEST(TextStorageArchive, UnusableNumbersAreRepairedAndTheRestOfTheTextKept) {
    registerTextClasses();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    // The middle run of "abcdef" holds the bad value; its neighbours must come back untouched.
    const ValueDictionary link{{QStringLiteral("NSLink"), Value(QStringLiteral("x.org"))}};
    const ValueDictionary underline{{QStringLiteral("NSUnderline"), Value(1)}};
    const auto font = [](double size) {
        return attribute("NSFont", "NSFont",
                         {{"NSName", Value(QStringLiteral("DejaVuSans"))},
                          {"NSFamily", Value(QStringLiteral("DejaVu Sans"))},
                          {"NSStyle", Value(QStringLiteral("Book"))},
                          {"NSSize", size}});
    };
    const auto real = [](const char* key, double v) { return ValueDictionary{{QString::fromLatin1(key), Value(v)}}; };
    const auto paragraph = [](const char* key, double v) {
        return attribute("NSParagraphStyle", "NSParagraphStyle", {{QString::fromLatin1(key), v}});
    };
    const auto shadow = [](const char* key, double v) { return attribute("NSShadow", "NSShadow", {{key, v}}); };
    const auto fontSize = [](const TextAttributes& a) { return a.font ? a.font->pointSize() : -99.0; };
    const auto stroke = [](const TextAttributes& a) { return a.strokeWidth.value_or(-99.0); };
    const auto kern = [](const TextAttributes& a) { return a.kern.value_or(-99.0); };
    const auto spacing = [](const TextAttributes& a) { return a.paragraphStyle->lineSpacing; };
    const auto multiple = [](const TextAttributes& a) { return a.paragraphStyle->lineHeightMultiple; };
    const auto indent = [](const TextAttributes& a) { return a.paragraphStyle->headIndent; };
    const auto offset = [](const TextAttributes& a) { return a.shadow->offsetX; };
    const auto blur = [](const TextAttributes& a) { return a.shadow->blurRadius; };
    struct Case {
        const char* name;
        ValueDictionary attributes;
        std::function<double(const TextAttributes&)> read;
        double expected;  // -99: the attribute is unset
    };
    const Case cases[] = {
        {"font size -1", font(-1), fontSize, 12},
        {"font size NaN", font(nan), fontSize, 12},
        {"font size +inf", font(inf), fontSize, 12},
        {"font size -inf", font(-inf), fontSize, 12},
        {"font size huge", font(1e300), fontSize, kLargestFontSize},
        {"font size 0 is the default size", font(0), fontSize, 0},
        {"stroke width NaN", real("NSStrokeWidth", nan), stroke, -99},
        {"stroke width -inf", real("NSStrokeWidth", -inf), stroke, -99},
        {"stroke width huge", real("NSStrokeWidth", 1e300), stroke, kLargestTextAttributeValue},
        {"kern +inf", real("NSKern", inf), kern, -99},
        {"kern huge negative", real("NSKern", -1e300), kern, -kLargestTextAttributeValue},
        {"line spacing NaN", paragraph("NSLineSpacing", nan), spacing, 0},
        {"line spacing -1", paragraph("NSLineSpacing", -1), spacing, 0},
        {"line spacing huge", paragraph("NSLineSpacing", 1e300), spacing, kLargestTextAttributeValue},
        {"line height multiple -inf", paragraph("NSLineHeightMultiple", -inf), multiple, 0},
        {"head indent -1 is kept", paragraph("NSHeadIndent", -1), indent, -1},
        {"head indent NaN", paragraph("NSHeadIndent", nan), indent, 0},
        {"shadow offset +inf", shadow("NSShadowHoriz", inf), offset, 0},
        {"shadow blur -1", shadow("NSShadowBlurRadius", -1), blur, 0},
        {"shadow blur huge", shadow("NSShadowBlurRadius", 1e300), blur, kLargestTextAttributeValue},
    };
    for (const auto& c : cases) {
        QString error;
        const auto value = KeyedUnarchiver::unarchiveObjectWithData(
            archiveWithRuns(QStringLiteral("abcdef"), {run(2, link), run(2, c.attributes), run(2, underline)}), &error);
        ASSERT_TRUE(value) << c.name << ": " << error.toStdString();
        const AttributedString& text = value->objectAs<TextStorage>()->attributedString();
        EXPECT_EQ(text.string(), QStringLiteral("abcdef")) << c.name;
        EXPECT_EQ(c.read(text.attributesAt(2)), c.expected) << c.name;
        EXPECT_EQ(text.attributesAt(0).link, QStringLiteral("x.org")) << c.name;
        EXPECT_EQ(text.attributesAt(5).underline, 1) << c.name;
        // The repaired text saves and reads back as it is.
        const auto again = roundTrip(text, &error);
        ASSERT_TRUE(again) << c.name << ": " << error.toStdString();
        EXPECT_EQ(again->attributedString(), text) << c.name;
    }
}

TEST(TextStorageArchive, ArchivesWrittenByAnotherWriterRead) {
    // The fuzz seeds were written with Python's plistlib, key by key from the documented form.
    registerTextClasses();
    const QString dir = QStringLiteral(KX_SOURCE_DIR "/fuzz/corpus/text_storage/");
    QFile file(dir + QStringLiteral("all_attributes.archive"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString error;
    const auto value = KeyedUnarchiver::unarchiveObjectWithData(file.readAll(), &error);
    ASSERT_TRUE(value) << error.toStdString();
    const auto storage = value->objectAs<TextStorage>();
    ASSERT_TRUE(storage);
    const AttributedString& text = storage->attributedString();
    ASSERT_EQ(text.runs().size(), 3u);
    EXPECT_EQ(text.runs()[2].length, text.length() - 11);  // cut at the end of the text
    const TextAttributes& a = text.runs()[0].attributes;
    EXPECT_EQ(a.font,
              Font(QStringLiteral("DejaVuSans-Bold"), QStringLiteral("DejaVu Sans"), QStringLiteral("Bold"), 12));
    EXPECT_EQ(a.foregroundColor, Color::srgb(1, 0, 0, 1));
    EXPECT_EQ(a.paragraphStyle->alignment, TextAlignment::Center);
    EXPECT_EQ(a.paragraphStyle->lineSpacing, 2.5);
    EXPECT_EQ(a.paragraphStyle->headIndent, 4.0);
    EXPECT_EQ(a.underline, 1);
    EXPECT_EQ(a.strokeWidth, -3.0);
    const TextAttributes& b = text.runs()[1].attributes;
    EXPECT_EQ(b.backgroundColor, Color::gray(0.5, 0.25));
    EXPECT_EQ(b.shadow, (TextShadow{2, -2, 3, Color::gray(0.5, 0.25)}));
    EXPECT_EQ(b.link, QStringLiteral("www.example.com"));
    EXPECT_EQ(b.kern, 1.5);
    EXPECT_EQ(b.other.at(QStringLiteral("KXOther")), Value(QStringLiteral("kept")));
    EXPECT_EQ(text.runs()[2].attributes.ligature, 0);
}

TEST(TextStorageArchive, ColourComponentsAreClampedAndMissingOnesDefault) {
    registerTextClasses();
    struct Case {
        int space;
        const char* key;
        QByteArray components;
        Color expected;
    };
    const Case cases[] = {
        {1, "NSRGB", "2 -1 0.5", Color::srgb(1, 0, 0.5, 1)},
        {1, "NSRGB", "0.25", Color::srgb(0.25, 0, 0, 1)},
        {1, "NSRGB", "0.1 0.2 0.3 0.4", Color::srgb(0.1, 0.2, 0.3, 0.4)},
        {1, "NSRGB", "x 0.5 nan", Color::srgb(0, 0.5, 0, 1)},
        {3, "NSWhite", "0.5", Color::gray(0.5, 1)},
        {3, "NSWhite", "0.5 7", Color::gray(0.5, 1)},
    };
    for (const auto& c : cases) {
        const ValueDictionary colour = attribute(
            "NSColor", "NSColor", {{"NSColorSpace", c.space}, {QString::fromLatin1(c.key), Value(c.components)}});
        const auto value =
            KeyedUnarchiver::unarchiveObjectWithData(archiveWithRuns(QStringLiteral("a"), {run(1, colour)}));
        ASSERT_TRUE(value) << c.components.constData();
        EXPECT_EQ(value->objectAs<TextStorage>()->attributedString().attributesAt(0).foregroundColor, c.expected)
            << c.components.constData();
    }
}
