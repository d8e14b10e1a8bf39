#include "output/psd_writer.h"

#include "file_bytes.h"
#include "support/outside_tools.h"
#include "support/pixel_probe.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using kxtest::Rgba;

// Decodes PackBits independently of the encoder and checks the packet rules on the way: runs of 3 to 127
// bytes, literal packets of 1 to 128 bytes, never the no-op header 0x80.
::testing::AssertionResult unpackBits(const QByteArray& packed, QByteArray* out) {
    out->clear();
    for (qsizetype i = 0; i < packed.size();) {
        const int header = static_cast<signed char>(packed[i++]);
        if (header >= 0) {
            if (i + header + 1 > packed.size())
                return ::testing::AssertionFailure() << "literal packet runs past the end at " << i;
            out->append(packed.mid(i, header + 1));
            i += header + 1;
        } else {
            const int run = 1 - header;
            if (run < 3 || run > 127)
                return ::testing::AssertionFailure() << "run of " << run << " at " << i;
            if (i >= packed.size())
                return ::testing::AssertionFailure() << "run without its byte";
            out->append(QByteArray(run, packed[i++]));
        }
    }
    return ::testing::AssertionSuccess();
}

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

QByteArray sequence(int count, int first = 0) {
    QByteArray b;
    for (int i = 0; i < count; ++i)
        b.append(char((first + i) % 256));
    return b;
}

TEST(PackBits, EncodesTheTableOfCases) {
    QByteArray zeros1000Expected;
    for (int i = 0; i < 7; ++i)
        zeros1000Expected += bytes({0x82, 0});
    zeros1000Expected += bytes({0x92, 0});

    const QByteArray distinct128 = sequence(128), distinct129 = sequence(129), distinct130 = sequence(130);
    struct Case {
        const char* what;
        QByteArray input;
        QByteArray expected;
    } cases[] = {
        {"one byte", bytes({7}), bytes({0, 7})},
        {"two equal then a different byte is one literal", bytes({5, 5, 6}), bytes({2, 5, 5, 6})},
        {"three equal bytes are a run", bytes({9, 9, 9}), bytes({0xfe, 9})},
        {"literals before a run go first", bytes({1, 2, 3, 3, 3, 3}), bytes({1, 1, 2, 0xfd, 3})},
        {"the byte that ends a run starts the next literal", bytes({4, 4, 4, 8, 9}), bytes({0xfe, 4, 1, 8, 9})},
        {"1000 zero bytes are seven runs of 127 and one of 111", QByteArray(1000, '\0'), zeros1000Expected},
        {"a run of 128 is 127 and a literal of one", QByteArray(128, 'a'), bytes({0x82, 'a', 0, 'a'})},
        {"a run of 129 is 127 and a literal of two", QByteArray(129, 'a'), bytes({0x82, 'a', 1, 'a', 'a'})},
        {"128 distinct bytes are one packet", distinct128, char(127) + distinct128},
        {"129 distinct bytes are 128 and 1", distinct129, char(127) + distinct128 + bytes({0, 128})},
        {"130 distinct bytes are 128 and 2", distinct130, char(127) + distinct128 + bytes({1, 128, 129})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(packedBitsForRange(c.input, 0, c.input.size(), 1).toHex(), c.expected.toHex()) << c.what;
    }
}

TEST(PackBits, TakesEveryNthByteOfTheRangeOnly) {
    // Interleaved RGBA: red 1,2,3,4, green all 7, alpha all 255; the bytes around the range are never read.
    const QByteArray rgba = bytes({1, 7, 0, 255, 2, 7, 0, 255, 3, 7, 0, 255, 4, 7, 0, 255});
    EXPECT_EQ(packedBitsForRange(rgba, 0, 16, 4).toHex(), bytes({3, 1, 2, 3, 4}).toHex());
    EXPECT_EQ(packedBitsForRange(rgba, 1, 16, 4).toHex(), bytes({0xfd, 7}).toHex());
    EXPECT_EQ(packedBitsForRange(rgba, 3, 16, 4).toHex(), bytes({0xfd, 255}).toHex());
    EXPECT_EQ(packedBitsForRange(rgba, 4, 8, 4).toHex(), bytes({1, 2, 3}).toHex());
    // Ranges that reach past the buffer stop at its end; empty and bad ranges give nothing.
    EXPECT_EQ(packedBitsForRange(rgba, 12, 400, 4).toHex(), bytes({0, 4}).toHex());
    EXPECT_TRUE(packedBitsForRange(rgba, 16, 4, 4).isEmpty());
    EXPECT_TRUE(packedBitsForRange(rgba, 0, 0, 4).isEmpty());
    EXPECT_TRUE(packedBitsForRange(rgba, -1, 4, 4).isEmpty());
    EXPECT_TRUE(packedBitsForRange(rgba, 0, 4, 0).isEmpty());
}

TEST(PackBits, RoundTripsRandomRowsWithinThePacketRules) {
    QRandomGenerator random(24);
    for (int trial = 0; trial < 400; ++trial) {
        QByteArray input;
        const int length = int(random.bounded(1, 700));
        while (input.size() < length) {
            // Mix runs of every length with noise so that every boundary gets met.
            const int piece = int(random.bounded(1, 200));
            if (random.bounded(2))
                input += QByteArray(piece, char(random.bounded(4)));
            else
                for (int i = 0; i < piece; ++i)
                    input.append(char(random.bounded(3)));
        }
        input.truncate(length);
        const QByteArray packed = packedBitsForRange(input, 0, input.size(), 1);
        QByteArray decoded;
        ASSERT_TRUE(unpackBits(packed, &decoded)) << input.toHex().constData();
        ASSERT_EQ(decoded, input);
        // Never longer than the worst case of all literals.
        EXPECT_LE(packed.size(), input.size() + (input.size() + 127) / 128);
    }
}

TEST(AppendValue, WritesBigEndianBytesOfTheGivenLength) {
    struct Case {
        std::uint64_t value;
        int length;
        QByteArray expected;
    } cases[] = {
        {1, 2, bytes({0, 1})},
        {0, 6, QByteArray(6, '\0')},
        {0x00480000, 4, bytes({0, 0x48, 0, 0})},
        {0xffff, 2, bytes({0xff, 0xff})},
        {0x1234, 1, bytes({0x34})},
        {0x0102030405060708ull, 8, bytes({1, 2, 3, 4, 5, 6, 7, 8})},
    };
    for (const Case& c : cases) {
        QByteArray data("x");
        appendValue(data, c.value, c.length);
        EXPECT_EQ(data.toHex(), ("x" + c.expected).toHex()) << c.value;
    }
}

// ---------------------------------------------------------------------------------------------------------
// File structure

QImage filled(int w, int h, QColor color) {
    QImage image(w, h, QImage::Format_RGBA8888_Premultiplied);
    image.fill(color);
    return image;
}

std::uint64_t readValue(const QByteArray& data, qsizetype at, int length) {
    std::uint64_t v = 0;
    for (int i = 0; i < length; ++i)
        v = (v << 8) | std::uint8_t(data[at + i]);
    return v;
}

// Offsets of the fixed parts: header 26, colour mode data 4, image resources 4 + 42.
constexpr qsizetype layerSectionAt = 26 + 4 + 4 + 42;
constexpr qsizetype firstRecordAt = layerSectionAt + 8 + 2;
constexpr qsizetype recordSize = 82;

TEST(PSDWriter, HeaderAndResourcesOfATwoLayerDocument) {
    PSDWriter writer({100, 50});
    ASSERT_TRUE(writer.addLayerWithCGImage(kx::Image(filled(100, 50, Qt::red)), "Background Layer", 1, {0, 0}));
    ASSERT_TRUE(writer.addLayerWithCGImage(kx::Image(filled(100, 50, Qt::blue)), "Graph Layer", 1, {0, 0}));
    const QByteArray file = writer.createPSDData();
    const QByteArray expectedHeader = "8BPS" + bytes({0, 1, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 50, 0, 0, 0, 100, 0, 8, 0, 3});
    EXPECT_EQ(file.left(26).toHex(), expectedHeader.toHex());
    EXPECT_EQ(readValue(file, 26, 4), 0u);
    EXPECT_EQ(readValue(file, 30, 4), 42u);
    const QByteArray resources = "8BIM" + bytes({0x03, 0xed, 0, 0, 0, 0, 0, 16, 0, 0x48, 0, 0, 0, 1, 0, 1, 0, 0x48, 0, 0,
                                                 0, 1, 0, 1}) +
                                 "8BIM" + bytes({0x04, 0x00, 0, 0, 0, 0, 0, 2, 0, 0});
    EXPECT_EQ(file.mid(34, 42).toHex(), resources.toHex());
    EXPECT_EQ(readValue(file, layerSectionAt, 4), readValue(file, layerSectionAt + 4, 4) + 4);
    EXPECT_EQ(readValue(file, layerSectionAt + 8, 2), 2u);
    // The writer served its file: the layers are gone.
    EXPECT_TRUE(writer.layers().empty());
}

TEST(PSDWriter, RecordsCarryTheDocumentBoundsNamesAndOpacities) {
    struct Layer {
        QString name;
        float opacity;
        QByteArray storedName;
        int storedOpacity;
    } layers[] = {
        {"Background Layer", 1.0f, "Background Laye", 255},
        {"Graph Layer", 0.5f, "Graph Layer    ", 128},
        {"Graph Layer", 0.2f, "Graph Layer    ", 51},
        {"", 0.0f, "               ", 0},
        {QString::fromUtf8("Café Layer"), 2.0f, "Caf? Layer     ", 255},
        {"x", -1.0f, "x              ", 0},
        {"x", std::nanf(""), "x              ", 255},
    };
    PSDWriter writer({7, 3});
    for (const Layer& l : layers)
        ASSERT_TRUE(writer.addLayerWithCGImage(kx::Image(filled(2, 2, Qt::green)), l.name, l.opacity, {1, 1}));
    const QByteArray file = writer.createPSDData();
    for (size_t i = 0; i < std::size(layers); ++i) {
        const qsizetype at = firstRecordAt + qsizetype(i) * recordSize;
        SCOPED_TRACE(i);
        EXPECT_EQ(file.mid(at, 16).toHex(), bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 7}).toHex());
        EXPECT_EQ(readValue(file, at + 16, 2), 4u);
        EXPECT_EQ(readValue(file, at + 18 + 3 * 6, 2), 0xffffu);
        EXPECT_EQ(file.mid(at + 42, 8), "8BIMnorm");
        EXPECT_EQ(int(std::uint8_t(file[at + 50])), layers[i].storedOpacity);
        EXPECT_EQ(file.mid(at + 51, 3).toHex(), bytes({0, 1, 0}).toHex());
        EXPECT_EQ(readValue(file, at + 54, 4), 24u);
        EXPECT_EQ(int(file[at + 66]), 15);
        EXPECT_EQ(file.mid(at + 67, 15), layers[i].storedName);
    }
}

TEST(PSDWriter, OddLayerInfoGainsAPaddingByteThatTheLengthsCount) {
    // One 4 x 1 layer whose channel blocks are 8, 9, 6 and 6 bytes long: layer info 2 + 82 + 29 = 113.
    QImage image(4, 1, QImage::Format_RGBA8888_Premultiplied);
    const int reds[] = {10, 10, 10, 20};
    for (int x = 0; x < 4; ++x)
        image.setPixelColor(x, 0, QColor(reds[x], x + 1, 0));
    PSDWriter writer({4, 1});
    ASSERT_TRUE(writer.addLayerWithCGImage(kx::Image(image), "L", 1, {0, 0}));
    const QByteArray file = writer.createPSDData();
    EXPECT_EQ(readValue(file, layerSectionAt, 4), 118u);
    EXPECT_EQ(readValue(file, layerSectionAt + 4, 4), 114u);
    EXPECT_EQ(int(file[layerSectionAt + 8 + 113]), 0);
    const qsizetype record = firstRecordAt;
    EXPECT_EQ(readValue(file, record + 20, 4), 8u);
    EXPECT_EQ(readValue(file, record + 26, 4), 9u);
    EXPECT_EQ(readValue(file, record + 32, 4), 6u);
    EXPECT_EQ(readValue(file, record + 38, 4), 6u);
}

// Decodes `count` rows of width W stored as compression 1, every row's byte count, then the rows: one channel
// block of a layer, or the merged image (all its channels' rows in one block).
std::vector<QByteArray> decodeRows(const QByteArray& file, qsizetype at, int W, int count, qsizetype* next) {
    EXPECT_EQ(readValue(file, at, 2), 1u);
    std::vector<QByteArray> rows;
    qsizetype data = at + 2 + 2 * qsizetype(count);
    for (int r = 0; r < count; ++r) {
        const qsizetype size = qsizetype(readValue(file, at + 2 + 2 * r, 2));
        QByteArray row;
        EXPECT_TRUE(unpackBits(file.mid(data, size), &row));
        EXPECT_EQ(row.size(), W);
        rows.push_back(row);
        data += size;
    }
    *next = data;
    return rows;
}

TEST(PSDWriter, LayersAreCutToTheDocumentAndStoredStraight) {
    // A 4 x 3 image of distinct colours placed at each corner and beyond the edges of a 6 x 5 document.
    QImage image(4, 3, QImage::Format_RGBA8888);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            image.setPixelColor(x, y, QColor(40 * x + 10, 60 * y + 20, 200, 128));
    struct Case {
        kx::Point offset;
        QRect covered;  // the document pixels the layer covers
    } cases[] = {
        {{0, 0}, QRect(0, 0, 4, 3)},   {{2, 2}, QRect(2, 2, 4, 3)},  {{-2, -1}, QRect(0, 0, 2, 2)},
        {{4, 3}, QRect(4, 3, 2, 2)},   {{-3, 3}, QRect(0, 3, 1, 2)}, {{5.7, -1.5}, QRect(5, 0, 1, 1)},
        {{-1.5, 4.2}, QRect(0, 4, 2, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset.x << "," << c.offset.y);
        PSDWriter writer({6, 5});
        ASSERT_TRUE(writer.addLayerWithCGImage(kx::Image(image), "L", 1, c.offset));
        EXPECT_EQ(writer.layers().at(0).rect, c.covered);
        const QByteArray file = writer.createPSDData();
        qsizetype at = firstRecordAt + recordSize;
        std::vector<QByteArray> channels[4];
        for (auto& channel : channels)
            channel = decodeRows(file, at, 6, 5, &at);
        const int ox = int(std::floor(c.offset.x)), oy = int(std::floor(c.offset.y));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                Rgba expected;
                if (c.covered.contains(x, y))
                    expected = {40 * (x - ox) + 10, 60 * (y - oy) + 20, 200, 128};
                const Rgba stored{std::uint8_t(channels[0][y][x]), std::uint8_t(channels[1][y][x]),
                                  std::uint8_t(channels[2][y][x]), std::uint8_t(channels[3][y][x])};
                // Straight colour survives the premultiplied image within a rounding step.
                EXPECT_COLOR_NEAR(stored, expected, 1) << x << "," << y;
            }
    }
}

TEST(PSDWriter, MergedImageIsTheOpaqueCompositeOverWhite) {
    PSDWriter writer({3, 2});
    ASSERT_TRUE(writer.addLayerWithCGImage(kx::Image(filled(1, 1, QColor(255, 0, 0))), "a", 0.5f, {1, 1}));
    const QByteArray file = writer.createPSDData();
    qsizetype at = layerSectionAt + 4 + qsizetype(readValue(file, layerSectionAt, 4));
    const std::vector<QByteArray> rows = decodeRows(file, at, 3, 4 * 2, &at);
    const std::vector<QByteArray> channels[4] = {{rows[0], rows[1]}, {rows[2], rows[3]}, {rows[4], rows[5]},
                                                 {rows[6], rows[7]}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const Rgba merged{std::uint8_t(channels[0][y][x]), std::uint8_t(channels[1][y][x]),
                              std::uint8_t(channels[2][y][x]), std::uint8_t(channels[3][y][x])};
            const Rgba expected = (x == 1 && y == 1) ? Rgba{255, 127, 127, 255} : Rgba{255, 255, 255, 255};
            EXPECT_COLOR_NEAR(merged, expected, 1) << x << "," << y;
        }
    EXPECT_EQ(at, file.size());
}

TEST(PSDWriter, MisuseIsAnErrorThatChangesNothing) {
    const kx::Image image(filled(4, 4, Qt::black));
    struct Case {
        const char* what;
        kx::Size size;
        kx::Image image;
        kx::Point offset;
        const char* name;
    } cases[] = {
        {"zero width", {0, 10}, image, {0, 0}, "NSGenericException"},
        {"zero height", {10, 0}, image, {0, 0}, "NSGenericException"},
        {"below one pixel", {0.5, 10}, image, {0, 0}, "NSGenericException"},
        {"negative", {-10, 10}, image, {0, 0}, "NSGenericException"},
        {"not a number", {std::nan(""), 10}, image, {0, 0}, "NSGenericException"},
        {"wider than the format", {30001, 10}, image, {0, 0}, "NSGenericException"},
        {"too many pixels", {30000, 30000}, image, {0, 0}, "NSGenericException"},
        {"right of the document", {10, 10}, image, {10, 0}, "LayerOutOfBounds"},
        {"below the document", {10, 10}, image, {0, 10}, "LayerOutOfBounds"},
        {"left of the document", {10, 10}, image, {-4, 0}, "LayerOutOfBounds"},
        {"above the document", {10, 10}, image, {2, -4.5}, "LayerOutOfBounds"},
        {"far away", {10, 10}, image, {1e300, 0}, "LayerOutOfBounds"},
        {"offset not a number", {10, 10}, image, {std::nan(""), 0}, "LayerOutOfBounds"},
        {"no image", {10, 10}, kx::Image(), {0, 0}, "LayerOutOfBounds"},
    };
    for (const Case& c : cases) {
        PSDWriter writer(c.size);
        PSDError error;
        EXPECT_FALSE(writer.addLayerWithCGImage(c.image, "L", 1, c.offset, &error)) << c.what;
        EXPECT_EQ(error.name, QLatin1String(c.name)) << c.what;
        EXPECT_FALSE(error.reason.isEmpty()) << c.what;
        EXPECT_TRUE(writer.layers().empty()) << c.what;
        EXPECT_TRUE(writer.createPSDData(&error).isEmpty()) << c.what;
    }
    PSDWriter empty({10, 10});
    PSDError error;
    EXPECT_TRUE(empty.createPSDData(&error).isEmpty());
    EXPECT_EQ(error.name, "NSGenericException");
    EXPECT_EQ(error.reason, "Please provide layer data, flattened data and set layer channel count to at least 3.");
    PSDWriter unsized;
    EXPECT_FALSE(unsized.addLayerWithCGImage(image, "L", 1, {0, 0}, &error));
    EXPECT_EQ(error.reason, "You must specify a non-zero documentSize before calling addLayer:");
}

TEST(PSDWriter, MoreLayersThanTheCountFieldHoldsAreRefused) {
    // The layer count is a signed 16-bit field: 32767 layers are the most a file can hold.
    const kx::Image pixel(filled(1, 1, Qt::red));
    PSDWriter writer({1, 1});
    for (int i = 0; i < 32768; ++i)
        ASSERT_TRUE(writer.addLayerWithCGImage(pixel, "L", 1, {0, 0}));
    PSDError error;
    EXPECT_TRUE(writer.createPSDData(&error).isEmpty());
    EXPECT_EQ(error.name, "NSGenericException");
    EXPECT_EQ(writer.layers().size(), 32768u);

    PSDWriter most({1, 1});
    for (int i = 0; i < 32767; ++i)
        ASSERT_TRUE(most.addLayerWithCGImage(pixel, "L", 1, {0, 0}));
    const QByteArray file = most.createPSDData();
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(readValue(file, layerSectionAt + 8, 2), 32767u);
}

// ---------------------------------------------------------------------------------------------------------
// Files and outside readers

using kxtest::readFile;
using kxtest::writeFile;

TEST(PSDWriter, AFailedWriteLeavesTheOldFileUntouched) {
    QTemporaryDir dir;
    const QString path = dir.filePath("page.psd");
    ASSERT_TRUE(writeFile(path, "old contents"));

    PSDWriter noLayers({10, 10});
    PSDError error;
    EXPECT_FALSE(noLayers.writeToFile(path, &error));
    EXPECT_EQ(readFile(path), "old contents");

    PSDWriter missingFolder({10, 10});
    ASSERT_TRUE(missingFolder.addLayerWithCGImage(kx::Image(filled(10, 10, Qt::red)), "L", 1, {0, 0}));
    EXPECT_FALSE(missingFolder.writeToFile(dir.filePath("missing/page.psd"), &error));
    EXPECT_FALSE(error.reason.isEmpty());

    // A folder standing where the file should go cannot be replaced.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.psd"));
    PSDWriter onFolder({10, 10});
    ASSERT_TRUE(onFolder.addLayerWithCGImage(kx::Image(filled(10, 10, Qt::red)), "L", 1, {0, 0}));
    EXPECT_FALSE(onFolder.writeToFile(dir.filePath("taken.psd"), &error));
    EXPECT_TRUE(QFileInfo(dir.filePath("taken.psd")).isDir());

    PSDWriter good({10, 10});
    ASSERT_TRUE(good.addLayerWithCGImage(kx::Image(filled(10, 10, Qt::red)), "L", 1, {0, 0}));
    EXPECT_TRUE(good.writeToFile(path));
    EXPECT_TRUE(readFile(path).startsWith("8BPS"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"page.psd"});
}

QString run(const QString& program, const QStringList& arguments, int* exitCode) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    const QByteArray err = process.readAllStandardError();
    if (*exitCode != 0)
        ADD_FAILURE() << program.toStdString() << ": " << err.constData();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A page-like document: an opaque background, a half-transparent shape, a photo cut by the right edge
// with opacity 0.5, and a small layer at an offset.
struct SampleDocument {
    static constexpr int W = 120, H = 80;
    QImage background, shape, photo, badge;
    SampleDocument() {
        background = QImage(W, H, QImage::Format_RGBA8888_Premultiplied);
        QPainter bp(&background);
        QLinearGradient gradient(0, 0, W, 0);
        gradient.setColorAt(0, QColor(240, 230, 200));
        gradient.setColorAt(1, QColor(30, 60, 90));
        bp.fillRect(background.rect(), gradient);
        bp.end();
        shape = QImage(W, H, QImage::Format_RGBA8888_Premultiplied);
        shape.fill(Qt::transparent);
        QPainter sp(&shape);
        sp.fillRect(QRect(10, 10, 50, 30), QColor(0, 128, 255, 128));
        sp.end();
        photo = filled(60, 40, QColor(200, 40, 40));
        badge = filled(8, 6, QColor(20, 200, 20));
    }
    QImage flattened() const {
        QImage out(W, H, QImage::Format_RGBA8888_Premultiplied);
        out.fill(Qt::white);
        QPainter p(&out);
        p.drawImage(0, 0, background);
        p.drawImage(0, 0, shape);
        p.setOpacity(0.5);
        p.drawImage(90, 30, photo);
        p.setOpacity(1);
        p.drawImage(5, 60, badge);
        return out;
    }
    bool write(const QString& path) const {
        PSDWriter writer({W, H});
        return writer.addLayerWithCGImage(kx::Image(background), "Background Layer", 1, {0, 0}) &&
               writer.addLayerWithCGImage(kx::Image(shape), "Graph Layer", 1, {0, 0}) &&
               writer.addLayerWithCGImage(kx::Image(photo), "Graph Layer", 0.5f, {90, 30}) &&
               writer.addLayerWithCGImage(kx::Image(badge), "Badge", 1, {5, 60}) && writer.writeToFile(path);
    }
};

Rgba rgbaOf(const QJsonValue& v) {
    const QJsonArray a = v.toArray();
    return {a.at(0).toInt(), a.at(1).toInt(), a.at(2).toInt(), a.size() > 3 ? a.at(3).toInt() : 255};
}

TEST(PSDWriter, PsdToolsReadsLayersPixelsAndComposite) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    QTemporaryDir dir;
    const QString path = dir.filePath("sample.psd");
    const SampleDocument doc;
    ASSERT_TRUE(doc.write(path));

    const QList<QPoint> probes = {{0, 0}, {20, 20}, {59, 39}, {60, 40}, {95, 35}, {119, 69}, {119, 79}, {6, 61}, {4, 61}};
    QJsonArray probeJson;
    for (QPoint p : probes)
        probeJson.append(QJsonArray{p.x(), p.y()});
    int code = 0;
    const QString out = run("/usr/bin/python3",
                            {QString(KX_SOURCE_DIR) + "/tests/output/psd_probe.py", path,
                             QString::fromUtf8(QJsonDocument(probeJson).toJson(QJsonDocument::Compact))},
                            &code);
    ASSERT_EQ(code, 0);
    const QJsonObject result = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(result["width"].toInt(), SampleDocument::W);
    EXPECT_EQ(result["height"].toInt(), SampleDocument::H);
    const QJsonArray layers = result["layers"].toArray();
    ASSERT_EQ(layers.size(), 4);
    const char* names[] = {"Background Laye", "Graph Layer    ", "Graph Layer    ", "Badge          "};
    const int opacities[] = {255, 255, 128, 255};
    const QImage* images[] = {&doc.background, &doc.shape, &doc.photo, &doc.badge};
    const QPoint offsets[] = {{0, 0}, {0, 0}, {90, 30}, {5, 60}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const QJsonObject layer = layers[i].toObject();
        EXPECT_EQ(layer["name"].toString(), QLatin1String(names[i]));
        EXPECT_EQ(layer["opacity"].toInt(), opacities[i]);
        EXPECT_TRUE(layer["visible"].toBool());
        EXPECT_EQ(layer["size"].toArray(), (QJsonArray{SampleDocument::W, SampleDocument::H}));
        const QJsonArray pixels = layer["pixels"].toArray();
        for (int p = 0; p < probes.size(); ++p) {
            const QPoint local = probes[p] - offsets[i];
            const Rgba expected = images[i]->rect().contains(local) ? kxtest::pixelAt(*images[i], local.x(), local.y())
                                                                    : Rgba{0, 0, 0, 0};
            const Rgba actual = rgbaOf(pixels[p]);
            if (expected.a == 0)
                EXPECT_EQ(actual.a, 0) << probes[p].x() << "," << probes[p].y();
            else
                EXPECT_COLOR_NEAR(actual, expected, 1) << probes[p].x() << "," << probes[p].y();
        }
    }
    // The half-transparent shape keeps alpha about 128 in its layer at full layer opacity.
    EXPECT_NEAR(rgbaOf(layers[1].toObject()["pixels"].toArray()[1]).a, 128, 1);

    const QImage flattened = doc.flattened();
    for (int p = 0; p < probes.size(); ++p) {
        const Rgba expected = kxtest::pixelAt(flattened, probes[p].x(), probes[p].y());
        SCOPED_TRACE(testing::Message() << probes[p].x() << "," << probes[p].y());
        EXPECT_COLOR_NEAR(rgbaOf(result["merged"].toArray()[p]), expected, 1);
        // psd-tools composes the layers itself, over transparency: where the background covers everything
        // the result is the same picture.
        EXPECT_COLOR_NEAR(rgbaOf(result["composite"].toArray()[p]), expected, 3);
    }
}

TEST(PSDWriter, ImageMagickReadsTheLayers) {
    KX_REQUIRE_TOOLS("/usr/bin/identify");
    QTemporaryDir dir;
    const QString path = dir.filePath("sample.psd");
    ASSERT_TRUE(SampleDocument().write(path));
    int code = 0;
    const QString out =
        run("/usr/bin/identify", {"-format", "%[label]|%w|%h|%X|%Y|%z\n", path}, &code);
    ASSERT_EQ(code, 0);
    const QStringList lines = out.trimmed().split('\n');
    // The merged image first, then the layers bottom first.
    ASSERT_EQ(lines.size(), 5) << out.toStdString();
    EXPECT_EQ(lines[0], "|120|80|+0|+0|8");
    EXPECT_EQ(lines[1], "Background Laye|120|80|+0|+0|8");
    EXPECT_EQ(lines[2], "Graph Layer    |120|80|+0|+0|8");
    EXPECT_EQ(lines[3], "Graph Layer    |120|80|+0|+0|8");
    EXPECT_EQ(lines[4], "Badge          |120|80|+0|+0|8");
}

}  // namespace
