// Reads XML text with the project reader while counting the errors it presents, so that tests
// neither open an alert nor miss one.
#pragma once

#include "document/project_info.h"
#include "platform/foundation/bundle.h"

#include <QDir>

#include <gtest/gtest.h>

#include <memory>

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        setXMLErrorPresenter([this](const QString& message) {
            ++errors;
            lastError = message;
        });
    }
    void TearDown() override { setXMLErrorPresenter({}); }

    std::unique_ptr<KXProjectInfo> read(const QByteArray& xml) { return KXProjectInfo::initWithData(xml); }

    int errors = 0;
    QString lastError;
};

// A reader test over the templates that ship with the application, with the bundle's resources pointed at the
// source tree's.
class BuiltInTemplatesTest : public ReaderTest {
protected:
    static inline const QString kResources = QStringLiteral(KX_SOURCE_DIR "/resources");

    void SetUp() override {
        ReaderTest::SetUp();
        kx::Bundle::setMainResourcePath(kResources);
    }
    void TearDown() override {
        kx::Bundle::setMainResourcePath({});
        ReaderTest::TearDown();
    }

    // Every template folder: <resources>/Templates/<category>/<template>, in name order.
    static QStringList templateFolders() {
        QStringList folders;
        const QDir root(kResources + QStringLiteral("/Templates"));
        for (const QString& category : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            for (const QString& name :
                 QDir(root.filePath(category)).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
                folders << root.filePath(category) + u'/' + name;
        return folders;
    }
};
