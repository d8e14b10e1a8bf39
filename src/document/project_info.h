// Reader of the attribute-only XML project and template format: the ".tpl" file of a template folder
// and the project file inside an older project package. It fills one header record, one page-setup
// record and one record per page with its objects; turning them into pages is the conversion's job.
//
// Element names are recognised in any mix of capitals, attribute names only exactly as written.
// Nesting plays no part: a header or page-setup element anywhere replaces that record, and an object
// goes to the most recent page ("scenegraph"); an object before any page is ignored. Element text is
// never read.
//
// The XML is read by a streaming reader that never loads external entities and stops a document
// whose internal entities expand beyond a small limit. Size, elements, attributes per element, pages,
// objects and entity references are bounded (xml_input.h), so reading takes time and memory in
// proportion to the file whatever it holds. A document that is not well-formed or passes a bound, a
// negative page count or a file that cannot be read is reported once, with the line where the problem
// lies, through the error presenter and gives no reader at all, so callers leave their project as it was.
#pragma once

#include "document/xml_records.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QXmlStreamAttributes;

class KXProjectInfo {
public:
    // Largest number of characters that entity references may expand to in one document.
    static constexpr int entityExpansionLimit = 4096;

    // A reader with new records: the default header and page setup and no pages.
    KXProjectInfo();

    // Reads the whole file and parses it. Null (with the error presented) when the file cannot be read.
    static std::unique_ptr<KXProjectInfo> initWithFile(const QString& path);
    // Parses the data. Null (with the error presented) when the data is not a well-formed document
    // or its page count is negative.
    static std::unique_ptr<KXProjectInfo> initWithData(const QByteArray& data);

    // Handles one start tag; an empty element name does nothing.
    void didStartElement(const QString& elementName, const QXmlStreamAttributes& attributes);
    // Records the error and presents it; an empty message does nothing.
    void parseErrorOccurred(const QString& error);

    // Every backslash-"r"-backslash-"n" (four characters) becomes a carriage return and a line feed.
    static QString decodeTextString(const QString& string);

    // The page record at the index; null for a negative index or one not below the count.
    std::shared_ptr<VRTSceneGraph> graphInfoAtIndex(qsizetype index) const;
    // The page records to convert: as many as the page count says (0 counts as 1), but never more
    // than the file holds; none for a negative count.
    std::vector<std::shared_ptr<VRTSceneGraph>> graphInfosToConvert() const;

    std::shared_ptr<VRTInfo> info() const { return m_info; }
    void setInfo(std::shared_ptr<VRTInfo> info) { m_info = std::move(info); }
    std::shared_ptr<VRTPage> page() const { return m_page; }
    void setPage(std::shared_ptr<VRTPage> page) { m_page = std::move(page); }
    const std::vector<std::shared_ptr<VRTSceneGraph>>& GraphList() const { return m_graphList; }
    void setGraphList(std::vector<std::shared_ptr<VRTSceneGraph>> list) { m_graphList = std::move(list); }
    bool hasError() const { return m_hasError; }

private:
    void parse(const QByteArray& data);

    std::shared_ptr<VRTInfo> m_info;
    std::shared_ptr<VRTPage> m_page;
    std::vector<std::shared_ptr<VRTSceneGraph>> m_graphList;
    bool m_hasError = false;
    int m_objectCount = 0;
};

// Shows a reading error to the user: by default an application-modal critical alert (a log line when
// no widget application runs). Replaceable so that tests neither wait on an alert nor miss one;
// passing an empty function restores the default.
using XMLErrorPresenter = std::function<void(const QString& message)>;
void setXMLErrorPresenter(XMLErrorPresenter presenter);
