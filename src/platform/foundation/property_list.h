// Property lists: reading and writing the Value model as XML or binary ("bplist00") property lists.
#pragma once

#include "platform/foundation/value.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace kx {

enum class PropertyListFormat { Xml, Binary };

struct PropertyListError {
    QString message;
};

// Reads XML or binary (detected by the "bplist00" magic); nullopt + error message on failure.
// Damaged input of any kind gives an error, never a crash or an endless loop.
std::optional<Value> readPropertyList(const QByteArray& data, QString* error = nullptr);

// Writes a value tree. Deterministic: the same value gives the same bytes. Points, sizes and rects are
// written as their "{x, y}" strings; UIDs as bplist UIDs, or in XML as a dictionary {"CF$UID": n}.
// A tree that holds nil or an object cannot be written (archive objects with the keyed archiver
// first), nor, in XML, a string with a character XML cannot carry: the result is then empty.
QByteArray writePropertyList(const Value& v, PropertyListFormat format);
QByteArray writePropertyList(const Value& v, PropertyListFormat format, QString* error);

}  // namespace kx
