#include "graphics/json_fetch.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>

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

bool isFetchableScheme(const QString& scheme) {
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("file");
}

// Runs the request to its end or until a limit stops it; the body when it was read whole.
std::optional<QByteArray> fetchBody(const QUrl& url, const JSONFetchLimits& limits) {
    const qint64 maximumBytes = std::max<qint64>(0, limits.maximumBytes);
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    QNetworkReply* reply = manager.get(request);

    QByteArray body;
    bool refused = false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    auto refuse = [&] {
        refused = true;
        reply->abort();
    };
    QObject::connect(&deadline, &QTimer::timeout, &loop, refuse);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maximumBytes)
            refuse();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        if (refused)
            return;
        body += reply->read(maximumBytes + 1 - body.size());
        if (body.size() > maximumBytes)
            refuse();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(limits.timeout);
    if (!reply->isFinished())
        loop.exec();
    deadline.stop();

    if (!refused) {
        body += reply->read(maximumBytes + 1 - body.size());
        refused = body.size() > maximumBytes;
    }
    const bool failed = refused || reply->error() != QNetworkReply::NoError;
    delete reply;
    if (failed)
        return std::nullopt;
    return body;
}

}  // namespace

std::optional<kx::Value> dictionaryWithContentsOfJSONURLString(const QString& urlString,
                                                               const JSONFetchLimits& limits) {
    if (!QCoreApplication::instance() || urlString.isEmpty())
        return std::nullopt;
    const QUrl url(urlString, QUrl::StrictMode);
    if (!url.isValid() || !isFetchableScheme(url.scheme()))
        return std::nullopt;
    const std::optional<QByteArray> body = fetchBody(url, limits);
    if (!body)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*body, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    if (document.isObject())
        return valueFromJson(document.object());
    if (document.isArray())
        return valueFromJson(document.array());
    return std::nullopt;
}
