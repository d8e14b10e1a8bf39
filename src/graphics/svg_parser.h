// Reads an SVG document into a flat list of styled paths in document order plus its viewBox.
// The XML is read by a streaming reader that never loads external entities and stops a document
// whose internal entities expand beyond a small limit, so hostile files fail fast in bounded memory.
#pragma once

#include "graphics/svg_path_factory.h"
#include "graphics/svg_styled_bezier_path.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class KXSVGParser {
public:
    // Largest number of characters that entity references may expand to in one document.
    static constexpr int entityExpansionLimit = 4096;

    // Largest SVG file that is read: far beyond any drawing the program uses, and the document is held
    // whole while it is parsed.
    static constexpr qint64 maximumFileBytes = 64 * 1024 * 1024;

    // Reads the file's data; a missing or unreadable file, one that is not a regular file (a FIFO would
    // block, a device would never end) or one larger than maximumFileBytes leaves the parser without data.
    static KXSVGParser initWithSVGDocument(const QString& path);
    explicit KXSVGParser(QByteArray data);

    // Runs the XML reader to the end. On an XML error writes "parserError: …" to the log and answers
    // false; the paths read before the error stay. Without data answers false and reads nothing.
    bool parseSVGDocument();

    const std::vector<std::shared_ptr<KXStyledBezierPath>>& paths() const { return m_paths; }
    // The svg element's viewBox; the zero rectangle until one is read.
    kx::Rect viewBox() const { return m_viewBox; }

    // The reader's callbacks: the start and the end of an element.
    void didStartElement(const QString& elementName, const SVGAttributes& attributes);
    void didEndElement(const QString& elementName);

private:
    KXSVGParser() = default;

    std::optional<QByteArray> m_data;
    std::vector<std::shared_ptr<KXStyledBezierPath>> m_paths;
    KXStyledBezierPathFactory m_pathFactory;
    kx::Rect m_viewBox;
};
