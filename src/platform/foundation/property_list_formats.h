// The two property-list encodings behind readPropertyList / writePropertyList.
#pragma once

#include "platform/foundation/value.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kx {

// Nesting deeper than this is refused by both readers; it keeps recursion on a small stack.
inline constexpr int kMaxPropertyListDepth = 512;

std::optional<Value> readBinaryPropertyList(const QByteArray& data, QString* error);
std::optional<Value> readXmlPropertyList(const QByteArray& data, QString* error);

// Both writers return an empty array and set *error when the value cannot be written.
QByteArray writeBinaryPropertyList(const Value& v, QString* error);
QByteArray writeXmlPropertyList(const Value& v, QString* error);

}  // namespace kx
