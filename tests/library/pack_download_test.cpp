// A content pack served by a loopback server: downloaded, named after its address, unpacked into the packs
// folder, and then listed by the template chooser and the resource panel.
#include "library/pack_installer.h"
#include "library/resource_folders.h"
#include "library/template_folders.h"
#include "library/template_listing.h"
#include "platform/foundation/url_download.h"
#include "resource_fixture.h"
#include "support/http_test_server.h"
#include "support/outside_tools.h"
#include "support/run_program.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <gtest/gtest.h>

#include <optional>

namespace {

using kxtest::ResourceWorld;

TEST(PackDownload, AServedPackInstallsAndIsListed) {
    KX_REQUIRE_TOOLS("zip");
    ResourceWorld world;
    const QString pack = QStringLiteral("Winter Cards");
    const QString source = world.path("source");
    ResourceWorld::image(source + u'/' + pack + "/Templates/" + pack + "/Snow/Snow.jpg");
    ResourceWorld::image(source + u'/' + pack + "/Clipart/" + pack + "/flake.png");
    ResourceWorld::image(source + u'/' + pack + "/Mask/" + pack + "/round.png");
    const QString archive = world.path("Winter_Cards.zip");
    const kxtest::ProgramResult zip = kxtest::runProgram(
        "sh", {"-c", R"(cd "$1" && zip -q -P "$2" -r "$3" "$4")", "sh", source, "Tamarisklanes57", archive, pack});
    ASSERT_TRUE(zip.succeeded()) << zip.standardError.toStdString();
    QFile file(archive);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));

    kxtest::HttpTestServer server;
    ASSERT_TRUE(server.isListening());
    server.setRoute("/packs/Winter_Cards.zip", kxtest::Response{200, file.readAll(), "application/zip", {}, {}});
    const QUrl url = server.url("/packs/Winter_Cards.zip");
    const QString folderName = KXPackFolderNameForURL(url);
    ASSERT_EQ(folderName, pack);

    QNetworkAccessManager manager;
    QDir().mkpath(world.path("tmp"));
    const QString download = world.path("tmp/Winter_Cards.zip");
    KXURLDownload fetch(&manager, url, download);
    std::optional<std::pair<bool, QString>> outcome;
    QObject::connect(&fetch, &KXURLDownload::finished, [&](bool ok, const QString& error) { outcome = {ok, error}; });
    fetch.start();
    ASSERT_TRUE(kxtest::waitFor([&] { return outcome.has_value(); }));
    ASSERT_TRUE(outcome->first) << outcome->second.toStdString();

    const KXPackInstallResult result =
        KXInstallPack(download, kx::templates::boxesFolderPath(), folderName, "Tamarisklanes57");
    ASSERT_TRUE(result.ok) << result.errorText.toStdString();
    EXPECT_TRUE(kx::templates::templateCategoryList({}).contains(pack));
    EXPECT_EQ(kx::templates::listTemplates(pack, {}).items.size(), 1u);
    EXPECT_EQ(resourcePathsInCategory(KXResourceClipart, pack),
              QStringList{result.installedFolder + "/Clipart/" + pack + "/flake.png"});
    EXPECT_EQ(resourcePathsInCategory(KXResourceMask, pack),
              QStringList{result.installedFolder + "/Mask/" + pack + "/round.png"});
}

}  // namespace
