#include "platform/foundation/property_list.h"

#include "platform/foundation/property_list_formats.h"

namespace kx {

std::optional<Value> readPropertyList(const QByteArray& data, QString* error) {
    if (data.startsWith("bplist00"))
        return readBinaryPropertyList(data, error);
    if (data.startsWith("bplist")) {
        if (error)
            *error = QStringLiteral("unsupported binary property list version");
        return std::nullopt;
    }
    return readXmlPropertyList(data, error);
}

QByteArray writePropertyList(const Value& v, PropertyListFormat format) {
    return writePropertyList(v, format, nullptr);
}

QByteArray writePropertyList(const Value& v, PropertyListFormat format, QString* error) {
    return format == PropertyListFormat::Binary ? writeBinaryPropertyList(v, error) : writeXmlPropertyList(v, error);
}

}  // namespace kx
