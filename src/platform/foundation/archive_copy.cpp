#include "platform/foundation/archive_copy.h"

#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

namespace kx {

ObjectPtr archiveCopyObject(const Object& object, QString* error, const ClassRegistry& registry) {
    KeyedArchiver archiver(registry);
    archiver.encodeObject(object, QStringLiteral("root"));
    const QByteArray data = archiver.encodedData();
    if (data.isEmpty()) {
        if (error)
            *error = archiver.error();
        return nullptr;
    }
    const std::optional<Value> copy = KeyedUnarchiver::unarchiveObjectWithData(data, error, registry);
    return copy ? copy->toObject() : nullptr;
}

}  // namespace kx
