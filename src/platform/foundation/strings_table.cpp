#include "platform/foundation/strings_table.h"

#include <QStringDecoder>

namespace kx {

namespace {

QString decodeText(const QByteArray& data) {
    const auto starts = [&](const char* bom, int n) { return data.size() >= n && data.startsWith(QByteArray(bom, n)); };
    if (starts("\xFF\xFE", 2))
        return QStringDecoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless).decode(data.mid(2));
    if (starts("\xFE\xFF", 2))
        return QStringDecoder(QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless).decode(data.mid(2));
    if (starts("\xEF\xBB\xBF", 3))
        return QString::fromUtf8(data.mid(3));
    return QString::fromUtf8(data);
}

bool isWordCharacter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '$' ||
           u == '+' || u == '/' || u == ':' || u == '.' || u == '-';
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

class Parser {
public:
    explicit Parser(QString text) : m_text(std::move(text)) {}

    std::optional<StringsTable> parse(QString* error) {
        StringsTable table;
        while (skipSpaceAndComments() && !atEnd()) {
            QString key, value;
            if (!readString(&key))
                return fail(error, orMessage(QStringLiteral("a key was expected")));
            if (!skipSpaceAndComments())
                return fail(error, m_message);
            if (peek() == u'=') {
                ++m_pos;
                if (!skipSpaceAndComments())
                    return fail(error, m_message);
                if (!readString(&value))
                    return fail(error, orMessage(QStringLiteral("a value was expected")));
                if (!skipSpaceAndComments())
                    return fail(error, m_message);
            } else {
                value = key;
            }
            if (peek() != u';')
                return fail(error, QStringLiteral("\";\" was expected"));
            ++m_pos;
            table[key] = value;
        }
        if (!m_message.isEmpty())
            return fail(error, m_message);
        return table;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek(qsizetype ahead = 0) const {
        return m_pos + ahead < m_text.size() ? m_text.at(m_pos + ahead) : QChar();
    }

    QString orMessage(const QString& fallback) const { return m_message.isEmpty() ? fallback : m_message; }

    std::nullopt_t fail(QString* error, const QString& message) const {
        if (error) {
            const qsizetype line = m_text.left(m_pos).count(u'\n') + 1;
            *error = QStringLiteral("line %1: %2").arg(line).arg(message);
        }
        return std::nullopt;
    }

    // False (with a message) only for an unterminated block comment.
    bool skipSpaceAndComments() {
        while (!atEnd()) {
            const QChar c = peek();
            if (c.isSpace()) {
                ++m_pos;
            } else if (c == u'/' && peek(1) == u'*') {
                const qsizetype end = m_text.indexOf(QStringLiteral("*/"), m_pos + 2);
                if (end < 0) {
                    m_message = QStringLiteral("unterminated comment");
                    return false;
                }
                m_pos = end + 2;
            } else if (c == u'/' && peek(1) == u'/') {
                const qsizetype end = m_text.indexOf(u'\n', m_pos);
                m_pos = end < 0 ? m_text.size() : end + 1;
            } else {
                break;
            }
        }
        return true;
    }

    bool readString(QString* out) {
        if (peek() == u'"')
            return readQuoted(out);
        const qsizetype start = m_pos;
        while (!atEnd() && isWordCharacter(peek()))
            ++m_pos;
        *out = m_text.mid(start, m_pos - start);
        return m_pos > start;
    }

    bool readQuoted(QString* out) {
        ++m_pos;  // opening quote
        QString s;
        while (!atEnd()) {
            const QChar c = m_text.at(m_pos++);
            if (c == u'"') {
                *out = s;
                return true;
            }
            if (c != u'\\') {
                s += c;
                continue;
            }
            if (atEnd())
                break;
            const QChar e = m_text.at(m_pos++);
            switch (e.unicode()) {
            case 'n': s += u'\n'; break;
            case 't': s += u'\t'; break;
            case 'r': s += u'\r'; break;
            case 'a': s += u'\a'; break;
            case 'b': s += u'\b'; break;
            case 'f': s += u'\f'; break;
            case 'v': s += u'\v'; break;
            case 'U':
            case 'u': {
                // Up to four hex digits: one UTF-16 unit; pairs of escapes form surrogate pairs.
                char16_t unit = 0;
                int digits = 0;
                while (digits < 4 && hexDigit(peek()) >= 0) {
                    unit = char16_t(unit * 16 + hexDigit(peek()));
                    ++m_pos;
                    ++digits;
                }
                if (digits == 0) {
                    m_message = QStringLiteral("\\U without hex digits");
                    return false;
                }
                s += QChar(unit);
                break;
            }
            default:
                if (e >= u'0' && e <= u'7') {
                    int code = e.unicode() - '0';
                    for (int i = 0; i < 2 && peek() >= u'0' && peek() <= u'7'; ++i)
                        code = code * 8 + (m_text.at(m_pos++).unicode() - '0');
                    s += QChar(char16_t(code & 0xFF));
                } else {
                    s += e;  // \" \\ \' and any other character stand for themselves
                }
            }
        }
        if (m_message.isEmpty())
            m_message = QStringLiteral("unterminated string");
        return false;
    }

    QString m_text;
    qsizetype m_pos = 0;
    QString m_message;
};

}  // namespace

std::optional<StringsTable> parseStringsTable(const QByteArray& data, QString* error) {
    Parser parser(decodeText(data));
    QString message;
    std::optional<StringsTable> table = parser.parse(&message);
    if (!table && error)
        *error = message;
    return table;
}

}  // namespace kx
