// The reader accepts exactly the documents that libxml2's xmllint finds well-formed: the table holds
// xmllint's decision for each input, and both the reader and (when installed) xmllint must match it.
#include "reader_support.h"
#include "support/outside_tools.h"

#include <QFileInfo>
#include <QProcess>

namespace {

const char* const kXmllint = "/usr/bin/xmllint";

// True when xmllint reads the document without a well-formedness error. External entities and DTDs
// are not loaded, as in our reader.
bool xmllintAccepts(const QByteArray& xml) {
    QProcess process;
    process.start(QString::fromLatin1(kXmllint), {QStringLiteral("--noout"), QStringLiteral("--nonet"), QStringLiteral("-")});
    if (!process.waitForStarted())
        ADD_FAILURE() << "xmllint did not start";
    process.write(xml);
    process.closeWriteChannel();
    process.waitForFinished();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray billionLaughs() {
    QByteArray xml = "<!DOCTYPE root [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'g'; ++c) {
        QByteArray refs;
        for (int i = 0; i < 10; ++i)
            refs += QByteArray("&") + char(c - 1) + ";";
        xml += QByteArray("<!ENTITY ") + c + " \"" + refs + "\">";
    }
    return xml + "]><root a=\"&g;\"/>";
}

using XMLWellFormedness = ReaderTest;

TEST_F(XMLWellFormedness, AcceptsWhatXmllintAcceptsAndRejectsWhatItRejects) {
    struct Case {
        QByteArray xml;
        bool wellFormed;  // xmllint's decision, also checked against xmllint itself when it is installed
    };
    const Case cases[] = {
        {"<root/>", true},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root><info Version=\"5\"/></root>\n", true},
        {"\xEF\xBB\xBF<root Name=\"caf\xC3\xA9\"/>", true},
        {"<root><!-- note --><?pi data?><![CDATA[<not an element>]]>text &amp; &lt; &#65; &#x42;</root>", true},
        {"<!DOCTYPE root [<!ENTITY v \"5\">]><root><info Version=\"&v;\"/>&v;</root>", true},
        {"<!DOCTYPE root [<!ENTITY ext SYSTEM \"file:///etc/hostname\">]><root>&ext;</root>", true},
        {"<!DOCTYPE root SYSTEM \"missing.dtd\"><root/>", true},
        {"<root a='single' b=\"dou'ble\"/>\n<!-- after -->\n", true},
        {"<a xmlns:p=\"urn:x\"><p:b p:c=\"1\"/></a>", true},
        {"<p:b/>", true},
        {"<ScEnEgRaPh   Type = \"1\" ></ScEnEgRaPh >", true},
        {"<root a=\"line&#10;break\">\r\n</root>", true},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><root a=\"caf\xE9\"/>", true},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><root a=\"\x80 caf\xE9\"/>", true},
        {"<?xml version=\"1.0\" encoding=\"GB2312\"?><root a=\"\xC4\xE3\"/>", true},
        {"<?xml version=\"1.0\" encoding=\"bogus-enc\"?><root a=\"x\"/>", false},
        {"", false},
        {"   ", false},
        {"text only", false},
        {"<root>", false},
        {"<root></Root>", false},
        {"<a><b></a></b>", false},
        {"<root a=\"1\" a=\"2\"/>", false},
        {"<root a=1/>", false},
        {"<root a=\"<\"/>", false},
        {"<root>&undefined;</root>", false},
        {"<root/><root/>", false},
        {"<root/>trailing", false},
        {"<1root/>", false},
        {"<root><!-- a -- b --></root>", false},
        {"<root>]]></root>", false},
        {"<root>\x01</root>", false},
        {"<root>&#0;</root>", false},
        {"<root a=\"\xFF\"/>", false},
        {"<?xml version=\"1.0\"?><?xml version=\"1.0\"?><root/>", false},
        {" <?xml version=\"1.0\"?><root/>", false},
        {"<!DOCTYPE root [<!ENTITY ext SYSTEM \"file:///etc/hostname\">]><root a=\"&ext;\"/>", false},
        {"<!DOCTYPE root [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><root x=\"&a;\"/>", false},
        {billionLaughs(), false},
    };
    const bool haveXmllint = QFileInfo(QString::fromLatin1(kXmllint)).isExecutable();
    for (const Case& c : cases) {
        const std::string shown = c.xml.left(200).toStdString();
        if (haveXmllint)
            EXPECT_EQ(xmllintAccepts(c.xml), c.wellFormed) << "xmllint on: " << shown;
        errors = 0;
        const bool accepted = read(c.xml) != nullptr;
        EXPECT_EQ(accepted, c.wellFormed) << "input: " << shown << "\nour error: " << lastError.toStdString();
        EXPECT_EQ(errors, accepted ? 0 : 1) << shown;
    }
    // Without xmllint the cases were checked against the stored decisions only.
    KX_REQUIRE_TOOLS(kXmllint);
}

}  // namespace
