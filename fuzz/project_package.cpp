// Feeds arbitrary bytes to the package reader as the "info.xml" of a package that has a "Data" folder, then
// saves what it read into a second package and opens that again. A damaged or hostile archive must give an
// error and leave the project as it was; one that reads must give pages that save and read back.
#include "document/project.h"
#include "document/version_info.h"
#include "model/canvas.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(quiet), registerDocumentClasses(), true);
    static QTemporaryDir dir;
    (void)ready;
    const QString package = dir.filePath(QStringLiteral("In.vrtp3"));
    QDir(package).removeRecursively();
    QDir().mkpath(package + QStringLiteral("/Data"));
    QFile archive(package + QStringLiteral("/info.xml"));
    require(archive.open(QIODevice::WriteOnly));
    archive.write(reinterpret_cast<const char*>(data), qint64(size));
    archive.close();

    KXProject project;
    const auto before = project.canvasLayerAtIndex(0);
    QString error;
    if (!project.loadProjectWithPath(package, &error)) {
        require(!error.isEmpty() && project.canvasCount() == 1 && project.canvasLayerAtIndex(0) == before);
        return 0;
    }
    const std::int64_t pages = project.canvasCount();
    require(pages > 0 && project.path() == package);
    const QString copy = dir.filePath(QStringLiteral("Out.vrtp3"));
    require(project.saveAsProjectToPath(copy, KXSaveOperationSaveTo, &error));
    const auto back = KXProject::initWithPath(copy, &error);
    require(back && back->canvasCount() == pages);
    for (std::int64_t i = 0; i < pages; ++i)
        require(back->canvasAtIndex(i)->graphCount() == project.canvasAtIndex(i)->graphCount());
    // Document attribute keys this version does not know travel through the save unchanged in number.
    require(back->docAttribute() && project.docAttribute() &&
            back->docAttribute()->otherFields.size() == project.docAttribute()->otherFields.size());
    return 0;
}
