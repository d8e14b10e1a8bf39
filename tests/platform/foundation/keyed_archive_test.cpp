#include "platform/foundation/archive_copy.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/property_list.h"

#include "plistlib_bridge.h"
#include "support/outside_tools.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <mutex>

using namespace kx;

namespace {

// An archivable object with a field of every kind the coder offers.
class Node : public Object, public Coding {
public:
    QString className() const override { return QStringLiteral("TestNode"); }

    void encodeWithCoder(KeyedArchiver& coder) const override {
        coder.encodeBool(flag, "flag");
        coder.encodeInt32(small, "small");
        coder.encodeInt64(big, "big");
        coder.encodeInteger(count, "count");
        coder.encodeFloat(single, "single");
        coder.encodeDouble(precise, "precise");
        coder.encodePoint(point, "point");
        coder.encodeSize(size, "size");
        coder.encodeRect(rect, "rect");
        coder.encodeObject(name, "name");
        coder.encodeObject(extra, "extra");
        coder.encodeObject(link, "link");
        coder.encodeObject(other, "other");
        coder.encodeObject(dollar, "$dollar");
    }

    void initWithCoder(KeyedUnarchiver& coder) override {
        flag = coder.decodeBool("flag");
        small = coder.decodeInt32("small");
        big = coder.decodeInt64("big");
        count = coder.decodeInteger("count");
        single = coder.decodeFloat("single");
        precise = coder.decodeDouble("precise");
        point = coder.decodePoint("point");
        size = coder.decodeSize("size");
        rect = coder.decodeRect("rect");
        name = coder.decodeObject("name");
        extra = coder.decodeObject("extra");
        link = coder.decodeObjectOfClass<Node>("link");
        other = coder.decodeObjectOfClass<Node>("other");
        dollar = coder.decodeObject("$dollar");
    }

    bool flag = false;
    std::int32_t small = 0;
    std::int64_t big = 0;
    std::int64_t count = 0;
    float single = 0;
    double precise = 0;
    Point point;
    Size size;
    Rect rect;
    Value name;
    Value extra;
    std::shared_ptr<Node> link;
    std::shared_ptr<Node> other;
    Value dollar;
};

// Breaks the reference cycles a test made, so that the leak checker stays quiet.
void unlink(const std::vector<std::shared_ptr<Node>>& nodes) {
    for (const auto& n : nodes) {
        if (n) {
            n->link.reset();
            n->other.reset();
        }
    }
}

// An object whose coding is given by the test, to probe the coder's checks.
class Probe : public Object, public Coding {
public:
    QString className() const override { return QStringLiteral("Probe"); }
    void encodeWithCoder(KeyedArchiver& coder) const override { encode(coder); }
    void initWithCoder(KeyedUnarchiver& coder) override { decode(coder); }
    std::function<void(KeyedArchiver&)> encode = [](KeyedArchiver&) {};
    std::function<void(KeyedUnarchiver&)> decode = [](KeyedUnarchiver&) {};
};

ClassRegistry& registry() {
    static ClassRegistry r;
    static std::once_flag once;
    std::call_once(once, [] { r.registerClass<Node>("TestNode"); });
    return r;
}

std::shared_ptr<Node> fullNode() {
    auto n = std::make_shared<Node>();
    n->flag = true;
    n->small = -123456;
    n->big = 1LL << 50;
    n->count = 42;
    n->single = 3.87f;
    n->precise = 3.87;
    n->point = {1.5, -2.25};
    n->size = {640, 480};
    n->rect = {0.1, 0.2, 0.3, 0.4};
    n->name = Value("a name");
    ValueDictionary dict;
    dict.emplace("number", Value(7));
    dict.emplace("float", Value(0.5f));
    dict.emplace("data", Value(QByteArray("\x00\x01\x02", 3)));
    dict.emplace("date", Value(QDateTime(QDate(2022, 2, 2), QTime(2, 2, 2, 200), Qt::UTC)));
    dict.emplace("point", Value(Point{1, 2}));
    dict.emplace("size", Value(Size{3, 4}));
    dict.emplace("rect", Value(Rect{5, 6, 7, 8}));
    dict.emplace("$escaped", Value("dictionary keys are not escaped"));
    dict.emplace("list", Value(ValueArray{Value(1), Value("two"), Value(), Value(ValueArray{}), Value(false)}));
    n->extra = Value(std::move(dict));
    n->dollar = Value("dollar key");
    return n;
}

std::shared_ptr<Node> roundTrip(const std::shared_ptr<Node>& node, QString* error = nullptr) {
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(Value(node), error);
    const auto root = KeyedUnarchiver::unarchiveObjectWithData(data, error, registry());
    return root ? root->objectAs<Node>() : nullptr;
}

TEST(KeyedArchive, EveryKindOfValueSurvives) {
    const auto original = fullNode();
    QString error;
    const auto copy = roundTrip(original, &error);
    ASSERT_TRUE(copy) << error.toStdString();
    EXPECT_NE(copy, original);
    EXPECT_TRUE(copy->flag);
    EXPECT_EQ(copy->small, -123456);
    EXPECT_EQ(copy->big, 1LL << 50);
    EXPECT_EQ(copy->count, 42);
    EXPECT_EQ(copy->single, 3.87f);
    EXPECT_EQ(copy->precise, 3.87);
    EXPECT_EQ(copy->point, (Point{1.5, -2.25}));
    EXPECT_EQ(copy->size, (Size{640, 480}));
    EXPECT_EQ(copy->rect, (Rect{0.1, 0.2, 0.3, 0.4}));
    EXPECT_EQ(copy->name, Value("a name"));
    EXPECT_EQ(copy->extra, original->extra) << describe(copy->extra).toStdString();
    EXPECT_EQ(copy->dollar, Value("dollar key"));
    EXPECT_FALSE(copy->link);
}

TEST(KeyedArchive, FloatKeysKeepOnlySinglePrecision) {
    auto n = std::make_shared<Node>();
    n->single = 3.87f;
    KeyedArchiver archiver;
    archiver.encodeObject(Value(n), "root");
    // Read as a double, the stored 4-byte value shows its single precision.
    const Value objects = archiver.archive().toDictionary().at("$objects");
    const Value stored = objects.toArray()[1].toDictionary().at("single");
    EXPECT_TRUE(stored.isFloat());
    EXPECT_EQ(stored.toDouble(), 3.8699998855590820);
}

TEST(KeyedArchive, MissingKeysReadAsZeroValues) {
    ClassRegistry local;
    local.registerClass<Node>("Probe");  // a Probe archive decoded as a Node: none of its keys exist
    const auto probe = std::make_shared<Probe>();
    const auto root = KeyedUnarchiver::unarchiveObjectWithData(KeyedArchiver::archivedDataWithRootObject(Value(probe)),
                                                               nullptr, local);
    ASSERT_TRUE(root);
    const auto n = root->objectAs<Node>();
    ASSERT_TRUE(n);
    EXPECT_FALSE(n->flag);
    EXPECT_EQ(n->small, 0);
    EXPECT_EQ(n->big, 0);
    EXPECT_EQ(n->single, 0.f);
    EXPECT_EQ(n->precise, 0.0);
    EXPECT_EQ(n->point, Point{});
    EXPECT_EQ(n->rect, Rect{});
    EXPECT_TRUE(n->name.isNil());
    EXPECT_FALSE(n->link);
}

TEST(KeyedArchive, ObjectArchivedTwiceIsStoredOnceAndReadAsOne) {
    auto a = std::make_shared<Node>();
    auto b = std::make_shared<Node>();
    b->link = a;
    KeyedArchiver archiver;
    archiver.encodeObject(Value(ValueArray{Value(a), Value(a), Value(b)}), "root");
    int nodes = 0;
    const Value archive = archiver.archive();
    for (const Value& entry : archive.toDictionary().at("$objects").toArray())
        nodes += entry.toDictionary().count("flag");
    EXPECT_EQ(nodes, 2);
    const auto root = KeyedUnarchiver::unarchiveObjectWithData(archiver.encodedData(), nullptr, registry());
    ASSERT_TRUE(root);
    const ValueArray& list = root->toArray();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].toObject(), list[1].toObject());
    EXPECT_EQ(list[2].objectAs<Node>()->link, list[0].toObject());
    EXPECT_NE(list[0].toObject(), list[2].toObject());
}

// No model object owns one of its owners: a cycle is refused when written, and read as an error (so no
// decoded graph of owners is ever left unreleased).
TEST(KeyedArchive, CyclesAreRefusedWhenWritten) {
    auto a = std::make_shared<Node>();
    auto b = std::make_shared<Node>();
    a->link = b;
    b->link = a;
    auto self = std::make_shared<Node>();
    self->other = self;
    auto throughValue = std::make_shared<Node>();
    throughValue->extra = Value(ValueArray{Value(throughValue)});
    for (const auto& root : {a, self, throughValue}) {
        QString error;
        EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(Value(root), &error).isEmpty());
        EXPECT_TRUE(error.contains("contains itself")) << error.toStdString();
    }
    unlink({a, b, self});
    throughValue->extra = Value();
}

// Shared objects stay shared when a hostile archive only reuses them (no cycle).
TEST(KeyedArchive, SharingWithoutACycleIsKept) {
    auto a = std::make_shared<Node>();
    a->link = std::make_shared<Node>();
    a->other = a->link;
    const auto copy = roundTrip(a);
    ASSERT_TRUE(copy);
    ASSERT_TRUE(copy->link);
    EXPECT_EQ(copy->link, copy->other);
}

// The class records hold the registered chain of superclasses, and the mutable collection names when the
// caller asks for them; the reader takes either name.
TEST(KeyedArchive, ClassRecordsHoldTheClassChain) {
    ClassRegistry local;
    local.registerClass<Node>("TestNode", "TestBase");
    local.registerClass<Node>("TestBase");
    local.registerClass<Node>("LoopA", "LoopB");
    local.registerClass<Node>("LoopB", "LoopA");
    EXPECT_EQ(local.classChain("TestNode"), (QStringList{"TestNode", "TestBase", "NSObject"}));
    EXPECT_EQ(local.classChain("Unknown"), (QStringList{"Unknown", "NSObject"}));
    EXPECT_EQ(local.classChain("LoopA"), (QStringList{"LoopA", "LoopB", "NSObject"}));

    KeyedArchiver archiver(local);
    archiver.encodeObject(Value(ValueArray{Value(std::make_shared<Node>())}), "list", CollectionClass::Mutable);
    archiver.encodeObject(Value(ValueDictionary{{"k", Value(ValueArray{})}}), "dict", CollectionClass::Mutable);
    archiver.encodeObject(Value(ValueArray{}), "plain");
    const ValueDictionary archive = archiver.archive().toDictionary();
    const auto chainOf = [&](const QString& className) {
        QStringList chain;
        for (const Value& entry : archive.at("$objects").toArray()) {
            const ValueDictionary& record = entry.toDictionary();
            if (record.count("$classname") && record.at("$classname") == Value(className))
                for (const Value& name : record.at("$classes").toArray())
                    chain << name.toString();
        }
        return chain;
    };
    EXPECT_EQ(chainOf("TestNode"), (QStringList{"TestNode", "TestBase", "NSObject"}));
    EXPECT_EQ(chainOf("NSMutableArray"), (QStringList{"NSMutableArray", "NSArray", "NSObject"}));
    EXPECT_EQ(chainOf("NSMutableDictionary"), (QStringList{"NSMutableDictionary", "NSDictionary", "NSObject"}));
    // Collections inside a mutable one, and those not asked for, keep the immutable names.
    EXPECT_EQ(chainOf("NSArray"), (QStringList{"NSArray", "NSObject"}));

    KeyedUnarchiver unarchiver(archiver.encodedData(), local);
    const Value list = unarchiver.decodeObject("list");
    ASSERT_EQ(list.toArray().size(), 1u);
    EXPECT_TRUE(list.toArray()[0].objectAs<Node>());
    EXPECT_EQ(unarchiver.decodeObject("dict"), Value(ValueDictionary{{"k", Value(ValueArray{})}}));
    EXPECT_EQ(unarchiver.decodeObject("plain"), Value(ValueArray{}));
    EXPECT_FALSE(unarchiver.failed()) << unarchiver.error().toStdString();
}

TEST(KeyedArchive, DatesKeepTheirSecondsExactly) {
    for (const double seconds : {0.000123456789, 657000000.1234567, -978307200.0000011, 1e-300}) {
        QString error;
        const auto read = KeyedUnarchiver::unarchiveObjectWithData(
            KeyedArchiver::archivedDataWithRootObject(Value(Date{seconds})), &error);
        ASSERT_TRUE(read) << error.toStdString();
        EXPECT_EQ(read->toExactDate().seconds, seconds);
    }
}

TEST(KeyedArchive, DollarKeysAreEscaped) {
    KeyedArchiver archiver;
    archiver.encodeObject(Value(fullNode()), "root");
    archiver.encodeInt32(5, "$top");
    const ValueDictionary archive = archiver.archive().toDictionary();
    const ValueDictionary& node = archive.at("$objects").toArray()[1].toDictionary();
    EXPECT_EQ(node.count("$$dollar"), 1u);
    EXPECT_EQ(node.count("$dollar"), 0u);
    EXPECT_EQ(archive.at("$top").toDictionary().at("$$top"), Value(5));
    KeyedUnarchiver unarchiver(archiver.encodedData(), registry());
    EXPECT_EQ(unarchiver.decodeInt32("$top"), 5);
    EXPECT_TRUE(unarchiver.containsValue("root"));
    EXPECT_FALSE(unarchiver.containsValue("$archiver"));
}

TEST(KeyedArchive, WritingIsDeterministic) {
    const auto first = KeyedArchiver::archivedDataWithRootObject(Value(fullNode()));
    const auto second = KeyedArchiver::archivedDataWithRootObject(Value(fullNode()));
    EXPECT_FALSE(first.isEmpty());
    EXPECT_EQ(first, second);
}

TEST(KeyedArchive, XmlArchivesAreReadToo) {
    KeyedArchiver archiver;
    archiver.encodeObject(Value(fullNode()), "root");
    const QByteArray xml = archiver.encodedData(PropertyListFormat::Xml);
    ASSERT_TRUE(xml.startsWith("<?xml"));
    QString error;
    const auto root = KeyedUnarchiver::unarchiveObjectWithData(xml, &error, registry());
    ASSERT_TRUE(root) << error.toStdString();
    EXPECT_EQ(root->objectAs<Node>()->extra, fullNode()->extra);
}

TEST(KeyedArchive, PlainValuesAsRoot) {
    for (const Value& v : {Value(), Value(5), Value(2.5), Value("text"), Value(ValueArray{Value(), Value(1)}),
                           Value(Rect{1, 2, 3, 4}), Value(QDateTime(QDate(1990, 1, 1), QTime(), Qt::UTC))}) {
        QString error;
        const auto read =
            KeyedUnarchiver::unarchiveObjectWithData(KeyedArchiver::archivedDataWithRootObject(v), &error);
        ASSERT_TRUE(read) << error.toStdString();
        EXPECT_EQ(*read, v) << describe(v).toStdString();
    }
}

TEST(KeyedArchive, WhatCannotBeArchivedFailsTheArchive) {
    struct Plain : Object {
        QString className() const override { return "Plain"; }
    };
    for (const Value& bad : {Value(std::make_shared<Plain>()), Value(Uid{3}),
                             Value(ValueArray{Value(1), Value(std::make_shared<Plain>())})}) {
        QString error;
        EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(bad, &error).isEmpty());
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(KeyedArchive, DeepObjectChainsAreRefusedNotOverflowed) {
    auto head = std::make_shared<Node>();
    auto tail = head;
    for (int i = 0; i < kMaxArchiveDepth + 10; ++i) {
        tail->link = std::make_shared<Node>();
        tail = tail->link;
    }
    QString error;
    EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(Value(head), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    // Unlink iteratively: a recursive release of a long chain is what we just avoided.
    while (head)
        head = std::exchange(head->link, nullptr);
}

TEST(KeyedArchive, UnknownClassIsAnError) {
    QString error;
    ClassRegistry empty;
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithData(KeyedArchiver::archivedDataWithRootObject(Value(fullNode())),
                                                          &error, empty));
    EXPECT_TRUE(error.contains("TestNode")) << error.toStdString();
}

struct TypeCase {
    const char* name;
    std::function<void(KeyedArchiver&)> encode;
    std::function<void(KeyedUnarchiver&)> decode;
    bool accepted;
    friend void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.name; }
};

class CoderTypes : public ::testing::TestWithParam<TypeCase> {};

TEST_P(CoderTypes, WrongTypesFailTheArchive) {
    ClassRegistry local;
    local.registerClass("Probe", [decode = GetParam().decode] {
        auto probe = std::make_shared<Probe>();
        probe->decode = decode;
        return probe;
    });
    local.registerClass<Node>("TestNode");
    auto probe = std::make_shared<Probe>();
    probe->encode = GetParam().encode;
    QString error;
    const auto root = KeyedUnarchiver::unarchiveObjectWithData(KeyedArchiver::archivedDataWithRootObject(Value(probe)),
                                                               &error, local);
    EXPECT_EQ(root.has_value(), GetParam().accepted) << error.toStdString();
    EXPECT_EQ(error.isEmpty(), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    KeyedArchive, CoderTypes,
    ::testing::Values(
        TypeCase{"BoolFromString", [](auto& c) { c.encodeObject(Value("yes"), "k"); },
                 [](auto& c) { c.decodeBool("k"); }, false},
        TypeCase{"BoolFromInlineString",
                 [](auto& c) {
                     c.encodePoint({1, 2}, "k");
                 },
                 [](auto& c) { c.decodeBool("k"); }, false},
        TypeCase{"Int32Overflow", [](auto& c) { c.encodeInt64(1LL << 40, "k"); }, [](auto& c) { c.decodeInt32("k"); },
                 false},
        TypeCase{"Int32FromNegative", [](auto& c) { c.encodeInt64(-5, "k"); },
                 [](auto& c) { EXPECT_EQ(c.decodeInt32("k"), -5); }, true},
        TypeCase{"Int64FromData", [](auto& c) { c.encodeObject(Value(QByteArray("x")), "k"); },
                 [](auto& c) { c.decodeInt64("k"); }, false},
        TypeCase{"DoubleFromInt", [](auto& c) { c.encodeInt32(7, "k"); },
                 [](auto& c) { EXPECT_EQ(c.decodeDouble("k"), 7.0); }, true},
        TypeCase{"IntFromFloat", [](auto& c) { c.encodeFloat(2.9f, "k"); },
                 [](auto& c) { EXPECT_EQ(c.decodeInt32("k"), 2); }, true},
        TypeCase{"HugeDoubleAsFloat", [](auto& c) { c.encodeDouble(1e300, "k"); },
                 [](auto& c) { EXPECT_TRUE(std::isinf(c.decodeFloat("k"))); }, true},
        TypeCase{"DoubleFromObject", [](auto& c) { c.encodeObject(Value(std::make_shared<Node>()), "k"); },
                 [](auto& c) { c.decodeDouble("k"); }, false},
        TypeCase{"RectFromInteger", [](auto& c) { c.encodeInt32(1, "k"); }, [](auto& c) { c.decodeRect("k"); }, false},
        TypeCase{"PointFromObjectReference", [](auto& c) { c.encodeObject(Value("nonsense"), "k"); },
                 [](auto& c) { c.decodePoint("k"); }, false},
        TypeCase{"ObjectFromInlineInteger", [](auto& c) { c.encodeInt32(1, "k"); },
                 [](auto& c) { c.decodeObject("k"); }, false},
        TypeCase{"ClassMismatch", [](auto& c) { c.encodeObject(Value("text"), "k"); },
                 [](KeyedUnarchiver& c) { c.decodeObjectOfClass<Node>("k"); }, false},
        TypeCase{"TypeMismatch", [](auto& c) { c.encodeObject(Value(ValueDictionary{}), "k"); },
                 [](auto& c) { c.decodeObjectOfType("k", Value::Type::Array); }, false},
        TypeCase{"TypeMatchesAndNilPasses", [](auto& c) { c.encodeObject(Value(ValueArray{}), "k"); },
                 [](auto& c) {
                     EXPECT_EQ(c.decodeObjectOfType("k", Value::Type::Array), Value(ValueArray{}));
                     EXPECT_TRUE(c.decodeObjectOfType("missing", Value::Type::Array).isNil());
                 },
                 true},
        TypeCase{"ObjectReportsBadContent", [](auto&) {}, [](auto& c) { c.failWithError("bad content"); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Damaged archives ------------------------------------------------------------------------

// A valid archive as a property-list value, to be damaged by the cases below.
ValueDictionary validArchive() {
    KeyedArchiver archiver;
    archiver.encodeObject(Value(ValueArray{Value(fullNode()), Value(ValueDictionary{{"k", Value("v")}})}), "root");
    return archiver.archive().toDictionary();
}

void setEntry(ValueDictionary& archive, std::uint64_t index, Value v) {
    ValueArray objects = archive.at("$objects").toArray();
    objects[index] = std::move(v);
    archive.insert_or_assign("$objects", Value(std::move(objects)));
}

// Index of the first "$objects" entry whose class is the given one.
std::uint64_t entryOfClass(const ValueDictionary& archive, const QString& className) {
    const ValueArray& objects = archive.at("$objects").toArray();
    for (size_t i = 0; i < objects.size(); ++i) {
        const auto cls = objects[i].toDictionary().find("$class");
        if (cls != objects[i].toDictionary().end() &&
            objects[cls->second.toUid().value].toDictionary().at("$classname") == Value(className))
            return i;
    }
    return 0;
}

void setField(ValueDictionary& archive, std::uint64_t index, const QString& key, Value v) {
    ValueDictionary entry = archive.at("$objects").toArray()[index].toDictionary();
    entry.insert_or_assign(key, std::move(v));
    setEntry(archive, index, Value(std::move(entry)));
}

struct DamageCase {
    const char* name;
    std::function<QByteArray()> make;
    friend void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }
};

QByteArray binary(const ValueDictionary& archive) {
    return writePropertyList(Value(archive), PropertyListFormat::Binary);
}

class DamagedArchive : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedArchive, GivesAnError) {
    QString error;
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithData(GetParam().make(), &error, registry()));
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    KeyedArchive, DamagedArchive,
    ::testing::Values(
        DamageCase{"NotAPlist", [] { return QByteArray("garbage"); }},
        DamageCase{"NotADictionary", [] { return writePropertyList(Value(ValueArray{}), PropertyListFormat::Binary); }},
        DamageCase{"WrongArchiver",
                   [] {
                       auto a = validArchive();
                       a["$archiver"] = Value("SomethingElse");
                       return binary(a);
                   }},
        DamageCase{"NoTop",
                   [] {
                       auto a = validArchive();
                       a.erase("$top");
                       return binary(a);
                   }},
        DamageCase{"EmptyObjects",
                   [] {
                       auto a = validArchive();
                       a["$objects"] = Value(ValueArray{});
                       return binary(a);
                   }},
        DamageCase{"RootOutOfRange",
                   [] {
                       auto a = validArchive();
                       a["$top"] = Value(ValueDictionary{{"root", Value(Uid{9999})}});
                       return binary(a);
                   }},
        DamageCase{"RootIsInline",
                   [] {
                       auto a = validArchive();
                       a["$top"] = Value(ValueDictionary{{"root", Value(5)}});
                       return binary(a);
                   }},
        DamageCase{"NoClass",
                   [] {
                       auto a = validArchive();
                       auto i = entryOfClass(a, "TestNode");
                       ValueDictionary entry = a.at("$objects").toArray()[i].toDictionary();
                       entry.erase("$class");
                       setEntry(a, i, Value(entry));
                       return binary(a);
                   }},
        DamageCase{"ClassOutOfRange",
                   [] {
                       auto a = validArchive();
                       setField(a, entryOfClass(a, "TestNode"), "$class", Value(Uid{5000}));
                       return binary(a);
                   }},
        DamageCase{"ClassWithoutName",
                   [] {
                       auto a = validArchive();
                       setField(a, entryOfClass(a, "TestNode"), "$class", Value(Uid{0}));
                       return binary(a);
                   }},
        DamageCase{"ArrayWithoutObjects",
                   [] {
                       auto a = validArchive();
                       setField(a, entryOfClass(a, "NSArray"), "NS.objects", Value("no list"));
                       return binary(a);
                   }},
        DamageCase{"ArrayElementInline",
                   [] {
                       auto a = validArchive();
                       setField(a, entryOfClass(a, "NSArray"), "NS.objects", Value(ValueArray{Value(1)}));
                       return binary(a);
                   }},
        DamageCase{"ArrayContainsItself",
                   [] {
                       auto a = validArchive();
                       const auto i = entryOfClass(a, "NSArray");
                       setField(a, i, "NS.objects", Value(ValueArray{Value(Uid{i})}));
                       return binary(a);
                   }},
        DamageCase{"DictionaryCountsDiffer",
                   [] {
                       auto a = validArchive();
                       setField(a, entryOfClass(a, "NSDictionary"), "NS.keys", Value(ValueArray{}));
                       return binary(a);
                   }},
        DamageCase{"DictionaryKeyNotString",
                   [] {
                       auto a = validArchive();
                       const auto i = entryOfClass(a, "NSDictionary");
                       const ValueArray keys = a.at("$objects").toArray()[i].toDictionary().at("NS.keys").toArray();
                       ValueArray badKeys(keys.size(), Value(Uid{entryOfClass(a, "TestNode")}));
                       setField(a, i, "NS.keys", Value(badKeys));
                       return binary(a);
                   }},
        DamageCase{"ValueWithBadKind",
                   [] {
                       auto a = validArchive();
                       setField(a, entryOfClass(a, "NSValue"), "NS.special", Value(99));
                       return binary(a);
                   }},
        DamageCase{"DateWithoutTime",
                   [] {
                       auto a = validArchive();
                       setField(a, entryOfClass(a, "NSDate"), "NS.time", Value("noon"));
                       return binary(a);
                   }},
        DamageCase{"EntryIsRawArray",
                   [] {
                       auto a = validArchive();
                       setEntry(a, entryOfClass(a, "TestNode"), Value(ValueArray{}));
                       return binary(a);
                   }},
        DamageCase{"NodeLinksToItself",
                   [] {
                       auto a = validArchive();
                       const auto node = entryOfClass(a, "TestNode");
                       setField(a, node, "link", Value(Uid{node}));
                       return binary(a);
                   }},
        DamageCase{"CycleThroughAnotherNode",
                   [] {
                       auto first = std::make_shared<Node>();
                       first->link = std::make_shared<Node>();
                       KeyedArchiver archiver;
                       archiver.encodeObject(Value(first), "root");
                       auto a = archiver.archive().toDictionary();
                       // Entry 1 is the first node, the second node comes after it: link it back.
                       const auto second = a.at("$objects").toArray()[1].toDictionary().at("link").toUid().value;
                       setField(a, second, "link", Value(Uid{1}));
                       return binary(a);
                   }},
        DamageCase{"CycleThroughACollection",
                   [] {
                       // The node's "extra" names the root array, which holds the node.
                       auto a = validArchive();
                       setField(a, entryOfClass(a, "TestNode"), "extra", Value(Uid{entryOfClass(a, "NSArray")}));
                       return binary(a);
                   }},
        DamageCase{"NodeFieldOfWrongClass",
                   [] {
                       auto a = validArchive();
                       setField(a, entryOfClass(a, "TestNode"), "link", Value(Uid{entryOfClass(a, "NSArray")}));
                       return binary(a);
                   }},
        DamageCase{
            "ExponentialSharing",
            [] {
                // 64 arrays, each holding the next one twice: 2^64 values if expanded.
                ValueArray objects{Value("$null"), Value(ValueDictionary{{"$classname", Value("NSArray")}})};
                for (int i = 0; i < 64; ++i)
                    objects.push_back(Value(ValueDictionary{
                        {"$class", Value(Uid{1})},
                        {"NS.objects", Value(ValueArray{Value(Uid{quint64(i + 3)}), Value(Uid{quint64(i + 3)})})}}));
                objects.push_back(Value(1));
                ValueDictionary a{{"$archiver", Value("NSKeyedArchiver")},
                                  {"$top", Value(ValueDictionary{{"root", Value(Uid{2})}})},
                                  {"$objects", Value(objects)}};
                return binary(a);
            }},
        DamageCase{"NestedTooDeeply",
                   [] {
                       ValueArray objects{Value("$null"), Value(ValueDictionary{{"$classname", Value("NSArray")}})};
                       for (int i = 0; i < kMaxArchiveDepth + 5; ++i)
                           objects.push_back(
                               Value(ValueDictionary{{"$class", Value(Uid{1})},
                                                     {"NS.objects", Value(ValueArray{Value(Uid{quint64(i + 3)})})}}));
                       objects.push_back(Value(1));
                       ValueDictionary a{{"$archiver", Value("NSKeyedArchiver")},
                                         {"$top", Value(ValueDictionary{{"root", Value(Uid{2})}})},
                                         {"$objects", Value(objects)}};
                       return binary(a);
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyedArchive, TheDamageCasesStartFromAReadableArchive) {
    QString error;
    EXPECT_TRUE(KeyedUnarchiver::unarchiveObjectWithData(binary(validArchive()), &error, registry()))
        << error.toStdString();
    for (const char* cls : {"TestNode", "NSArray", "NSDictionary", "NSValue", "NSDate"})
        EXPECT_NE(entryOfClass(validArchive(), cls), 0u) << cls;
}

// --- Copies and files -------------------------------------------------------------------------

TEST(ArchiveCopy, CopiesAreIndependentAndKeepInnerSharing) {
    auto original = fullNode();
    auto shared = std::make_shared<Node>();
    shared->small = 9;
    original->link = shared;
    original->other = shared;
    QString error;
    const auto copy = archiveCopy(*original, &error, registry());
    ASSERT_TRUE(copy) << error.toStdString();
    EXPECT_NE(copy.get(), original.get());
    EXPECT_EQ(copy->extra, original->extra);
    ASSERT_TRUE(copy->link);
    EXPECT_NE(copy->link, shared);
    EXPECT_EQ(copy->link, copy->other);
    EXPECT_EQ(copy->link->small, 9);
}

TEST(ArchiveCopy, SelfReferenceOfAnUnownedObjectPointsAtTheCopy) {
    Node onStack;
    auto child = std::make_shared<Node>();
    onStack.link = child;
    const auto copy = archiveCopy(onStack, nullptr, registry());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->link, child);
    ASSERT_TRUE(copy->link);
}

TEST(ArchiveCopy, UnregisteredClassGivesNoCopy) {
    QString error;
    ClassRegistry empty;
    EXPECT_FALSE(archiveCopy(*fullNode(), &error, empty));
    EXPECT_FALSE(error.isEmpty());
}

TEST(KeyedArchiveFile, WritesAtomicallyAndReadsBack) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("info.xml");
    QString error;
    ASSERT_TRUE(KeyedArchiver::archiveRootObject(Value(fullNode()), path, &error)) << error.toStdString();
    const auto root = KeyedUnarchiver::unarchiveObjectWithFile(path, &error, registry());
    ASSERT_TRUE(root) << error.toStdString();
    EXPECT_EQ(root->objectAs<Node>()->small, -123456);
    // A failed archive leaves the earlier file untouched.
    struct Plain : Object {
        QString className() const override { return "Plain"; }
    };
    const QByteArray before = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    EXPECT_FALSE(KeyedArchiver::archiveRootObject(Value(std::make_shared<Plain>()), path, &error));
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"info.xml"});
    // No folder, no file.
    EXPECT_FALSE(KeyedArchiver::archiveRootObject(Value(1), dir.filePath("missing/info.xml"), &error));
    EXPECT_FALSE(QFile::exists(dir.filePath("missing/info.xml")));
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithFile(dir.filePath("absent"), &error));
}

// Only regular files of a bounded size are read: a FIFO would block, a device would never end.
TEST(KeyedArchiveFile, OnlyBoundedRegularFilesAreRead) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithFile("/dev/zero", &error));
    EXPECT_FALSE(error.isEmpty());
    const QString fifo = dir.filePath("archive.fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithFile(fifo, &error));  // returns, does not block
    // A sparse file just past the limit is refused unread.
    const QString large = dir.filePath("large");
    {
        QFile file(large);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(kMaxArchiveFileBytes + 1));
    }
    error.clear();
    EXPECT_FALSE(KeyedUnarchiver::unarchiveObjectWithFile(large, &error));
    EXPECT_TRUE(error.contains("larger")) << error.toStdString();
}

// --- Cross-check with python3's plistlib ------------------------------------------------------

TEST(KeyedArchivePlistlib, StructureClassesKeysAndValueTypes) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto a = fullNode();
    auto b = std::make_shared<Node>();
    b->link = a;
    ValueDictionary root;
    root.emplace("canvas", Value(ValueArray{Value(a), Value(a), Value(b)}));
    root.emplace("title", Value("x"));
    // The shared registry gives the chain; the root dictionary is stored as a mutable one.
    ClassRegistry::shared().registerClass<Node>("TestNode", "TestBase");
    ASSERT_TRUE(
        KeyedArchiver::archiveRootObject(Value(root), dir.filePath("archive"), nullptr, CollectionClass::Mutable));
    // plistlib reads the archive; a raw reading of the bplist finds the markers of two values.
    const QString script = QStringLiteral(R"(
import json, plistlib, struct, sys
data = open(sys.argv[1], 'rb').read()
p = plistlib.loads(data)
objs = p['$objects']
def cls(o): return objs[o['$class'].data]['$classname']
nodes = [o for o in objs if isinstance(o, dict) and '$class' in o and cls(o) == 'TestNode']
top = objs[p['$top']['root'].data]
out = {
    'archiver': p['$archiver'], 'version': p['$version'], 'null': objs[0],
    'rootClass': cls(top), 'rootClasses': objs[top['$class'].data]['$classes'],
    'rootKeys': sorted(objs[u.data] for u in top['NS.keys']),
    'innerClass': cls(objs[top['NS.objects'][sorted(objs[u.data] for u in top['NS.keys']).index('canvas')].data]),
    'nodeCount': len(nodes),
    'classes': objs[nodes[0]['$class'].data]['$classes'],
    'keys': sorted(nodes[0].keys()),
    'types': {k: type(v).__name__ for k, v in nodes[0].items()},
    'single': nodes[0]['single'], 'point': nodes[0]['point'], 'rect': nodes[0]['rect'],
    'linkIsFirst': objs[nodes[1]['link'].data] is nodes[0],
}
# Raw bplist: find the markers of the 'single' and 'precise' values of the first node.
offset_size, ref_size, count, top_index, table = struct.unpack('>6xBBQQQ', data[-32:])
offsets = [int.from_bytes(data[table + i * offset_size:table + (i + 1) * offset_size], 'big') for i in range(count)]
def counted(pos):
    info = data[pos] & 0xF
    if info != 0xF: return info, pos + 1
    n = 1 << (data[pos + 1] & 0xF)
    return int.from_bytes(data[pos + 2:pos + 2 + n], 'big'), pos + 2 + n
def refs(i):
    n, pos = counted(offsets[i])
    k = 2 * n if data[offsets[i]] >> 4 == 0xD else n
    return n, [int.from_bytes(data[pos + j * ref_size:pos + (j + 1) * ref_size], 'big') for j in range(k)]
def text(i):
    n, pos = counted(offsets[i])
    return data[pos:pos + n].decode('latin-1') if data[offsets[i]] >> 4 == 5 else data[pos:pos + 2 * n].decode('utf-16-be')
def items(i):
    n, r = refs(i)
    return {text(r[j]): r[n + j] for j in range(n)}
raw_objects = refs(items(top_index)['$objects'])[1]
markers = {}
for i in raw_objects:
    if data[offsets[i]] >> 4 == 0xD:
        entry = items(i)
        if 'single' in entry and 'flag' in entry and data[offsets[entry['flag']]] == 0x09:
            markers = {k: '%02x' % data[offsets[entry[k]]] for k in ('single', 'precise', 'small', 'big')}
out['markers'] = markers
print(json.dumps(out))
)");
    QString failure;
    const QByteArray output = test::runPython(script, {dir.filePath("archive")}, &failure);
    ASSERT_FALSE(output.isEmpty()) << failure.toStdString();
    const QJsonObject out = QJsonDocument::fromJson(output).object();
    EXPECT_EQ(out["archiver"].toString(), "NSKeyedArchiver");
    EXPECT_EQ(out["version"].toInt(), 100000);
    EXPECT_EQ(out["null"].toString(), "$null");
    EXPECT_EQ(out["rootClass"].toString(), "NSMutableDictionary");
    EXPECT_EQ(out["rootClasses"].toVariant().toStringList(),
              (QStringList{"NSMutableDictionary", "NSDictionary", "NSObject"}));
    EXPECT_EQ(out["innerClass"].toString(), "NSArray");
    EXPECT_EQ(out["rootKeys"].toVariant().toStringList(), (QStringList{"canvas", "title"}));
    EXPECT_EQ(out["nodeCount"].toInt(), 2);  // the node archived twice is stored once
    EXPECT_EQ(out["classes"].toVariant().toStringList(), (QStringList{"TestNode", "TestBase", "NSObject"}));
    EXPECT_EQ(out["keys"].toVariant().toStringList(),
              (QStringList{"$$dollar", "$class", "big", "count", "extra", "flag", "link", "name", "other", "point",
                           "precise", "rect", "single", "size", "small"}));
    const QJsonObject types = out["types"].toObject();
    EXPECT_EQ(types["flag"].toString(), "bool");
    EXPECT_EQ(types["small"].toString(), "int");
    EXPECT_EQ(types["single"].toString(), "float");
    EXPECT_EQ(types["precise"].toString(), "float");
    EXPECT_EQ(types["point"].toString(), "str");
    EXPECT_EQ(types["name"].toString(), "UID");
    EXPECT_EQ(types["$class"].toString(), "UID");
    EXPECT_EQ(out["single"].toDouble(), double(3.87f));
    EXPECT_EQ(out["point"].toString(), "{1.5, -2.25}");
    EXPECT_EQ(out["rect"].toString(), "{{0.1, 0.2}, {0.3, 0.4}}");
    EXPECT_TRUE(out["linkIsFirst"].toBool());
    const QJsonObject markers = out["markers"].toObject();
    EXPECT_EQ(markers["single"].toString(), "22");   // 4-byte real
    EXPECT_EQ(markers["precise"].toString(), "23");  // 8-byte real
    EXPECT_EQ(markers["small"].toString(), "13");    // negative: 8-byte integer
    EXPECT_EQ(markers["big"].toString(), "13");
    unlink({a, b});
}

}  // namespace

namespace {

TEST(KeyedArchive, UnknownKeysCanBeListedReadAsStoredAndWrittenBackInTheSameForm) {
    KeyedArchiver archiver;
    archiver.encodeInteger(7, "count");
    archiver.encodeObject(Value("text"), "name");
    archiver.encodeBool(true, "$flag");
    archiver.encodeObject(Value(ValueArray{Value(1), Value("two")}), "list");
    KeyedUnarchiver top2(archiver.encodedData(), registry());
    QStringList keys = top2.allKeys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"$flag", "count", "list", "name"}));
    bool inPlace = false;
    EXPECT_EQ(top2.decodeStoredValue("count", &inPlace), Value(7));
    EXPECT_TRUE(inPlace);
    EXPECT_EQ(top2.decodeStoredValue("$flag", &inPlace), Value(true));
    EXPECT_TRUE(inPlace);
    EXPECT_EQ(top2.decodeStoredValue("name", &inPlace), Value("text"));
    EXPECT_FALSE(inPlace);
    EXPECT_EQ(top2.decodeStoredValue("list", &inPlace).toArray().size(), 2u);
    EXPECT_FALSE(inPlace);
    EXPECT_TRUE(top2.decodeStoredValue("missing", &inPlace).isNil());
    EXPECT_FALSE(inPlace);

    // Written back: in-place values stay in place, references stay references.
    KeyedArchiver again;
    again.encodeValueInPlace(Value(7), "count");
    again.encodeValueInPlace(Value(ValueArray{Value(1)}), "list");
    const ValueDictionary topDict = again.archive().toDictionary().at("$top").toDictionary();
    EXPECT_EQ(topDict.at("count"), Value(7));
    EXPECT_EQ(topDict.at("list").type(), Value::Type::Uid);
}

}  // namespace
