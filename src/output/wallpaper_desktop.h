// Making a picture the desktop background. Each Linux desktop has its own road, so every road is a backend
// behind one interface, tried in order of preference: the desktop portal, GNOME (gsettings), KDE Plasma
// (its D-Bus scripting interface) and Xfce (xfconf-query). A backend says which choices it can honour, so
// that the sheet offers only those and says so.
#pragma once

#include <QColor>
#include <QString>

#include <memory>
#include <vector>

// The scale items of the wallpaper sheet, by index.
enum KXWallpaperScale : int {
    KXWallpaperFillScreen = 0,
    KXWallpaperStretch = 1,
    KXWallpaperCenter = 2,
    KXWallpaperFitToScreen = 3,
};

struct KXWallpaperRequest {
    QString file;
    int scaleType = KXWallpaperCenter;
    QColor fillColor = Qt::black;
    // The screen's name (QScreen::name()) for a desktop that sets each screen on its own; empty: every screen.
    QString screenName;
    // The screen's place in the application's list of screens; -1: every screen.
    int screenIndex = -1;
};

class KXWallpaperDesktop {
public:
    virtual ~KXWallpaperDesktop() = default;
    virtual QString name() const = 0;
    // Whether this desktop is running here and its road can be taken.
    virtual bool isAvailable() const = 0;
    // Whether the scale choice and the fill colour reach the desktop.
    virtual bool honoursScaling() const = 0;
    // Whether a picture can be set on one screen alone.
    virtual bool honoursScreens() const = 0;
    // Sets the picture; false with *error when the desktop refused.
    virtual bool setWallpaper(const KXWallpaperRequest& request, QString* error) = 0;
};

// The backends in order of preference.
std::vector<std::unique_ptr<KXWallpaperDesktop>> wallpaperDesktops();
// The first available backend of the list; null when none is.
KXWallpaperDesktop* availableWallpaperDesktop(const std::vector<std::unique_ptr<KXWallpaperDesktop>>& desktops);

// The value of each backend's scaling key for a scale item.
QString gnomePictureOption(int scaleType);
int plasmaFillMode(int scaleType);
int xfceImageStyle(int scaleType);
// The script that Plasma's scripting interface runs to set the picture.
QString plasmaWallpaperScript(const KXWallpaperRequest& request);

// Each backend on its own (tests, and the list above).
std::unique_ptr<KXWallpaperDesktop> makePortalWallpaperDesktop();
std::unique_ptr<KXWallpaperDesktop> makeGnomeWallpaperDesktop();
std::unique_ptr<KXWallpaperDesktop> makePlasmaWallpaperDesktop();
std::unique_ptr<KXWallpaperDesktop> makeXfceWallpaperDesktop();
