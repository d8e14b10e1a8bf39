// A throw-away application bundle for tests: a temporary resources folder with an Info.plist and a
// Localizable.strings, made the main bundle for the lifetime of the object.
#pragma once

#include "platform/foundation/bundle.h"

#include <QFile>
#include <QTemporaryDir>

class TestBundle {
public:
    // `infoEntries` is the inside of the Info.plist dictionary (<key>..</key><string>..</string> pairs).
    explicit TestBundle(const QByteArray& infoEntries, const QByteArray& localizable = {}) {
        write(QStringLiteral("Info.plist"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\"><dict>" + infoEntries + "</dict></plist>\n");
        if (!localizable.isEmpty())
            write(QStringLiteral("Localizable.strings"), localizable);
        kx::Bundle::setMainResourcePath(m_dir.path());
    }
    ~TestBundle() { kx::Bundle::setMainResourcePath(QString()); }
    TestBundle(const TestBundle&) = delete;
    TestBundle& operator=(const TestBundle&) = delete;

    QString path() const { return m_dir.path(); }

private:
    void write(const QString& name, const QByteArray& content) {
        QFile file(m_dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }

    QTemporaryDir m_dir;
};
