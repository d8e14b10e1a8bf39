// Process-wide services of the desktop: the screen's pixel density, the system version, the clipboard
// and the menu of installed font families.
#pragma once

#include <memory>

class QClipboard;
class QMenu;

// The primary screen's device pixel ratio; 1.0 without a screen or without a GUI application.
// Layers and offscreen text images multiply their pixel sizes by it.
double mainScreenBackingScale();

// A major.minor version number.
struct SystemVersion {
    int major = 0;
    int minor = 0;
};

// The running Linux kernel's version, read from uname(2)'s release string ("6.1.0-18-amd64" is 6.1);
// 0.0 when the release cannot be read. Distribution releases do not number their features reliably,
// while the kernel's version tells which system interfaces are present.
SystemVersion systemVersion();
// True when `current` is major.minor or later: a greater major, or the same major with at least minor.
bool isVersionAtLeast(SystemVersion current, int major, int minor);
// isVersionAtLeast(systemVersion(), major, minor).
bool isSystemVersionAtLeast(int major, int minor);

// The application's clipboard, looked up on first use and kept; null without a GUI application.
QClipboard* sharedPasteboard();

// A new menu with one item per installed font family, in the font database's order, each titled with the
// family name shown in that family at 12 points, with no action and no shortcut. The list of families is
// built on the first call and kept; each call returns its own menu, so every pop-up can own one.
// Null without a widget application.
std::unique_ptr<QMenu> fontFamilyMenu();
