#include "platform/foundation/bundle.h"
#include "support/environment_override.h"
#include "support/qt_message_check.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kx;

namespace {

void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    file.write(data);
}

const QByteArray kInfoPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
	<key>CFBundleIdentifier</key>
	<string>org.example.Test</string>
	<key>HelpURL</key>
	<string>https://help.example.org/</string>
	<key>Categories</key>
	<array><string>Cards</string><string>Calendars</string></array>
</dict>
</plist>
)";

// Points the main bundle at a folder for one test and back at the real one afterwards.
class MainBundleOverride {
public:
    explicit MainBundleOverride(const QString& path) { Bundle::setMainResourcePath(path); }
    ~MainBundleOverride() { Bundle::setMainResourcePath(QString()); }
};

using kxtest::EnvironmentOverride;

}  // namespace

TEST(Bundle, MainBundleOfTheBuildTreeHoldsTheApplicationResources) {
    EnvironmentOverride noEnvironment("KX_RESOURCES_DIR", QByteArray());
    Bundle::setMainResourcePath(QString());
    const Bundle& bundle = Bundle::main();
    EXPECT_TRUE(QFileInfo::exists(bundle.resourcePath() + "/Info.plist"));
    EXPECT_EQ(bundle.bundleIdentifier(), "org.kollage.Kollage");
    EXPECT_EQ(bundle.infoValue("CFBundleName"), Value("Kollage"));
    for (const char* key : {"PublisherURL", "HelpURL", "SupportURL", "HomePageURL", "FeedbackURL",
                            "ShareFacebookURL", "AppStoreURL", "CFBundleVersion", "CFBundleShortVersionString"}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(bundle.infoValue(key).toString().isEmpty());
    }
    EXPECT_TRUE(bundle.infoValue("HelpURL").toString().startsWith("https://"));
    // CFBundleVersion is compared with update feeds as an integer.
    bool isInteger = false;
    bundle.infoValue("CFBundleVersion").toString().toLongLong(&isInteger);
    EXPECT_TRUE(isInteger);
    EXPECT_NE(bundle.localizedString("FailedOpenURL"), "FailedOpenURL");
    EXPECT_EQ(bundle.localizedString("OK"), "OK");
}

TEST(Bundle, ResourcesFolderIsFoundBesideTheExecutableThenUnderThePrefix) {
    EnvironmentOverride noEnvironment("KX_RESOURCES_DIR", QByteArray());
    QTemporaryDir prefix;
    const QString bin = prefix.filePath("bin");
    QDir().mkpath(bin);
    writeFile(prefix.filePath("share/kollage/resources/Info.plist"), kInfoPlist);
    EXPECT_EQ(Bundle::findResourcePath(bin), QDir(prefix.filePath("share/kollage/resources")).canonicalPath());

    writeFile(bin + "/resources/Info.plist", kInfoPlist);
    EXPECT_EQ(Bundle::findResourcePath(bin), QDir(bin + "/resources").canonicalPath());

}

// The source tree's folder is a development fallback: it serves an executable inside the build tree only
// when nothing lies beside it, and never one that was moved or installed elsewhere.
TEST(Bundle, SourceResourcesServeOnlyExecutablesInsideTheBuildTree) {
    EnvironmentOverride noEnvironment("KX_RESOURCES_DIR", QByteArray());
    const QString source = QDir(QStringLiteral(KX_SOURCE_DIR "/resources")).canonicalPath();
    // This test's own folder lies in the build tree.
    QTemporaryDir inBuild(QCoreApplication::applicationDirPath() + "/bundle-XXXXXX");
    ASSERT_TRUE(inBuild.isValid());
    EXPECT_EQ(Bundle::findResourcePath(inBuild.path()), source);
    writeFile(inBuild.filePath("resources/Info.plist"), kInfoPlist);
    EXPECT_EQ(Bundle::findResourcePath(inBuild.path()), QDir(inBuild.filePath("resources")).canonicalPath());

    // Moved out of the build tree: resources beside it, or none at all, but never the source tree's.
    QTemporaryDir moved;
    ASSERT_TRUE(moved.isValid());
    ASSERT_FALSE(moved.path().startsWith(QStringLiteral(KX_SOURCE_DIR)));
    kxtest::ExpectedQtWarning none(QStringLiteral("^Bundle: no resources folder found beside "));
    EXPECT_NE(Bundle::findResourcePath(moved.path()), source);
    EXPECT_FALSE(QFileInfo::exists(Bundle::findResourcePath(moved.path()) + "/Info.plist"));
    writeFile(moved.filePath("resources/Info.plist"), kInfoPlist);
    EXPECT_EQ(Bundle::findResourcePath(moved.path()), QDir(moved.filePath("resources")).canonicalPath());
}

TEST(Bundle, EnvironmentVariableOverridesTheSearch) {
    QTemporaryDir dir;
    writeFile(dir.filePath("Info.plist"), kInfoPlist);
    {
        EnvironmentOverride env("KX_RESOURCES_DIR", dir.path().toUtf8());
        EXPECT_EQ(Bundle::findResourcePath(), dir.path());
        Bundle::setMainResourcePath(QString());  // an empty path searches again
        EXPECT_EQ(Bundle::main().bundleIdentifier(), "org.example.Test");
    }
    Bundle::setMainResourcePath(QString());
    EXPECT_EQ(Bundle::main().bundleIdentifier(), "org.kollage.Kollage");
}

TEST(Bundle, InfoValuesByKey) {
    QTemporaryDir dir;
    writeFile(dir.filePath("Info.plist"), kInfoPlist);
    MainBundleOverride useTemp(dir.path());
    const Bundle& bundle = Bundle::main();
    EXPECT_EQ(bundle.resourcePath(), dir.path());
    EXPECT_EQ(bundle.bundleIdentifier(), "org.example.Test");
    EXPECT_EQ(bundle.infoValue("HelpURL"), Value("https://help.example.org/"));
    EXPECT_EQ(bundle.infoValue("Categories"), Value(ValueArray{Value("Cards"), Value("Calendars")}));
    EXPECT_TRUE(bundle.infoValue("SupportURL").isNil());
    EXPECT_EQ(bundle.infoDictionary().size(), 3u);
}

TEST(Bundle, MissingOrDamagedFilesGiveNothingButNoFailure) {
    QTemporaryDir dir;
    Bundle missing(dir.path());
    EXPECT_TRUE(missing.infoDictionary().empty());
    EXPECT_EQ(missing.localizedString("OK"), "OK");

    kxtest::ExpectedQtWarning damagedInfo(QStringLiteral("^Bundle: .*Info.plist is not a dictionary property list"), 2);
    kxtest::ExpectedQtWarning damagedStrings(QStringLiteral("^Bundle: .*Localizable.strings: line 2: \";\" was expected$"));
    writeFile(dir.filePath("Info.plist"), "<plist><dict><key>A</key>");
    writeFile(dir.filePath("Localizable.strings"), "\"OK\" = \"Okay\"\n\"Cancel\" = \"Annuler\";");
    Bundle damaged(dir.path());
    EXPECT_TRUE(damaged.infoValue("A").isNil());
    EXPECT_EQ(damaged.localizedString("OK"), "OK");  // one error rejects the table

    writeFile(dir.filePath("Info.plist"), "<plist><array/></plist>");
    Bundle notADictionary(dir.path());
    EXPECT_TRUE(notADictionary.infoDictionary().empty());
}

TEST(Bundle, LocalizedStringsByTableAndKeyWithTheKeyAsFallback) {
    QTemporaryDir dir;
    QStringEncoder utf16(QStringEncoder::Utf16LE);
    writeFile(dir.filePath("Localizable.strings"),
              QByteArray("\xFF\xFE") + QByteArray(utf16.encode(QString::fromUtf8(
                                           "/* UTF-16 like the usual tables */\n\"OK\" = \"D'accord\";\n"
                                           "\"Untitled\" = \"Sans titre\";\n"))));
    writeFile(dir.filePath("Errors.strings"), "\"OK\" = \"Fine\";");
    MainBundleOverride useTemp(dir.path());
    const Bundle& bundle = Bundle::main();

    const struct {
        const char* key;
        const char* table;
        const char* fallback;
        const char* expected;
    } cases[] = {
        {"OK", "Localizable", "", "D'accord"},
        {"Untitled", "Localizable", "Untitled document", "Sans titre"},
        {"OK", "Errors", "", "Fine"},
        {"Missing", "Localizable", "", "Missing"},
        {"Missing", "Localizable", "Fallback", "Fallback"},
        {"OK", "NoSuchTable", "", "OK"},
        {"OK", "../Localizable", "", "OK"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.table) + "/" + c.key);
        EXPECT_EQ(bundle.localizedString(c.key, c.table, c.fallback), QString::fromUtf8(c.expected));
    }
    EXPECT_EQ(bundle.localizedString("OK"), "D'accord");  // "Localizable" is the default table
}

TEST(Bundle, PathForResourceFindsExistingFilesInsideTheResourcesOnly) {
    QTemporaryDir outside;
    QTemporaryDir dir;
    writeFile(dir.filePath("reflectionMask.png"), "png");
    writeFile(dir.filePath("Frames/gold.jpng"), "jpng");
    writeFile(outside.filePath("secret.txt"), "secret");
    Bundle bundle(dir.path());

    const QString mask = QFileInfo(dir.filePath("reflectionMask.png")).absoluteFilePath();
    const QString gold = QFileInfo(dir.filePath("Frames/gold.jpng")).absoluteFilePath();
    const QString climbOut = "../" + QFileInfo(outside.path()).fileName() + "/secret";
    const struct {
        QString name, type, subfolder, expected;
    } cases[] = {
        {"reflectionMask", "png", "", mask},
        {"reflectionMask", ".png", "", mask},
        {"reflectionMask.png", "", "", mask},
        {"gold", "jpng", "Frames", gold},
        {"Frames", "", "", QFileInfo(dir.filePath("Frames")).absoluteFilePath()},
        {"gold", "png", "Frames", ""},
        {"reflectionMask", "jpg", "", ""},
        {"", "png", "", ""},
        {climbOut, "txt", "", ""},
        {"secret", "txt", "../" + QFileInfo(outside.path()).fileName(), ""},
        {outside.filePath("secret"), "txt", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.subfolder + "/" + c.name + "." + c.type));
        EXPECT_EQ(bundle.pathForResource(c.name, c.type, c.subfolder), c.expected);
    }
}
