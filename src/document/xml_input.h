// What the reader of the XML project and template format accepts before any element is looked at: the
// bytes are decoded into text (invalid bytes are reported at the line that holds them), and the text is
// checked against limits that keep reading fast and small whatever the file holds. Every limit lies far
// above what a real template or older project needs: the largest template that ships is 19 KB with 24
// objects on 12 pages, and its largest element has 52 attributes.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Largest file read, 8 MiB (over 400 times the largest template). A larger file is refused unread.
constexpr qint64 kMaxXMLFileBytes = 8 * 1024 * 1024;
// Most attributes one element may carry (the format's largest element has about 60). The XML parser
// checks the attributes of an element for duplicates pair by pair, so this bound keeps that check small.
constexpr int kMaxXMLAttributesPerElement = 256;
// Most page objects ("sceneobject" elements that make a record) in one file.
constexpr int kMaxXMLObjects = 10000;
// Most pages ("scenegraph" elements) in one file.
constexpr int kMaxXMLPages = 1000;
// Most elements of any kind in one file (the largest template has 40); this bounds the parser's work per
// element, whatever the elements are.
constexpr int kMaxXMLElements = 100000;
// Most references to declared entities in one file; each may expand to at most the reader's entity
// expansion limit, so the expanded text stays within a few megabytes.
constexpr int kMaxXMLEntityReferences = 256;

// The outcome of decoding or checking: empty message when the input passes, else what is wrong and the
// line (from 1) where it is.
struct XMLInputProblem {
    QString message;
    qint64 line = 0;
    qint64 column = 0;
    bool isProblem() const { return !message.isEmpty(); }
};

// Decodes the document's bytes as the XML rules say: a byte-order mark or the first characters tell
// UTF-16 and UTF-32; otherwise the encoding named in the XML declaration, else UTF-8. A byte sequence
// that is invalid in that encoding, or an encoding that is not supported, is a problem at its line.
QString decodeXMLDocument(const QByteArray& data, XMLInputProblem* problem);

// Checks the decoded text: attributes per element, references to declared entities, and no
// attribute-list declarations or parameter entities (the format has no document type definition; such
// declarations would add attributes to every element or expand without bound). Linear in the text.
XMLInputProblem checkXMLLimits(const QString& text);
