// Readable failure messages for the lines a text drawing set: each line as its column and its characters.
#pragma once

#include "text/text.h"

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

// GoogleTest prints a drawn line as its column and character range.
inline void PrintTo(const KXText::DrawnLine& line, std::ostream* out) {
    *out << '[' << line.column << ": " << line.characters.location << '+' << line.characters.length << ']';
}

namespace kxtest {

// The lines as the text they hold: [column: "characters"] ...
inline std::string describeLines(const std::vector<KXText::DrawnLine>& lines, const QString& string) {
    std::ostringstream out;
    for (const KXText::DrawnLine& line : lines)
        out << '[' << line.column << ": \""
            << string.mid(line.characters.location, line.characters.length).toStdString() << "\"] ";
    return out.str();
}

}  // namespace kxtest
