// The wallpaper file: the page shown, written as JPEG into the application's "Desktop Images" folder under a
// name that alternates between "wallpaper_A.jpg" and "wallpaper_B.jpg", so that the desktop sees a new
// file (and shows it) with every export while the folder keeps one picture.
#pragma once

#include <QString>

// <data>/<bundle name>/<localised "Desktop Images">, created; empty when it cannot be.
QString wallpaperFolder();

struct KXWallpaperFiles {
    // The file the new picture goes to.
    QString target;
    // The picture of the last export, removed once the new one is in place; empty when there is none.
    QString previous;
};
// The next name: B when A is there, else A (a B left behind is the previous one).
KXWallpaperFiles nextWallpaperFiles(const QString& folder);
