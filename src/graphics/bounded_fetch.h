// A blocking fetch of a web or file address, bounded in time and size, so that a slow or hostile
// server can neither hold the caller forever nor fill memory. Used by the JSON reader and the image
// cache's remote images.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

// Whether the address's scheme is one the program reads from: http, https or file.
bool isFetchableScheme(const QString& scheme);

// The whole body of the address, or nothing on any failure: no QCoreApplication, a bad address or
// scheme, an error status, the time-out reached, or a body longer than `maximumBytes` (checked on
// the announced length and while reading). Runs a local event loop on the calling thread.
std::optional<QByteArray> fetchBounded(const QUrl& url, std::chrono::milliseconds timeout, qint64 maximumBytes);

// Makes every fetch in progress give up at once (answering nothing); fetches started later are not affected.
// Called as the application ends, so that no thread still waits on a server when the program's threads are
// waited for.
void cancelBoundedFetches();
