// Saves a project package over and over, for tests that kill it in the middle of a save or limit the size of
// the files it may write. Usage:
//   project_save_helper PACKAGE add IMAGE FSIZE    adds a photo of IMAGE and saves once (exit 1 when the save fails)
//   project_save_helper PACKAGE new IMAGE 0        saves a new one-page project with a photo of IMAGE
//   project_save_helper PACKAGE churn FOLDER 0     saves forever, alternating between every image of FOLDER and half;
//                                                  prints "saving N" before and "saved N" after save number N
// FSIZE, when not 0, limits the size of every file the process writes.
#include "document/project.h"
#include "model/canvas.h"
#include "model/photo.h"
#include "model/shape.h"

#include <QCoreApplication>
#include <QDir>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 5)
        return 2;
    const QString package = QString::fromLocal8Bit(argv[1]);
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString source = QString::fromLocal8Bit(argv[3]);
    const rlim_t limit = rlim_t(std::strtoull(argv[4], nullptr, 10));
    if (limit) {
        std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead of ending the process
        const rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
    }
    QString error;
    auto project = mode == QLatin1String("new") ? std::make_unique<KXProject>() : KXProject::initWithPath(package, &error);
    if (!project) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    auto addPhoto = [&](const QString& path) {
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        project->canvasAtIndex(0)->addGraph(shape);
        shape->setRelativeRect({0.1, 0.1, 0.2, 0.2});
        shape->setPhoto(std::make_shared<KXPhoto>());
        shape->photo()->setImagePath(path);
    };
    if (mode == QLatin1String("add") || mode == QLatin1String("new")) {
        addPhoto(source);
        const bool ok = project->saveAsProjectToPath(package, KXSaveOperationSave, &error);
        if (!ok)
            std::fprintf(stderr, "%s\n", qPrintable(error));
        return ok ? 0 : 1;
    }
    const QStringList images = QDir(source).entryList(QDir::Files, QDir::Name);
    for (int round = 0;; ++round) {
        KXCanvas& page = *project->canvasAtIndex(0);
        while (page.graphCount() > 0)
            page.removeGraphAtIndex(0);
        for (int i = 0; i < images.size(); ++i)
            if (round % 2 == 0 || i % 2 == 0)
                addPhoto(QDir(source).filePath(images[i]));
        // The test reads these lines to kill the process while a save is under way.
        std::printf("saving %d\n", round);
        std::fflush(stdout);
        if (!project->saveAsProjectToPath(package, KXSaveOperationSave, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("saved %d\n", round);
        std::fflush(stdout);
    }
}
