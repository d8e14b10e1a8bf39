// A small HTTP server for tests of network code: it listens on 127.0.0.1 at a port the system chooses, serves
// prepared answers by path (a status, a body, a delay; a route may give a run of answers, one per request,
// repeating the last), and records every request it gets. It lives on the test's thread and answers while
// that thread serves its event loop (see waitFor), so a client on a worker thread gets its answers while the
// test waits.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <map>
#include <memory>
#include <vector>

namespace kxtest {

using namespace std::chrono_literals;

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

// Serves the event loop for a while.
inline void serveEvents(std::chrono::milliseconds time) {
    waitFor([] { return false; }, time);
}

struct Request {
    QByteArray method;
    QByteArray path;  // the request target as sent: path and query
    QByteArray body;
    std::map<QByteArray, QByteArray> headers;  // names in lower case
};

struct Response {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/octet-stream";
    // Waited before answering.
    std::chrono::milliseconds delay{0};
    // When set, sent as it is instead of a response built from the fields above.
    QByteArray raw;

    static Response json(const QByteArray& body, int status = 200) {
        return {status, body, "application/json", {}, {}};
    }
    QByteArray bytes() const {
        if (!raw.isEmpty())
            return raw;
        const QByteArray reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Status";
        return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\nContent-Type: " + contentType +
               "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }
};

class HttpTestServer {
public:
    HttpTestServer() {
        // Clients of the test process never go through a proxy to reach it.
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
        m_listening = m_server.listen(QHostAddress::LocalHost, 0);
    }
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    bool isListening() const { return m_listening; }
    quint16 port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:<port>" followed by the path.
    QUrl url(const QString& path = QString()) const { return QUrl(baseAddress() + path); }
    QString baseAddress() const { return QStringLiteral("http://127.0.0.1:%1").arg(port()); }

    // The answer for a path (the part of the target before any "?"; a route for the whole target, query
    // included, wins over it). Every request gets it.
    void setRoute(const QByteArray& path, const Response& response) { m_routes[path] = {response}; }
    // One answer per request in turn; the last one answers every later request.
    void setRoute(const QByteArray& path, std::vector<Response> responses) { m_routes[path] = std::move(responses); }
    // The answer for paths without a route (404 unless set).
    void setDefaultResponse(const Response& response) { m_default = response; }
    // Records requests but never answers.
    void setSilent(bool silent) { m_silent = silent; }

    const std::vector<Request>& requests() const { return m_requests; }
    // The requests whose path (before any "?") is `path`.
    int requestCount(const QByteArray& path) const {
        int count = 0;
        for (const Request& request : m_requests)
            if (request.path.left(request.path.indexOf('?') < 0 ? request.path.size() : request.path.indexOf('?')) ==
                path)
                ++count;
        return count;
    }
    // Connections the client closed.
    int closedConnections() const { return m_closed; }

private:
    Response answerFor(const QByteArray& target) {
        auto it = m_routes.find(target);
        if (it == m_routes.end()) {
            const qsizetype query = target.indexOf('?');
            it = m_routes.find(query < 0 ? target : target.left(query));
        }
        if (it == m_routes.end() || it->second.empty())
            return m_default;
        int& served = m_served[it->first];
        const size_t index = std::min(size_t(served), it->second.size() - 1);
        ++served;
        return it->second[index];
    }

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
                    if (m_silent)
                        continue;
                    const Response response = answerFor(request.path);
                    if (response.delay.count() > 0) {
                        QPointer<QTcpSocket> guarded(socket);
                        QTimer::singleShot(response.delay, socket, [guarded, bytes = response.bytes()] {
                            if (guarded)
                                guarded->write(bytes);
                        });
                    } else {
                        socket->write(response.bytes());
                    }
                }
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                ++m_closed;
                socket->deleteLater();
            });
        }
    }

    QTcpServer m_server;
    std::map<QByteArray, std::vector<Response>> m_routes;
    std::map<QByteArray, int> m_served;
    Response m_default{404, "not found", "text/plain", {}, {}};
    bool m_silent = false;
    int m_closed = 0;
    bool m_listening = false;
    std::vector<Request> m_requests;
};

}  // namespace kxtest
