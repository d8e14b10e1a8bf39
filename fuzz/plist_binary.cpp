// Feeds arbitrary bytes to the binary property-list reader: it must end with a value or an error,
// never crash, hang or read past its input. What it reads must write and read back.
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_formats.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const auto value = kx::readBinaryPropertyList(bytes, &error);
    if (!value)
        return 0;
    // nil (the 0x00 marker) cannot be written; anything that can must read back.
    const QByteArray written = kx::writePropertyList(*value, kx::PropertyListFormat::Binary);
    if (!written.isEmpty() && !kx::readPropertyList(written))
        std::abort();
    (void)kx::writePropertyList(*value, kx::PropertyListFormat::Xml);
    return 0;
}
