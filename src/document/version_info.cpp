#include "document/version_info.h"

#include "model/model_classes.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <mutex>

namespace {

QString infoString(const QString& key) {
    return kx::Bundle::main().infoValue(key).toString();
}

// A null string stands for nil: it is archived as nil and a missing key reads back as null.
kx::Value optionalString(const QString& s) {
    return s.isNull() ? kx::Value() : kx::Value(s);
}

QString decodeString(kx::KeyedUnarchiver& coder, const QString& key) {
    const kx::Value v = coder.decodeObjectOfType(key, kx::Value::Type::String);
    return v.isNil() ? QString() : v.toString();
}

}  // namespace

std::shared_ptr<KXVersionInfo> KXVersionInfo::versionInfo() {
    auto info = std::make_shared<KXVersionInfo>();
    info->productName = infoString(QStringLiteral("CFBundleName"));
    info->company = QStringLiteral("Morvane Technology");
    info->version = infoString(QStringLiteral("CFBundleShortVersionString"));
    const kx::Value projectVersion = kx::Bundle::main().infoValue(QStringLiteral("Project version"));
    if (projectVersion.type() == kx::Value::Type::String)
        info->projectVersion = projectVersion.toString().toLongLong();
    else if (!projectVersion.isNil())
        info->projectVersion = projectVersion.toInteger();
    return info;
}

void KXVersionInfo::encodeWithCoder(kx::KeyedArchiver& coder) const {
    coder.encodeObject(optionalString(productName), QStringLiteral("productName"));
    coder.encodeObject(optionalString(company), QStringLiteral("company"));
    coder.encodeObject(optionalString(version), QStringLiteral("version"));
    coder.encodeInteger(projectVersion, QStringLiteral("projectVersion"));
}

void KXVersionInfo::initWithCoder(kx::KeyedUnarchiver& coder) {
    productName = decodeString(coder, QStringLiteral("productName"));
    company = decodeString(coder, QStringLiteral("company"));
    version = decodeString(coder, QStringLiteral("version"));
    projectVersion = coder.decodeInteger(QStringLiteral("projectVersion"));
}

std::shared_ptr<KXDocumentAttribute> KXDocumentAttribute::documentAttribute() {
    auto attribute = std::make_shared<KXDocumentAttribute>();
    attribute->author = infoString(QStringLiteral("CFBundleName"));
    attribute->company = QStringLiteral("Morvane");
    return attribute;
}

namespace {
// The attribute keys in archive order with their fields.
template <class F>
void forEachAttribute(F&& f, auto& record) {
    f(QStringLiteral("title"), record.title);
    f(QStringLiteral("subject"), record.subject);
    f(QStringLiteral("author"), record.author);
    f(QStringLiteral("manager"), record.manager);
    f(QStringLiteral("company"), record.company);
    f(QStringLiteral("category"), record.category);
    f(QStringLiteral("keywords"), record.keywords);
    f(QStringLiteral("annotations"), record.annotations);
}
}  // namespace

void KXDocumentAttribute::encodeWithCoder(kx::KeyedArchiver& coder) const {
    QStringList known;
    forEachAttribute(
        [&](const QString& key, const QString& value) {
            coder.encodeObject(optionalString(value), key);
            known << key;
        },
        *this);
    for (const auto& [key, field] : otherFields) {
        if (known.contains(key))
            continue;  // a field of ours always wins
        if (field.inPlace)
            coder.encodeValueInPlace(field.value, key);
        else
            coder.encodeObject(field.value, key);
    }
}

void KXDocumentAttribute::initWithCoder(kx::KeyedUnarchiver& coder) {
    QStringList known;
    forEachAttribute(
        [&](const QString& key, QString& value) {
            value = decodeString(coder, key);
            known << key;
        },
        *this);
    otherFields.clear();
    for (const QString& key : coder.allKeys()) {
        if (known.contains(key))
            continue;
        OtherField field;
        field.value = coder.decodeStoredValue(key, &field.inPlace);
        otherFields[key] = std::move(field);
    }
}

void registerDocumentClasses() {
    registerModelClasses();
    static std::once_flag once;
    std::call_once(once, [] {
        kx::ClassRegistry& registry = kx::ClassRegistry::shared();
        registry.registerClass<KXVersionInfo>(QStringLiteral("KXVersionInfo"));
        registry.registerClass<KXDocumentAttribute>(QStringLiteral("KXDocumentAttribute"));
    });
}
