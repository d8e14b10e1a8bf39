#include "model/page_size_manager.h"

#include "graphics/test_bundle.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

// Points the XDG data folder at a temporary folder and installs a bundle named "Kollage", so that the
// catalogue's files live in <temp>/Kollage.
class PageSizeManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerPageSizeClasses();
        m_savedData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        installBundle({});
        QDir().mkpath(folder());
    }
    void TearDown() override {
        m_bundle.reset();
        if (m_savedData.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", m_savedData);
    }

    void installBundle(const QByteArray& localizable) {
        m_bundle.reset();
        m_bundle.emplace("<key>CFBundleName</key><string>Kollage</string>", localizable);
    }
    QString folder() const { return m_data.filePath(QStringLiteral("Kollage")); }
    QString sizesPath() const { return folder() + QStringLiteral("/sizes"); }
    QString legacyPath() const { return folder() + QStringLiteral("/data.xml"); }

    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_data;
    QByteArray m_savedData;
    std::optional<TestBundle> m_bundle;
};

std::shared_ptr<KXSize> sized(double width, double height, std::int64_t unit, const char* desc) {
    auto size = KXSize::sizeWithWith(width, height, unit, 300);
    size->setDesc(QString::fromUtf8(desc));
    return size;
}

TEST_F(PageSizeManagerTest, FilesLiveInTheApplicationsDataFolder) {
    EXPECT_EQ(KXPageSizeManager::customSizesFilePath(), sizesPath());
    EXPECT_EQ(KXPageSizeManager::legacyCustomSizesFilePath(), legacyPath());
    EXPECT_EQ(KXPageSizeManager().customSizesPath(), sizesPath());
    // A bundle name that is no single path component gives no file at all.
    for (const char* name : {"", "..", "a/b"}) {
        m_bundle.reset();
        m_bundle.emplace(QByteArray("<key>CFBundleName</key><string>") + name + "</string>");
        EXPECT_TRUE(KXPageSizeManager::customSizesFilePath().isEmpty()) << name;
        KXPageSizeManager manager;
        manager.addCustomSize(sized(1, 2, 0, "x"));
        EXPECT_FALSE(manager.saveCustomSizes()) << name;
    }
}

TEST_F(PageSizeManagerTest, PredefinedSizesInOrderWithTheirDescriptions) {
    struct Row {
        const char* description;
        double width, height;
        std::int64_t unit;
        bool landscape;
    };
    const Row rows[] = {
        {"Facebook & iPhone: 640 X 960 pixel", 640, 960, KXSizeUnitPixel, false},
        {"Facebook Cover: 851 X 315 pixel", 851, 315, KXSizeUnitPixel, true},
        {"Facebook Post: 940 X 788 pixel", 940, 788, KXSizeUnitPixel, true},
        {"Instagram Post: 640 X 640 pixel", 640, 640, KXSizeUnitPixel, true},
        {"Pinterest Graphic: 735 X 1102 pixel", 735, 1102, KXSizeUnitPixel, false},
        {"Youtube Cover: 2560 X 1440 pixel", 2560, 1440, KXSizeUnitPixel, true},
        {"iPhone5: 1136 X 640 pixel", 1136, 640, KXSizeUnitPixel, true},
        {"iPad: 2048 X 1536 pixel", 2048, 1536, KXSizeUnitPixel, true},
        {"Android: 480 X 800 pixel", 480, 800, KXSizeUnitPixel, false},
        {"Website: 800 X 600 pixel", 800, 600, KXSizeUnitPixel, true},
        {"Photo: 8\" X 6\"", 8, 6, KXSizeUnitInch, true},
        {"Letter: 8.5\" X 11\"", 8.5, 11, KXSizeUnitInch, false},
        {"Legal: 8.5\" X 14\"", 8.5, 14, KXSizeUnitInch, false},
        {"A3: 297 X 420 mm", 297, 420, KXSizeUnitMillimeter, false},
        {"A4: 210 X 297 mm", 210, 297, KXSizeUnitMillimeter, false},
        {"A5: 148 X 210 mm", 148, 210, KXSizeUnitMillimeter, false},
        {"A6: 105 x 148 mm", 105, 148, KXSizeUnitMillimeter, false},
        {"Scrapbook 12\" X 12\"", 12, 12, KXSizeUnitInch, true},
        {"Greeting Card 216 X 279 mm", 216, 279, KXSizeUnitMillimeter, false},
        {"Postcard: 100 X 150 mm", 100, 150, KXSizeUnitMillimeter, false},
        {"Envelope 3.87\" X 6.50\"", 3.87, 6.5, KXSizeUnitInch, false},
        {"Tabloid: 279.4 x 431.8 mm", 279.4, 431.8, KXSizeUnitMillimeter, false},
        {"CD: 120 x 120 mm", 120, 120, KXSizeUnitMillimeter, true},
    };
    KXPageSizeManager manager;
    registerPredefinedPageSizes(manager);
    ASSERT_EQ(manager.predefineSizeCount(), 23);
    QStringList descriptions;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        descriptions << QString::fromUtf8(row.description);
        const auto size = manager.sizeAtIndex(std::int64_t(i));
        ASSERT_TRUE(size) << i;
        EXPECT_EQ(size->description(), QString::fromUtf8(row.description)) << i;
        // Copies carry single precision.
        EXPECT_EQ(size->width(), double(float(row.width))) << row.description;
        EXPECT_EQ(size->height(), double(float(row.height))) << row.description;
        EXPECT_EQ(size->unit(), row.unit) << row.description;
        EXPECT_EQ(size->dpi(), 300) << row.description;
        EXPECT_EQ(size->isLandscape(), row.landscape) << row.description;
    }
    EXPECT_EQ(manager.predefineSizeDescriptions(), descriptions);
    // The A4 entry at 300 dpi.
    const kx::Size a4 = manager.sizeAtIndex(14)->pixelSize();
    EXPECT_NEAR(a4.width, 2480.31, 0.005);
    EXPECT_NEAR(a4.height, 3507.87, 0.005);
}

TEST_F(PageSizeManagerTest, DescriptionsUseTheLocalizedWords) {
    installBundle("\"pixel\" = \"px\";\n\"Website\" = \"Web site\";\n\"mm\" = \"millimetres\";\n"
                  "\"Greeting Card\" = \"Card\";\n");
    KXPageSizeManager manager;
    registerPredefinedPageSizes(manager);
    const QStringList descriptions = manager.predefineSizeDescriptions();
    EXPECT_EQ(descriptions[0], QStringLiteral("Facebook & iPhone: 640 X 960 px"));
    EXPECT_EQ(descriptions[9], QStringLiteral("Web site: 800 X 600 px"));
    EXPECT_EQ(descriptions[18], QStringLiteral("Card 216 X 279 millimetres"));
    EXPECT_EQ(descriptions[11], QStringLiteral("Letter: 8.5\" X 11\""));
}

TEST_F(PageSizeManagerTest, LandscapeArgumentHasNoEffect) {
    KXPageSizeManager manager;
    manager.addPredefineSizeWithWidth(100, 200, 72, KXSizeUnitPixel, true, QStringLiteral("tall"));
    manager.addPredefineSizeWithWidth(200, 100, 72, KXSizeUnitPixel, false, QStringLiteral("wide"));
    EXPECT_FALSE(manager.sizeAtIndex(0)->isLandscape());
    EXPECT_TRUE(manager.sizeAtIndex(1)->isLandscape());
}

TEST_F(PageSizeManagerTest, LookupInTheCatalogue) {
    KXPageSizeManager manager;
    registerPredefinedPageSizes(manager);
    struct Case {
        double width, height;
        std::int64_t unit, dpi;
        const char* desc;
        bool ignoreOrientation;
        std::int64_t expected;
    };
    const Case cases[] = {
        {2481, 3508, KXSizeUnitPixel, 72, "", true, 14},
        {2481, 3508, KXSizeUnitPixel, 600, "", false, 14},
        {3508, 2481, KXSizeUnitPixel, 72, "", true, 14},
        {3508, 2481, KXSizeUnitPixel, 72, "", false, KXSizeNotFound},
        {640, 640, KXSizeUnitPixel, 72, "", false, 3},
        {12, 12, KXSizeUnitInch, 300, "", false, 17},
        {600, 800, KXSizeUnitPixel, 72, "", true, 9},
        {600, 800, KXSizeUnitPixel, 72, "", false, KXSizeNotFound},
        {8, 6, KXSizeUnitInch, 300, "", false, 10},
        {123, 456, KXSizeUnitPixel, 72, "", true, KXSizeNotFound},
    };
    for (const Case& c : cases) {
        KXSize size(c.width, c.height, c.unit, c.dpi);
        size.setDesc(QString::fromUtf8(c.desc));
        EXPECT_EQ(manager.indexOfsize(&size, c.ignoreOrientation), c.expected) << c.width << " x " << c.height;
    }
    EXPECT_EQ(manager.indexOfsize(nullptr, true), KXSizeNotFound);
}

TEST_F(PageSizeManagerTest, LookupPrefersNameMatchesThenTheLastSizeMatch) {
    KXPageSizeManager manager;
    manager.addPredefineSizeWithWidth(100, 200, 72, 0, false, QStringLiteral("p0"));
    manager.addPredefineSizeWithWidth(100, 200, 72, 0, false, QStringLiteral("p1"));
    manager.addPredefineSizeWithWidth(100, 200, 72, 0, false, QStringLiteral("p2"));
    manager.addCustomSize(sized(300, 400, 0, "c0"));
    manager.addCustomSize(sized(300, 400, 0, "c1"));
    manager.addCustomSize(sized(300, 400, 0, "c2"));
    manager.addCustomSize(sized(100, 200, 0, "p0"));  // same size and name as a predefined entry
    struct Case {
        double width, height;
        const char* desc;
        bool sameName;
        std::int64_t expected;
    };
    const Case cases[] = {
        {100, 200, "p1", true, 1},   // name and size: at once
        {100, 200, "zz", true, 2},   // size only: the last one
        {100, 200, "zz", false, 0},  // without names the first one
        {100, 200, "p0", true, 0},   // the predefined entry wins over the custom one
        {300, 400, "c1", true, 5},   // P + 1 + 1
        {300, 400, "zz", true, 6},
        {300, 400, "zz", false, 4},
        {300, 400, "p0", true, 6},   // names alone do not match
    };
    for (const Case& c : cases) {
        KXSize size(c.width, c.height, 0, 72);
        size.setDesc(QString::fromUtf8(c.desc));
        EXPECT_EQ(manager.indexOfsize(&size, false, c.sameName), c.expected) << c.desc << " " << c.sameName;
        if (c.sameName)
            EXPECT_EQ(manager.indexOfsize(&size, false), c.expected) << c.desc;
    }
}

TEST_F(PageSizeManagerTest, A4CustomTwinStillFindsThePredefinedEntry) {
    KXPageSizeManager manager;
    registerPredefinedPageSizes(manager);
    auto twin = manager.sizeAtIndex(14);
    manager.addCustomSize(twin);
    EXPECT_EQ(manager.indexOfsize(twin.get(), true), 14);
}

TEST_F(PageSizeManagerTest, CombinedIndexSkipsTheSeparator) {
    KXPageSizeManager manager;
    manager.addPredefineSizeWithWidth(100, 200, 72, 0, false, QStringLiteral("p0"));
    manager.addPredefineSizeWithWidth(300, 200, 72, 0, false, QStringLiteral("p1"));
    const auto custom = sized(5, 6, KXSizeUnitInch, "c0");
    manager.addCustomSize(custom);
    struct Case {
        std::int64_t index;
        const char* expected;  // description, or null for no size
    };
    for (const Case& c : {Case{-1, nullptr}, Case{0, "p0"}, Case{1, "p1"}, Case{2, nullptr}, Case{3, "c0"},
                          Case{4, nullptr}, Case{KXSizeNotFound, nullptr}}) {
        const auto size = manager.sizeAtIndex(c.index);
        if (!c.expected) {
            EXPECT_FALSE(size) << c.index;
            continue;
        }
        ASSERT_TRUE(size) << c.index;
        EXPECT_EQ(size->description(), QString::fromUtf8(c.expected));
    }
    // A copy, not the entry itself; customSizeAtIndex gives the entry itself.
    EXPECT_NE(manager.sizeAtIndex(3).get(), custom.get());
    EXPECT_EQ(manager.customSizeAtIndex(0).get(), custom.get());
    EXPECT_FALSE(manager.customSizeAtIndex(1));
    EXPECT_FALSE(manager.customSizeAtIndex(-1));
}

TEST_F(PageSizeManagerTest, CustomListEditing) {
    KXPageSizeManager manager;
    const auto a = sized(1, 2, 0, "a");
    const auto b = sized(3, 4, 0, "b");
    manager.addCustomSize(a);
    manager.addCustomSize(b);
    manager.addCustomSize(a);
    EXPECT_EQ(manager.customSizeCount(), 3);
    EXPECT_EQ(manager.indexOfCustomSize(b.get()), 1);
    manager.removeCustomSize(a.get());
    EXPECT_EQ(manager.customSizeDescriptions(), QStringList{"b"});
    EXPECT_EQ(manager.indexOfCustomSize(a.get()), KXSizeNotFound);
    manager.addCustomSize(nullptr);
    EXPECT_EQ(manager.customSizeCount(), 1);
    EXPECT_FALSE(QFileInfo::exists(sizesPath())) << "editing does not save";
}

TEST_F(PageSizeManagerTest, RemoveByDescriptionSearchesBackwardsPredefinedFirst) {
    KXPageSizeManager manager;
    manager.addPredefineSizeWithWidth(1, 1, 72, 0, false, QStringLiteral("same"));
    manager.addPredefineSizeWithWidth(2, 2, 72, 0, false, QStringLiteral("p"));
    manager.addCustomSize(sized(3, 3, 0, "twice"));
    manager.addCustomSize(sized(4, 4, 0, "same"));
    manager.addCustomSize(sized(5, 5, 0, "twice"));
    EXPECT_FALSE(manager.removeSizeByDescription(QString()));
    EXPECT_FALSE(manager.removeSizeByDescription(QStringLiteral("none")));
    EXPECT_TRUE(manager.removeSizeByDescription(QStringLiteral("twice")));
    ASSERT_EQ(manager.customSizeCount(), 2);
    EXPECT_EQ(manager.customSizeAtIndex(0)->width(), 3) << "the later one went";
    EXPECT_TRUE(manager.removeSizeByDescription(QStringLiteral("same")));
    EXPECT_EQ(manager.predefineSizeDescriptions(), QStringList{"p"});
    EXPECT_EQ(manager.customSizeDescriptions(), (QStringList{"twice", "same"}));
}

TEST_F(PageSizeManagerTest, CustomSizesSurviveSavingAndReading) {
    {
        KXPageSizeManager manager;
        manager.addCustomSize(sized(3.87, 6.5, KXSizeUnitInch, "Envelope"));
        manager.addCustomSize(sized(1200, 800, KXSizeUnitPixel, "Banner"));
        EXPECT_TRUE(manager.saveCustomSizes());
    }
    const auto root = kx::KeyedUnarchiver::unarchiveObjectWithFile(sizesPath());
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(root->toArray().size(), 2u) << "the root is the array of sizes";
    KXPageSizeManager reread;
    EXPECT_EQ(reread.customSizeDescriptions(), (QStringList{"Envelope", "Banner"}));
    EXPECT_EQ(reread.customSizeAtIndex(0)->width(), double(3.87f));
    EXPECT_EQ(reread.customSizeAtIndex(0)->unit(), KXSizeUnitInch);
    EXPECT_TRUE(reread.customSizeAtIndex(1)->isLandscape());
    // An empty list saves as an empty array.
    while (reread.customSizeCount() > 0)
        reread.removeCustomSize(reread.customSizeAtIndex(0).get());
    EXPECT_TRUE(reread.saveCustomSizes());
    EXPECT_EQ(KXPageSizeManager().customSizeCount(), 0);
}

TEST_F(PageSizeManagerTest, SaveCreatesTheFolderAndFailsCleanly) {
    QDir(folder()).removeRecursively();
    KXPageSizeManager manager;
    manager.addCustomSize(sized(1, 2, 0, "x"));
    EXPECT_TRUE(manager.saveCustomSizes());
    EXPECT_TRUE(QFileInfo(sizesPath()).isFile());
    // A file where the folder should be: the save fails and leaves it alone.
    const QString blocked = m_data.filePath(QStringLiteral("blocked"));
    writeFile(blocked, "keep");
    KXPageSizeManager elsewhere(blocked + QStringLiteral("/sizes"));
    elsewhere.addCustomSize(sized(1, 2, 0, "x"));
    EXPECT_FALSE(elsewhere.saveCustomSizes());
    EXPECT_EQ(readFile(blocked), QByteArray("keep"));
}

TEST_F(PageSizeManagerTest, UnreadableSizesFilesLeaveTheListEmpty) {
    // Garbage, an archive whose root is no array, and a folder in the file's place.
    writeFile(sizesPath(), "not an archive at all");
    EXPECT_EQ(KXPageSizeManager().customSizeCount(), 0);
    QFile::remove(sizesPath());
    ASSERT_TRUE(kx::KeyedArchiver::archiveRootObject(kx::Value(QStringLiteral("text")), sizesPath()));
    EXPECT_EQ(KXPageSizeManager().customSizeCount(), 0);
    QFile::remove(sizesPath());
    QDir().mkpath(sizesPath());
    EXPECT_EQ(KXPageSizeManager().customSizeCount(), 0);
    QDir(sizesPath()).removeRecursively();
    // An array that mixes sizes with other things keeps the sizes.
    kx::ValueArray mixed{kx::Value(sized(1, 2, 0, "keep")), kx::Value(QStringLiteral("drop")), kx::Value(7)};
    ASSERT_TRUE(kx::KeyedArchiver::archiveRootObject(kx::Value(mixed), sizesPath()));
    EXPECT_EQ(KXPageSizeManager().customSizeDescriptions(), QStringList{"keep"});
}

TEST_F(PageSizeManagerTest, LegacyListIsConvertedThenRemoved) {
    writeFile(legacyPath(), R"(<?xml version="1.0"?>
<root>
  <CustomData width="210" height="297" unit="1" DPI="300" name="My A4"/>
  <group><CustomData width="1200.5" height="800" unit="0" DPI="72" name="Banner &amp; more"/></group>
  <CustomData width="abc" height="100" unit="0" DPI="72" name="no width"/>
  <CustomData width="nan" height="100" unit="0" DPI="72" name="not a number"/>
  <CustomData width="0" height="100" unit="0" DPI="72" name="no area"/>
  <CustomData width="3.87" height="6.5" unit="2" DPI="300" name="Envelope"/>
</root>
)");
    // An earlier sizes file is replaced.
    ASSERT_TRUE(KXPageSizeManager(sizesPath()).saveCustomSizes());
    EXPECT_TRUE(convertLegacyCustomSizes());
    EXPECT_FALSE(QFileInfo::exists(legacyPath()));
    KXPageSizeManager manager;
    ASSERT_EQ(manager.customSizeDescriptions(), (QStringList{"My A4", "Banner & more", "Envelope"}));
    const auto a4 = manager.customSizeAtIndex(0);
    EXPECT_EQ(a4->unit(), KXSizeUnitMillimeter);
    EXPECT_EQ(a4->dpi(), 300);
    EXPECT_FALSE(a4->isLandscape());
    EXPECT_TRUE(manager.customSizeAtIndex(1)->isLandscape());
    EXPECT_EQ(manager.customSizeAtIndex(1)->width(), 1200.5);
    EXPECT_EQ(manager.customSizeAtIndex(2)->height(), 6.5);
}

TEST_F(PageSizeManagerTest, LegacyListStaysWhenItCannotBeConverted) {
    const QByteArray legacy = R"(<root><CustomData width="10" height="20" unit="0" DPI="72" name="x"/></root>)";
    // Nothing to convert.
    EXPECT_FALSE(convertLegacyCustomSizes());
    // Broken XML: nothing is written, the old file stays.
    writeFile(legacyPath(), "<root><CustomData width=\"10\"");
    EXPECT_FALSE(convertLegacyCustomSizes());
    EXPECT_TRUE(QFileInfo::exists(legacyPath()));
    EXPECT_FALSE(QFileInfo::exists(sizesPath()));
    // The new file cannot be written (a folder stands in its place): the old one stays.
    writeFile(legacyPath(), legacy);
    QDir().mkpath(sizesPath() + QStringLiteral("/inside"));
    EXPECT_FALSE(convertLegacyCustomSizes());
    EXPECT_EQ(readFile(legacyPath()), legacy);
    QDir(sizesPath()).removeRecursively();
    // Explicit paths work the same way.
    const QString other = m_data.filePath(QStringLiteral("other.sizes"));
    EXPECT_TRUE(convertLegacyCustomSizes(legacyPath(), other));
    EXPECT_EQ(KXPageSizeManager(other).customSizeDescriptions(), QStringList{"x"});
}

TEST_F(PageSizeManagerTest, StartUpConvertsAndRegisters) {
    writeFile(legacyPath(), R"(<root><CustomData width="10" height="20" unit="0" DPI="72" name="x"/></root>)");
    KXPageSizeManager& shared = KXPageSizeManager::pageSizeManager();
    EXPECT_EQ(&shared, &KXPageSizeManager::pageSizeManager());
    const std::int64_t before = shared.predefineSizeCount();
    initPageSizeManager();
    EXPECT_FALSE(QFileInfo::exists(legacyPath()));
    EXPECT_EQ(KXPageSizeManager().customSizeDescriptions(), QStringList{"x"});
    ASSERT_EQ(shared.predefineSizeCount(), before + 23);
    EXPECT_EQ(shared.predefineSizeDescriptions().mid(int(before)).at(14), QStringLiteral("A4: 210 X 297 mm"));
}

}  // namespace
