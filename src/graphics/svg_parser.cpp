#include "graphics/svg_parser.h"

#include "platform/foundation/bounded_read.h"

#include <QXmlStreamReader>
#include <QtDebug>

KXSVGParser KXSVGParser::initWithSVGDocument(const QString& path) {
    KXSVGParser parser;
    parser.m_data = kx::readRegularFile(path, maximumFileBytes);
    return parser;
}

KXSVGParser::KXSVGParser(QByteArray data) : m_data(std::move(data)) {}

bool KXSVGParser::parseSVGDocument() {
    if (!m_data)
        return false;
    QXmlStreamReader reader(*m_data);
    // Element and attribute names are matched as written, prefixes included.
    reader.setNamespaceProcessing(false);
    reader.setEntityExpansionLimit(entityExpansionLimit);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            SVGAttributes attributes;
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                attributes.insert(attribute.qualifiedName().toString(), attribute.value().toString());
            didStartElement(reader.qualifiedName().toString(), attributes);
            break;
        }
        case QXmlStreamReader::EndElement:
            didEndElement(reader.qualifiedName().toString());
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        qWarning().noquote() << QStringLiteral("parserError: %1 (line %2, column %3)")
                                    .arg(reader.errorString())
                                    .arg(reader.lineNumber())
                                    .arg(reader.columnNumber());
        return false;
    }
    return true;
}

void KXSVGParser::didStartElement(const QString& elementName, const SVGAttributes& attributes) {
    if (elementName == QLatin1String("svg")) {
        m_viewBox = m_pathFactory.getViewboxFromAttributes(attributes);
        return;
    }
    if (elementName == QLatin1String("stop")) {
        m_pathFactory.addGradientStopWithAttributes(attributes);
        return;
    }
    if (elementName == QLatin1String("g"))
        m_pathFactory.addGroupOpacityValueWithAttributes(attributes);
    if (std::shared_ptr<KXStyledBezierPath> path = m_pathFactory.styledPathFromElementName(elementName, attributes))
        m_paths.push_back(std::move(path));
}

void KXSVGParser::didEndElement(const QString& elementName) {
    if (elementName == QLatin1String("g"))
        m_pathFactory.removeGroupOpacityValue();
}
