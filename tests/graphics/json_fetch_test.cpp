#include "graphics/json_fetch.h"
#include "support/event_wait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A one-answer HTTP server on 127.0.0.1: every request gets the same prepared response, or none at all
// when it is silent. It runs on the test's thread, whose event loop the fetch keeps turning.
class LocalHttpServer {
public:
    explicit LocalHttpServer(QByteArray response, bool silent = false)
        : m_response(std::move(response)), m_silent(silent) {
        // Requests must reach this server directly, whatever proxy the environment names.
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
        m_listening = m_server.listen(QHostAddress::LocalHost, 0);
    }

    bool isListening() const { return m_listening; }
    QString url(const char* path = "/data.json") const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1String(path));
    }
    int requests() const { return m_requests; }

    static QByteArray ok(const QByteArray& body, bool announceLength = true) {
        QByteArray r = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n";
        if (announceLength)
            r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        return r + "\r\n" + body;
    }

private:
    void accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                *request += socket->readAll();
                if (!request->contains("\r\n\r\n") || m_silent)
                    return;
                ++m_requests;
                socket->write(m_response);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    QTcpServer m_server;
    QByteArray m_response;
    bool m_silent = false;
    bool m_listening = false;
    int m_requests = 0;
};

TEST(JSONFetch, ReadsADictionaryWithTypedValues) {
    LocalHttpServer server(LocalHttpServer::ok(
        R"({"name": "photos", "count": 3, "ratio": 0.5, "on": true, "none": null, "list": [1, "two"]})"));
    ASSERT_TRUE(server.isListening());
    const auto value = dictionaryWithContentsOfJSONURLString(server.url());
    ASSERT_TRUE(value.has_value());
    ASSERT_EQ(value->type(), kx::Value::Type::Dictionary);
    const kx::ValueDictionary& d = value->toDictionary();
    EXPECT_EQ(d.at(QStringLiteral("name")), kx::Value("photos"));
    EXPECT_EQ(d.at(QStringLiteral("count")).type(), kx::Value::Type::Integer);
    EXPECT_EQ(d.at(QStringLiteral("count")).toInteger(), 3);
    EXPECT_EQ(d.at(QStringLiteral("ratio")).type(), kx::Value::Type::Real);
    EXPECT_DOUBLE_EQ(d.at(QStringLiteral("ratio")).toDouble(), 0.5);
    EXPECT_EQ(d.at(QStringLiteral("on")), kx::Value(true));
    EXPECT_TRUE(d.at(QStringLiteral("none")).isNil());
    EXPECT_EQ(d.at(QStringLiteral("list")), kx::Value(kx::ValueArray{kx::Value(1), kx::Value("two")}));
    EXPECT_EQ(server.requests(), 1);
}

TEST(JSONFetch, ReadsATopLevelArray) {
    LocalHttpServer server(LocalHttpServer::ok(R"([{"a": 1}, 2])"));
    const auto value = dictionaryWithContentsOfJSONURLString(server.url());
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type(), kx::Value::Type::Array);
    EXPECT_EQ(value->toArray().size(), 2u);
}

TEST(JSONFetch, RefusesWhatIsNotAJSONObjectOrArray) {
    for (const QByteArray& body : {QByteArray("{\"a\": "), QByteArray("<html>404</html>"), QByteArray("42"),
                                  QByteArray("\"text\""), QByteArray("")}) {
        LocalHttpServer server(LocalHttpServer::ok(body));
        EXPECT_FALSE(dictionaryWithContentsOfJSONURLString(server.url()).has_value()) << body.constData();
        EXPECT_FALSE(valueWithJSONData(body).has_value()) << body.constData();
    }
    EXPECT_EQ(valueWithJSONData("[1, 2.5]")->toArray().size(), 2u);
}

TEST(JSONFetch, HttpErrorStatusIsAFailedRead) {
    LocalHttpServer server("HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}");
    EXPECT_FALSE(dictionaryWithContentsOfJSONURLString(server.url()).has_value());
    EXPECT_EQ(server.requests(), 1);
}

TEST(JSONFetch, RefusesBodiesOverTheSizeLimit) {
    const QByteArray body = "[" + QByteArray(200, '1') + "]";
    JSONFetchLimits limits;
    limits.maximumBytes = 100;
    for (bool announced : {true, false}) {
        LocalHttpServer server(LocalHttpServer::ok(body, announced));
        EXPECT_FALSE(dictionaryWithContentsOfJSONURLString(server.url(), limits).has_value()) << announced;
    }
    limits.maximumBytes = body.size();
    LocalHttpServer exact(LocalHttpServer::ok(body, false));
    EXPECT_TRUE(dictionaryWithContentsOfJSONURLString(exact.url(), limits).has_value());
}

TEST(JSONFetch, GivesUpOnASilentServerAtTheTimeOut) {
    LocalHttpServer server(QByteArray(), /*silent=*/true);
    JSONFetchLimits limits;
    limits.timeout = 300ms;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(dictionaryWithContentsOfJSONURLString(server.url(), limits).has_value());
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST(JSONFetch, BadAddressesGiveNothing) {
    for (const char* address : {"", "not a url", "/relative/path.json", "ftp://127.0.0.1/x.json",
                                "http://127.0.0.1:1/nothing-listens-here.json"})
        EXPECT_FALSE(dictionaryWithContentsOfJSONURLString(QString::fromLatin1(address)).has_value()) << address;
}

TEST(JSONFetch, ReadsFileAddresses) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("list.json")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"k": "v"})");
    file.close();
    const auto value = dictionaryWithContentsOfJSONURLString(QUrl::fromLocalFile(file.fileName()).toString());
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->toDictionary().at(QStringLiteral("k")), kx::Value("v"));
    EXPECT_FALSE(dictionaryWithContentsOfJSONURLString(
                     QUrl::fromLocalFile(dir.filePath(QStringLiteral("missing.json"))).toString())
                     .has_value());
}

TEST(JSONFetch, WorksFromAWorkerThread) {
    LocalHttpServer server(LocalHttpServer::ok(R"({"thread": "worker"})"));
    std::optional<kx::Value> result;
    const QString url = server.url();
    // A standard thread and an atomic flag, so that ThreadSanitizer sees the result handed back (QThread's
    // own wait is inside the uninstrumented Qt).
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = dictionaryWithContentsOfJSONURLString(url);
        done.store(true);
    });
    // Serves the request while the worker waits for it.
    const bool finished = kxtest::processEventsUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(finished);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->toDictionary().at(QStringLiteral("thread")), kx::Value("worker"));
}

}  // namespace
