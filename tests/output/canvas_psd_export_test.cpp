#include "output/canvas_psd_export.h"

#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "file_bytes.h"
#include "support/outside_tools.h"
#include "support/pixel_probe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using kxtest::Rgba;

constexpr Rgba kClear{0, 0, 0, 0};
constexpr Rgba kBlue{0, 0, 255, 255};

QString run(const QString& program, const QStringList& arguments, int* exitCode) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (*exitCode != 0)
        ADD_FAILURE() << program.toStdString() << ": " << process.readAllStandardError().constData();
    return QString::fromUtf8(process.readAllStandardOutput());
}

using kxtest::readFile;
using kxtest::writeFile;

Rgba rgbaOf(const QJsonValue& v) {
    const QJsonArray a = v.toArray();
    return {a.at(0).toInt(), a.at(1).toInt(), a.at(2).toInt(), a.size() > 3 ? a.at(3).toInt() : 255};
}

class CanvasPSDExportTest : public ::testing::Test {
protected:
    void SetUp() override { registerModelClasses(); }

    // A 300 x 200 pixel page with a blue ground: an opaque red square, a green one at half opacity and a
    // group of a yellow and a cyan square, back to front. Fitted into 150 x 150 it is 150 x 100 at zoom 0.5.
    static std::shared_ptr<KXCanvas> samplePage() {
        auto page = bluePage();
        square(*page, {20, 20, 80, 80}, kx::Color::srgb(1, 0, 0, 1));
        square(*page, {120, 20, 80, 80}, kx::Color::srgb(0, 1, 0, 1))->setOpacity(0.5);
        auto a = square(*page, {220, 120, 40, 40}, kx::Color::srgb(1, 1, 0, 1));
        auto b = square(*page, {250, 20, 40, 40}, kx::Color::srgb(0, 1, 1, 1));
        EXPECT_TRUE(page->groupGraphs({a, b}));
        return page;
    }
    // An empty 300 x 200 pixel page with a blue ground.
    static std::shared_ptr<KXCanvas> bluePage() {
        auto page = std::make_shared<KXCanvas>();
        const KXSize size(300, 200, KXSizeUnitPixel, 72);
        page->setPageSize(&size);
        page->zoomToFitSize(page->pixelSize());
        auto fill = std::make_shared<KXBackground>();
        fill->setColor1(kx::Color::srgb(0, 0, 1, 1));
        page->setBackground(fill);
        return page;
    }
    static std::shared_ptr<KXShape> square(KXCanvas& page, const kx::Rect& frame, const kx::Color& color) {
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        shape->setPhoto(nullptr);
        page.addGraph(shape);
        const kx::Size pixels = page.pixelSize();
        shape->setRelativeRect({frame.origin.x / pixels.width, frame.origin.y / pixels.height,
                                frame.size.width / pixels.width, frame.size.height / pixels.height});
        shape->setFillEnabled(true);
        shape->background()->setColor1(color);
        shape->updatePath();
        return shape;
    }

    QTemporaryDir dir;
};

TEST_F(CanvasPSDExportTest, PsdToolsReadsThePagesLayersAndComposite) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    auto page = samplePage();
    const QString path = dir.filePath("page.psd");
    PSDError error;
    ASSERT_TRUE(savePSDImageToPath(*page, path, {150, 150}, &error)) << error.reason.toStdString();

    // Probes from the top-left: red, half green, yellow, cyan, background only, edges.
    const QList<QPoint> probes = {{30, 70}, {80, 70}, {120, 30}, {135, 80}, {80, 20}, {0, 0}, {149, 99}, {11, 51}};
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
    EXPECT_EQ(result["width"].toInt(), 150);
    EXPECT_EQ(result["height"].toInt(), 100);
    const QJsonArray layers = result["layers"].toArray();
    ASSERT_EQ(layers.size(), 4);
    const char* names[] = {"Background Laye", "Graph Layer    ", "Graph Layer    ", "Graph Layer    "};
    // Expected probe colours of each layer; -1 alpha: not checked (anti-aliased edge).
    const Rgba green{0, 255, 0, 128};
    const std::vector<std::vector<Rgba>> expected = {
        {kBlue, kBlue, kBlue, kBlue, kBlue, kBlue, kBlue, kBlue},
        {{255, 0, 0, 255}, kClear, kClear, kClear, kClear, kClear, kClear, {255, 0, 0, 255}},
        {kClear, green, kClear, kClear, kClear, kClear, kClear, kClear},
        {kClear, kClear, {255, 255, 0, 255}, {0, 255, 255, 255}, kClear, kClear, kClear, kClear},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const QJsonObject layer = layers[i].toObject();
        EXPECT_EQ(layer["name"].toString(), QLatin1String(names[i]));
        EXPECT_EQ(layer["opacity"].toInt(), 255);
        EXPECT_TRUE(layer["visible"].toBool());
        EXPECT_EQ(layer["size"].toArray(), (QJsonArray{150, 100}));
        const QJsonArray pixels = layer["pixels"].toArray();
        for (int p = 0; p < probes.size(); ++p) {
            SCOPED_TRACE(testing::Message() << probes[p].x() << "," << probes[p].y());
            const Rgba actual = rgbaOf(pixels[p]);
            if (expected[i][p].a == 0)
                EXPECT_EQ(actual.a, 0);
            else
                EXPECT_COLOR_NEAR(actual, expected[i][p], 2);
        }
    }

    // The merged image and psd-tools' own composite of the layers both match the page's render.
    const QImage rendered = page->outputImageWithSize({150, 150}).qimage();
    ASSERT_EQ(rendered.size(), QSize(150, 100));
    for (int p = 0; p < probes.size(); ++p) {
        SCOPED_TRACE(testing::Message() << probes[p].x() << "," << probes[p].y());
        const Rgba expectedPixel = kxtest::pixelAt(rendered, probes[p].x(), probes[p].y());
        EXPECT_COLOR_NEAR(rgbaOf(result["merged"].toArray()[p]), expectedPixel, 2);
        EXPECT_COLOR_NEAR(rgbaOf(result["composite"].toArray()[p]), expectedPixel, 3);
    }
}

TEST_F(CanvasPSDExportTest, MergedImageIsThePageRenderEverywhere) {
    KX_REQUIRE_TOOLS("/usr/bin/python3");
    auto page = samplePage();
    const QString path = dir.filePath("page.psd");
    const QString png = dir.filePath("merged.png");
    ASSERT_TRUE(savePSDImageToPath(*page, path, {150, 150}));
    int code = 0;
    run("/usr/bin/python3",
        {"-c", "import sys\nfrom psd_tools import PSDImage\nPSDImage.open(sys.argv[1]).topil().convert('RGB').save(sys.argv[2])",
         path, png},
        &code);
    ASSERT_EQ(code, 0);
    const QImage merged(png);
    const QImage rendered = page->outputImageWithSize({150, 150}).qimage();
    ASSERT_EQ(merged.size(), rendered.size());
    EXPECT_LE(kxtest::maxChannelDifference(merged.convertToFormat(QImage::Format_RGBA8888),
                                           rendered.convertToFormat(QImage::Format_RGBA8888)),
              1);
}

// Reflections in the file: the merged image and the layers composed by psd-tools both give the page render,
// the first row of every reflection band included, at a zoom of 1 and of 2 (a gap of 2 below the graph).
TEST_F(CanvasPSDExportTest, ReflectionsInTheMergedImageAndTheLayersAreThePageRender) {
    if (!QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable())
        GTEST_SKIP() << "python3 missing";
    auto page = bluePage();
    auto upright = square(*page, {30, 100, 80, 60}, kx::Color::srgb(1, 0, 0, 1));
    auto turned = square(*page, {170, 110, 70, 50}, kx::Color::srgb(1, 1, 0, 1));
    turned->setAngle(0.4);
    for (const auto& shape : {upright, turned}) {
        shape->setReflectionEnabled(true);
        shape->setReflectionAlpha(0.8);
    }
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        const kx::Size output(300 * scale, 200 * scale);
        const QString path = dir.filePath(QStringLiteral("reflections.psd"));
        const QString merged = dir.filePath(QStringLiteral("merged.png"));
        const QString composed = dir.filePath(QStringLiteral("composed.png"));
        ASSERT_TRUE(savePSDImageToPath(*page, path, output));
        int code = 0;
        run("/usr/bin/python3",
            {"-c",
             "import sys\nfrom psd_tools import PSDImage\npsd = PSDImage.open(sys.argv[1])\n"
             "psd.topil().convert('RGB').save(sys.argv[2])\n"
             "psd.composite(force=True).convert('RGB').save(sys.argv[3])",
             path, merged, composed},
            &code);
        ASSERT_EQ(code, 0);
        const QImage rendered = page->outputImageWithSize(output).qimage().convertToFormat(QImage::Format_RGBA8888);
        for (const QString& file : {merged, composed}) {
            SCOPED_TRACE(file.toStdString());
            const QImage read(file);
            ASSERT_EQ(read.size(), rendered.size());
            EXPECT_LE(kxtest::maxChannelDifference(read.convertToFormat(QImage::Format_RGBA8888), rendered), 2);
        }
    }
}

TEST_F(CanvasPSDExportTest, ImageMagickListsTheLayersBottomFirst) {
    KX_REQUIRE_TOOLS("/usr/bin/identify");
    auto page = samplePage();
    const QString path = dir.filePath("page.psd");
    ASSERT_TRUE(savePSDImageToPath(*page, path, {150, 150}));
    int code = 0;
    const QString out = run("/usr/bin/identify", {"-format", "%[label]|%w|%h|%X|%Y|%z\n", path}, &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(out.trimmed().split('\n'), (QStringList{"|150|100|+0|+0|8", "Background Laye|150|100|+0|+0|8",
                                                      "Graph Layer    |150|100|+0|+0|8",
                                                      "Graph Layer    |150|100|+0|+0|8",
                                                      "Graph Layer    |150|100|+0|+0|8"}));
}

TEST_F(CanvasPSDExportTest, AFailedExportLeavesThePageAndAnyOldFileAsTheyWere) {
    auto page = samplePage();
    const kx::Size preview = page->previewSize();
    const double zoom = page->zoomValue();
    const QString path = dir.filePath("page.psd");
    ASSERT_TRUE(writeFile(path, "old contents"));

    struct Case {
        const char* what;
        QString path;
        kx::Size size;
    };
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken.psd"));
    const Case cases[] = {
        {"zero size", path, {0, 0}},
        {"size not a number", path, {NAN, 100}},
        {"size too large for a bitmap", path, {1e6, 1e6}},
        {"missing folder", dir.filePath("missing/page.psd"), {150, 150}},
        {"a folder in the way", dir.filePath("taken.psd"), {150, 150}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PSDError error;
        EXPECT_FALSE(savePSDImageToPath(*page, c.path, c.size, &error));
        EXPECT_FALSE(error.name.isEmpty());
        EXPECT_FALSE(error.reason.isEmpty());
        EXPECT_EQ(page->previewSize(), preview);
        EXPECT_EQ(page->zoomValue(), zoom);
        EXPECT_EQ(page->renderIntent(), KXRenderIntentPreview);
    }
    EXPECT_EQ(readFile(path), "old contents");
    EXPECT_TRUE(QFileInfo(dir.filePath("taken.psd")).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"page.psd"});

    // A successful export replaces the file whole and leaves no undo step on the page.
    const bool couldUndo = page->undoManager().canUndo();
    ASSERT_TRUE(savePSDImageToPath(*page, path, {150, 150}));
    EXPECT_TRUE(readFile(path).startsWith("8BPS"));
    EXPECT_EQ(page->undoManager().canUndo(), couldUndo);
    EXPECT_EQ(page->previewSize(), preview);
}

}  // namespace
