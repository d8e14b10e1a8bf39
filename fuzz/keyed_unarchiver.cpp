// Feeds arbitrary bytes to the keyed unarchiver, with a class that reads every kind of key and
// holds other objects (so that sharing and cycles are reached): it must end with a root or an
// error, never crash, hang, expand without bound or leave a cycle of objects that leaks.
#include "platform/foundation/keyed_unarchiver.h"

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace {

class FuzzNode : public kx::Object, public kx::Coding {
public:
    QString className() const override { return QStringLiteral("FuzzNode"); }
    void encodeWithCoder(kx::KeyedArchiver&) const override {}
    void initWithCoder(kx::KeyedUnarchiver& coder) override {
        flag = coder.decodeBool(QStringLiteral("flag"));
        small = coder.decodeInt32(QStringLiteral("small"));
        big = coder.decodeInt64(QStringLiteral("big"));
        single = coder.decodeFloat(QStringLiteral("single"));
        precise = coder.decodeDouble(QStringLiteral("precise"));
        rect = coder.decodeRect(QStringLiteral("rect"));
        point = coder.decodePoint(QStringLiteral("point"));
        size = coder.decodeSize(QStringLiteral("size"));
        value = coder.decodeObject(QStringLiteral("value"));
        list = coder.decodeObjectOfType(QStringLiteral("list"), kx::Value::Type::Array);
        link = coder.decodeObjectOfClass<FuzzNode>(QStringLiteral("link"));
        dollar = coder.decodeObject(QStringLiteral("$dollar"));
    }

    bool flag = false;
    std::int32_t small = 0;
    std::int64_t big = 0;
    float single = 0;
    double precise = 0;
    kx::Rect rect;
    kx::Point point;
    kx::Size size;
    kx::Value value;
    kx::Value list;
    kx::Value dollar;
    std::shared_ptr<FuzzNode> link;
};

const kx::ClassRegistry& registry() {
    static kx::ClassRegistry r;
    static std::once_flag once;
    std::call_once(once, [] { r.registerClass<FuzzNode>(QStringLiteral("FuzzNode")); });
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const auto root = kx::KeyedUnarchiver::unarchiveObjectWithData(bytes, &error, registry());
    (void)root;
    return 0;
}
