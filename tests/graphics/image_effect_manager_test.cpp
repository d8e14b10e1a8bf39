#include "graphics/image_effect_manager.h"

#include "graphics/image_operations.h"
#include "support/pixel_probe.h"
#include "support/qt_message_check.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace {

const char* kIdentityMatrix = "1 0 0 0 0  0 1 0 0 0  0 0 1 0 0  0 0 0 1 0";

// An effect file: the matrix as space-separated numbers (or raw plist elements when `rawMatrix`).
QByteArray effectFile(const QString& name, const QString& matrix, const QByteArray& extra = {}, bool rawMatrix = false) {
    QByteArray elements;
    if (rawMatrix) {
        elements = matrix.toUtf8();
    } else {
        for (const QString& n : matrix.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            elements += "<real>" + n.toUtf8() + "</real>";
    }
    QByteArray body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>";
    if (!name.isNull())
        body += "<key>imageName</key><string>" + name.toUtf8() + "</string>";
    body += "<key>colorMarix</key><array>" + elements + "</array>" + extra + "</dict></plist>\n";
    return body;
}

// A resources folder of the test's own: effect files and an "Original.png".
class EffectFolder {
public:
    EffectFolder() { QDir(m_dir.path()).mkpath(QStringLiteral("Image Effect")); }

    void add(const QString& relativePath, const QByteArray& content) {
        const QString path = m_dir.path() + QStringLiteral("/Image Effect/") + relativePath;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    void addPreviewSource(int width = 200, int height = 120) {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixelColor(x, y, QColor(x * 255 / width, y * 255 / height, 160));
        ASSERT_TRUE(image.save(m_dir.filePath(QStringLiteral("Original.png"))));
    }
    void addStrings(const QByteArray& content) {
        QFile file(m_dir.filePath(QStringLiteral("Localizable.strings")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

std::vector<QString> namesOf(const KXImageEffectManager& manager) {
    std::vector<QString> names;
    for (const KXEffectDataPtr& e : manager.effectDatas())
        names.push_back(e->effectName());
    return names;
}

QImage solidImage(const QColor& colour, int size = 8) {
    QImage image(size, size, QImage::Format_RGBA8888);
    image.fill(colour);
    return image;
}

TEST(ImageEffectManager, WithoutEffectFilesOnlyOriginalIsListed) {
    EffectFolder folder;
    folder.addPreviewSource();
    const KXImageEffectManager manager(folder.path());
    EXPECT_EQ(manager.effectCount(), 1);
    const KXImageEffectItemPtr original = manager.effectItemAtIndex(0);
    ASSERT_TRUE(original);
    EXPECT_EQ(original->effectName(), QStringLiteral("Original"));
    EXPECT_EQ(original->image().width(), 100);  // 200 x 120 read at most 100 pixels on its longer side
    EXPECT_EQ(original->image().height(), 60);
    EXPECT_EQ(manager.indexOfEffectWithName(QStringLiteral("Original")), 0);
    EXPECT_EQ(manager.indexOfEffectWithName(QStringLiteral("Sepia")), 0);
    EXPECT_FALSE(manager.effectDataWithName(QStringLiteral("Original")));
    EXPECT_FALSE(manager.effectItemAtIndex(1));
    EXPECT_FALSE(manager.effectItemAtIndex(-1));
}

TEST(ImageEffectManager, OriginalTitleIsLocalised) {
    EffectFolder folder;
    folder.addStrings("\"Original\" = \"Unchanged\";\n\"Warm\" = \"Warm tones\";\n");
    folder.add(QStringLiteral("warm.xml"), effectFile(QStringLiteral("Warm"), kIdentityMatrix));
    const KXImageEffectManager manager(folder.path());
    EXPECT_EQ(manager.effectItemAtIndex(0)->effectName(), QStringLiteral("Unchanged"));
    const KXImageEffectItemPtr warm = manager.effectItemAtIndex(1);
    EXPECT_EQ(warm->imageUID(), QStringLiteral("Warm"));
    EXPECT_EQ(warm->imageTitle(), QStringLiteral("Warm tones"));
    EXPECT_EQ(warm->imageSubtitle(), QStringLiteral("Warm tones"));
    // Without "Original.png" the previews have no image, and nothing fails.
    EXPECT_TRUE(warm->image().isNull());
}

TEST(ImageEffectManager, EffectsAreListedByRelativePathAtAnyDepth) {
    EffectFolder folder;
    folder.add(QStringLiteral("b.xml"), effectFile(QStringLiteral("Third"), kIdentityMatrix));
    folder.add(QStringLiteral("a/z.xml"), effectFile(QStringLiteral("Second"), kIdentityMatrix));
    folder.add(QStringLiteral("A.XML"), effectFile(QStringLiteral("First"), kIdentityMatrix));
    folder.add(QStringLiteral("c/deeper/d.Xml"), effectFile(QStringLiteral("Fourth"), kIdentityMatrix));
    folder.add(QStringLiteral("notes.txt"), effectFile(QStringLiteral("Ignored"), kIdentityMatrix));
    const KXImageEffectManager manager(folder.path());
    EXPECT_EQ(namesOf(manager), (std::vector<QString>{"First", "Second", "Third", "Fourth"}));
    EXPECT_EQ(manager.effectCount(), 5);
    EXPECT_EQ(manager.indexOfEffectWithName(QStringLiteral("Fourth")), 4);
    EXPECT_EQ(manager.effectItemAtIndex(2)->effectName(), QStringLiteral("Second"));
    EXPECT_FALSE(manager.effectItemAtIndex(manager.effectCount()));
}

TEST(ImageEffectManager, BrokenEffectFilesAreSkipped) {
    struct Case {
        const char* name;
        QByteArray content;
    };
    const Case cases[] = {
        {"19 numbers", effectFile(QStringLiteral("Short"), "1 0 0 0 0  0 1 0 0 0  0 0 1 0 0  0 0 0 1")},
        {"a string in the matrix",
         effectFile(QStringLiteral("Word"), "<real>1</real><string>x</string>" + QString("<real>0</real>").repeated(18),
                    {}, true)},
        {"a nested array in the matrix",
         effectFile(QStringLiteral("Nested"), "<array/>" + QString("<real>0</real>").repeated(19), {}, true)},
        {"a number beyond single precision", effectFile(QStringLiteral("Infinite"), "1e300 " + QString("0 ").repeated(19))},
        {"no matrix", "<plist version=\"1.0\"><dict><key>imageName</key><string>None</string></dict></plist>"},
        {"matrix not an array",
         "<plist version=\"1.0\"><dict><key>colorMarix</key><string>1 0 0</string></dict></plist>"},
        {"not a dictionary", "<plist version=\"1.0\"><array><real>1</real></array></plist>"},
        {"not a property list", "this is not xml at all <<<"},
        {"empty file", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EffectFolder folder;
        folder.add(QStringLiteral("good.xml"), effectFile(QStringLiteral("Good"), kIdentityMatrix));
        folder.add(QStringLiteral("broken.xml"), c.content);
        kxtest::ExpectedQtWarning skipped(QStringLiteral("^Skipping effect file .*/broken.xml : "));
        const KXImageEffectManager manager(folder.path());
        EXPECT_EQ(namesOf(manager), (std::vector<QString>{"Good"}));
        EXPECT_EQ(manager.effectCount(), 2);
        // Read from its bytes, the file gives no effect and says why.
        QString reason;
        EXPECT_FALSE(KXImageEffectManager::effectDataWithData(c.content, &reason));
        EXPECT_FALSE(reason.isEmpty());
    }
    QString reason = QStringLiteral("stale");
    const KXEffectDataPtr good =
        KXImageEffectManager::effectDataWithData(effectFile(QStringLiteral("Good"), kIdentityMatrix), &reason);
    ASSERT_TRUE(good);
    EXPECT_EQ(good->effectName(), "Good");
    EXPECT_TRUE(reason.isEmpty());
}

TEST(ImageEffectManager, ExtraMatrixNumbersAreIgnoredAndMissingNameIsEmpty) {
    EffectFolder folder;
    folder.add(QStringLiteral("long.xml"),
               effectFile(QString(), "0.5 0 0 0 10  0 1 0 0 0  0 0 1 0 0  0 0 0 1 0  7 7 7"));
    const KXImageEffectManager manager(folder.path());
    ASSERT_EQ(manager.effectDatas().size(), 1u);
    const KXEffectDataPtr effect = manager.effectDatas()[0];
    EXPECT_TRUE(effect->effectName().isEmpty());
    EXPECT_EQ(effect->colorMarix()[0], 0.5f);
    EXPECT_EQ(effect->colorMarix()[4], 10.0f);
    EXPECT_EQ(effect->colorMarix()[19], 0.0f);
    EXPECT_FALSE(effect->filter());
}

TEST(ImageEffectManager, LookupByNameIgnoresCaseButIndexDoesNot) {
    EffectFolder folder;
    folder.add(QStringLiteral("sepia.xml"), effectFile(QStringLiteral("Sepia"), kIdentityMatrix));
    const KXImageEffectManager manager(folder.path());
    const KXEffectDataPtr effect = manager.effectDataWithName(QStringLiteral("sEPIA"));
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->effectName(), QStringLiteral("Sepia"));
    EXPECT_EQ(manager.indexOfEffectWithName(QStringLiteral("sEPIA")), 0);
    EXPECT_EQ(manager.indexOfEffectWithName(QStringLiteral("Sepia")), 1);
}

TEST(ImageEffectManager, FilterParametersAreReadByFilterName) {
    struct Case {
        const char* filterName;
        kx::ValueDictionary file;
        std::map<QString, double> expectedInputs;
    };
    const std::vector<Case> cases = {
        {"CIBloom", {{"Intensity", 0.8}, {"Radius", 6}}, {{"inputIntensity", 0.8f}, {"inputRadius", 6}}},
        {"CIBloom", {{"Intensity", 0.8}}, {{"inputIntensity", 0.8f}, {"inputRadius", 0}}},
        {"CIExposureAdjust", {{"EV", -1.25}}, {{"inputEV", -1.25}}},
        {"CIColorControls",
         {{"Saturation", 1.5}, {"Brightness", 0.1}, {"Contrast", 1.2}},
         {{"inputSaturation", 1.5}, {"inputBrightness", 0.1f}, {"inputContrast", 1.2f}}},
        {"CIColorControls", {}, {{"inputSaturation", 0}, {"inputBrightness", 0}, {"inputContrast", 0}}},
        {"CIGammaAdjust", {{"Power", 0.9}}, {{"inputPower", 0.9f}}},
        {"CISepiaTone", {{"Intensity", 0.4}}, {{"inputIntensity", 0.4f}}},
        {"CIColorPosterize", {{"Levels", 5}}, {{"inputLevels", 5}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filterName);
        const kx::FilterPtr filter = KXImageEffectManager::effectName(QLatin1String(c.filterName), c.file);
        ASSERT_TRUE(filter);
        EXPECT_EQ(filter->name(), QLatin1String(c.filterName));
        for (const auto& [key, value] : c.expectedInputs)
            EXPECT_EQ(filter->numberForKey(key), value) << key.toStdString();
    }
    for (const char* name : {"CIHueAdjust", "CIGaussianBlur", "CIColorMatrix", "", "cibloom"})
        EXPECT_FALSE(KXImageEffectManager::effectName(QLatin1String(name), {{"Radius", 3}})) << name;
}

TEST(ImageEffectManager, FileWithBloomAndNoRadiusGetsRadiusZero) {
    EffectFolder folder;
    folder.add(QStringLiteral("bloom.xml"),
               effectFile(QStringLiteral("Bloom"), kIdentityMatrix,
                          "<key>effectName</key><string>CIBloom</string><key>Intensity</key><real>0.7</real>"));
    folder.add(QStringLiteral("other.xml"),
               effectFile(QStringLiteral("Other"), kIdentityMatrix, "<key>effectName</key><string>CIFoo</string>"));
    const KXImageEffectManager manager(folder.path());
    const kx::FilterPtr bloom = manager.effectDataWithName(QStringLiteral("Bloom"))->filter();
    ASSERT_TRUE(bloom);
    EXPECT_EQ(bloom->numberForKey(QStringLiteral("inputRadius")), 0);
    EXPECT_EQ(bloom->numberForKey(QStringLiteral("inputIntensity")), double(0.7f));
    EXPECT_FALSE(manager.effectDataWithName(QStringLiteral("Other"))->filter());
}

TEST(ImageEffectManager, PreviewsAreTheSourceThroughEachEffect) {
    EffectFolder folder;
    folder.addPreviewSource();
    // Grey from the green channel alone, then posterized to two levels.
    folder.add(QStringLiteral("green.xml"),
               effectFile(QStringLiteral("Green"), "0 1 0 0 0  0 1 0 0 0  0 1 0 0 0  0 0 0 1 0",
                          "<key>effectName</key><string>CIColorPosterize</string><key>Levels</key><real>2</real>"));
    const KXImageEffectManager manager(folder.path());
    const kx::Image original = manager.effectItemAtIndex(0)->image();
    const kx::Image preview = manager.effectItemAtIndex(1)->image();
    ASSERT_FALSE(preview.isNull());
    EXPECT_EQ(preview.pixelSize(), original.pixelSize());
    for (int row : {0, 30, 59}) {
        const QColor source = original.pixelColor(50, row);
        const QColor shown = preview.pixelColor(50, row);
        const int expected = source.green() >= 128 ? 255 : 0;
        EXPECT_EQ(shown.red(), expected) << row;
        EXPECT_EQ(shown.green(), expected) << row;
        EXPECT_EQ(shown.blue(), expected) << row;
    }
}

TEST(ImageEffectManager, ApplyWithoutEffectOrFiltersKeepsThePixels) {
    const kx::Image image(solidImage(QColor(200, 100, 50)));
    const kx::Image result = applyEffectToImage(image, nullptr);
    ASSERT_EQ(result.pixelSize(), image.pixelSize());
    EXPECT_EQ(result.pixelColor(3, 3), QColor(200, 100, 50));
    const kx::Image grey(QImage(solidImage(QColor(90, 90, 90)).convertToFormat(QImage::Format_Grayscale8)));
    const kx::Image fromGrey = applyEffectToImage(grey, nullptr);
    EXPECT_EQ(fromGrey.format(), kx::Image::Format::RGBA);
    EXPECT_EQ(fromGrey.pixelColor(1, 1), QColor(90, 90, 90));
    EXPECT_TRUE(applyEffectToImage(kx::Image(), nullptr).isNull());
}

TEST(ImageEffectManager, ApplyRunsTheEffectThenTheAdjustmentsInOrder) {
    // The effect removes blue; brightness added afterwards brings some back, then the exposure filter
    // doubles it in linear light. In any other order the blue channel would end at 0.
    KXEffectData effect;
    effect.setMarix({1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0});
    const kx::FilterPtr brighten = kx::Filter::filterWithName(QStringLiteral("CIColorControls"));
    brighten->setValueForKey(QStringLiteral("inputBrightness"), 0.2);
    const kx::FilterPtr exposure = kx::Filter::filterWithName(QStringLiteral("CIExposureAdjust"));
    exposure->setValueForKey(QStringLiteral("inputEV"), 1.0);
    const kx::Image image(solidImage(QColor(100, 100, 200)));

    const QColor afterBrightness = applyEffectToImage(image, &effect, nullptr, brighten).pixelColor(2, 2);
    EXPECT_NEAR(afterBrightness.blue(), 51, 1);
    EXPECT_NEAR(afterBrightness.red(), 151, 1);

    const QColor afterBoth = applyEffectToImage(image, &effect, brighten, nullptr, exposure).pixelColor(2, 2);
    EXPECT_GT(afterBoth.blue(), 51 + 10);
    const kx::Image sameAsMatrixAlone = applyEffectToImage(image, &effect);
    EXPECT_EQ(sameAsMatrixAlone.pixelColor(2, 2).blue(), 0);
    // The filters are not changed by rendering.
    EXPECT_TRUE(brighten->inputImage().isNull());
}

TEST(ImageEffectManager, ShippedEffectsAreValidAndEachChangesThePreview) {
    const KXImageEffectManager manager(QStringLiteral(KX_SOURCE_DIR "/resources"));
    const std::vector<KXEffectDataPtr> effects = manager.effectDatas();
    EXPECT_GE(effects.size(), 10u);
    const QDir folder(QStringLiteral(KX_SOURCE_DIR "/resources/Image Effect"));
    EXPECT_EQ(effects.size(), folder.entryList({QStringLiteral("*.xml")}, QDir::Files).size())
        << "an effect file was skipped";

    const kx::Image original = manager.effectItemAtIndex(0)->image();
    ASSERT_FALSE(original.isNull());
    EXPECT_EQ(std::max(original.width(), original.height()), 100);
    std::set<QString> names;
    for (int i = 1; i < manager.effectCount(); ++i) {
        const KXImageEffectItemPtr item = manager.effectItemAtIndex(i);
        SCOPED_TRACE(item->effectName().toStdString());
        EXPECT_FALSE(item->effectName().isEmpty());
        EXPECT_TRUE(names.insert(item->effectName()).second) << "names must be unique";
        ASSERT_EQ(item->image().pixelSize(), original.pixelSize());
        int largestDifference = 0;
        for (int y = 0; y < original.height(); y += 7)
            for (int x = 0; x < original.width(); x += 7) {
                const QColor a = original.pixelColor(x, y), b = item->image().pixelColor(x, y);
                largestDifference = std::max({largestDifference, std::abs(a.red() - b.red()),
                                              std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
            }
        EXPECT_GT(largestDifference, 12);
    }
}

TEST(ImageEffectManager, SharedCatalogueReadsTheApplicationResources) {
    KXImageEffectManager& shared = KXImageEffectManager::imageEffectManager();
    EXPECT_EQ(&shared, &KXImageEffectManager::imageEffectManager());
    EXPECT_GE(shared.effectCount(), 1);
}

}  // namespace
