#include "graphics/json_fetch.h"

#include "graphics/bounded_fetch.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

kx::Value valueFromJson(const QJsonValue& json) {
    switch (json.type()) {
    case QJsonValue::Bool:
        return kx::Value(json.toBool());
    case QJsonValue::Double: {
        // Qt keeps a number written as an integer as a 64-bit integer; anything else is a double.
        const QVariant number = json.toVariant();
        if (number.typeId() == QMetaType::LongLong)
            return kx::Value(number.toLongLong());
        return kx::Value(json.toDouble());
    }
    case QJsonValue::String:
        return kx::Value(json.toString());
    case QJsonValue::Array: {
        kx::ValueArray array;
        for (const QJsonValue& element : json.toArray())
            array.push_back(valueFromJson(element));
        return kx::Value(std::move(array));
    }
    case QJsonValue::Object: {
        kx::ValueDictionary dictionary;
        const QJsonObject object = json.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            dictionary.emplace(it.key(), valueFromJson(it.value()));
        return kx::Value(std::move(dictionary));
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return kx::Value();
}

}  // namespace

std::optional<kx::Value> dictionaryWithContentsOfJSONURLString(const QString& urlString,
                                                               const JSONFetchLimits& limits) {
    if (!QCoreApplication::instance() || urlString.isEmpty())
        return std::nullopt;
    const QUrl url(urlString, QUrl::StrictMode);
    if (!url.isValid() || !isFetchableScheme(url.scheme()))
        return std::nullopt;
    const std::optional<QByteArray> body = fetchBounded(url, limits.timeout, limits.maximumBytes);
    if (!body)
        return std::nullopt;
    return valueWithJSONData(*body);
}

std::optional<kx::Value> valueWithJSONData(const QByteArray& data) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    if (document.isObject())
        return valueFromJson(document.object());
    if (document.isArray())
        return valueFromJson(document.array());
    return std::nullopt;
}
