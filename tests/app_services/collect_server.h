// Pieces the analytics tests share: a settings file of the test's own, a wait that serves the event loop,
// and an HTTP collection server on 127.0.0.1 that records every request it gets.
#pragma once

#include "platform/foundation/user_defaults.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <map>
#include <memory>
#include <vector>

namespace kxtest {

using namespace std::chrono_literals;

// A settings file of the test's own.
struct Settings {
    QTemporaryDir dir;
    kx::UserDefaults defaults{dir.filePath(QStringLiteral("settings.conf"))};
};

// Serves the event loop until the condition holds or the time is up.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit = 10s) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < limit.count()) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return condition();
}

// The requests a client has under way: its network replies that have not ended yet (an ended reply deletes
// itself through the event loop). Zero right after posting means that nothing was sent; zero after a wait
// means that every request sent has been answered, so the server's record is complete.
inline int requestsUnderWay(const QObject& client) {
    return int(client.findChildren<QNetworkReply*>().size());
}

struct Request {
    QByteArray method, path, body;
    std::map<QByteArray, QByteArray> headers;  // names in lower case
};

// An HTTP server on 127.0.0.1 that records every request and answers with a prepared response.
class CollectServer {
public:
    explicit CollectServer(QByteArray response = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        : m_response(std::move(response)) {
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
        m_listening = m_server.listen(QHostAddress::LocalHost, 0);
    }
    bool isListening() const { return m_listening; }
    QUrl url(const char* path = "/collect") const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1String(path)));
    }
    const std::vector<Request>& requests() const { return m_requests; }
    // Connections the client closed.
    int closedConnections() const { return m_closed; }
    // Records requests but never answers.
    void setSilent(bool silent) { m_silent = silent; }

private:
    void accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                *buffer += socket->readAll();
                // Several requests may come one after another on one connection.
                while (true) {
                    const qsizetype end = buffer->indexOf("\r\n\r\n");
                    if (end < 0)
                        return;
                    Request request;
                    const QList<QByteArray> lines = buffer->left(end).split('\n');
                    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
                    request.method = first.value(0);
                    request.path = first.value(1);
                    for (qsizetype i = 1; i < lines.size(); ++i) {
                        const qsizetype colon = lines[i].indexOf(':');
                        if (colon > 0)
                            request.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
                    }
                    const qsizetype length = request.headers["content-length"].toLongLong();
                    if (buffer->size() < end + 4 + length)
                        return;
                    request.body = buffer->mid(end + 4, length);
                    buffer->remove(0, end + 4 + length);
                    m_requests.push_back(request);
                    if (!m_silent)
                        socket->write(m_response);
                }
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                ++m_closed;
                socket->deleteLater();
            });
        }
    }

    QTcpServer m_server;
    QByteArray m_response;
    bool m_silent = false;
    int m_closed = 0;
    bool m_listening = false;
    std::vector<Request> m_requests;
};

}  // namespace kxtest
