#include "document/xml_input.h"

#include <QStringDecoder>

namespace {

// The line and column (both from 1) of a position in the text; "\r\n", "\r" and "\n" each end a line.
void locate(const QString& text, qsizetype position, XMLInputProblem* problem) {
    qint64 line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < position && i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\n' || (c == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n'))) {
            ++line;
            lineStart = i + 1;
        }
    }
    problem->line = line;
    problem->column = position - lineStart + 1;
}

void report(XMLInputProblem* problem, const QString& text, qsizetype position, const QString& message) {
    if (!problem)
        return;
    problem->message = message;
    locate(text, position, problem);
}

bool isSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// The encoding named by an XML declaration at the start of the bytes, and where the declaration ends;
// empty when there is no declaration or it names none.
QByteArray declaredEncoding(QByteArrayView bytes, qsizetype* declarationEnd) {
    *declarationEnd = 0;
    if (!bytes.startsWith("<?xml") || bytes.size() < 6 || !isSpace(QChar(bytes[5])))
        return {};
    const qsizetype end = QByteArrayView(bytes).indexOf("?>");
    if (end < 0)
        return {};
    *declarationEnd = end + 2;
    const QByteArrayView declaration = bytes.first(end);
    const qsizetype key = declaration.indexOf("encoding");
    if (key < 0)
        return {};
    qsizetype i = key + 8;
    while (i < declaration.size() && isSpace(QChar(declaration[i])))
        ++i;
    if (i >= declaration.size() || declaration[i] != '=')
        return {};
    ++i;
    while (i < declaration.size() && isSpace(QChar(declaration[i])))
        ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
        return {};
    const char quote = declaration[i];
    const qsizetype close = declaration.indexOf(quote, i + 1);
    return close < 0 ? QByteArray() : declaration.sliced(i + 1, close - i - 1).toByteArray();
}

bool isUtf8Name(const QByteArray& name) {
    const QByteArray n = name.toLower();
    return n == "utf-8" || n == "utf8";
}

// Counts the "=" outside quotes of a start tag, up to its closing ">" outside quotes or the next "<"
// (which no attribute value may hold, so the parser stops there too). Every attribute has one "=", so
// the count is at least the number of attributes.
void countAttributes(const QString& text, qsizetype from, int* count) {
    QChar quote;
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'<')
            break;
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'=') {
            ++*count;
        } else if (c == u'>') {
            break;
        }
    }
}

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u':' || c == u'-' || c == u'.' || c.unicode() >= 0x80;
}

bool isPredefinedEntity(QStringView name) {
    return name == u"amp" || name == u"lt" || name == u"gt" || name == u"apos" || name == u"quot";
}

}  // namespace

QString decodeXMLDocument(const QByteArray& data, XMLInputProblem* problem) {
    using Flag = QStringConverter::Flag;
    QString text;
    QString encodingName = QStringLiteral("UTF-8");
    const auto detected = QStringConverter::encodingForData(data, u'<');
    if (detected && *detected != QStringConverter::Utf8) {
        // UTF-16 or UTF-32, told by a byte-order mark or by how the first "<" is written; a declared
        // encoding cannot change that.
        QStringDecoder decoder(*detected, Flag::Stateless | Flag::ConvertInvalidToNull);
        encodingName = QString::fromLatin1(decoder.name());
        text = decoder(data);
    } else {
        QByteArrayView bytes(data);
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes = bytes.sliced(3);
        qsizetype declarationEnd = 0;
        const QByteArray declared = declaredEncoding(bytes, &declarationEnd);
        const QStringConverter::Flags flags = Flag::Stateless | Flag::ConvertInvalidToNull | Flag::ConvertInitialBom;
        QStringDecoder utf8(QStringConverter::Utf8, flags);
        if (declared.isEmpty() || isUtf8Name(declared)) {
            text = utf8(bytes);
        } else {
            QStringDecoder decoder(declared.constData(), flags);
            if (!decoder.isValid()) {
                if (problem) {
                    problem->message = QStringLiteral("Encoding %1 is unsupported").arg(QString::fromLatin1(declared));
                    problem->line = 1;
                    problem->column = 1;
                }
                return {};
            }
            // The declaration itself is read as UTF-8; what follows it in the encoding it names.
            encodingName = QString::fromLatin1(declared);
            text = utf8(bytes.first(declarationEnd));
            text += decoder(bytes.sliced(declarationEnd));
        }
    }
    // Invalid sequences became NUL characters, which no XML text may hold either.
    if (const qsizetype bad = text.indexOf(QChar(0)); bad >= 0) {
        report(problem, text, bad, QStringLiteral("the text there is not valid %1 (or holds a NUL character)").arg(encodingName));
        return {};
    }
    return text;
}

XMLInputProblem checkXMLLimits(const QString& text) {
    XMLInputProblem problem;
    int references = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'<') {
            const QStringView rest = QStringView(text).sliced(i);
            if (rest.startsWith(u"<!ATTLIST")) {
                report(&problem, text, i, QStringLiteral("attribute-list declarations are not read"));
                return problem;
            }
            if (rest.startsWith(u"<!ENTITY")) {
                qsizetype j = i + 8;
                while (j < n && isSpace(text[j]))
                    ++j;
                if (j < n && text[j] == u'%') {
                    report(&problem, text, i, QStringLiteral("parameter entities are not read"));
                    return problem;
                }
                continue;
            }
            if (i + 1 < n && text[i + 1] != u'!' && text[i + 1] != u'?' && text[i + 1] != u'/') {
                // Start tags never overlap (each ends before the next "<"), so the scans stay linear.
                int count = 0;
                countAttributes(text, i + 1, &count);
                if (count > kMaxXMLAttributesPerElement) {
                    report(&problem, text, i,
                           QStringLiteral("an element has more than %1 attributes").arg(kMaxXMLAttributesPerElement));
                    return problem;
                }
            }
        } else if (c == u'&' && i + 1 < n && text[i + 1] != u'#') {
            qsizetype k = i + 1;
            while (k < n && isNameChar(text[k]))
                ++k;
            if (k > i + 1 && !isPredefinedEntity(QStringView(text).sliced(i + 1, k - i - 1)) &&
                ++references > kMaxXMLEntityReferences) {
                report(&problem, text, i,
                       QStringLiteral("more than %1 references to declared entities").arg(kMaxXMLEntityReferences));
                return problem;
            }
        }
    }
    return problem;
}
