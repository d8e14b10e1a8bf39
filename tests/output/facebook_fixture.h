// Shared pieces of the Facebook tests: a loopback stand-in for the service, a delegate that records what the
// client hands it, settings and token files of the test's own, and the multipart parser run in python3.
#pragma once

#include "output/facebook_client.h"
#include "output/facebook_token_store.h"
#include "platform/foundation/user_defaults.h"
#include "support/http_test_server.h"
#include "support/run_program.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace fbtest {

inline const QString kToken = QStringLiteral("EAAB+tok/en&x=1");
inline const QString kPermissions = QStringLiteral("user_photos,read_stream,publish_stream");

// The service's web host and Graph host both served by one loopback server.
inline KXFacebookConfig loopbackConfig(const kxtest::HttpTestServer& server) {
    KXFacebookConfig config;
    config.webAddress = server.url();
    config.graphAddress = server.url();
    config.appID = QStringLiteral("4711");
    return config;
}

// An address on 127.0.0.1 where nothing listens: a port the system handed out and took back.
inline QUrl refusingAddress() {
    QTcpServer spare;
    if (!spare.listen(QHostAddress::LocalHost, 0))
        return {};
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(spare.serverPort()));
}

class RecordingDelegate : public PhFacebookDelegate {
public:
    void tokenResult(const QVariantMap& result) override { tokens.push_back(result); }
    void requestResult(const QVariantMap& result) override { requests.push_back(result); }
    bool needsAuthentication(const QUrl& url, const QString& permissions) override {
        logins.push_back(url);
        loginPermissions.append(permissions);
        return true;
    }
    std::vector<QVariantMap> tokens;
    std::vector<QVariantMap> requests;
    std::vector<QUrl> logins;
    QStringList loginPermissions;
};

// Every test gets its own settings file and token file; the secret store is left out unless a test asks.
class FacebookTestBase : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_server.isListening());
        kx::UserDefaults::setStandardFilePath(m_dir.filePath("settings.conf"));
    }
    void TearDown() override { kx::UserDefaults::setStandardFilePath({}); }

    std::unique_ptr<KXFacebookTokenStore> fileStore() {
        auto store = std::make_unique<KXFacebookTokenStore>(m_dir.filePath("token"));
        store->setUsesSecretService(false);
        return store;
    }

    QTemporaryDir m_dir;
    kxtest::HttpTestServer m_server;
};

struct Multipart {
    QJsonObject fields;
    std::vector<QJsonObject> files;
    QStringList defects;
    bool multipart = false;
};

// Parses a body with python3's email package; file parts land in `folder`.
inline Multipart parseMultipart(const QByteArray& contentType, const QByteArray& body, const QString& folder) {
    const QString bodyPath = folder + QStringLiteral("/body");
    QFile file(bodyPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size())
        return {};
    file.close();
    const kxtest::ProgramResult run = kxtest::runProgram(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral(KX_SOURCE_DIR "/tests/output/facebook_multipart.py"), QString::fromLatin1(contentType), bodyPath, folder});
    EXPECT_TRUE(run.succeeded()) << run.standardError.toStdString();
    const QJsonObject parsed = QJsonDocument::fromJson(run.standardOutput).object();
    Multipart result;
    result.fields = parsed.value("fields").toObject();
    for (const QJsonValue& entry : parsed.value("files").toArray())
        result.files.push_back(entry.toObject());
    for (const QJsonValue& defect : parsed.value("defects").toArray())
        result.defects.append(defect.toString());
    result.multipart = parsed.value("multipart").toBool();
    return result;
}

// "FORMAT WIDTH HEIGHT" of an image file, as ImageMagick reads it.
inline QString identify(const QString& path, const char* format = "%m %w %h") {
    return QString::fromUtf8(kxtest::runProgram(QStringLiteral("identify"), {QStringLiteral("-format"), QString::fromLatin1(format), path}).standardOutput);
}

}  // namespace fbtest
