#include "graphics/text_values.h"

#include <QLineEdit>

#include <climits>
#include <cstdlib>
#include <locale.h>

namespace {

QString withoutCommas(const QString& text) {
    QString s = text;
    s.remove(u',');
    return s;
}

qsizetype skipWhiteSpace(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && s.at(i).isSpace())
        ++i;
    return i;
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The longest prefix of s, from `start`, that reads as a decimal real number; empty when none does.
QByteArray realNumberPrefix(const QString& s, qsizetype start) {
    qsizetype i = start;
    if (i < s.size() && (s.at(i) == u'+' || s.at(i) == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < s.size() && isDigit(s.at(i)))
        ++i, ++digits;
    if (i < s.size() && s.at(i) == u'.') {
        ++i;
        while (i < s.size() && isDigit(s.at(i)))
            ++i, ++digits;
    }
    if (digits == 0)
        return {};
    qsizetype end = i;
    if (i < s.size() && (s.at(i) == u'e' || s.at(i) == u'E')) {
        ++i;
        if (i < s.size() && (s.at(i) == u'+' || s.at(i) == u'-'))
            ++i;
        qsizetype exponentDigits = 0;
        while (i < s.size() && isDigit(s.at(i)))
            ++i, ++exponentDigits;
        if (exponentDigits > 0)
            end = i;
    }
    return s.mid(start, end - start).toLatin1();
}

// The C library's conversions read the decimal point of the current locale, which the application
// sets from the user's environment; the numbers typed here always use ".", so convert in the C locale.
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

}  // namespace

double doubleValueOfText(const QString& text) {
    const QString s = withoutCommas(text);
    const QByteArray number = realNumberPrefix(s, skipWhiteSpace(s));
    return number.isEmpty() ? 0.0 : strtod_l(number.constData(), nullptr, cLocale());
}

float floatValueOfText(const QString& text) {
    const QString s = withoutCommas(text);
    const QByteArray number = realNumberPrefix(s, skipWhiteSpace(s));
    return number.isEmpty() ? 0.0f : strtof_l(number.constData(), nullptr, cLocale());
}

int intValueOfText(const QString& text) {
    const QString s = withoutCommas(text);
    qsizetype i = skipWhiteSpace(s);
    bool negative = false;
    if (i < s.size() && (s.at(i) == u'+' || s.at(i) == u'-'))
        negative = s.at(i++) == u'-';
    // Accumulate toward the sign so that INT_MIN itself is representable; saturate on overflow.
    long long value = 0;
    for (; i < s.size() && isDigit(s.at(i)); ++i) {
        const int digit = s.at(i).unicode() - u'0';
        value = value * 10 + (negative ? -digit : digit);
        if (value > INT_MAX)
            return INT_MAX;
        if (value < INT_MIN)
            return INT_MIN;
    }
    return int(value);
}

double doubleValue(const QLineEdit& field) {
    return doubleValueOfText(field.text());
}

float floatValue(const QLineEdit& field) {
    return floatValueOfText(field.text());
}

int intValue(const QLineEdit& field) {
    return intValueOfText(field.text());
}
