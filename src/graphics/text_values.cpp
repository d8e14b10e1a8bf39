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

double doubleValueOfString(const QString& string) {
    const QByteArray number = realNumberPrefix(string, skipWhiteSpace(string));
    return number.isEmpty() ? 0.0 : strtod_l(number.constData(), nullptr, cLocale());
}

float floatValueOfString(const QString& string) {
    const QByteArray number = realNumberPrefix(string, skipWhiteSpace(string));
    return number.isEmpty() ? 0.0f : strtof_l(number.constData(), nullptr, cLocale());
}

long long longLongValueOfString(const QString& string) {
    qsizetype i = skipWhiteSpace(string);
    bool negative = false;
    if (i < string.size() && (string.at(i) == u'+' || string.at(i) == u'-'))
        negative = string.at(i++) == u'-';
    // Accumulate toward the sign so that the smallest value itself is representable; saturate on overflow.
    long long value = 0;
    for (; i < string.size() && isDigit(string.at(i)); ++i) {
        const int digit = string.at(i).unicode() - u'0';
        if (negative ? value < (LLONG_MIN + digit) / 10 : value > (LLONG_MAX - digit) / 10)
            return negative ? LLONG_MIN : LLONG_MAX;
        value = value * 10 + (negative ? -digit : digit);
    }
    return value;
}

int intValueOfString(const QString& string) {
    const long long value = longLongValueOfString(string);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : int(value);
}

bool boolValueOfString(const QString& string) {
    qsizetype i = skipWhiteSpace(string);
    if (i < string.size() && (string.at(i) == u'+' || string.at(i) == u'-'))
        ++i;
    while (i < string.size() && string.at(i) == u'0')
        ++i;
    if (i >= string.size())
        return false;
    const QChar c = string.at(i);
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

double doubleValueOfText(const QString& text) {
    return doubleValueOfString(withoutCommas(text));
}

float floatValueOfText(const QString& text) {
    return floatValueOfString(withoutCommas(text));
}

int intValueOfText(const QString& text) {
    return intValueOfString(withoutCommas(text));
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
