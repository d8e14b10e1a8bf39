// The text scanner the SVG reader reads numbers, colours and path commands with. It walks a string
// by a scan location; the number and string scanners skip white space before they read and leave
// the location untouched when nothing could be read. Nothing ever reads past the end of the text.
#pragma once

#include "platform/foundation/geometry.h"

#include <QString>

class SVGScanner {
public:
    explicit SVGScanner(QString text);

    const QString& string() const { return m_text; }
    qsizetype scanLocation() const { return m_location; }
    // Clamped to the text's length.
    void setScanLocation(qsizetype location);
    // True when nothing but white space remains.
    bool isAtEnd() const;

    // An optionally signed decimal number with an optional fraction and exponent, in single or
    // double precision. A number whose value does not fit the precision (overflow) is stepped over
    // but counts as not read.
    bool scanFloat(float* value);
    bool scanDouble(double* value);
    // A hexadecimal number with an optional "0x" prefix; values beyond 32 bits give 0xFFFFFFFF.
    bool scanHexInt(unsigned* value);
    // The exact text `s`.
    bool scanString(QStringView s);

    // The first character of the text, as a string (empty for an empty text).
    QString initialCharacter() const;
    // The character at the scan location; a null character at the end.
    QChar currentCharacter() const;
    // Steps over the current character (a command letter or a separator) unless it is the end or begins a
    // number: a sign, a decimal point or a digit.
    void conditionallyIncrement();
    // Conditionally increments, scans a number, conditionally increments and scans another; when both
    // numbers were read, stores the point and answers true, else leaves `point` alone.
    bool scanPoint(kx::Point* point);

private:
    void skipWhiteSpace();

    QString m_text;
    qsizetype m_location = 0;
};
