#include "browser_test_support.h"
#include "controls/thumbnail_maker.h"
#include "graphics/image_loading.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <mutex>

namespace {

using kxtest::colourItem;
using kxtest::solidImage;
using kxtest::waitUntil;

struct Made {
    QString uid;
    quint64 version;
    QColor colour;
};

void collect(kx::ThumbnailQueue& queue, std::vector<Made>& into) {
    QObject::connect(&queue, &kx::ThumbnailQueue::thumbnailMade,
                     [&into](const QString& uid, quint64 version, const kx::Image& image) {
                         into.push_back({uid, version, image.isNull() ? QColor() : image.qimage().pixelColor(0, 0)});
                     });
}

TEST(MakeThumbnail, EveryKindOfSourceFitsTheWantedSize) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString png = dir.filePath("wide.png");
    ASSERT_TRUE(solidImage(400, 200, Qt::red).qimage().save(png));
    const QString small = dir.filePath("small.png");
    ASSERT_TRUE(solidImage(50, 30, Qt::blue).qimage().save(small));
    const QString svg = dir.filePath("tall.svg");
    {
        QFile f(svg);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 20\">"
                "<rect width=\"10\" height=\"20\" fill=\"#00ff00\"/></svg>");
    }
    const QString pdf = dir.filePath("page.pdf");
    {
        QPdfWriter writer(pdf);
        writer.setPageSize(QPageSize(QSizeF(200, 100), QPageSize::Point));
        writer.setPageMargins({});
        QPainter painter(&writer);
        painter.fillRect(painter.viewport(), Qt::black);
        // A second page, upright: the page asked for is the one drawn.
        writer.setPageSize(QPageSize(QSizeF(100, 200), QPageSize::Point));
        writer.newPage();
        painter.fillRect(painter.viewport(), Qt::black);
    }

    EXPECT_EQ(pdfPageCount(pdf), 2);
    EXPECT_EQ(pdfPageCount(png), 0);

    struct Case {
        const char* name;
        kx::ImageBrowserItem item;
        QSize expected;
    };
    kx::ImageBrowserItem image, rendered, bitmap, smallBitmap, drawing, document, secondPage, noSuchPage, missing,
        empty;
    image.image = solidImage(300, 600, Qt::red);
    rendered.renderer = [](int side) { return solidImage(side * 2, side, Qt::red); };
    bitmap.path = png;
    smallBitmap.path = small;
    drawing.path = svg;
    document.path = pdf;
    secondPage.path = pdf;
    secondPage.pdfPage = 1;
    noSuchPage.path = pdf;
    noSuchPage.pdfPage = 2;
    missing.path = dir.filePath("gone.jpg");
    const Case cases[] = {
        {"image scaled down", image, {64, 128}},
        {"renderer's result scaled down", rendered, {128, 64}},
        {"bitmap file decoded to size", bitmap, {128, 64}},
        {"small bitmap never enlarged", smallBitmap, {50, 30}},
        {"vector drawing drawn to fit", drawing, {64, 128}},
        {"PDF page drawn to fit", document, {128, 64}},
        {"second PDF page", secondPage, {64, 128}},
        {"PDF page past the last", noSuchPage, {}},
        {"missing file", missing, {}},
        {"nothing to show", empty, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const kx::Image thumbnail = kx::makeThumbnail(c.item, 128);
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(thumbnail.isNull());
            continue;
        }
        ASSERT_FALSE(thumbnail.isNull());
        EXPECT_NEAR(thumbnail.width(), c.expected.width(), 1);
        EXPECT_NEAR(thumbnail.height(), c.expected.height(), 1);
    }
}

TEST(ThumbnailQueue, DeliversOnTheMainThreadAndMakesOffIt) {
    kxtest::rendersOnMainThread() = 0;
    kx::ThumbnailQueue queue;
    std::vector<Made> made;
    collect(queue, made);
    for (int i = 0; i < 20; ++i)
        queue.request(colourItem(QString::number(i), 1, QColor(i * 10, 0, 0)), 16, i % 2 == 0);
    ASSERT_TRUE(waitUntil([&] { return made.size() == 20; }));
    EXPECT_EQ(kxtest::rendersOnMainThread(), 0);
    EXPECT_EQ(queue.pendingCount(), 0);
    for (const Made& m : made)
        EXPECT_EQ(m.colour, QColor(m.uid.toInt() * 10, 0, 0)) << m.uid.toStdString();
}

// A thumbnail that finishes after its request was overtaken or withdrawn is never delivered.
TEST(ThumbnailQueue, LateResultsOfOldRequestsAreDropped) {
    struct Case {
        const char* name;
        bool newerVersion;  // otherwise the request is withdrawn
    };
    for (const Case c : {Case{"overtaken by a newer version", true}, Case{"withdrawn", false}}) {
        SCOPED_TRACE(c.name);
        kx::ThumbnailQueue queue;
        std::vector<Made> made;
        collect(queue, made);
        std::promise<void> release;
        std::shared_future<void> gate = release.get_future().share();
        queue.request(colourItem("a", 1, Qt::red, gate), 16, true);
        if (c.newerVersion)
            queue.request(colourItem("a", 2, Qt::green), 16, true);
        else
            queue.cancel("a");
        release.set_value();
        queue.waitForDone();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        if (c.newerVersion) {
            ASSERT_EQ(made.size(), 1u);
            EXPECT_EQ(made[0].version, 2u);
            EXPECT_EQ(made[0].colour, QColor(Qt::green));
        } else {
            EXPECT_TRUE(made.empty());
        }
    }
}

// Cells scrolled into view are made before those asked for earlier in the background.
TEST(ThumbnailQueue, UrgentRequestsOvertakeWaitingOnes) {
    kx::ThumbnailQueue queue;
    std::vector<Made> made;
    collect(queue, made);
    // Every thread of the pool is held, each by a gate of its own, so that everything below waits in line.
    const int threads = kx::thumbnailThreadCount();
    std::vector<std::promise<void>> releases(threads);
    for (int i = 0; i < threads; ++i)
        queue.request(colourItem(QString("held %1").arg(i), 1, Qt::black, releases[i].get_future().share()), 16,
                      false);
    std::mutex lock;
    QStringList started;
    auto recordingItem = [&](const QString& uid) {
        kx::ImageBrowserItem item;
        item.uid = uid;
        item.version = 1;
        item.renderer = [&lock, &started, uid](int side) {
            std::lock_guard<std::mutex> guard(lock);
            started << uid;
            return kxtest::solidImage(side, side, Qt::red);
        };
        return item;
    };
    for (int i = 0; i < 40; ++i)
        queue.request(recordingItem(QString::number(i)), 16, false);
    queue.request(recordingItem("39"), 16, true);
    // One thread is let go: the first thing it takes from the line is the urgent request.
    releases[0].set_value();
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard<std::mutex> guard(lock);
        return !started.isEmpty();
    }));
    {
        std::lock_guard<std::mutex> guard(lock);
        EXPECT_EQ(started.first(), "39");
    }
    for (int i = 1; i < threads; ++i)
        releases[i].set_value();
    ASSERT_TRUE(waitUntil([&] { return int(made.size()) == threads + 40; }));
    queue.waitForDone();
}

TEST(ThumbnailQueue, AQueueGoneBeforeItsThumbnailIsMadeIsLeftAlone) {
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    auto queue = std::make_unique<kx::ThumbnailQueue>();
    std::vector<Made> made;
    collect(*queue, made);
    queue->request(colourItem("a", 1, Qt::red, gate), 16, true);
    // Let the task start, then remove the queue while it runs.
    QThread::msleep(20);
    queue.reset();
    release.set_value();
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_TRUE(made.empty());
}

}  // namespace
