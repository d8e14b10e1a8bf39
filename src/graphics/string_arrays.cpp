#include "graphics/string_arrays.h"

bool containsString(const QStringList& list, const QString& string) {
    const QString wanted = string.toLower();
    for (const QString& element : list) {
        if (element.toLower() == wanted)
            return true;
    }
    return false;
}

void removeString(QStringList& list, const QString& string, bool caseSensitive) {
    if (caseSensitive) {
        list.removeAll(string);
        return;
    }
    const QString unwanted = string.toLower();
    list.removeIf([&](const QString& element) { return element.toLower() == unwanted; });
}
