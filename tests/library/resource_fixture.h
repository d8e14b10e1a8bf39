// A throw-away world for the resource panel's tests: a resources folder of its own (with an Info.plist that
// names the program), data, cache and pictures folders under a temporary HOME, and a settings file of its own.
#pragma once

#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"
#include "support/environment_override.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <memory>

namespace kxtest {

class ResourceWorld {
public:
    ResourceWorld()
        : m_home("HOME", QFile::encodeName(path("home"))),
          m_data("XDG_DATA_HOME", QFile::encodeName(path("home/.local/share"))),
          m_cache("XDG_CACHE_HOME", QFile::encodeName(path("home/.cache"))),
          m_config("XDG_CONFIG_HOME", QFile::encodeName(path("home/.config"))) {
        QDir().mkpath(resources());
        QDir().mkpath(path("home/Pictures"));
        QFile plist(resources() + "/Info.plist");
        plist.open(QIODevice::WriteOnly);
        plist.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleName</key><string>Kollage</string>
<key>CFBundleIdentifier</key><string>org.example.kollage</string>
</dict></plist>
)");
        plist.close();
        kx::Bundle::setMainResourcePath(resources());
        kx::UserDefaults::setStandardFilePath(path("settings.conf"));
    }
    ~ResourceWorld() {
        kx::Bundle::setMainResourcePath({});
        kx::UserDefaults::setStandardFilePath({});
    }

    QString path(const QString& relative) const { return m_dir.path() + u'/' + relative; }
    QString resources() const { return path("resources"); }
    QString boxes() const { return path("home/.cache/org.example.kollage/Boxes"); }
    QString custom(const QString& kind) const { return path("home/.local/share/Kollage/Custom Resources/") + kind; }

    // Writes a small image of one colour (the format by the extension; "jpng" is written as PNG data).
    static QString image(const QString& file, const QColor& colour = Qt::red) {
        QDir().mkpath(QFileInfo(file).path());
        QImage picture(8, 6, QImage::Format_ARGB32);
        picture.fill(colour);
        const QString suffix = QFileInfo(file).suffix().toLower();
        picture.save(file, suffix == "jpng" ? "PNG" : suffix == "jpg" ? "JPG" : suffix.toUpper().toLatin1().constData());
        return file;
    }

private:
    QTemporaryDir m_dir;
    EnvironmentOverride m_home;
    EnvironmentOverride m_data;
    EnvironmentOverride m_cache;
    EnvironmentOverride m_config;
};

}  // namespace kxtest
