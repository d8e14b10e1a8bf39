// A home of its own for each template test: HOME and the XDG data, cache and configuration folders in a
// temporary folder, a resources folder with its Info.plist categories, and a settings file; with helpers that
// lay out built-in, pack and user templates and write multi-page PDF previews.
#pragma once

#include "library/template_alerts.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"
#include "support/environment_override.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kxtest {

struct AlertSeen {
    QString message;
    QString informative;
    QStringList buttons;
};

class TemplateFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_home = std::make_unique<EnvironmentOverride>("HOME", QFile::encodeName(at("home")));
        m_data = std::make_unique<EnvironmentOverride>("XDG_DATA_HOME", QFile::encodeName(at("home/data")));
        m_cache = std::make_unique<EnvironmentOverride>("XDG_CACHE_HOME", QFile::encodeName(at("home/cache")));
        m_config = std::make_unique<EnvironmentOverride>("XDG_CONFIG_HOME", QFile::encodeName(at("home/config")));
        setCategories({"Collages", "Cards", "Calendars"});
        kx::UserDefaults::setStandardFilePath(at("home/config/settings.conf"));
        kx::templates::setAlertRunner([this](QWidget*, const QString& message, const QString& informative,
                                             const QStringList& buttons) {
            alerts.push_back({message, informative, buttons});
            return alertAnswer;
        });
    }
    void TearDown() override {
        kx::templates::setAlertRunner({});
        kx::UserDefaults::setStandardFilePath({});
        kx::Bundle::setMainResourcePath({});
    }

    QString at(const QString& relative) const { return m_dir.filePath(relative); }
    QString resources() const { return at("resources"); }
    QString myTemplates() const { return at("home/data/Kollage/My Templates"); }
    QString boxes() const { return at("home/cache/org.kollage.Test/Boxes"); }

    void setCategories(const QStringList& categories) {
        QDir().mkpath(resources() + "/Templates");
        QString plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                        "<key>CFBundleName</key><string>Kollage</string>"
                        "<key>CFBundleIdentifier</key><string>org.kollage.Test</string>"
                        "<key>Template Categories</key><array>";
        for (const QString& category : categories)
            plist += "<string>" + category + "</string>";
        plist += "</array></dict></plist>\n";
        writeFile(resources() + "/Info.plist", plist.toUtf8());
        kx::Bundle::setMainResourcePath(resources());
    }

    static void writeFile(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static void writeJpeg(const QString& path, QColor color = Qt::blue) {
        QDir().mkpath(QFileInfo(path).path());
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(color);
        ASSERT_TRUE(image.save(path, "JPG"));
    }
    static void writePdf(const QString& path, int pages) {
        QDir().mkpath(QFileInfo(path).path());
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QSizeF(100, 140), QPageSize::Point));
        QPainter painter(&writer);
        for (int page = 0; page < pages; ++page) {
            if (page > 0)
                writer.newPage();
            painter.fillRect(QRect(0, 0, 400, 400), QColor::fromHsv(page * 90, 200, 200));
        }
    }

    // A built-in template: <resources>/Templates/<category>/<name>/Preview.jpg.
    QString builtIn(const QString& category, const QString& name) {
        const QString folder = resources() + "/Templates/" + category + "/" + name;
        writeJpeg(folder + "/Preview.jpg");
        return folder;
    }
    // A user template folder <name>.tpl with a QuickLook preview of the given pages.
    QString userTemplate(const QString& name, int pages = 1) {
        const QString folder = myTemplates() + "/" + name + ".tpl";
        if (pages > 1)
            writePdf(folder + "/QuickLook/Preview.pdf", pages);
        else
            writeJpeg(folder + "/QuickLook/Thumbnail.jpg");
        writeFile(folder + "/info.xml", "<project/>");
        return folder;
    }

    std::vector<AlertSeen> alerts;
    int alertAnswer = 0;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<EnvironmentOverride> m_home, m_data, m_cache, m_config;
};

}  // namespace kxtest
