// The camera-like JPEG files that make_camera_photos.py wrote into the build tree (4000 x 3000 each).
#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

inline const QStringList& cameraPhotos() {
    static const QStringList files = [] {
        const QDir dir(QStringLiteral(KX_CAMERA_PHOTOS_DIR));
        QStringList list;
        for (const QString& name : dir.entryList({QStringLiteral("camera_*.jpg")}, QDir::Files, QDir::Name))
            list << dir.filePath(name);
        if (list.isEmpty()) {
            std::fprintf(stderr, "no camera photos in %s: build the camera_photos target\n", KX_CAMERA_PHOTOS_DIR);
            std::exit(1);
        }
        return list;
    }();
    return files;
}
