// Feeds arbitrary bytes to the JSON reader: JSON text must give a dictionary or an array, anything else
// nothing, without crashing or running away on deep nesting, huge numbers or broken UTF-8.
#include "graphics/json_fetch.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto value = valueWithJSONData(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (value && value->type() != kx::Value::Type::Dictionary && value->type() != kx::Value::Type::Array)
        std::abort();
    return 0;
}
