// The reader of the XML format refuses what would make it slow or large, names the line of every
// problem, and still reads whatever stays within its bounds.
#include "reader_support.h"

#include "document/project_info.h"
#include "document/xml_input.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

using XMLLimits = ReaderTest;

// An element with the given number of distinct attributes.
QByteArray elementWithAttributes(const char* name, int count) {
    QByteArray xml = QByteArray("<") + name;
    for (int i = 0; i < count; ++i)
        xml += " a" + QByteArray::number(i) + "=\"" + QByteArray::number(i) + "\"";
    return xml + "/>";
}

QByteArray repeated(const QByteArray& piece, int count) {
    QByteArray xml;
    for (int i = 0; i < count; ++i)
        xml += piece;
    return xml;
}

// Five lines of preamble, so that the problem put after them stands on line 6.
const QByteArray kFiveLines = "<?xml version=\"1.0\"?>\n<root>\n<info Version=\"7\"/>\n<scenegraph/>\n\n";

TEST_F(XMLLimits, ProblemsAreReportedOnceAtTheLineThatHoldsThem) {
    struct Case {
        const char* what;
        QByteArray xml;
        const char* words;  // part of the message
    };
    const Case cases[] = {
        {"invalid UTF-8", kFiveLines + "<sceneobject Image=\"\xFF\"/>\n</root>\n", "not valid UTF-8"},
        {"truncated UTF-8", kFiveLines + "<sceneobject Image=\"\xC3\"/>\n</root>\n", "not valid UTF-8"},
        {"invalid declared encoding", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<root>\n<a/>\n<a/>\n<a/>\n<b x=\"\x81\x20\"/></root>",
         "not valid Shift_JIS"},
        {"too many attributes", kFiveLines + elementWithAttributes("sceneobject", kMaxXMLAttributesPerElement + 1) + "</root>",
         "more than 256 attributes"},
        {"too many page objects",
         kFiveLines + repeated("<sceneobject Type=\"0\"/>", kMaxXMLObjects) + "<sceneobject Type=\"1\"/>\n</root>",
         "more than 10000 page objects"},
        {"too many pages", "<root>\n\n\n\n\n" + repeated("<scenegraph/>", kMaxXMLPages) + "<scenegraph/>\n</root>",
         "more than 1000 pages"},
        {"too many elements", "<root>\n\n\n\n\n" + repeated("<a/>", kMaxXMLElements) + "\n</root>", "more than 100000 elements"},
        {"too many entity references",
         "<!DOCTYPE root [<!ENTITY e \"x\">]>\n<root>\n\n\n\n" + repeated("&e;", kMaxXMLEntityReferences) + "&e;</root>",
         "more than 256 references"},
        {"attribute-list declaration", "<!DOCTYPE root [\n\n\n\n\n<!ATTLIST sceneobject Type CDATA \"1\">]><root/>",
         "attribute-list declarations"},
        {"parameter entity", "<!DOCTYPE root [\n\n\n\n\n<!ENTITY % p \"x\">]><root/>", "parameter entities"},
        {"not well-formed", kFiveLines + "</scenegraph>\n</root>", "mismatch"},
    };
    for (const Case& c : cases) {
        errors = 0;
        lastError.clear();
        EXPECT_FALSE(read(c.xml)) << c.what;
        EXPECT_EQ(errors, 1) << c.what;
        EXPECT_TRUE(lastError.contains(QStringLiteral("(line 6,"))) << c.what << ": " << lastError.toStdString();
        EXPECT_TRUE(lastError.contains(QString::fromLatin1(c.words))) << c.what << ": " << lastError.toStdString();
    }
}

TEST_F(XMLLimits, WhatStaysWithinTheBoundsIsRead) {
    // The most attributes, objects and references the reader takes, and an "=" inside a value.
    QByteArray xml = "<!DOCTYPE root [<!ENTITY e \"7\">]>\n<root><info Version=\"&e;\"/>" +
                     elementWithAttributes("other", kMaxXMLAttributesPerElement) + "<scenegraph Image=\"a=b&amp;c\"/>" +
                     repeated("<sceneobject Type=\"2\" Image=\"&e;\"/>", kMaxXMLEntityReferences - 1) +
                     repeated("<sceneobject Type=\"0\"/>", kMaxXMLObjects - kMaxXMLEntityReferences + 1) + "</root>";
    const auto info = read(xml);
    ASSERT_TRUE(info) << lastError.toStdString();
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(info->info()->version, 7);
    ASSERT_EQ(info->GraphList().size(), 1u);
    EXPECT_EQ(info->GraphList()[0]->imageName, QStringLiteral("a=b&c"));
    EXPECT_EQ(info->GraphList()[0]->objectList.size(), size_t(kMaxXMLObjects));

    // A declared encoding decodes the text; a byte-order mark tells UTF-16.
    const auto latin = read("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><root><scenegraph Image=\"caf\xE9\"/></root>");
    ASSERT_TRUE(latin) << lastError.toStdString();
    EXPECT_EQ(latin->GraphList().at(0)->imageName, QStringLiteral("caf\u00E9"));
    const QString text = QStringLiteral("<root>\n<scenegraph Image=\"\u00E9t\u00E9\"/></root>");
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const auto wide = read(utf16);
    ASSERT_TRUE(wide) << lastError.toStdString();
    EXPECT_EQ(wide->GraphList().at(0)->imageName, QStringLiteral("\u00E9t\u00E9"));
}

// A template file of the given size: one page and a comment of spaces.
QString writeTemplate(const QString& path, qint64 size) {
    const QByteArray head = "<root><scenegraph/><!--", tail = "--></root>";
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(head + QByteArray(size - head.size() - tail.size(), ' ') + tail);
    file.close();
    EXPECT_EQ(file.size(), size);
    return path;
}

TEST_F(XMLLimits, AFileLargerThanTheLimitIsRefusedUnread) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.tpl"));
    EXPECT_FALSE(KXProjectInfo::initWithFile(writeTemplate(path, kMaxXMLFileBytes + 1)));
    EXPECT_EQ(errors, 1);
    EXPECT_TRUE(lastError.contains(QStringLiteral("larger than 8 MB"))) << lastError.toStdString();
    EXPECT_FALSE(read(QByteArray(kMaxXMLFileBytes + 1, ' ')));
    EXPECT_EQ(errors, 2);

    // At the limit exactly, the file is read.
    const auto info = KXProjectInfo::initWithFile(writeTemplate(path, kMaxXMLFileBytes));
    ASSERT_TRUE(info) << lastError.toStdString();
    EXPECT_EQ(info->GraphList().size(), 1u);
    EXPECT_EQ(errors, 2);
}

}  // namespace
