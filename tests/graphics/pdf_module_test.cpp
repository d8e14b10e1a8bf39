// Poppler is reached through a module that the first PDF read loads: a process that reads no PDF never maps
// poppler or the libraries it pulls in, and the first PDF read still gives its page.
#include "graphics/image_loading.h"
#include "support/environment_override.h"
#include "support/run_program.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <gtest/gtest.h>

namespace {

bool isMapped(const char* library) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

// A one-page PDF of 40 x 30 points filled red.
QByteArray smallPDF() {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(QSizeF(40, 30), QPageSize::Point));
    writer.setPageMargins(QMarginsF());
    QPainter painter(&writer);
    painter.fillRect(QRect(0, 0, 40, 30), Qt::red);
    painter.end();
    return buffer.data();
}

// Run alone, in a process of its own, by the test below: nothing before it has read a PDF there.
TEST(PdfModuleFreshProcess, DISABLED_PopplerIsMappedWithTheFirstPdfRead) {
    EXPECT_FALSE(isMapped("libpoppler")) << "poppler is mapped before any PDF was read";
    EXPECT_FALSE(isMapped("libkollage_pdf"));
    const kx::Image page = rasterizePDFData(smallPDF(), 80, 60);
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.qimage().size(), QSize(80, 60));
    EXPECT_EQ(page.qimage().pixelColor(40, 30), QColor(Qt::red));
    EXPECT_TRUE(isMapped("libkollage_pdf"));
    EXPECT_TRUE(isMapped("libpoppler"));
}

TEST(PdfModuleTest, ProcessesThatReadNoPdfNeverMapPoppler) {
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    // The child runs its one test whatever shard this process is.
    const kxtest::EnvironmentOverride shards("GTEST_TOTAL_SHARDS", nullptr);
    const kxtest::EnvironmentOverride shard("GTEST_SHARD_INDEX", nullptr);
    const kxtest::ProgramResult child =
        kxtest::runProgram(self, {QStringLiteral("--gtest_filter=PdfModuleFreshProcess.*"),
                                  QStringLiteral("--gtest_also_run_disabled_tests")});
    ASSERT_TRUE(child.started);
    EXPECT_EQ(child.exitCode, 0) << child.standardOutput.toStdString() << child.standardError.toStdString();
    EXPECT_TRUE(child.standardOutput.contains("[  PASSED  ] 1 test")) << child.standardOutput.toStdString();
}

}  // namespace
