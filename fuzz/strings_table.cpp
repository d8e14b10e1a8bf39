// Feeds arbitrary bytes to the strings-table reader: it must end with a table or an error, never crash,
// hang or read past its input.
#include "platform/foundation/strings_table.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString error;
    const auto table = kx::parseStringsTable(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    if (table) {
        for (const auto& [key, value] : *table)
            (void)(key.size() + value.size());
    }
    return 0;
}
