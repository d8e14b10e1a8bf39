#include "platform/foundation/property_list.h"

#include "plistlib_bridge.h"
#include "support/outside_tools.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

using namespace kx;

namespace {

QDateTime utc(int y, int m, int d, int h, int min, int s, int ms = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min, s, ms), Qt::UTC);
}

// One of every kind of value, nested; dates in whole seconds so that XML keeps them exactly.
Value sampleValue() {
    ValueArray many;
    for (int i = 0; i < 20; ++i)
        many.push_back(Value(i * 1000));
    ValueDictionary inner;
    inner.emplace("leaf", Value("x"));
    inner.emplace("list", Value(ValueArray{Value(true), Value(ValueDictionary{})}));
    ValueDictionary d;
    d.emplace("yes", Value(true));
    d.emplace("no", Value(false));
    d.emplace("zero", Value(0));
    d.emplace("byte", Value(255));
    d.emplace("short", Value(65535));
    d.emplace("int32", Value(4294967295LL));
    d.emplace("big", Value(1LL << 40));
    d.emplace("negative", Value(-7));
    d.emplace("min", Value(std::numeric_limits<long long>::min()));
    d.emplace("max", Value(std::numeric_limits<long long>::max()));
    d.emplace("double", Value(0.1));
    d.emplace("float", Value(3.87f));
    d.emplace("tiny", Value(5e-324));
    d.emplace("ascii", Value("plain text of more than fifteen characters"));
    d.emplace("unicode", Value(QStringLiteral("Grüße, 日本 \U0001F389")));
    d.emplace("markup", Value("a < b & c > \"d\" 'e'\r\n\ttab"));
    d.emplace("empty", Value(""));
    d.emplace("data", Value(QByteArray::fromHex("00ff10203040506070809aabbccddeeff0011223344556677")));
    d.emplace("emptyData", Value(QByteArray()));
    d.emplace("date", Value(utc(2021, 3, 4, 5, 6, 7)));
    d.emplace("oldDate", Value(utc(1969, 7, 20, 20, 17, 40)));
    d.emplace("many", Value(std::move(many)));
    d.emplace("emptyArray", Value(ValueArray{}));
    d.emplace("inner", Value(std::move(inner)));
    d.emplace("$dollar", Value("key with a dollar"));
    return Value(std::move(d));
}

class BothFormats : public ::testing::TestWithParam<PropertyListFormat> {};

}  // namespace

namespace kx {
// Test names and messages show the format by name.
void PrintTo(PropertyListFormat format, std::ostream* os) {
    *os << (format == PropertyListFormat::Binary ? "binary" : "xml");
}
}  // namespace kx

namespace {

TEST_P(BothFormats, ValuesSurviveWritingAndReading) {
    const Value original = sampleValue();
    QString error;
    const QByteArray bytes = writePropertyList(original, GetParam(), &error);
    ASSERT_FALSE(bytes.isEmpty()) << error.toStdString();
    const auto read = readPropertyList(bytes, &error);
    ASSERT_TRUE(read) << error.toStdString();
    EXPECT_EQ(*read, original) << describe(*read).toStdString();
}

TEST_P(BothFormats, UidsSurvive) {
    const Value original(ValueArray{Value(Uid{0}), Value(Uid{255}), Value(Uid{70000}), Value(Uid{1ull << 40})});
    const auto read = readPropertyList(writePropertyList(original, GetParam()));
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, original);
}

TEST_P(BothFormats, GeometryIsWrittenAsStrings) {
    const Value original(ValueArray{Value(Point{1.5, -2}), Value(Size{3, 4}), Value(Rect{1, 2, 3, 4})});
    const auto read = readPropertyList(writePropertyList(original, GetParam()));
    ASSERT_TRUE(read);
    ASSERT_EQ(read->toArray().size(), 3u);
    EXPECT_EQ(read->toArray()[0], Value("{1.5, -2}"));
    EXPECT_EQ(read->toArray()[2].toRect(), (Rect{1, 2, 3, 4}));
}

TEST_P(BothFormats, WritingIsDeterministic) {
    EXPECT_EQ(writePropertyList(sampleValue(), GetParam()), writePropertyList(sampleValue(), GetParam()));
}

TEST_P(BothFormats, NilAndObjectsCannotBeWritten) {
    struct Plain : Object {
        QString className() const override { return "Plain"; }
    };
    for (const Value& bad : {Value(), Value(ValueArray{Value(1), Value()}), Value(std::make_shared<Plain>())}) {
        QString error;
        EXPECT_TRUE(writePropertyList(bad, GetParam(), &error).isEmpty());
        EXPECT_FALSE(error.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(PropertyList, BothFormats,
                         ::testing::Values(PropertyListFormat::Binary, PropertyListFormat::Xml),
                         [](const auto& info) { return info.param == PropertyListFormat::Binary ? "Binary" : "Xml"; });

TEST(BinaryPropertyList, KeepsFloatFlagAndMilliseconds) {
    ValueDictionary d;
    d.emplace("f", Value(3.87f));
    d.emplace("d", Value(3.87));
    d.emplace("when", Value(utc(2001, 1, 1, 0, 0, 0, 250)));
    const auto read = readPropertyList(writePropertyList(Value(d), PropertyListFormat::Binary));
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->toDictionary().at("f").isFloat());
    EXPECT_EQ(read->toDictionary().at("f").toDouble(), double(3.87f));
    EXPECT_FALSE(read->toDictionary().at("d").isFloat());
    EXPECT_EQ(read->toDictionary().at("when").toDate(), utc(2001, 1, 1, 0, 0, 0, 250));
}

TEST(BinaryPropertyList, KeepsDatesToTheFullPrecisionOfTheirSeconds) {
    for (const double seconds : {0.000123456789, 657000000.1234567, -978307200.0000011, 1e-300, -0.0}) {
        const auto read =
            readPropertyList(writePropertyList(Value(ValueArray{Value(Date{seconds})}), PropertyListFormat::Binary));
        ASSERT_TRUE(read);
        const double back = read->toArray().at(0).toExactDate().seconds;
        EXPECT_EQ(back, seconds);
        EXPECT_EQ(std::signbit(back), std::signbit(seconds));
    }
    // Dates QDateTime gives keep their milliseconds.
    EXPECT_EQ(Value(utc(2001, 1, 1, 0, 0, 0, 250)).toExactDate().seconds, 0.25);
}

TEST(PropertyList, NegativeZeroKeepsItsSignInBothFormats) {
    for (const PropertyListFormat format : {PropertyListFormat::Binary, PropertyListFormat::Xml}) {
        const auto read = readPropertyList(writePropertyList(Value(ValueArray{Value(-0.0), Value(0.0)}), format));
        ASSERT_TRUE(read);
        EXPECT_TRUE(std::signbit(read->toArray().at(0).toDouble()));
        EXPECT_FALSE(std::signbit(read->toArray().at(1).toDouble()));
    }
}

TEST(BinaryPropertyList, LargeCollectionsUseWideReferences) {
    // More than 65536 distinct objects: references and offsets need more than two bytes.
    ValueArray numbers;
    for (int i = 0; i < 70000; ++i)
        numbers.push_back(Value(i));
    const Value original(std::move(numbers));
    const QByteArray bytes = writePropertyList(original, PropertyListFormat::Binary);
    EXPECT_EQ(bytes.at(bytes.size() - 25), 4);  // reference size in the trailer
    const auto read = readPropertyList(bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, original);
}

TEST(BinaryPropertyList, EqualScalarsAreStoredOnce) {
    const Value once(ValueArray{Value("shared string value")});
    const Value thrice(
        ValueArray{Value("shared string value"), Value("shared string value"), Value("shared string value")});
    const auto size = [](const Value& v) { return writePropertyList(v, PropertyListFormat::Binary).size(); };
    // Two more one-byte references, and no second or third copy of the string.
    EXPECT_EQ(size(thrice), size(once) + 2);
}

TEST(XmlPropertyList, ReadsTheUsualVariants) {
    const QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- a comment -->
<plist version="1.0"><dict>
  <key>hex</key><integer>0x1F</integer>
  <key>plus</key><integer>+5</integer>
  <key>uid</key><dict><key>CF$UID</key><integer>12</integer></dict>
  <key>notUid</key><dict><key>CF$UID</key><string>12</string></dict>
  <key>data</key><data>
     AAEC
     AwQ=
  </data>
  <key>cdata</key><string><![CDATA[<raw> & text]]></string>
  <key>entity</key><string>&#x41;&amp;&#13;</string>
  <key>zoneless</key><date>2020-02-03T04:05:06</date>
  <key>inf</key><real>-infinity</real>
  <key>int</key><real>2</real>
</dict></plist>)";
    QString error;
    const auto read = readPropertyList(xml, &error);
    ASSERT_TRUE(read) << error.toStdString();
    const ValueDictionary& d = read->toDictionary();
    EXPECT_EQ(d.at("hex"), Value(31));
    EXPECT_EQ(d.at("plus"), Value(5));
    EXPECT_EQ(d.at("uid"), Value(Uid{12}));
    EXPECT_EQ(d.at("notUid").type(), Value::Type::Dictionary);
    EXPECT_EQ(d.at("data"), Value(QByteArray::fromHex("0001020304")));
    EXPECT_EQ(d.at("cdata"), Value("<raw> & text"));
    EXPECT_EQ(d.at("entity"), Value("A&\r"));
    EXPECT_EQ(d.at("zoneless").toDate(), utc(2020, 2, 3, 4, 5, 6));
    EXPECT_EQ(d.at("inf").toDouble(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(d.at("int"), Value(2.0));
    EXPECT_EQ(readPropertyList("<string>bare</string>"), Value("bare"));
}

TEST(XmlPropertyList, StringsXmlCannotCarryAreRefused) {
    QString error;
    EXPECT_TRUE(writePropertyList(Value(QString(QChar(1))), PropertyListFormat::Xml, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    // The binary form carries them.
    EXPECT_EQ(readPropertyList(writePropertyList(Value(QString(QChar(1))), PropertyListFormat::Binary)),
              Value(QString(QChar(1))));
}

struct BadInput {
    const char* name;
    QByteArray bytes;
    friend void PrintTo(const BadInput& input, std::ostream* os) { *os << input.name; }
};

class DamagedXml : public ::testing::TestWithParam<BadInput> {};

TEST_P(DamagedXml, GivesAnError) {
    QString error;
    EXPECT_FALSE(readPropertyList(GetParam().bytes, &error));
    EXPECT_FALSE(error.isEmpty());
}

QByteArray nestedXml(int depth) {
    return QByteArray("<plist>") + QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth) +
           QByteArray("</plist>");
}

INSTANTIATE_TEST_SUITE_P(
    PropertyList, DamagedXml,
    ::testing::Values(
        BadInput{"Empty", ""}, BadInput{"NotXml", "hello"},
        BadInput{"Unclosed", "<plist><dict><key>a</key><string>b</string></plist>"},
        BadInput{"UnknownElement", "<plist><thing/></plist>"},
        BadInput{"KeyOutsideDict", "<plist><array><key>a</key></array></plist>"},
        BadInput{"KeyWithoutValue", "<plist><dict><key>a</key></dict></plist>"},
        BadInput{"ValueWithoutKey", "<plist><dict><string>a</string></dict></plist>"},
        BadInput{"IntegerOverflow", "<plist><integer>9223372036854775808</integer></plist>"},
        BadInput{"NegativeOverflow", "<plist><integer>-9223372036854775809</integer></plist>"},
        BadInput{"IntegerGarbage", "<plist><integer>12a</integer></plist>"},
        BadInput{"DoubleSign", "<plist><integer>--1</integer></plist>"},
        BadInput{"EmptyInteger", "<plist><integer/></plist>"},
        BadInput{"RealGarbage", "<plist><real>1.2.3</real></plist>"},
        BadInput{"Base64Garbage", "<plist><data>!!!!</data></plist>"},
        BadInput{"BadDate", "<plist><date>yesterday</date></plist>"},
        BadInput{"TrueWithText", "<plist><true>no</true></plist>"},
        BadInput{"ElementInString", "<plist><string>a<b/></string></plist>"},
        BadInput{"TwoValues", "<plist><true/><false/></plist>"}, BadInput{"TextAfter", "<plist><true/></plist>junk"},
        BadInput{"SecondRoot", "<plist><true/></plist><plist/>"},
        BadInput{"TextInArray", "<plist><array>text</array></plist>"}, BadInput{"EmptyPlist", "<plist></plist>"},
        BadInput{"TooDeep", nestedXml(600)}, BadInput{"EntityBomb", R"(<?xml version="1.0"?>
<!DOCTYPE plist [
<!ENTITY a "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa">
<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">
<!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">
<!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">
<!ENTITY e "&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;">
]>
<plist><string>&e;</string></plist>)"},
        BadInput{"UnknownEntity", "<plist><string>&nothing;</string></plist>"}, BadInput{"BinaryVersion", "bplist15"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(XmlPropertyList, NestingWithinTheLimitIsRead) {
    EXPECT_TRUE(readPropertyList(nestedXml(400)));
}

// Builds a binary property list from hand-made object encodings, so that damaged files can be
// made by changing one part of a valid one.
struct CraftedPlist {
    std::vector<QByteArray> objects;
    int refSize = 1;
    int offsetSize = 1;
    quint64 top = 0;

    QByteArray build() const {
        QByteArray out("bplist00");
        std::vector<quint64> offsets;
        for (const QByteArray& o : objects) {
            offsets.push_back(out.size());
            out += o;
        }
        const quint64 table = out.size();
        for (quint64 offset : offsets)
            appendBig(out, offset, offsetSize);
        out += QByteArray(6, '\0');
        out += char(offsetSize);
        out += char(refSize);
        appendBig(out, objects.size(), 8);
        appendBig(out, top, 8);
        appendBig(out, table, 8);
        return out;
    }

    static void appendBig(QByteArray& out, quint64 v, int size) {
        for (int i = size - 1; i >= 0; --i)
            out += char((v >> (8 * i)) & 0xFF);
    }
};

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out += char(v);
    return out;
}

// Patches a trailer field (offset from the trailer's start) of a built plist.
QByteArray withTrailerField(QByteArray plist, int field, quint64 value, int size) {
    QByteArray patch;
    CraftedPlist::appendBig(patch, value, size);
    plist.replace(plist.size() - 32 + field, size, patch);
    return plist;
}

CraftedPlist arrayOfTwoStrings() {
    // [ "ab", "cd" ]
    return CraftedPlist{{bytes({0xA2, 1, 2}), bytes({0x52, 'a', 'b'}), bytes({0x52, 'c', 'd'})}};
}

std::vector<BadInput> damagedBinaries() {
    const QByteArray valid = arrayOfTwoStrings().build();
    std::vector<BadInput> cases{
        {"OnlyMagic", "bplist00"},
        {"OffsetSizeZero", withTrailerField(valid, 6, 0, 1)},
        {"OffsetSizeNine", withTrailerField(valid, 6, 9, 1)},
        {"RefSizeZero", withTrailerField(valid, 7, 0, 1)},
        {"NoObjects", withTrailerField(valid, 8, 0, 8)},
        {"HugeObjectCount", withTrailerField(valid, 8, ~0ull, 8)},
        {"TooManyObjects", withTrailerField(valid, 8, 4, 8)},
        {"TopOutOfRange", withTrailerField(valid, 16, 3, 8)},
        {"TableInTrailer", withTrailerField(valid, 24, quint64(valid.size() - 10), 8)},
        {"TableBeforeObjects", withTrailerField(valid, 24, 2, 8)},
        {"TableOffsetHuge", withTrailerField(valid, 24, ~0ull, 8)},
    };
    const auto crafted = [](std::vector<QByteArray> objects) { return CraftedPlist{std::move(objects)}.build(); };
    CraftedPlist offsetIntoTable = arrayOfTwoStrings();
    QByteArray badOffset = offsetIntoTable.build();
    badOffset[badOffset.size() - 32 - 1] = char(badOffset.size() - 34);  // last offset points into the table
    cases.push_back({"OffsetIntoTable", badOffset});
    cases.push_back({"RefOutOfRange", crafted({bytes({0xA1, 7})})});
    cases.push_back({"ArrayContainsItself", crafted({bytes({0xA1, 0})})});
    cases.push_back({"IndirectCycle", crafted({bytes({0xA1, 1}), bytes({0xD1, 2, 0}), bytes({0x51, 'k'})})});
    cases.push_back({"CountPastEnd", crafted({bytes({0x5F, 0x10, 200, 'a'})})});
    cases.push_back({"HugeCount", crafted({bytes({0xAF, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})})});
    cases.push_back({"NegativeCount", crafted({bytes({0xAF, 0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF0})})});
    cases.push_back({"CountNotInteger", crafted({bytes({0x4F, 0x22, 0, 0, 0, 0})})});
    cases.push_back({"Utf16PastEnd", crafted({bytes({0x63, 0, 'a', 0, 'b'})})});
    cases.push_back({"IntegerPastEnd", crafted({bytes({0x13, 1, 2})})});
    cases.push_back({"IntegerSize32", crafted({bytes({0x15, 0, 0, 0, 0})})});
    cases.push_back({"IntegerBeyond64Bits", crafted({bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0})})});
    cases.push_back({"RealSize2", crafted({bytes({0x21, 0, 0})})});
    cases.push_back({"DateNaN", crafted({bytes({0x33, 0x7F, 0xF8, 0, 0, 0, 0, 0, 0})})});
    cases.push_back({"DateFarAway", crafted({bytes({0x33, 0x7F, 0xE0, 0, 0, 0, 0, 0, 0})})});
    cases.push_back({"FillMarker", crafted({bytes({0x0F})})});
    cases.push_back({"Utf8StringMarker", crafted({bytes({0x71, 'a'})})});
    cases.push_back({"UidTooWide", crafted({bytes({0x88, 1, 2, 3, 4, 5, 6, 7, 8, 9})})});
    cases.push_back({"KeyNotString", crafted({bytes({0xD1, 1, 1}), bytes({0x10, 1})})});
    cases.push_back({"RefsPastEnd", crafted({bytes({0xA3, 1})})});
    // Nesting beyond the limit: each array holds the next.
    std::vector<QByteArray> chain;
    for (int i = 0; i < 600; ++i)
        chain.push_back(bytes({0xA1, 0}));
    CraftedPlist deep{chain, 2, 2};
    for (int i = 0; i < 600; ++i)
        deep.objects[i] = bytes({0xA1, (i + 1) >> 8, (i + 1) & 0xFF});
    deep.objects.back() = bytes({0x09});
    cases.push_back({"TooDeep", deep.build()});
    // Sharing that doubles at every level: 2^60 values if expanded.
    std::vector<QByteArray> doubling;
    for (int i = 0; i < 60; ++i)
        doubling.push_back(bytes({0xA2, i + 1, i + 1}));
    doubling.push_back(bytes({0x09}));
    cases.push_back({"ExponentialSharing", crafted(doubling)});
    return cases;
}

class DamagedBinary : public ::testing::TestWithParam<BadInput> {};

TEST_P(DamagedBinary, GivesAnError) {
    QString error;
    EXPECT_FALSE(readPropertyList(GetParam().bytes, &error));
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(PropertyList, DamagedBinary, ::testing::ValuesIn(damagedBinaries()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BinaryPropertyList, CraftedValidFileIsRead) {
    // Guards the crafted damaged files above: undamaged, the same builder gives a readable file.
    EXPECT_EQ(readPropertyList(arrayOfTwoStrings().build()), Value(ValueArray{Value("ab"), Value("cd")}));
    // Shared (not cyclic) containers are fine.
    const QByteArray shared = CraftedPlist{{bytes({0xA2, 1, 1}), bytes({0xA1, 2}), bytes({0x10, 5})}}.build();
    EXPECT_EQ(readPropertyList(shared), Value(ValueArray{Value(ValueArray{Value(5)}), Value(ValueArray{Value(5)})}));
}

TEST(BinaryPropertyList, EveryTruncationAndByteChangeIsHandled) {
    const QByteArray valid = writePropertyList(sampleValue(), PropertyListFormat::Binary);
    for (qsizetype n = 0; n < valid.size(); ++n)
        EXPECT_FALSE(readPropertyList(valid.left(n))) << "prefix of " << n << " bytes";
    // Changed bytes may still give a valid list; what matters is that nothing crashes or hangs.
    for (qsizetype i = 8; i < valid.size(); ++i) {
        for (char c : {char(0x00), char(0xFF), char(0x0F), char(0x80)}) {
            QByteArray damaged = valid;
            damaged[i] = c;
            QString error;
            const auto read = readPropertyList(damaged, &error);
            EXPECT_TRUE(read || !error.isEmpty());
        }
    }
}

// --- Cross-checks with python3's plistlib ------------------------------------------------------

class PlistlibCrossCheck : public ::testing::TestWithParam<PropertyListFormat> {
protected:
    void SetUp() override {
        KX_REQUIRE_TOOLS("/usr/bin/python3");
        ASSERT_TRUE(m_dir.isValid());
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

TEST_P(PlistlibCrossCheck, PlistlibReadsWhatWeWrite) {
    ValueDictionary d = sampleValue().toDictionary();
    d.emplace("pi", Value(3.14159f));
    if (GetParam() == PropertyListFormat::Binary) {
        d.emplace("uid", Value(Uid{300}));
        d.emplace("msDate", Value(utc(2001, 1, 1, 0, 0, 0, 250)));
    }
    const Value original(d);
    QFile file(path("ours.plist"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(writePropertyList(original, GetParam()));
    file.close();
    const QString script = QString::fromLatin1(test::kPythonCanon) + R"(
import json, sys
with open(sys.argv[1], 'rb') as f:
    print(json.dumps(canon(plistlib.load(f))))
)";
    QString failure;
    const QByteArray out = test::runPython(script, {file.fileName()}, &failure);
    ASSERT_FALSE(out.isEmpty()) << failure.toStdString();
    const Value fromPython = test::valueFromCanon(QJsonDocument::fromJson(out).array());
    EXPECT_EQ(fromPython, original) << describe(fromPython).toStdString();
}

TEST_P(PlistlibCrossCheck, PlistlibSeesTheSignOfZero) {
    QFile file(path("zero.plist"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(writePropertyList(Value(ValueArray{Value(-0.0), Value(0.0)}), GetParam()));
    file.close();
    const QString script = QStringLiteral(R"(
import math, plistlib, sys
with open(sys.argv[1], 'rb') as f:
    print(' '.join(str(math.copysign(1, v)) for v in plistlib.load(f)))
)");
    QString failure;
    const QByteArray out = test::runPython(script, {file.fileName()}, &failure);
    EXPECT_EQ(out.trimmed(), "-1.0 1.0") << failure.toStdString();
}

TEST_P(PlistlibCrossCheck, WeReadWhatPlistlibWrites) {
    const bool binary = GetParam() == PropertyListFormat::Binary;
    const QString script = QString::fromLatin1(test::kPythonCanon) + R"(
import datetime, json, sys
value = {
    'yes': True, 'no': False, 'small': 5, 'byte': 255, 'short': 65535, 'int32': 2**32 - 1, 'big': 2**40,
    'negative': -7, 'min': -2**63, 'max': 2**63 - 1, 'real': 0.1, 'half': 1.5, 'huge': 1e300,
    'ascii': 'plain text of more than fifteen characters', 'unicode': 'Grüße, 日本 \U0001F389',
    'markup': 'a < b & c', 'data': bytes(range(40)), 'date': datetime.datetime(2020, 5, 17, 12, 30, 45),
    'many': list(range(0, 40000, 7)), 'nested': {'a': [{'b': 'c'}, [], {}]}, 'empty': '',
}
binary = sys.argv[2] == 'binary'
if binary:
    value['uid'] = plistlib.UID(7)
    value['wideUid'] = plistlib.UID(70000)
    value['msDate'] = datetime.datetime(2001, 1, 1, 0, 0, 0, 250000)
with open(sys.argv[1], 'wb') as f:
    plistlib.dump(value, f, fmt=plistlib.FMT_BINARY if binary else plistlib.FMT_XML)
print(json.dumps(canon(value)))
)";
    QString failure;
    const QByteArray out = test::runPython(
        script, {path("theirs.plist"), binary ? QStringLiteral("binary") : QStringLiteral("xml")}, &failure);
    ASSERT_FALSE(out.isEmpty()) << failure.toStdString();
    const Value expected = test::valueFromCanon(QJsonDocument::fromJson(out).array());
    QFile file(path("theirs.plist"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString error;
    const auto read = readPropertyList(file.readAll(), &error);
    ASSERT_TRUE(read) << error.toStdString();
    EXPECT_EQ(*read, expected) << describe(*read).toStdString();
}

TEST_P(PlistlibCrossCheck, IntegersBeyond64BitsAreRefusedCleanly) {
    const bool binary = GetParam() == PropertyListFormat::Binary;
    const QString script = QStringLiteral(R"(
import plistlib, sys
with open(sys.argv[1], 'wb') as f:
    plistlib.dump([2**63], f, fmt=plistlib.FMT_BINARY if sys.argv[2] == 'binary' else plistlib.FMT_XML)
print('ok')
)");
    QString failure;
    ASSERT_FALSE(test::runPython(script, {path("big.plist"), binary ? "binary" : "xml"}, &failure).isEmpty())
        << failure.toStdString();
    QFile file(path("big.plist"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString error;
    EXPECT_FALSE(readPropertyList(file.readAll(), &error));
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(PropertyList, PlistlibCrossCheck,
                         ::testing::Values(PropertyListFormat::Binary, PropertyListFormat::Xml),
                         [](const auto& info) { return info.param == PropertyListFormat::Binary ? "Binary" : "Xml"; });

}  // namespace
