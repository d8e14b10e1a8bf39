#include "output/wallpaper_export.h"

#include "output/export_dialogs.h"
#include "output/share_names.h"

#include <QFileInfo>

QString wallpaperFolder() {
    return applicationDataSubfolder(sanitizedFileName(exportText("Desktop Images"), QStringLiteral("Desktop Images")));
}

KXWallpaperFiles nextWallpaperFiles(const QString& folder) {
    const QString a = folder + QStringLiteral("/wallpaper_A.jpg");
    const QString b = folder + QStringLiteral("/wallpaper_B.jpg");
    if (QFileInfo::exists(a))
        return {b, a};
    return {a, QFileInfo::exists(b) ? b : QString()};
}
