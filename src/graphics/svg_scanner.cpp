#include "graphics/svg_scanner.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <limits>
#include <string>

namespace {

bool isDecimalDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

}  // namespace

SVGScanner::SVGScanner(QString text) : m_text(std::move(text)) {}

void SVGScanner::setScanLocation(qsizetype location) {
    m_location = std::clamp<qsizetype>(location, 0, m_text.size());
}

void SVGScanner::skipWhiteSpace() {
    while (m_location < m_text.size() && m_text.at(m_location).isSpace())
        ++m_location;
}

bool SVGScanner::isAtEnd() const {
    qsizetype i = m_location;
    while (i < m_text.size() && m_text.at(i).isSpace())
        ++i;
    return i >= m_text.size();
}

bool SVGScanner::scanDouble(double* value) {
    const qsizetype start = m_location;
    skipWhiteSpace();
    qsizetype i = m_location;
    const qsizetype n = m_text.size();
    std::string digits;
    if (i < n && (m_text.at(i) == QLatin1Char('-') || m_text.at(i) == QLatin1Char('+'))) {
        if (m_text.at(i) == QLatin1Char('-'))
            digits += '-';
        ++i;
    }
    bool mantissa = false;
    while (i < n && isDecimalDigit(m_text.at(i))) {
        digits += char(m_text.at(i).unicode());
        ++i;
        mantissa = true;
    }
    if (i < n && m_text.at(i) == QLatin1Char('.')) {
        qsizetype j = i + 1;
        std::string fraction = ".";
        while (j < n && isDecimalDigit(m_text.at(j))) {
            fraction += char(m_text.at(j).unicode());
            ++j;
        }
        if (mantissa || fraction.size() > 1) {
            digits += fraction;
            i = j;
            mantissa = true;
        }
    }
    if (!mantissa) {
        m_location = start;
        return false;
    }
    if (i < n && (m_text.at(i) == QLatin1Char('e') || m_text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (m_text.at(j) == QLatin1Char('-') || m_text.at(j) == QLatin1Char('+'))) {
            exponent += char(m_text.at(j).unicode());
            ++j;
        }
        const qsizetype firstDigit = j;
        while (j < n && isDecimalDigit(m_text.at(j))) {
            exponent += char(m_text.at(j).unicode());
            ++j;
        }
        if (j > firstDigit) {
            digits += exponent;
            i = j;
        }
    }
    m_location = i;
    double result = 0;
    const char* first = digits.data();
    const char* last = first + digits.size();
    const auto [end, error] = std::from_chars(first, last, result);
    if (error == std::errc::result_out_of_range) {
        // Underflow reads as zero; overflow is not a number we can use.
        if (digits.find("e-") == std::string::npos)
            return false;
        result = 0;
    } else if (error != std::errc() || end != last || !std::isfinite(result)) {
        return false;
    }
    *value = result;
    return true;
}

bool SVGScanner::scanFloat(float* value) {
    double d = 0;
    if (!scanDouble(&d))
        return false;
    if (std::fabs(d) > double(std::numeric_limits<float>::max()))
        return false;
    *value = float(d);
    return true;
}

bool SVGScanner::scanHexInt(unsigned* value) {
    const qsizetype start = m_location;
    skipWhiteSpace();
    qsizetype i = m_location;
    const qsizetype n = m_text.size();
    if (i + 2 < n && m_text.at(i) == QLatin1Char('0') &&
        (m_text.at(i + 1) == QLatin1Char('x') || m_text.at(i + 1) == QLatin1Char('X')) &&
        hexValue(m_text.at(i + 2)) >= 0)
        i += 2;
    const qsizetype firstDigit = i;
    std::uint64_t result = 0;
    bool overflow = false;
    while (i < n && hexValue(m_text.at(i)) >= 0) {
        if (!overflow) {
            result = result * 16 + std::uint64_t(hexValue(m_text.at(i)));
            overflow = result > 0xFFFFFFFFull;
        }
        ++i;
    }
    if (i == firstDigit) {
        m_location = start;
        return false;
    }
    m_location = i;
    *value = overflow ? 0xFFFFFFFFu : unsigned(result);
    return true;
}

bool SVGScanner::scanString(QStringView s) {
    const qsizetype start = m_location;
    skipWhiteSpace();
    if (QStringView(m_text).mid(m_location).startsWith(s)) {
        m_location += s.size();
        return true;
    }
    m_location = start;
    return false;
}

QString SVGScanner::initialCharacter() const {
    return m_text.left(1);
}

QChar SVGScanner::currentCharacter() const {
    return m_location < m_text.size() ? m_text.at(m_location) : QChar();
}

void SVGScanner::conditionallyIncrement() {
    if (m_location >= m_text.size())
        return;
    // A sign, a point or a digit begins the next number, as in "0.5.5" for (0.5, 0.5) or "-.7.7" for
    // (-0.7, 0.7): stepping over it would change that number.
    const QChar c = m_text.at(m_location);
    if (c == QLatin1Char('-') || c == QLatin1Char('+') || c == QLatin1Char('.') || isDecimalDigit(c))
        return;
    ++m_location;
}

bool SVGScanner::scanPoint(kx::Point* point) {
    float x = 0, y = 0;
    conditionallyIncrement();
    const bool haveX = scanFloat(&x);
    conditionallyIncrement();
    const bool haveY = scanFloat(&y);
    if (!haveX || !haveY)
        return false;
    *point = kx::Point(x, y);
    return true;
}
