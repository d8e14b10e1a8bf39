#include "graphics/system_services.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QSysInfo>

double mainScreenBackingScale() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return 1.0;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

SystemVersion systemVersion() {
    static const QRegularExpression leadingVersion(QStringLiteral("^(\\d+)\\.(\\d+)"));
    const QRegularExpressionMatch match = leadingVersion.match(QSysInfo::kernelVersion());
    if (!match.hasMatch())
        return {};
    bool majorOk = false, minorOk = false;
    const SystemVersion version{match.captured(1).toInt(&majorOk), match.captured(2).toInt(&minorOk)};
    return majorOk && minorOk ? version : SystemVersion{};
}

bool isVersionAtLeast(SystemVersion current, int major, int minor) {
    return current.major > major || (current.major == major && current.minor >= minor);
}

bool isSystemVersionAtLeast(int major, int minor) {
    return isVersionAtLeast(systemVersion(), major, minor);
}

QClipboard* sharedPasteboard() {
    // A guarded pointer: the clipboard belongs to the application object, which may be replaced.
    static QPointer<QClipboard> clipboard;
    if (!clipboard && qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        clipboard = QGuiApplication::clipboard();
    return clipboard.data();
}

namespace {

// The families that have at least one face; a family name that yields no font gets no item.
const QStringList& menuFontFamilies() {
    static const QStringList families = [] {
        QStringList list;
        for (const QString& family : QFontDatabase::families()) {
            if (!QFontDatabase::styles(family).isEmpty())
                list.append(family);
        }
        return list;
    }();
    return families;
}

}  // namespace

std::unique_ptr<QMenu> fontFamilyMenu() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    auto menu = std::make_unique<QMenu>();
    for (const QString& family : menuFontFamilies()) {
        QAction* item = menu->addAction(family);
        item->setFont(QFont(family, 12));
    }
    return menu;
}
