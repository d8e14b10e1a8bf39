// A content pack served by a loopback server, fetched by the application's pack fetcher: downloaded, named
// after its address, unpacked into the packs folder and then listed by the template chooser and the
// resource panel; and the ways a fetch fails, each leaving the packs folder as it was.
#include "graphics/file_utilities.h"
#include "library/pack_download_fetcher.h"
#include "library/resource_folders.h"
#include "library/template_folders.h"
#include "library/template_listing.h"
#include "resource_fixture.h"
#include "support/http_test_server.h"
#include "support/outside_tools.h"
#include "support/run_program.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using kxtest::ResourceWorld;

class PackDownload : public ::testing::Test {
protected:
    void SetUp() override {
        KX_REQUIRE_TOOLS("zip");
        ASSERT_TRUE(server.isListening());
    }

    // A pack archive of the folder `pack` (a template, a clip-art and a mask), encrypted with the pack password.
    QByteArray packArchive(const QString& pack) {
        const QString source = world.path("source");
        ResourceWorld::image(source + u'/' + pack + "/Templates/" + pack + "/Snow/Snow.jpg");
        ResourceWorld::image(source + u'/' + pack + "/Clipart/" + pack + "/flake.png");
        ResourceWorld::image(source + u'/' + pack + "/Mask/" + pack + "/round.png");
        const QString archive = world.path("archive.zip");
        const kxtest::ProgramResult zip = kxtest::runProgram(
            "sh", {"-c", R"(cd "$1" && zip -q -P "$2" -r "$3" "$4")", "sh", source,
                   QString::fromLatin1(KXPackDownloadFetcher::packPassword()), archive, pack});
        EXPECT_TRUE(zip.succeeded()) << zip.standardError.toStdString();
        QFile file(archive);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    // Starts a fetch and waits for its outcome.
    std::optional<KXPackFetchResult> fetch(const QString& identifier, const QUrl& url) {
        std::optional<KXPackFetchResult> outcome;
        KXPackFetcher::Callbacks callbacks;
        callbacks.progress = [this](qint64 received, qint64 total) { progress.push_back({received, total}); };
        callbacks.finished = [&](const KXPackFetchResult& result) { outcome = result; };
        fetcher.start(identifier, url, std::move(callbacks));
        // Every outcome comes later, never from within start().
        EXPECT_FALSE(outcome.has_value());
        kxtest::waitFor([&] { return outcome.has_value(); });
        return outcome;
    }

    QStringList downloadFolderEntries() const {
        return QDir(temporaryFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    ResourceWorld world;
    kxtest::HttpTestServer server;
    QNetworkAccessManager manager;
    KXPackDownloadFetcher fetcher{&manager};
    std::vector<std::pair<qint64, qint64>> progress;
};

TEST_F(PackDownload, AServedPackInstallsAndIsListed) {
    const QString pack = QStringLiteral("Winter Cards");
    const QByteArray archive = packArchive(pack);
    server.setRoute("/packs/Winter_Cards.zip", kxtest::Response{200, archive, "application/zip", {}, {}});

    const std::optional<KXPackFetchResult> result = fetch("winter", server.url("/packs/Winter_Cards.zip"));
    ASSERT_TRUE(result.has_value());
    ASSERT_EQ(result->status, KXPackFetchResult::Status::Installed) << result->errorText.toStdString();
    EXPECT_EQ(result->packFolderName, pack);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(qint64(archive.size()), qint64(archive.size())));
    // The archive is not kept once unpacked.
    EXPECT_TRUE(downloadFolderEntries().isEmpty()) << downloadFolderEntries().join(", ").toStdString();

    const QString installed = kx::templates::boxesFolderPath() + u'/' + pack;
    EXPECT_TRUE(kx::templates::templateCategoryList({}).contains(pack));
    EXPECT_EQ(kx::templates::listTemplates(pack, {}).items.size(), 1u);
    EXPECT_EQ(resourcePathsInCategory(KXResourceClipart, pack), QStringList{installed + "/Clipart/" + pack + "/flake.png"});
    EXPECT_EQ(resourcePathsInCategory(KXResourceMask, pack), QStringList{installed + "/Mask/" + pack + "/round.png"});
}

TEST_F(PackDownload, AFailedFetchSaysWhyAndLeavesTheInstalledPackAlone) {
    const QString pack = QStringLiteral("Winter Cards");
    server.setRoute("/Winter_Cards.zip", kxtest::Response{200, packArchive(pack), "application/zip", {}, {}});
    ASSERT_EQ(fetch("first", server.url("/Winter_Cards.zip"))->status, KXPackFetchResult::Status::Installed);
    const QString marker = kx::templates::boxesFolderPath() + u'/' + pack + "/Clipart/" + pack + "/flake.png";
    ASSERT_TRUE(QFile::exists(marker));

    server.setRoute("/gone/Winter_Cards.zip", kxtest::Response{404, "no such pack", "text/plain", {}, {}});
    server.setRoute("/broken/Winter_Cards.zip", kxtest::Response{200, "not an archive", "application/zip", {}, {}});
    struct Case {
        const char* name;
        QUrl url;
        KXPackFetchResult::Status status;
    } cases[] = {
        {"not found", server.url("/gone/Winter_Cards.zip"), KXPackFetchResult::Status::DownloadFailed},
        {"not an archive", server.url("/broken/Winter_Cards.zip"), KXPackFetchResult::Status::InstallFailed},
        {"no pack name in the address", server.url("/packs/..zip"), KXPackFetchResult::Status::DownloadFailed},
        {"not a web address", QUrl("file:///etc/Winter_Cards.zip"), KXPackFetchResult::Status::DownloadFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<KXPackFetchResult> result = fetch(c.name, c.url);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->status, c.status);
        EXPECT_FALSE(result->errorText.isEmpty());
        EXPECT_TRUE(QFile::exists(marker));
        EXPECT_TRUE(downloadFolderEntries().isEmpty()) << downloadFolderEntries().join(", ").toStdString();
    }
}

TEST_F(PackDownload, ACancelledFetchReportsNothingAndInstallsNothing) {
    server.setRoute("/Slow_Pack.zip", kxtest::Response{200, packArchive("Slow Pack"), "application/zip", std::chrono::milliseconds(1500), {}});
    bool reported = false;
    KXPackFetcher::Callbacks callbacks;
    callbacks.finished = [&](const KXPackFetchResult&) { reported = true; };
    fetcher.start("slow", server.url("/Slow_Pack.zip"), std::move(callbacks));
    kxtest::waitFor([] { return false; }, std::chrono::milliseconds(200));
    fetcher.cancel("slow");
    kxtest::waitFor([] { return false; }, std::chrono::milliseconds(2000));
    EXPECT_FALSE(reported);
    EXPECT_FALSE(QDir(kx::templates::boxesFolderPath() + "/Slow Pack").exists());
}

}  // namespace
