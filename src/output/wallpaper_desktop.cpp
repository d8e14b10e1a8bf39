#include "output/wallpaper_desktop.h"

#include "output/share_program.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QVariantMap>

namespace {

constexpr int kDBusTimeoutMs = 5000;

bool currentDesktopIs(const char* name) {
    const QByteArray desktops = qgetenv("XDG_CURRENT_DESKTOP").toLower();
    for (const QByteArray& desktop : desktops.split(':'))
        if (desktop == QByteArray(name).toLower())
            return true;
    return false;
}

bool sessionServiceRegistered(const QString& service) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    return bus.interface()->isServiceRegistered(service).value();
}

// Sends a call on the session bus; false with the bus's message when it fails or gets no answer in time.
bool callSessionBus(const QDBusMessage& call, QString* error) {
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kDBusTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    if (error)
        *error = reply.errorMessage();
    return false;
}

QString fileUri(const QString& file) {
    return QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
}

// A string as a GVariant text literal, for gsettings.
QString gvariantString(const QString& text) {
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\"));
    escaped.replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + escaped + u'\'';
}

// ---- the desktop portal ----

class PortalDesktop : public KXWallpaperDesktop {
public:
    QString name() const override { return QStringLiteral("portal"); }
    bool isAvailable() const override {
        if (!sessionServiceRegistered(kService))
            return false;
        QDBusMessage get = QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << QStringLiteral("org.freedesktop.portal.Wallpaper") << QStringLiteral("version");
        return callSessionBus(get, nullptr);
    }
    // The portal takes the picture alone: the desktop keeps its own scaling and applies it to every screen.
    bool honoursScaling() const override { return false; }
    bool honoursScreens() const override { return false; }
    bool setWallpaper(const KXWallpaperRequest& request, QString* error) override {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.portal.Wallpaper"),
                                                           QStringLiteral("SetWallpaperURI"));
        QVariantMap options;
        options.insert(QStringLiteral("show-preview"), false);
        options.insert(QStringLiteral("set-on"), QStringLiteral("background"));
        call << QString() << fileUri(request.file) << options;
        return callSessionBus(call, error);
    }

private:
    inline static const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
    inline static const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
};

// ---- GNOME ----

class GnomeDesktop : public KXWallpaperDesktop {
public:
    QString name() const override { return QStringLiteral("GNOME"); }
    bool isAvailable() const override {
        const bool gnomeLike = currentDesktopIs("GNOME") || currentDesktopIs("Unity") || currentDesktopIs("Budgie");
        return gnomeLike && !keys().isEmpty();
    }
    bool honoursScaling() const override { return true; }
    // GNOME shows one picture on every screen.
    bool honoursScreens() const override { return false; }
    bool setWallpaper(const KXWallpaperRequest& request, QString* error) override {
        const QStringList present = keys();
        const QString uri = gvariantString(fileUri(request.file));
        QList<QPair<QString, QString>> values{
            {QStringLiteral("picture-uri"), uri},
            {QStringLiteral("picture-options"), gvariantString(gnomePictureOption(request.scaleType))},
            {QStringLiteral("primary-color"), gvariantString(request.fillColor.name(QColor::HexRgb))},
            {QStringLiteral("color-shading-type"), gvariantString(QStringLiteral("solid"))},
        };
        // Since GNOME 42 the dark style shows a picture of its own.
        if (present.contains(QStringLiteral("picture-uri-dark")))
            values.insert(1, {QStringLiteral("picture-uri-dark"), uri});
        for (const auto& [key, value] : values) {
            const KXProgramResult result =
                runDesktopProgram(QStringLiteral("gsettings"), {QStringLiteral("set"), kSchema, key, value});
            if (!result.succeeded()) {
                if (error)
                    *error = QStringLiteral("gsettings could not set %1").arg(key);
                return false;
            }
        }
        return true;
    }

private:
    // The keys of the background schema; empty when gsettings or the schema is missing.
    static QStringList keys() {
        const KXProgramResult result = runDesktopProgram(QStringLiteral("gsettings"), {QStringLiteral("list-keys"), kSchema});
        if (!result.succeeded())
            return {};
        return QString::fromUtf8(result.standardOutput).split(u'\n', Qt::SkipEmptyParts);
    }
    inline static const QString kSchema = QStringLiteral("org.gnome.desktop.background");
};

// ---- KDE Plasma ----

class PlasmaDesktop : public KXWallpaperDesktop {
public:
    QString name() const override { return QStringLiteral("Plasma"); }
    bool isAvailable() const override { return currentDesktopIs("KDE") && sessionServiceRegistered(kService); }
    bool honoursScaling() const override { return true; }
    bool honoursScreens() const override { return true; }
    bool setWallpaper(const KXWallpaperRequest& request, QString* error) override {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/PlasmaShell"),
                                                           QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
        call << plasmaWallpaperScript(request);
        return callSessionBus(call, error);
    }

private:
    inline static const QString kService = QStringLiteral("org.kde.plasmashell");
};

// ---- Xfce ----

class XfceDesktop : public KXWallpaperDesktop {
public:
    QString name() const override { return QStringLiteral("Xfce"); }
    bool isAvailable() const override { return currentDesktopIs("XFCE") && !properties().isEmpty(); }
    bool honoursScaling() const override { return true; }
    bool honoursScreens() const override { return true; }
    bool setWallpaper(const KXWallpaperRequest& request, QString* error) override {
        // Every monitor and workspace has its own picture; a chosen screen matches its monitor's name.
        QStringList images;
        for (const QString& property : properties())
            if (property.endsWith(QStringLiteral("/last-image")))
                images.append(property.chopped(int(QStringLiteral("/last-image").size())));
        QStringList chosen;
        if (!request.screenName.isEmpty())
            for (const QString& base : images)
                if (base.contains(QStringLiteral("/monitor") + request.screenName + u'/'))
                    chosen.append(base);
        if (chosen.isEmpty())
            chosen = images;
        if (chosen.isEmpty()) {
            if (error)
                *error = QStringLiteral("Xfce lists no desktop picture to replace");
            return false;
        }
        const QColor colour = request.fillColor.toRgb();
        for (const QString& base : chosen) {
            const QList<QStringList> settings{
                {base + QStringLiteral("/last-image"), QStringLiteral("-n"), QStringLiteral("-t"), QStringLiteral("string"),
                 QStringLiteral("-s"), request.file},
                {base + QStringLiteral("/image-style"), QStringLiteral("-n"), QStringLiteral("-t"), QStringLiteral("int"),
                 QStringLiteral("-s"), QString::number(xfceImageStyle(request.scaleType))},
                {base + QStringLiteral("/color-style"), QStringLiteral("-n"), QStringLiteral("-t"), QStringLiteral("int"),
                 QStringLiteral("-s"), QStringLiteral("0")},
                {base + QStringLiteral("/rgba1"), QStringLiteral("-n"), QStringLiteral("-t"), QStringLiteral("double"),
                 QStringLiteral("-s"), QString::number(colour.redF()), QStringLiteral("-t"), QStringLiteral("double"),
                 QStringLiteral("-s"), QString::number(colour.greenF()), QStringLiteral("-t"), QStringLiteral("double"),
                 QStringLiteral("-s"), QString::number(colour.blueF()), QStringLiteral("-t"), QStringLiteral("double"),
                 QStringLiteral("-s"), QStringLiteral("1")},
            };
            for (const QStringList& setting : settings) {
                QStringList arguments{QStringLiteral("-c"), kChannel, QStringLiteral("-p")};
                arguments += setting;
                if (!runDesktopProgram(QStringLiteral("xfconf-query"), arguments).succeeded()) {
                    if (error)
                        *error = QStringLiteral("xfconf-query could not set %1").arg(setting.constFirst());
                    return false;
                }
            }
        }
        return true;
    }

private:
    static QStringList properties() {
        const KXProgramResult result =
            runDesktopProgram(QStringLiteral("xfconf-query"), {QStringLiteral("-c"), kChannel, QStringLiteral("-l")});
        if (!result.succeeded())
            return {};
        return QString::fromUtf8(result.standardOutput).split(u'\n', Qt::SkipEmptyParts);
    }
    inline static const QString kChannel = QStringLiteral("xfce4-desktop");
};

}  // namespace

QString gnomePictureOption(int scaleType) {
    switch (scaleType) {
    case KXWallpaperFillScreen: return QStringLiteral("zoom");
    case KXWallpaperStretch: return QStringLiteral("stretched");
    case KXWallpaperFitToScreen: return QStringLiteral("scaled");
    default: return QStringLiteral("centered");
    }
}

int plasmaFillMode(int scaleType) {
    // Qt Quick's Image fill modes, which Plasma's picture wallpaper takes.
    switch (scaleType) {
    case KXWallpaperFillScreen: return 2;  // PreserveAspectCrop
    case KXWallpaperStretch: return 0;     // Stretch
    case KXWallpaperFitToScreen: return 1;  // PreserveAspectFit
    default: return 6;                      // Pad: centred at its size
    }
}

int xfceImageStyle(int scaleType) {
    switch (scaleType) {
    case KXWallpaperFillScreen: return 5;  // zoomed
    case KXWallpaperStretch: return 3;     // stretched
    case KXWallpaperFitToScreen: return 4;  // scaled
    default: return 1;                      // centred
    }
}

QString plasmaWallpaperScript(const KXWallpaperRequest& request) {
    // The values go in as JSON literals, so no file name can end the string they stand in.
    const QString values = QString::fromUtf8(
        QJsonDocument(QJsonArray{fileUri(request.file), request.fillColor.name(QColor::HexRgb)}).toJson(QJsonDocument::Compact));
    return QStringLiteral(
               "var values = %1;\n"
               "var all = desktops();\n"
               "for (var i = 0; i < all.length; i++) {\n"
               "    var d = all[i];\n"
               "    if (%2 >= 0 && d.screen != %2) continue;\n"
               "    d.wallpaperPlugin = 'org.kde.image';\n"
               "    d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General'];\n"
               "    d.writeConfig('Image', values[0]);\n"
               "    d.writeConfig('FillMode', %3);\n"
               "    d.writeConfig('Color', values[1]);\n"
               "}\n")
        .arg(values)
        .arg(request.screenIndex)
        .arg(plasmaFillMode(request.scaleType));
}

std::unique_ptr<KXWallpaperDesktop> makePortalWallpaperDesktop() {
    return std::make_unique<PortalDesktop>();
}
std::unique_ptr<KXWallpaperDesktop> makeGnomeWallpaperDesktop() {
    return std::make_unique<GnomeDesktop>();
}
std::unique_ptr<KXWallpaperDesktop> makePlasmaWallpaperDesktop() {
    return std::make_unique<PlasmaDesktop>();
}
std::unique_ptr<KXWallpaperDesktop> makeXfceWallpaperDesktop() {
    return std::make_unique<XfceDesktop>();
}

std::vector<std::unique_ptr<KXWallpaperDesktop>> wallpaperDesktops() {
    std::vector<std::unique_ptr<KXWallpaperDesktop>> list;
    list.push_back(makePortalWallpaperDesktop());
    list.push_back(makeGnomeWallpaperDesktop());
    list.push_back(makePlasmaWallpaperDesktop());
    list.push_back(makeXfceWallpaperDesktop());
    return list;
}

KXWallpaperDesktop* availableWallpaperDesktop(const std::vector<std::unique_ptr<KXWallpaperDesktop>>& desktops) {
    for (const auto& desktop : desktops)
        if (desktop->isAvailable())
            return desktop.get();
    return nullptr;
}
