// Feeds arbitrary bytes to the readers of what the Facebook service sends: the album list of a Graph answer
// and the sign-in's success address. Every album kept has an id that is safe in a path, and the address reader
// never fails on any fragment or query.
#include "fuzz_support.h"
#include "output/facebook_client.h"
#include "output/facebook_share_sheet.h"

#include <QByteArray>
#include <QUrl>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qInstallMessageHandler(kxfuzz::quiet);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto albums = KXFBShareController::albumsFormString(QString::fromUtf8(bytes))) {
        kxfuzz::require(albums->size() <= size_t(size));
        for (const KXFacebookAlbum& album : *albums)
            kxfuzz::require(isAlbumID(album.id) && !album.id.contains(QLatin1Char('/')));
    }
    const QUrl url = QUrl::fromEncoded("https://www.example.org/connect/login_success.html" + bytes);
    const KXFacebookLoginAnswer answer = PhFacebook::loginAnswer(url);
    kxfuzz::require(answer.expiresIn >= 0);
    return 0;
}
