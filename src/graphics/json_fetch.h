// Reads a JSON document from a web address, blocking the calling thread for the whole fetch (the image
// search calls it from its worker thread). The fetch is bounded in time and size, so a slow or hostile
// server can neither hold the caller forever nor fill memory.
#pragma once

#include "platform/foundation/value.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

struct JSONFetchLimits {
    // The whole fetch, connection and redirects included, must end within this time.
    std::chrono::milliseconds timeout{15000};
    // A body longer than this is refused (checked on the announced length and while reading).
    qint64 maximumBytes = 8 * 1024 * 1024;
};

// The parsed document of an http, https or file address: a dictionary or an array of kx::Value
// (JSON numbers become integers when written as integers, reals otherwise; null becomes nil). Nothing
// when the address is bad, the read fails (an HTTP error status counts as failure), the limits are
// exceeded or the text is not a JSON object or array; the reason is not reported.
// Needs a QCoreApplication; the calling thread must be free to run a local event loop.
std::optional<kx::Value> dictionaryWithContentsOfJSONURLString(const QString& urlString,
                                                               const JSONFetchLimits& limits = {});

// The parsed document of JSON text, by the same rules; nothing when it is not a JSON object or array.
std::optional<kx::Value> valueWithJSONData(const QByteArray& data);
