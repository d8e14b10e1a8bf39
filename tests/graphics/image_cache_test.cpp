#include "graphics/image_cache.h"

#include "fifo_probe.h"
#include "platform/foundation/notification_center.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QImage>
#include <QLinearGradient>
#include <QNetworkProxy>
#include <QPainter>
#include <QPdfWriter>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>

#include <sys/stat.h>

#include <map>
#include <memory>

namespace {

using namespace std::chrono_literals;

// A colourful picture of the given size, quick to make at any size.
QImage picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(220, 40, 40));
    gradient.setColorAt(0.5, QColor(40, 200, 60));
    gradient.setColorAt(1, QColor(30, 60, 220));
    painter.fillRect(image.rect(), gradient);
    return image;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return data;
}

// JPEG data that asks to be shown turned (EXIF orientation 6: a quarter turn clockwise).
QByteArray withQuarterTurnOrientation(const QByteArray& jpeg) {
    QByteArray tiff("MM\0\x2A\0\0\0\x08", 8);           // big-endian header, first directory at 8
    tiff += QByteArray("\0\x01", 2);                     // one entry
    tiff += QByteArray("\x01\x12\0\x03\0\0\0\x01", 8);   // Orientation, SHORT, count 1
    tiff += QByteArray("\0\x06\0\0", 4);                 // value 6
    tiff += QByteArray("\0\0\0\0", 4);                   // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    const quint16 length = quint16(payload.size() + 2);
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    segment += payload;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// A JPNG file's bytes: the colour as JPEG, an opaque grey PNG and the footer.
QByteArray jpngData(const QImage& colour) {
    const QByteArray jpeg = encoded(colour, "JPEG");
    QImage alpha(colour.size(), QImage::Format_Grayscale8);
    alpha.fill(255);
    const QByteArray png = encoded(alpha, "PNG");
    QByteArray footer(16, '\0');
    qToLittleEndian<quint32>(quint32(jpeg.size()), footer.data());
    qToLittleEndian<quint32>(quint32(png.size()), footer.data() + 4);
    qToLittleEndian<quint16>(16, footer.data() + 8);
    footer[10] = 1;
    footer.replace(12, 4, "GNPJ");
    return jpeg + png + footer;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool sameImage(const kx::Image& a, const kx::Image& b) {
    return !a.isNull() && a.qimage().cacheKey() == b.qimage().cacheKey();
}

// Files made once for the whole suite (the big JPEG takes a moment to encode).
class ImageCacheTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        const QByteArray bigJpeg = encoded(picture(3000, 2000), "JPEG");
        ASSERT_TRUE(writeFile(file("big.jpg"), bigJpeg));
        ASSERT_TRUE(writeFile(file("turned.jpg"), withQuarterTurnOrientation(bigJpeg)));
        ASSERT_TRUE(writeFile(file("small.png"), encoded(picture(100, 100), "PNG")));
        ASSERT_TRUE(writeFile(file("medium.png"), encoded(picture(800, 500), "PNG")));
        ASSERT_TRUE(writeFile(file("notes.txt"), "not an image"));
        ASSERT_TRUE(writeFile(file("small.jpng"), jpngData(picture(50, 25))));
        ASSERT_TRUE(writeFile(file("drawing.svg"),
                              "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 200 100\">"
                              "<rect x=\"0\" y=\"0\" width=\"200\" height=\"100\" fill=\"#3060C0\"/></svg>"));
        QPdfWriter pdf(file("page.pdf"));
        pdf.setPageSize(QPageSize(QSizeF(300, 150), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&pdf);
        painter.fillRect(QRectF(0, 0, 100, 100), Qt::red);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString file(const char* name) { return s_dir->filePath(QLatin1String(name)); }

    KXCacheManager manager;  // a map of the test's own; entries are the same as the shared map's
    static QTemporaryDir* s_dir;
};

QTemporaryDir* ImageCacheTest::s_dir = nullptr;

TEST_F(ImageCacheTest, BigJpegGivesThreeSizes) {
    const KXCachePtr cache = KXCache::initWithPath(file("big.jpg"));
    ASSERT_TRUE(cache);
    EXPECT_FALSE(cache->isVectorImage());
    EXPECT_EQ(cache->imageSize(), kx::Size(3000, 2000));
    EXPECT_EQ(cache->path(), file("big.jpg"));
    EXPECT_EQ(cache->thumbImage().pixelSize(), kx::Size(400, 267));
    EXPECT_EQ(cache->largeImage().pixelSize(), kx::Size(1200, 800));
    EXPECT_EQ(cache->originalImage().pixelSize(), kx::Size(3000, 2000));
    // Made once: the second request hands out the same pixels.
    EXPECT_TRUE(sameImage(cache->largeImage(), cache->largeImage()));
    EXPECT_TRUE(sameImage(cache->originalImage(), cache->originalImage()));
}

TEST_F(ImageCacheTest, TurnedJpegReportsItsShownSize) {
    const KXCachePtr cache = KXCache::initWithPath(file("turned.jpg"));
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->imageSize(), kx::Size(2000, 3000));
    EXPECT_EQ(cache->thumbImage().pixelSize(), kx::Size(267, 400));
    EXPECT_EQ(cache->largeImage().pixelSize(), kx::Size(800, 1200));
}

// An entry of a bitmap file is made from the header: nothing is decoded until a version is asked for, and
// what is in memory is answered without decoding.
TEST_F(ImageCacheTest, BitmapEntryDecodesNothingUntilAVersionIsAskedFor) {
    const KXCachePtr cache = KXCache::initWithPath(file("big.jpg"));
    ASSERT_TRUE(cache);
    EXPECT_FALSE(cache->hasDecodedImages());
    EXPECT_FALSE(cache->isEmpty());
    EXPECT_EQ(cache->imageSize(), kx::Size(3000, 2000));
    EXPECT_TRUE(cache->loadedImageWithSize({300, 200}, false).isNull());
    EXPECT_FALSE(cache->hasDecodedImages());

    const kx::Image thumb = cache->thumbImage();
    EXPECT_EQ(thumb.pixelSize(), kx::Size(400, 267));
    EXPECT_TRUE(cache->hasDecodedImages());
    EXPECT_TRUE(sameImage(cache->loadedImageWithSize({300, 200}, false), thumb));
    EXPECT_TRUE(cache->loadedImageWithSize({900, 600}, false).isNull());
    const kx::Image large = cache->largeImage();
    EXPECT_TRUE(sameImage(cache->loadedImageWithSize({900, 600}, false), large));
    EXPECT_TRUE(cache->loadedImageWithSize({2500, 1600}, true).isNull());
    const kx::Image covering = cache->imageCoveringSize({2500, 1600});
    EXPECT_TRUE(sameImage(cache->loadedImageWithSize({2500, 1600}, true), covering));
    EXPECT_TRUE(cache->loadedImageWithSize({2500, 1600}, false).isNull());  // the original is not decoded
}

TEST_F(ImageCacheTest, TurnedJpegReportsItsShownSizeBeforeAnyDecode) {
    const KXCachePtr cache = KXCache::initWithPath(file("turned.jpg"));
    ASSERT_TRUE(cache);
    EXPECT_FALSE(cache->hasDecodedImages());
    EXPECT_EQ(cache->imageSize(), kx::Size(2000, 3000));
}

// A file removed before its thumbnail is decoded leaves an entry without images, asked for once.
TEST_F(ImageCacheTest, BitmapRemovedBeforeItsDecodeGivesAnEmptyEntry) {
    const QString copy = file("gone.jpg");
    ASSERT_TRUE(QFile::copy(file("big.jpg"), copy));
    const KXCachePtr cache = KXCache::initWithPath(copy);
    ASSERT_TRUE(cache);
    ASSERT_TRUE(QFile::remove(copy));
    EXPECT_TRUE(cache->thumbImage().isNull());
    EXPECT_TRUE(cache->isEmpty());
    EXPECT_TRUE(cache->imageWithSize({900, 600}).isNull());
}

TEST_F(ImageCacheTest, ImageWithSizePicksBySizeThresholds) {
    const KXCachePtr cache = KXCache::initWithPath(file("big.jpg"));
    ASSERT_TRUE(cache);
    struct Case {
        kx::Size wanted;
        int expectedWidth;
    };
    const Case cases[] = {{{400, 400}, 400}, {{10, 400}, 400},   {{401, 10}, 1200},
                          {{10, 401}, 1200}, {{1200, 1200}, 1200}, {{1201, 10}, 3000}, {{5000, 5000}, 3000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.wanted.width << " x " << c.wanted.height);
        EXPECT_EQ(cache->imageWithSize(c.wanted).width(), c.expectedWidth);
    }
}

TEST_F(ImageCacheTest, LargeDrawingsGetTheFileDecodedToCoverTheirSize) {
    const KXCachePtr cache = KXCache::initWithPath(file("big.jpg"));
    ASSERT_TRUE(cache);
    struct Case {
        kx::Size wanted, decoded;
    };
    const Case cases[] = {
        {{300, 300}, {400, 267}},      // the thumbnail
        {{1000, 600}, {1200, 800}},    // the large image
        {{1500, 10}, {1500, 1000}},    // wider than the large image: decoded at 1500 wide
        {{1499.9999999, 999}, {1500, 1000}},
        {{10, 1300}, {1950, 1300}},    // taller: the height decides
        {{3000, 2000}, {3000, 2000}},  // the image's own size: the original
        {{5000, 10}, {3000, 2000}},    // never enlarged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.wanted.width << " x " << c.wanted.height);
        EXPECT_EQ(cache->imageCoveringSize(c.wanted).pixelSize(), c.decoded);
    }
    EXPECT_EQ(cache->coveringDecodeSize({1500, 10}), kx::Size(1500, 1000));
    EXPECT_EQ(cache->coveringDecodeSize({3000, 10}), kx::Size());
}

TEST_F(ImageCacheTest, CoveringDecodeIsKeptForSmallerRequestsAndReplacedByLargerOnes) {
    const KXCachePtr cache = KXCache::initWithPath(file("big.jpg"));
    ASSERT_TRUE(cache);
    const kx::Image first = cache->imageCoveringSize({1800, 10});
    EXPECT_EQ(first.pixelSize(), kx::Size(1800, 1200));
    EXPECT_TRUE(sameImage(cache->imageCoveringSize({1500, 1000}), first));
    const kx::Image larger = cache->imageCoveringSize({2100, 10});
    EXPECT_EQ(larger.pixelSize(), kx::Size(2100, 1400));
    EXPECT_TRUE(sameImage(cache->imageCoveringSize({1800, 10}), larger));
    // The full decode, once made, serves without another decode; a cleared entry gives nothing.
    const KXCachePtr other = KXCache::initWithPath(file("big.jpg"));
    const kx::Image original = other->originalImage();
    EXPECT_TRUE(sameImage(other->imageCoveringSize({1500, 10}), original));
    cache->clearImageCache();
    EXPECT_TRUE(cache->imageCoveringSize({1500, 10}).isNull());
}

TEST_F(ImageCacheTest, CoveringDecodeOfATurnedFileIsUpright) {
    const KXCachePtr cache = KXCache::initWithPath(file("turned.jpg"));
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->imageCoveringSize({10, 1500}).pixelSize(), kx::Size(1000, 1500));
}

TEST_F(ImageCacheTest, EntriesThatCannotDecodeAtASizeGiveTheirOriginalOrARendering) {
    const KXCachePtr medium = KXCache::initWithPath(file("medium.png"));
    ASSERT_TRUE(medium);
    EXPECT_TRUE(sameImage(medium->imageCoveringSize({1300, 10}), medium->originalImage()));
    const KXCachePtr svg = KXCache::initWithPath(file("drawing.svg"));
    ASSERT_TRUE(svg);
    EXPECT_EQ(svg->imageCoveringSize({1600, 800}).pixelSize(), kx::Size(1600, 800));
    const KXCachePtr jpng = KXCache::initWithPath(file("small.jpng"));
    ASSERT_TRUE(jpng);
    EXPECT_TRUE(sameImage(jpng->imageCoveringSize({1300, 10}), jpng->originalImage()));
}

TEST_F(ImageCacheTest, SmallPngIsNeverEnlarged) {
    const KXCachePtr cache = KXCache::initWithPath(file("small.png"));
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->imageSize(), kx::Size(100, 100));
    EXPECT_EQ(cache->thumbImage().pixelSize(), kx::Size(100, 100));
    EXPECT_TRUE(sameImage(cache->largeImage(), cache->thumbImage()));
    EXPECT_TRUE(sameImage(cache->originalImage(), cache->thumbImage()));
    EXPECT_TRUE(sameImage(cache->imageWithSize({3000, 3000}), cache->thumbImage()));
}

TEST_F(ImageCacheTest, MediumImageHasNoSeparateOriginal) {
    const KXCachePtr cache = KXCache::initWithPath(file("medium.png"));
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->thumbImage().pixelSize(), kx::Size(400, 250));
    EXPECT_EQ(cache->largeImage().pixelSize(), kx::Size(800, 500));
    EXPECT_TRUE(sameImage(cache->originalImage(), cache->thumbImage()));
}

TEST_F(ImageCacheTest, JpngThumbnailIsFittedTo400EvenWhenSmall) {
    const KXCachePtr cache = KXCache::initWithPath(file("small.jpng"));
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->imageSize(), kx::Size(50, 25));
    EXPECT_EQ(cache->thumbImage().pixelSize(), kx::Size(400, 200));
}

TEST_F(ImageCacheTest, PdfThumbnailFitsThePage) {
    const KXCachePtr cache = KXCache::initWithPath(file("page.pdf"));
    ASSERT_TRUE(cache);
    EXPECT_NEAR(cache->imageSize().width, 300, 1);
    EXPECT_NEAR(cache->imageSize().height, 150, 1);
    EXPECT_EQ(cache->thumbImage().width(), 400);
    EXPECT_NEAR(cache->thumbImage().height(), 200, 1);
}

TEST_F(ImageCacheTest, SvgIsRenderedAtEachLargeSize) {
    const KXCachePtr cache = KXCache::initWithPath(file("drawing.svg"));
    ASSERT_TRUE(cache);
    EXPECT_TRUE(cache->isVectorImage());
    EXPECT_EQ(cache->thumbImage().pixelSize(), kx::Size(400, 200));
    EXPECT_NEAR(cache->imageSize().width, 3.4028234663852886e38, 1e32);
    EXPECT_GT(cache->imageSize().height, 1e38);
    EXPECT_EQ(cache->largeImage().pixelSize(), kx::Size(1200, 600));
    const kx::Image first = cache->imageWithSize({2000, 2000});
    const kx::Image second = cache->imageWithSize({2000, 2000});
    EXPECT_EQ(first.pixelSize(), kx::Size(2000, 1000));
    EXPECT_EQ(second.pixelSize(), kx::Size(2000, 1000));
    EXPECT_FALSE(sameImage(first, second));  // rendered anew, never kept
}

TEST_F(ImageCacheTest, PastedImageEntry) {
    struct Case {
        int width, height;
        kx::Size thumb, large, original;
    };
    const Case cases[] = {
        {300, 200, {300, 200}, {300, 200}, {300, 200}},
        {1000, 500, {400, 200}, {1000, 500}, {400, 200}},
        {2400, 1200, {400, 200}, {1200, 600}, {2400, 1200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const KXCachePtr cache = KXCache::initWithImage(kx::Image(picture(c.width, c.height)), file("pasted.png"));
        ASSERT_TRUE(cache);
        EXPECT_EQ(cache->imageSize(), kx::Size(c.width, c.height));
        EXPECT_EQ(cache->path(), file("pasted.png"));
        EXPECT_EQ(cache->thumbImage().pixelSize(), c.thumb);
        EXPECT_EQ(cache->largeImage().pixelSize(), c.large);
        EXPECT_EQ(cache->originalImage().pixelSize(), c.original);
    }
    EXPECT_FALSE(KXCache::initWithImage(kx::Image(), file("pasted.png")));
}

TEST_F(ImageCacheTest, CacheWithPathRegistersOnlyImages) {
    EXPECT_FALSE(manager.cacheWithPath(QString()));
    EXPECT_FALSE(manager.cacheWithPath(file("notes.txt")));
    EXPECT_FALSE(manager.cacheWithPath(file("missing.jpg")));
    EXPECT_TRUE(manager.caches().isEmpty());
    const KXCachePtr cache = manager.cacheWithPath(file("small.png"));
    ASSERT_TRUE(cache);
    EXPECT_EQ(manager.cacheWithPath(file("small.png")), cache);
    EXPECT_EQ(manager.caches().size(), 1);
    EXPECT_TRUE(sameImage(manager.imageThumbWithPath(file("small.png")), cache->thumbImage()));
    EXPECT_TRUE(manager.imageThumbWithPath(file("medium.png")).isNull());
    EXPECT_EQ(manager.caches().size(), 1);  // asking for a thumbnail makes no entry
    EXPECT_EQ(manager.imageWithPath(file("medium.png"), {500, 500}).pixelSize(), kx::Size(800, 500));
    EXPECT_EQ(manager.caches().size(), 2);
}

// An entry is made only from a regular file: the cache never opens a FIFO (which would block it for ever).
TEST_F(ImageCacheTest, EntriesAreMadeFromRegularFilesOnly) {
    for (const char* name : {"pipe.jpg", "pipe.png", "pipe.pdf", "pipe.svg", "pipe.eps", "pipe.jpng"}) {
        SCOPED_TRACE(name);
        const QString fifo = file(name);
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        EXPECT_FALSE(kxtest::loaderOpensFifo(fifo, [&] { EXPECT_FALSE(manager.cacheWithPath(fifo)); }));
        QFile::remove(fifo);
    }
    EXPECT_TRUE(manager.caches().isEmpty());
}

TEST_F(ImageCacheTest, UsesAreGivenUpOneByOne) {
    const KXCachePtr cache = manager.cacheWithPath(file("small.png"));
    ASSERT_TRUE(cache);
    cache->retainCache();
    cache->retainCache();
    EXPECT_EQ(cache->refCount(), 2);
    manager.removeCacheWithPath(file("small.png"));
    EXPECT_EQ(manager.cacheWithPath(file("small.png")), cache);
    EXPECT_FALSE(cache->isEmpty());
    manager.removeCacheWithPath(file("small.png"));
    EXPECT_TRUE(manager.caches().isEmpty());
    EXPECT_TRUE(cache->isEmpty());
    EXPECT_TRUE(cache->path().isEmpty());
    manager.removeCacheWithPath(file("small.png"));  // a third call does nothing
    manager.removeCacheWithPath(QString());
    EXPECT_EQ(cache->refCount(), 0);

    // An entry nobody retained goes with the first call.
    ASSERT_TRUE(manager.cacheWithPath(file("small.png")));
    manager.removeCacheWithPath(file("small.png"));
    EXPECT_TRUE(manager.caches().isEmpty());
}

// A use taken with the entry in one step survives another user's last removal; a use asked of an entry
// that was cleared in between is refused, and the path gets a fresh entry.
TEST_F(ImageCacheTest, TakingAnEntryAndItsUseIsOneStep) {
    const KXCachePtr other = manager.retainedCacheWithPath(file("small.png"));  // another user's use
    ASSERT_TRUE(other);
    EXPECT_EQ(other->refCount(), 1);

    const KXCachePtr mine = manager.retainedCacheWithPath(file("small.png"));
    EXPECT_EQ(mine, other);
    manager.removeCacheWithPath(file("small.png"));  // the other user lets go
    EXPECT_FALSE(mine->isEmpty());
    EXPECT_EQ(mine->refCount(), 1);
    EXPECT_EQ(manager.cacheWithPath(file("small.png")), mine);
    manager.removeCacheWithPath(file("small.png"));
    EXPECT_TRUE(mine->isEmpty());

    // Taken in two steps with a last removal in between, the use is refused rather than counted on an
    // entry without images.
    const KXCachePtr taken = manager.cacheWithPath(file("small.png"));
    ASSERT_TRUE(taken);
    manager.removeCacheWithPath(file("small.png"));
    EXPECT_FALSE(taken->retainCache());
    EXPECT_EQ(taken->refCount(), 0);
    const KXCachePtr fresh = manager.retainedCacheWithPath(file("medium.png"));
    ASSERT_TRUE(fresh);
    EXPECT_FALSE(fresh->isEmpty());
    EXPECT_EQ(fresh->refCount(), 1);
}

// releaseCache follows the rules of removeCacheWithPath: never below zero, and the last use clears the entry,
// which its manager then no longer hands out.
TEST_F(ImageCacheTest, ReleasingKeepsTheCountsRules) {
    const KXCachePtr cache = manager.retainedCacheWithPath(file("small.png"));
    ASSERT_TRUE(cache);
    EXPECT_TRUE(cache->retainCache());
    cache->releaseCache();
    EXPECT_EQ(cache->refCount(), 1);
    EXPECT_FALSE(cache->isEmpty());
    cache->releaseCache();
    EXPECT_EQ(cache->refCount(), 0);
    EXPECT_TRUE(cache->isEmpty());
    cache->releaseCache();
    EXPECT_EQ(cache->refCount(), 0);
    EXPECT_FALSE(cache->retainCache());
    EXPECT_EQ(cache->refCount(), 0);
    EXPECT_TRUE(manager.caches().isEmpty());
    EXPECT_TRUE(manager.imageThumbWithPath(file("small.png")).isNull());
    const KXCachePtr fresh = manager.cacheWithPath(file("small.png"));
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh, cache);
    EXPECT_FALSE(fresh->isEmpty());
    // A cleared entry is not registered again either.
    manager.addCache(cache, file("copy.png"));
    EXPECT_FALSE(manager.cacheWithPath(file("copy.png")));
}

TEST_F(ImageCacheTest, EntryUnderTwoPathsIsClearedForBoth) {
    const KXCachePtr cache = manager.cacheWithPath(file("small.png"));
    ASSERT_TRUE(cache);
    manager.addCache(cache, file("copy.png"));
    EXPECT_EQ(manager.cacheWithPath(file("copy.png")), cache);
    EXPECT_EQ(cache->path(), file("small.png"));  // its own path is kept
    manager.addCache(nullptr, file("other.png"));
    manager.addCache(cache, QString());
    EXPECT_EQ(manager.caches().size(), 2);

    manager.removeCacheWithPath(file("copy.png"));
    EXPECT_TRUE(cache->isEmpty());
    // Neither path hands out the cleared entry any more; the next request makes a fresh one.
    EXPECT_TRUE(manager.caches().isEmpty());
    const KXCachePtr fresh = manager.cacheWithPath(file("small.png"));
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh, cache);
    EXPECT_FALSE(fresh->isEmpty());
}

TEST_F(ImageCacheTest, ReplacingAnEntryInUseKeepsEveryonesImage) {
    const KXCachePtr old = manager.cacheWithPath(file("small.png"));
    ASSERT_TRUE(old);
    old->retainCache();
    old->retainCache();
    const KXCachePtr replacement = KXCache::initWithPath(file("medium.png"));
    ASSERT_TRUE(replacement);
    replacement->retainCache();  // its new owner's use
    manager.addCache(replacement, file("small.png"));
    EXPECT_EQ(manager.cacheWithPath(file("small.png")), replacement);
    EXPECT_EQ(replacement->refCount(), 3);
    EXPECT_FALSE(old->isEmpty());  // whoever holds the old entry still has its image

    // The two earlier users and the new owner let go: only the last one clears the entry.
    manager.removeCacheWithPath(file("small.png"));
    manager.removeCacheWithPath(file("small.png"));
    EXPECT_FALSE(replacement->isEmpty());
    EXPECT_EQ(manager.cacheWithPath(file("small.png")), replacement);
    manager.removeCacheWithPath(file("small.png"));
    EXPECT_TRUE(replacement->isEmpty());
    EXPECT_FALSE(old->isEmpty());

    // Registering the same entry again under its own path changes no count.
    const KXCachePtr again = manager.cacheWithPath(file("medium.png"));
    again->retainCache();
    manager.addCache(again, file("medium.png"));
    EXPECT_EQ(again->refCount(), 1);
}

TEST_F(ImageCacheTest, LoadUnderWayWhenClearedIsNotKept) {
    const KXCachePtr cache = KXCache::initWithPath(file("big.jpg"));
    ASSERT_TRUE(cache);
    cache->clearImageCache();
    EXPECT_TRUE(cache->largeImage().isNull());
    EXPECT_TRUE(cache->originalImage().isNull());
    EXPECT_TRUE(cache->imageWithSize({2000, 2000}).isNull());
}

TEST_F(ImageCacheTest, SharedManagerIsOne) {
    EXPECT_EQ(&KXCacheManager::cacheManager(), &KXCacheManager::cacheManager());
}

// --- Remote images ---

// An HTTP server on 127.0.0.1 with one prepared response per path (404 for others, nothing at all when
// silent). It runs on the test's thread; tests turn its event loop while they wait.
class LocalHttpServer {
public:
    explicit LocalHttpServer(bool silent = false) : m_silent(silent) {
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { accept(); });
        m_listening = m_server.listen(QHostAddress::LocalHost, 0);
    }
    bool isListening() const { return m_listening; }
    // Connections that have ended, whichever side closed them.
    int closedConnections() const { return m_closed; }
    QUrl url(const char* path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1String(path)));
    }
    void serve(const QByteArray& path, const QByteArray& body, bool announceLength = true) {
        QByteArray r = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
        if (announceLength)
            r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        m_responses[path] = r + "\r\n" + body;
    }

private:
    void accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                *request += socket->readAll();
                if (!request->contains("\r\n\r\n") || m_silent)
                    return;
                const QByteArray path = request->split(' ').value(1);
                const auto it = m_responses.find(path);
                socket->write(it != m_responses.end()
                                  ? it->second
                                  : QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                ++m_closed;
                socket->deleteLater();
            });
        }
    }

    QTcpServer m_server;
    std::map<QByteArray, QByteArray> m_responses;
    bool m_silent;
    bool m_listening = false;
    int m_closed = 0;
};

// Turns the event loop until the remote loads have ended and their main-thread steps have run. Every read
// ends by its time-out at the latest, so this returns.
void finishBackgroundWork() {
    while (!KXCache::remoteLoadPool().waitForDone(5))
        QCoreApplication::processEvents();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

class RemoteImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_token = kx::NotificationCenter::defaultCenter().addObserver(
            KXCacheDidLoadingInternetImage, nullptr, [this](const kx::Notification& n) { m_loaded.push_back(n.sender); });
        KXCache::setRemoteFetchLimits({5000ms, 8 * 1024 * 1024});
    }
    void TearDown() override {
        finishBackgroundWork();
        KXCache::setRemoteFetchLimits({});
    }

    kx::NotificationToken m_token;
    std::vector<const void*> m_loaded;
};

TEST_F(RemoteImageTest, ThumbnailServesEverySizeUntilTheOriginalArrives) {
    LocalHttpServer server;
    ASSERT_TRUE(server.isListening());
    server.serve("/thumb.png", encoded(picture(160, 100), "PNG"));
    server.serve("/photo.jpg", encoded(picture(1600, 1000), "JPEG"));

    const KXCachePtr cache =
        KXCache::initWithThumbURL(server.url("/thumb.png"), server.url("/photo.jpg"), kx::Size(1600, 1000));
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->path(), server.url("/photo.jpg").toString());
    EXPECT_EQ(cache->imageSize(), kx::Size(1600, 1000));
    EXPECT_EQ(cache->thumbImage().pixelSize(), kx::Size(160, 100));
    for (const kx::Size size : {kx::Size(100, 100), kx::Size(800, 800), kx::Size(3000, 3000)})
        EXPECT_TRUE(sameImage(cache->imageWithSize(size), cache->thumbImage()));
    EXPECT_TRUE(m_loaded.empty());  // nothing before the main thread's step

    finishBackgroundWork();
    ASSERT_EQ(m_loaded.size(), 1u);
    EXPECT_EQ(m_loaded[0], cache.get());
    EXPECT_EQ(cache->thumbImage().pixelSize(), kx::Size(400, 250));
    EXPECT_EQ(cache->largeImage().pixelSize(), kx::Size(1200, 750));
    EXPECT_EQ(cache->originalImage().pixelSize(), kx::Size(1600, 1000));
    EXPECT_EQ(cache->imageWithSize({2000, 2000}).pixelSize(), kx::Size(1600, 1000));
}

TEST_F(RemoteImageTest, ThumbnailInHandIsKeptAsABitmap) {
    LocalHttpServer server;
    ASSERT_TRUE(server.isListening());
    server.serve("/photo.png", encoded(picture(500, 300), "PNG"));
    const KXCachePtr cache = KXCache::initWithThumbImage(kx::Image(picture(50, 30)), server.url("/photo.png"),
                                                         kx::Size(500, 300));
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->thumbImage().pixelSize(), kx::Size(50, 30));
    finishBackgroundWork();
    ASSERT_EQ(m_loaded.size(), 1u);
    EXPECT_EQ(cache->thumbImage().pixelSize(), kx::Size(400, 240));
    EXPECT_EQ(cache->largeImage().pixelSize(), kx::Size(500, 300));
}

TEST_F(RemoteImageTest, FailedOriginalLeavesTheThumbnail) {
    struct Case {
        const char* name;
        bool silent;
        QByteArray body;
        bool announceLength;
        qint64 maximumBytes;
    };
    const QByteArray photo = encoded(picture(900, 600), "JPEG");
    const Case cases[] = {
        {"missing on the server", false, {}, true, 1 << 20},
        {"not an image", false, "<html>no picture here</html>", true, 1 << 20},
        {"announced length over the limit", false, photo, true, photo.size() - 1},
        {"body over the limit without a length", false, photo, false, photo.size() - 1},
        {"server never answers", true, photo, true, 1 << 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_loaded.clear();
        KXCache::setRemoteFetchLimits({300ms, c.maximumBytes});
        LocalHttpServer server(c.silent);
        ASSERT_TRUE(server.isListening());
        if (!c.body.isEmpty())
            server.serve("/photo.jpg", c.body, c.announceLength);
        const KXCachePtr cache =
            KXCache::initWithThumbImage(kx::Image(picture(90, 60)), server.url("/photo.jpg"), kx::Size(900, 600));
        finishBackgroundWork();
        // The read ended (a silent server is given up on after the time-out) and closed its connection.
        for (int i = 0; i < 100 && server.closedConnections() == 0; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_GE(server.closedConnections(), 1);
        EXPECT_TRUE(m_loaded.empty());
        EXPECT_EQ(cache->thumbImage().pixelSize(), kx::Size(90, 60));
        EXPECT_EQ(cache->originalImage().pixelSize(), kx::Size(90, 60));
    }
}

// Remote reads wait on their own pool: however many servers are slow, the pool that page renders and
// decoding share keeps every thread free.
TEST_F(RemoteImageTest, SlowServersNeverHoldTheSharedPool) {
    KXCache::setRemoteFetchLimits({300ms, 1 << 20});
    LocalHttpServer silent(true);
    ASSERT_TRUE(silent.isListening());
    QThreadPool* shared = QThreadPool::globalInstance();
    // Work that earlier tests left on the shared pool (decodes finishing) is not what this test looks at.
    shared->waitForDone();
    std::vector<KXCachePtr> entries;
    for (int i = 0; i < shared->maxThreadCount() + 1; ++i)
        entries.push_back(KXCache::initWithThumbImage(kx::Image(picture(9, 6)), silent.url("/slow.jpg"), {90, 60}));
    EXPECT_EQ(shared->activeThreadCount(), 0);
    EXPECT_GT(KXCache::remoteLoadPool().activeThreadCount(), 0);
    EXPECT_LE(KXCache::remoteLoadPool().maxThreadCount(), 4);
    // The task touches nothing of this test's frame: the hand-over to and from the pool happens inside the
    // uninstrumented Qt, which ThreadSanitizer cannot see. A constant-initialised atomic counts its run.
    static std::atomic<int> runs{0};
    const int before = runs.load();
    ASSERT_TRUE(shared->tryStart([] { runs.fetch_add(1); }));
    shared->waitForDone();
    EXPECT_EQ(runs.load(), before + 1);
    finishBackgroundWork();
    for (const KXCachePtr& entry : entries)
        EXPECT_EQ(entry->originalImage().pixelSize(), kx::Size(9, 6));
}

TEST_F(RemoteImageTest, UnreadableThumbnailAddressGivesAnEntryWithoutImages) {
    LocalHttpServer server;
    ASSERT_TRUE(server.isListening());
    const KXCachePtr cache =
        KXCache::initWithThumbURL(server.url("/nothing.png"), QUrl(QStringLiteral("ftp://127.0.0.1/x.jpg")),
                                  kx::Size(10, 10));
    ASSERT_TRUE(cache);
    EXPECT_TRUE(cache->isEmpty());
    EXPECT_TRUE(cache->imageWithSize({2000, 2000}).isNull());
}

TEST_F(RemoteImageTest, ClearedEntryDoesNotTakeTheArrivingImages) {
    LocalHttpServer server;
    ASSERT_TRUE(server.isListening());
    server.serve("/photo.jpg", encoded(picture(800, 600), "JPEG"));
    const KXCachePtr cache =
        KXCache::initWithThumbImage(kx::Image(picture(80, 60)), server.url("/photo.jpg"), kx::Size(800, 600));
    cache->clearImageCache();
    finishBackgroundWork();
    EXPECT_TRUE(cache->isEmpty());
    EXPECT_TRUE(m_loaded.empty());
}

}  // namespace
