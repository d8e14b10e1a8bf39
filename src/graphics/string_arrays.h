// Case-insensitive membership and removal on lists of names (template names, extensions).
// "Case-insensitive" means both sides lower-cased and then compared exactly.
#pragma once

#include <QString>
#include <QStringList>

// True when some element, lower-cased, equals the string lower-cased; false for an empty list.
bool containsString(const QStringList& list, const QString& string);

// Removes every element equal to the string: as written when caseSensitive, else both lower-cased.
// The remaining elements keep their order.
void removeString(QStringList& list, const QString& string, bool caseSensitive);
