#include "platform/gfx/bezier_path_coding.h"

#include "model/archive_probe.h"
#include "support/outside_tools.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

using kx::BezierPath;
using kx::CodableBezierPath;

namespace {

class BezierPathArchiveTest : public ::testing::Test {
protected:
    void SetUp() override { kx::registerBezierPathClass(); }
};

BezierPath samplePath() {
    BezierPath path;
    path.moveTo({0, 0});
    path.lineTo({100, 0.1});
    path.curveTo({50, 80}, {120, 30}, {90, 70.25});
    path.closePath();
    path.moveTo({-5, -5});
    path.lineTo({-1e-9, 3e12});
    return path;
}

std::optional<BezierPath> roundTrip(const BezierPath& path, QString* error = nullptr) {
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(std::make_shared<CodableBezierPath>(path));
    const auto value = kx::KeyedUnarchiver::unarchiveObjectWithData(data, error);
    if (!value)
        return std::nullopt;
    const auto holder = value->objectAs<CodableBezierPath>();
    if (!holder)
        return std::nullopt;
    return holder->path;
}

TEST_F(BezierPathArchiveTest, RoundTripGivesAnEqualPath) {
    BezierPath path = samplePath();
    EXPECT_EQ(roundTrip(path), path);
    path.setWindingRule(kx::FillRule::EvenOdd);
    path.setLineWidth(3.5);
    path.setLineCapStyle(BezierPath::LineCapStyle::Round);
    path.setLineJoinStyle(BezierPath::LineJoinStyle::Bevel);
    path.setMiterLimit(4);
    path.setFlatness(0.1);
    path.setLineDash({4, 2, 1}, 1.5);
    EXPECT_EQ(roundTrip(path), path);
    EXPECT_EQ(roundTrip(BezierPath()), BezierPath());
}

TEST_F(BezierPathArchiveTest, KeysAsPlistlibSeesThem) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    BezierPath path;
    path.moveTo({1, 2});
    path.lineTo({3, 4});
    path.closePath();
    const QJsonObject keys = kxtest::rootKeysSeenByPlistlib(kxtest::archiveOf(CodableBezierPath(path)));
    EXPECT_EQ(kxtest::valueOf(keys, "$class").toString(), "NSBezierPath");
    EXPECT_EQ(kxtest::kindOf(keys, "NSWindingRule"), "int");
    EXPECT_EQ(kxtest::kindOf(keys, "NSLineWidth"), "real");
    EXPECT_EQ(kxtest::kindOf(keys, "NSSegments"), "data");
    EXPECT_EQ(kxtest::kindOf(keys, "NSLineCapStyle"), "missing");  // defaults are left out
    // move (1, 2), line (3, 4), close: kind bytes and big-endian doubles.
    EXPECT_EQ(kxtest::valueOf(keys, "NSSegments").toString(),
              "00" "3ff0000000000000" "4000000000000000"
              "01" "4008000000000000" "4010000000000000"
              "03");
}

TEST_F(BezierPathArchiveTest, HelpersStoreAPathUnderAKey) {
    kx::KeyedArchiver archiver;
    kx::encodeBezierPath(archiver, samplePath(), QStringLiteral("path"));
    kx::KeyedUnarchiver reader(archiver.encodedData());
    EXPECT_EQ(kx::decodeBezierPath(reader, QStringLiteral("path")), samplePath());
    EXPECT_FALSE(kx::decodeBezierPath(reader, QStringLiteral("nothing")).has_value());
    EXPECT_FALSE(reader.failed());
}

QByteArray doubleBytes(double v) {
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    QByteArray out(8, 0);
    qToBigEndian(bits, out.data());
    return out;
}

TEST_F(BezierPathArchiveTest, DamagedElementListsAreRefused) {
    const QByteArray good = kx::packBezierPathElements(samplePath());
    ASSERT_TRUE(kx::unpackBezierPathElements(good));
    const QByteArray cases[] = {
        good.left(good.size() - 3),                                                  // truncated point
        QByteArray(1, char(2)) + doubleBytes(1) + doubleBytes(2),                    // curve missing points
        QByteArray(1, char(7)),                                                      // unknown kind
        QByteArray(1, char(0)) + doubleBytes(std::nan("")) + doubleBytes(1),         // not a number
        QByteArray(1, char(1)) + doubleBytes(1) + doubleBytes(std::numeric_limits<double>::infinity()),
    };
    for (const QByteArray& data : cases)
        EXPECT_FALSE(kx::unpackBezierPathElements(data).has_value()) << data.toHex().toStdString();
    // A path that starts without a move begins at (0, 0).
    const auto lineFirst = kx::unpackBezierPathElements(QByteArray(1, char(1)) + doubleBytes(5) + doubleBytes(6));
    ASSERT_TRUE(lineFirst);
    EXPECT_EQ(lineFirst->elementAtIndex(0).type, BezierPath::ElementType::MoveTo);
    EXPECT_EQ(lineFirst->elementAtIndex(0).points[0], kx::Point(0, 0));
}

// An archive of a path whose settings are out of range.
class ForgedPath : public kx::Object, public kx::Coding {
public:
    explicit ForgedPath(std::function<void(kx::KeyedArchiver&)> write) : m_write(std::move(write)) {}
    QString className() const override { return QStringLiteral("NSBezierPath"); }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override { m_write(coder); }
    void initWithCoder(kx::KeyedUnarchiver&) override {}

private:
    std::function<void(kx::KeyedArchiver&)> m_write;
};

TEST_F(BezierPathArchiveTest, DamagedArchivesFail) {
    const std::function<void(kx::KeyedArchiver&)> writers[] = {
        [](kx::KeyedArchiver& c) { c.encodeInteger(9, "NSWindingRule"); },
        [](kx::KeyedArchiver& c) { c.encodeInteger(-1, "NSLineCapStyle"); },
        [](kx::KeyedArchiver& c) { c.encodeDouble(std::nan(""), "NSLineWidth"); },
        [](kx::KeyedArchiver& c) { c.encodeObject(kx::Value(QByteArray(3, 'x')), "NSLineDash"); },
        [](kx::KeyedArchiver& c) { c.encodeObject(kx::Value(QByteArray(1, char(9))), "NSSegments"); },
        [](kx::KeyedArchiver& c) { c.encodeObject(kx::Value(QStringLiteral("text")), "NSSegments"); },
    };
    for (const auto& write : writers) {
        const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(std::make_shared<ForgedPath>(write));
        QString error;
        EXPECT_FALSE(kx::KeyedUnarchiver::unarchiveObjectWithData(data, &error).has_value());
        EXPECT_FALSE(error.isEmpty());
    }
}

}  // namespace
