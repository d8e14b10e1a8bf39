// String tables: the "key" = "value"; files that hold the texts shown to users.
#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>

namespace kx {

using StringsTable = std::map<QString, QString>;

// Reads a strings file: entries `"key" = "value";` (a lone `"key";` maps the key to itself), with
// /* */ and // comments, quoted strings with backslash escapes (\n \t \r \" \\ \Uhhhh and octal \ooo) or
// unquoted words of letters, digits and _$+/:.-. Text is UTF-16 when it starts with a byte-order mark,
// otherwise UTF-8 (with or without a mark). A later entry for the same key replaces an earlier one.
// Any syntax error rejects the whole file: nullopt and the line of the error in `error`.
std::optional<StringsTable> parseStringsTable(const QByteArray& data, QString* error = nullptr);

}  // namespace kx
