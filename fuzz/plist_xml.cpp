// Feeds arbitrary bytes to the XML property-list reader: it must end with a value or an error,
// never crash or hang. What it reads must write and read back.
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_formats.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const auto value = kx::readXmlPropertyList(bytes, &error);
    if (!value)
        return 0;
    const QByteArray xml = kx::writePropertyList(*value, kx::PropertyListFormat::Xml);
    if (!xml.isEmpty() && !kx::readPropertyList(xml))
        std::abort();
    const QByteArray binary = kx::writePropertyList(*value, kx::PropertyListFormat::Binary);
    if (binary.isEmpty() || !kx::readPropertyList(binary))
        std::abort();  // everything the XML reader makes can be written in binary
    return 0;
}
