// Pieces the analytics tests share: a settings file of the test's own, a wait that serves the event loop,
// and an HTTP collection server on 127.0.0.1 that records every request it gets.
#pragma once

#include "platform/foundation/user_defaults.h"
#include "support/http_test_server.h"

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

#include <vector>

namespace kxtest {

// A settings file of the test's own.
struct Settings {
    QTemporaryDir dir;
    kx::UserDefaults defaults{dir.filePath(QStringLiteral("settings.conf"))};
};

// The requests a client has under way: its network replies that have not ended yet (an ended reply deletes
// itself through the event loop). Zero right after posting means that nothing was sent; zero after a wait
// means that every request sent has been answered, so the server's record is complete.
inline int requestsUnderWay(const QObject& client) {
    return int(client.findChildren<QNetworkReply*>().size());
}

// An HTTP server on 127.0.0.1 that records every request and answers each with one prepared response.
class CollectServer {
public:
    explicit CollectServer(QByteArray response = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n") {
        Response answer;
        answer.raw = std::move(response);
        m_server.setDefaultResponse(answer);
    }
    bool isListening() const { return m_server.isListening(); }
    QUrl url(const char* path = "/collect") const { return m_server.url(QLatin1String(path)); }
    const std::vector<Request>& requests() const { return m_server.requests(); }
    // Connections the client closed.
    int closedConnections() const { return m_server.closedConnections(); }
    // Records requests but never answers.
    void setSilent(bool silent) { m_server.setSilent(silent); }

private:
    HttpTestServer m_server;
};

}  // namespace kxtest
