// Copies made by an archive round trip: the copy shares nothing with the original, and objects
// shared inside the original stay shared inside the copy.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/value.h"

#include <QString>

#include <memory>

namespace kx {

// Archives the object and unarchives the result through the registry. Null when the object cannot
// be archived or read back (its class is not registered, say), with *error saying why.
ObjectPtr archiveCopyObject(const Object& object, QString* error = nullptr,
                            const ClassRegistry& registry = ClassRegistry::shared());

// The copy as the original's class, or null.
template <class T>
std::shared_ptr<T> archiveCopy(const T& object, QString* error = nullptr,
                               const ClassRegistry& registry = ClassRegistry::shared()) {
    auto copy = std::dynamic_pointer_cast<T>(archiveCopyObject(object, error, registry));
    if (!copy && error && error->isEmpty())
        *error = QStringLiteral("the copy is not of the original's class");
    return copy;
}

}  // namespace kx
