// Numbers typed into text fields. Every numeric field of the application reads its value this way:
// each "," is removed first (so "1,234.5" reads 1234.5 and a comma is never a decimal separator),
// then the longest valid number at the start of the text is read, after leading white space, with
// "." as the decimal separator whatever the user's locale; text that holds no number reads as 0.
#pragma once

#include <QString>

class QLineEdit;

// The real-number readers accept an optional sign, digits with an optional fraction and an optional
// exponent ("-1.5e3"). A value too large for the type gives plus or minus infinity, one too small 0.
double doubleValueOfText(const QString& text);
float floatValueOfText(const QString& text);
// Reads an optional sign and decimal digits only ("12.9" gives 12); clamps to the int range.
int intValueOfText(const QString& text);

// The number values of a plain string, read like the readers above but without removing commas
// ("1,5" reads 1). The 64-bit reader clamps to its range. A string reads as true when, after white
// space, an optional sign and leading zeros, it starts with "Y", "y", "T", "t" or a digit 1 to 9.
double doubleValueOfString(const QString& string);
float floatValueOfString(const QString& string);
int intValueOfString(const QString& string);
long long longLongValueOfString(const QString& string);
bool boolValueOfString(const QString& string);

// The same readers applied to what a line edit shows.
double doubleValue(const QLineEdit& field);
float floatValue(const QLineEdit& field);
int intValue(const QLineEdit& field);
