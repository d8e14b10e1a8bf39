// Reads XML text with the project reader while counting the errors it presents, so that tests
// neither open an alert nor miss one.
#pragma once

#include "document/project_info.h"

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
