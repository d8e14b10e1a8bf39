// Feeds arbitrary bytes to the reader of older project packages as the XML file inside a package, with
// photos in the package's image folders and one beside the package, then looks at the pages it converted:
// every photo path a file names must lead into the package's image folder (or the sibling folder of older
// versions), never elsewhere. The same bytes as a photo name must resolve below the image folder or not at
// all.
#include "document/project_info.h"
#include "document/xml_conversion.h"
#include "document/xml_project_paths.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/photo.h"
#include "model/shape.h"

#include "fuzz_support.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    kxfuzz::require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

bool isBelow(const QString& path, const QString& folder) {
    return QDir::cleanPath(path).startsWith(QDir::cleanPath(folder) + QLatin1Char('/'));
}

// The folders a package's photos may come from: its image folder and the sibling folder of older versions.
struct Places {
    QString package;
    QString resources;
    QString sibling;
};

Places preparePlaces(const QTemporaryDir& dir) {
    const Places places{dir.filePath(QStringLiteral("Old.vrtp3")),
                        dir.filePath(QStringLiteral("Old.vrtp3/Contents/Resources")),
                        dir.filePath(QStringLiteral("Old-KX"))};
    QDir().mkpath(places.resources);
    QDir().mkpath(places.sibling);
    // A one-pixel PNG under each name a seed uses, inside and outside the places photos may come from.
    const QByteArray png = QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==");
    writeFile(places.resources + QStringLiteral("/photo.png"), png);
    writeFile(places.sibling + QStringLiteral("/photo.png"), png);
    writeFile(dir.filePath(QStringLiteral("outside.png")), png);
    return places;
}

void checkPhotoPaths(const KXGraph& graph, const Places& places) {
    if (const auto* shape = dynamic_cast<const KXShape*>(&graph)) {
        if (const KXPhoto* photo = shape->photo()) {
            const QString path = photo->imagePath();
            kxfuzz::require(path.isEmpty() || isBelow(path, places.resources) || isBelow(path, places.sibling));
        }
    }
    for (const auto& child : graph.graphs())
        checkPhotoPaths(*child, places);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(kxfuzz::quiet), kxfuzz::startGuiApplication("fuzz_xml_package"),
                               setXMLErrorPresenter([](const QString&) {}), true);
    (void)ready;
    static QTemporaryDir dir;
    static const Places places = preparePlaces(dir);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    const QString name = QString::fromUtf8(bytes.left(300));
    const QString resolved = xmlImagePath(places.resources, name);
    kxfuzz::require(resolved.isEmpty() || isBelow(resolved, places.resources));

    writeFile(places.package + QStringLiteral("/Contents/project.vrtp"), bytes);
    KXXMLConversion result;
    QString error;
    // No resource exists: the conversion must cope with every lookup failing.
    const bool read = loadOldProjectWithPath(places.package, &result, &error,
                                             [](const QString&, const QString&) { return QString(); });
    kxfuzz::require(read != result.pages.empty());
    kxfuzz::require(read || !error.isEmpty());
    for (const auto& page : result.pages)
        for (const auto& graph : page->graphs())
            checkPhotoPaths(*graph, places);
    return 0;
}
