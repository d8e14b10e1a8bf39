// The files that make a Linux desktop know the application: the desktop entry and the file types of project
// and template packages.
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <map>
#include "support/outside_tools.h"

namespace {

const QString kPackaging = QStringLiteral(KX_SOURCE_DIR "/packaging/linux/");

// Each MIME type of the file with its glob patterns.
std::map<QString, QStringList> mimeGlobs(const QString& path) {
    std::map<QString, QStringList> types;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("mime-type"))
            current = xml.attributes().value(QLatin1String("type")).toString();
        else if (xml.name() == QLatin1String("glob"))
            types[current] << xml.attributes().value(QLatin1String("pattern")).toString();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return types;
}

TEST(PackagingTest, MimeTypesNameEveryPackageExtension) {
    const QString path = kPackaging + QStringLiteral("org.kollage.Kollage.xml");
    const auto types = mimeGlobs(path);
    ASSERT_EQ(types.size(), 2u);
    EXPECT_EQ(types.at(QStringLiteral("application/x-kollage-project")),
              (QStringList{"*.vrtp3", "*.vrtplite3", "*.vrtp", "*.vrtplite"}));
    EXPECT_EQ(types.at(QStringLiteral("application/x-kollage-template")), QStringList{"*.vrtpkg"});
    KX_REQUIRE_TOOLS("xmllint");
    const QString xmllint = kxtest::toolPath("xmllint");
    QProcess lint;
    lint.start(xmllint, {QStringLiteral("--noout"), path});
    ASSERT_TRUE(lint.waitForFinished());
    EXPECT_EQ(lint.exitCode(), 0) << lint.readAllStandardError().toStdString();
}

// The keys of the desktop entry's main group (QSettings would take ';' for a comment).
std::map<QString, QString> desktopEntry(const QString& path) {
    std::map<QString, QString> keys;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'['))
            inGroup = line == QLatin1String("[Desktop Entry]");
        else if (inGroup && line.contains(u'=') && !line.startsWith(u'#'))
            keys[line.section(u'=', 0, 0)] = line.section(u'=', 1);
    }
    return keys;
}

TEST(PackagingTest, DesktopEntryStartsTheProgramForBothFileTypes) {
    auto entry = desktopEntry(kPackaging + QStringLiteral("org.kollage.Kollage.desktop"));
    EXPECT_EQ(entry[QStringLiteral("Type")], QStringLiteral("Application"));
    EXPECT_EQ(entry[QStringLiteral("Exec")], QStringLiteral("kollage %f"));
    EXPECT_EQ(entry[QStringLiteral("Icon")], QStringLiteral("org.kollage.Kollage"));
    EXPECT_TRUE(QFile::exists(kPackaging + QStringLiteral("org.kollage.Kollage.svg")));
    QStringList mimeTypes = entry[QStringLiteral("MimeType")].split(u';', Qt::SkipEmptyParts);
    QStringList expected;
    for (const auto& [type, globs] : mimeGlobs(kPackaging + QStringLiteral("org.kollage.Kollage.xml")))
        expected << type;
    mimeTypes.sort();
    expected.sort();
    EXPECT_EQ(mimeTypes, expected);
}

// Continuous integration must run every check: there a missing tool is a failure, elsewhere a skip.
bool toolsRequired() {
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    return environment.value(QStringLiteral("CI")) == QLatin1String("true") ||
           environment.value(QStringLiteral("KX_REQUIRE_TOOLS")) == QLatin1String("1");
}

TEST(PackagingTest, DesktopEntryPassesTheFreedesktopValidator) {
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) {
        if (toolsRequired())
            FAIL() << "desktop-file-validate is not installed (package desktop-file-utils, see scripts/setup)";
        GTEST_SKIP() << "desktop-file-validate is not installed";
    }
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(validator, {kPackaging + QStringLiteral("org.kollage.Kollage.desktop")});
    ASSERT_TRUE(validate.waitForFinished());
    const QString report = QString::fromUtf8(validate.readAll());
    EXPECT_EQ(validate.exitCode(), 0) << report.toStdString();
    // Warnings and hints do not change the exit code; the entry should give none either.
    EXPECT_TRUE(report.trimmed().isEmpty()) << report.toStdString();
}

}  // namespace
