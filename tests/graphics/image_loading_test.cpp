#include "graphics/image_loading.h"

#include "fifo_probe.h"
#include "graphics/svg_parser.h"
#include "platform/foundation/bundle.h"
#include "support/outside_tools.h"
#include "support/pixel_probe.h"
#include "support/qt_message_check.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>

using kxtest::pixelAt;
using kxtest::Rgba;

namespace {

bool haveTool(const char* name) { return !QStandardPaths::findExecutable(name).isEmpty(); }

// Runs a tool; its standard output, or a test failure.
QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return p.readAllStandardOutput();
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// A one-page PDF of `w` x `h` points with a red rectangle over its left half and nothing else, so the rest
// of the page must come out transparent. `extra` goes into the page dictionary (e.g. "/Rotate 90").
QByteArray onePagePDF(int w, int h, const QByteArray& extra = {}) {
    const QByteArray content = QByteArray("1 0 0 rg 0 0 ") + QByteArray::number(w / 2) + " " + QByteArray::number(h) +
                               " re f";
    QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + QByteArray::number(w) + " " + QByteArray::number(h) +
            "] /Contents 4 0 R " + extra + " >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream",
    };
    QByteArray pdf = "%PDF-1.4\n";
    QList<int> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << int(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const int xref = int(pdf.size());
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (int o : offsets)
        pdf += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

// The page size pdfinfo reports, in points.
QSizeF pdfinfoPageSize(const QString& path) {
    const QString info = QString::fromUtf8(run("pdfinfo", {path}));
    const QRegularExpressionMatch m =
        QRegularExpression(R"(Page size:\s+([0-9.]+) x ([0-9.]+) pts)").match(info);
    const QRegularExpressionMatch rot = QRegularExpression(R"(Page rot:\s+(\d+))").match(info);
    if (!m.hasMatch())
        return {};
    QSizeF size(m.captured(1).toDouble(), m.captured(2).toDouble());
    if (rot.hasMatch() && rot.captured(1).toInt() % 180 == 90)
        size.transpose();
    return size;
}

// A 2 x 2 grid of colours (top-left red, top-right green, bottom-left blue, bottom-right yellow), w x h.
QImage quadrants(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            image.setPixelColor(x, y, !bottom ? (right ? Qt::green : Qt::red) : (right ? Qt::yellow : Qt::blue));
        }
    return image;
}

std::array<Rgba, 4> quadrantSamples(const QImage& image) {
    const int w = image.width(), h = image.height();
    return {pixelAt(image, w / 4, h / 4), pixelAt(image, 3 * w / 4, h / 4), pixelAt(image, w / 4, 3 * h / 4),
            pixelAt(image, 3 * w / 4, 3 * h / 4)};
}

class ImageLoading : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(ImageLoading, AppliesEveryExifOrientationLikeAutoOrient) {
    KX_REQUIRE_TOOLS("convert", "exiftool");
    ASSERT_TRUE(quadrants(48, 32).save(path("plain.jpg"), "JPEG", 95));
    for (int n = 1; n <= 8; ++n) {
        SCOPED_TRACE(n);
        const QString tagged = path(QString("o%1.jpg").arg(n)), reference = path(QString("o%1.png").arg(n));
        QFile::copy(path("plain.jpg"), tagged);
        run("exiftool", {"-q", "-n", "-overwrite_original", QString("-Orientation=%1").arg(n), tagged});
        run("convert", {tagged, "-auto-orient", reference});
        const QImage expected(reference);
        const kx::Image loaded = loadImageFromFile(tagged);
        ASSERT_FALSE(loaded.isNull());
        ASSERT_EQ(loaded.qimage().size(), expected.size());
        const auto ours = quadrantSamples(loaded.qimage()), theirs = quadrantSamples(expected);
        for (size_t q = 0; q < 4; ++q)
            EXPECT_COLOR_NEAR(ours[q], theirs[q], 12);
    }
    // A portrait photo (landscape pixels turned by orientation 6) comes out with the shorter side as width.
    const kx::Image portrait = loadImageFromFile(path("o6.jpg"));
    EXPECT_LT(portrait.width(), portrait.height());
}

TEST_F(ImageLoading, JpegsDecodedIntoPreparedMemoryMatchTheReadersOwnDecode) {
    // JPEGs are decoded into memory made ahead for the size the decoder scales to. Colour and grey files,
    // whole and scaled to sizes that land on every eighth and between them: the pixels are those of Qt's
    // reader left to itself.
    QImage colour(801, 603, QImage::Format_RGB32);
    for (int y = 0; y < colour.height(); ++y)
        for (int x = 0; x < colour.width(); ++x)
            colour.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    const QString colourPath = path(QStringLiteral("colour.jpg"));
    ASSERT_TRUE(colour.save(colourPath, "JPEG", 90));
    const QString greyPath = path(QStringLiteral("grey.jpg"));
    ASSERT_TRUE(colour.convertToFormat(QImage::Format_Grayscale8).save(greyPath, "JPEG", 90));
    for (const QString& file : {colourPath, greyPath}) {
        for (const int longer : {0, 100, 101, 200, 300, 400, 401, 500, 700, 800}) {
            SCOPED_TRACE(testing::Message() << file.toStdString() << " at " << longer);
            const kx::Image image = longer > 0 ? loadImageThumbnail(file, longer) : loadImageFromFile(file);
            QImageReader reader(file);
            if (longer > 0)
                reader.setScaledSize(QSize(std::max(1, int(std::lround(801.0 * longer / 801))),
                                           std::max(1, int(std::lround(603.0 * longer / 801)))));
            const kx::Image expected(reader.read());
            ASSERT_FALSE(image.isNull());
            ASSERT_EQ(image.pixelSize(), expected.pixelSize());
            EXPECT_TRUE(image.qimage() == expected.qimage());
        }
    }
}

TEST_F(ImageLoading, SharedLoadsHandOutOneImageUntilTheFileChanges) {
    const QString file = path(QStringLiteral("frame.png"));
    QImage red(8, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(file));
    const kx::Image first = loadSharedImageFromFile(file);
    ASSERT_EQ(first.pixelSize(), kx::Size(8, 4));
    // Loaded again: the same pixels, not a second decode.
    EXPECT_EQ(loadSharedImageFromFile(file).qimage().cacheKey(), first.qimage().cacheKey());
    // Rewritten (another size and a later time): read afresh.
    QImage blue(6, 6, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    ASSERT_TRUE(blue.save(file));
    struct timespec later[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 10, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(file).constData(), later, 0), 0);
    const kx::Image second = loadSharedImageFromFile(file);
    EXPECT_EQ(second.pixelSize(), kx::Size(6, 6));
    EXPECT_EQ(pixelAt(second.qimage(), 0, 0), (Rgba{0, 0, 255, 255}));
    // Gone or never there: nothing, like loadImageFromFile.
    ASSERT_TRUE(QFile::remove(file));
    EXPECT_TRUE(loadSharedImageFromFile(file).isNull());
    EXPECT_TRUE(loadSharedImageFromFile({}).isNull());
}

TEST_F(ImageLoading, ThumbnailsShrinkToTheLongerSideAndNeverEnlarge) {
    ASSERT_TRUE(quadrants(800, 600).save(path("photo.jpg"), "JPEG", 90));
    struct Case {
        int maximum;
        QSize expected;
    } cases[] = {{200, {200, 150}}, {100, {100, 75}}, {799, {799, 599}}, {2000, {800, 600}}, {0, {800, 600}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maximum);
        const kx::Image thumb = loadImageThumbnail(path("photo.jpg"), c.maximum);
        ASSERT_FALSE(thumb.isNull());
        EXPECT_EQ(thumb.qimage().size(), c.expected);
        EXPECT_COLOR_NEAR(quadrantSamples(thumb.qimage())[0], (Rgba{255, 0, 0, 255}), 12);
    }
    if (haveTool("exiftool")) {
        run("exiftool", {"-q", "-n", "-overwrite_original", "-Orientation=6", path("photo.jpg")});
        EXPECT_EQ(loadImageThumbnail(path("photo.jpg"), 200).qimage().size(), QSize(150, 200));
    }
    // Vector files are not rasterised for thumbnails.
    writeFile(path("page.pdf"), onePagePDF(200, 100));
    EXPECT_TRUE(loadImageThumbnail(path("page.pdf"), 100).isNull());
}

TEST_F(ImageLoading, SixteenBitAndProfiledImagesComeOutEightBitSRGB) {
    QImage deep(4, 4, QImage::Format_RGBA64);
    deep.fill(QColor::fromRgba64(32896, 16448, 49344, 65535));  // 128, 64, 192 in 8 bits
    ASSERT_TRUE(deep.save(path("deep.png")));
    const kx::Image loaded = loadImageFromFile(path("deep.png"));
    ASSERT_FALSE(loaded.isNull());
    EXPECT_EQ(loaded.format(), kx::Image::Format::RGBA);
    EXPECT_COLOR_NEAR(pixelAt(loaded.qimage(), 1, 1), (Rgba{128, 64, 192, 255}), 1);

    // Adobe RGB (200, 50, 50): decoded with gamma 2.2, through XYZ into linear sRGB (0.809, 0.028, 0.028),
    // encoded as sRGB (232, 47, 47). Unconverted, the numbers would stay (200, 50, 50).
    QImage wide(4, 4, QImage::Format_RGB32);
    wide.fill(QColor(200, 50, 50));
    wide.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    ASSERT_TRUE(wide.save(path("wide.png")));
    ASSERT_TRUE(QImage(path("wide.png")).colorSpace().isValid()) << "the PNG writer dropped the profile";
    const Rgba converted = pixelAt(loadImageFromFile(path("wide.png")).qimage(), 0, 0);
    EXPECT_COLOR_NEAR(converted, (Rgba{232, 47, 47, 255}), 2);
}

TEST_F(ImageLoading, PDFPagesLoadAtTheirSizeOnTransparency) {
    KX_REQUIRE_TOOLS("pdfinfo");
    struct Case {
        const char* name;
        int w, h;
        QByteArray extra;
    } cases[] = {{"plain.pdf", 200, 100, {}}, {"rotated.pdf", 120, 90, "/Rotate 90"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(path(c.name), onePagePDF(c.w, c.h, c.extra));
        const QSizeF expected = pdfinfoPageSize(path(c.name));
        const kx::Image page = loadImageFromFile(path(c.name));
        ASSERT_FALSE(page.isNull());
        EXPECT_EQ(page.qimage().size(), expected.toSize());
        EXPECT_EQ(pdfFirstPageSize(path(c.name)), kx::Size(expected.width(), expected.height()));
    }
    const QImage plain = loadImageFromFile(path("plain.pdf")).qimage();
    EXPECT_COLOR_NEAR(pixelAt(plain, 10, 50), (Rgba{255, 0, 0, 255}), 1);
    EXPECT_EQ(pixelAt(plain, 190, 50).a, 0);

    const kx::Image small = rasterizePDFFileToSize(path("plain.pdf"), kx::Size(50, 24.5));
    EXPECT_EQ(small.qimage().size(), QSize(50, 25));
    EXPECT_TRUE(rasterizePDFFileToSize(path("plain.pdf"), kx::Size(1e9, 10)).isNull());

    // An AI file (PDF-compatible) is fitted into 2000 x 2000.
    writeFile(path("art.ai"), onePagePDF(200, 100));
    const kx::Image art = loadImageFromFile(path("art.ai"));
    EXPECT_EQ(art.qimage().size(), QSize(2000, 1000));
    EXPECT_EQ(rasterizeAIFile(path("art.ai"), 50, 50).qimage().size(), QSize(50, 25));
}

TEST_F(ImageLoading, HugePDFPagesAreDrawnScaledDown) {
    writeFile(path("poster.pdf"), onePagePDF(14400, 14400));
    const kx::Image page = rasterizePDFFile(path("poster.pdf"));
    ASSERT_FALSE(page.isNull());
    EXPECT_LE(qint64(page.width()) * page.height(), kMaximumPDFPixelCount);
    EXPECT_EQ(page.width(), page.height());
}

TEST_F(ImageLoading, EPSDrawingsFitTheirBoundingBox) {
    KX_REQUIRE_TOOLS("gs");
    // The whole-file loader fits into 2000 x 2000; smaller bounds keep the other cases quick.
    struct Case {
        const char* box;
        double bound;
        QSize expected;
    } cases[] = {{"0 0 200 100", 0, {2000, 1000}}, {"50 20 150 220", 300, {150, 300}}, {"0 0 10 10", 35.5, {36, 36}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        const QStringList n = QString(c.box).split(' ');
        // A red square over the left half of the box (in the box's own coordinates).
        const QString eps = QString("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: %1\n%%EndComments\n"
                                    "1 0 0 setrgbcolor %2 %3 %4 %5 rectfill\nshowpage\n%%EOF\n")
                                .arg(c.box, n[0], n[1])
                                .arg((n[2].toInt() - n[0].toInt()) / 2)
                                .arg(n[3].toInt() - n[1].toInt());
        writeFile(path("d.eps"), eps.toLatin1());
        EXPECT_EQ(epsBoundingBoxSize(path("d.eps")),
                  kx::Size(n[2].toInt() - n[0].toInt(), n[3].toInt() - n[1].toInt()));
        const kx::Image image =
            c.bound > 0 ? rasterizeEPSFile(path("d.eps"), c.bound, c.bound) : loadImageFromFile(path("d.eps"));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.qimage().size(), c.expected);
        const QImage& q = image.qimage();
        EXPECT_COLOR_NEAR(pixelAt(q, q.width() / 4, q.height() / 2), (Rgba{255, 0, 0, 255}), 1);
        EXPECT_EQ(pixelAt(q, 3 * q.width() / 4, q.height() / 2).a, 0);
    }
    // The box may be deferred to the trailer.
    writeFile(path("late.eps"), "%!PS-Adobe-3.0 EPSF-3.0\r%%BoundingBox: (atend)\r%%EndComments\r"
                                "0 0 0 setrgbcolor 0 0 10 10 rectfill\r%%Trailer\r%%BoundingBox: 0 0 40 10\r%%EOF\r");
    EXPECT_EQ(epsBoundingBoxSize(path("late.eps")), kx::Size(40, 10));
    EXPECT_EQ(rasterizeEPSFile(path("late.eps"), 400, 400).qimage().size(), QSize(400, 100));
    // The bytes read directly give the same box, and say where it came from.
    const EPSBoundingBox late = epsBoundingBoxOfData(
        "%!PS-Adobe-3.0 EPSF-3.0\r%%BoundingBox: (atend)\r%%Trailer\r%%BoundingBox: 3 4 43 14\r%%EOF\r");
    EXPECT_EQ(late.rect, kx::Rect(3, 4, 40, 10));
    EXPECT_TRUE(late.inTrailer);
    EXPECT_FALSE(epsBoundingBoxOfData("%!PS\n%%BoundingBox: 0 0 5 5\n").inTrailer);
}

TEST_F(ImageLoading, HostileEPSProgramsAreContained) {
    KX_REQUIRE_TOOLS("gs");
    const QString secret = path("secret.txt");
    writeFile(secret, "do not read");
    const QString victim = path("victim.txt");
    // Reading and writing files is refused in safe mode; printing does not corrupt the picture.
    const QString eps = QString("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 20 20\n"
                                "(%1) (w) file (owned) writestring\n"
                                "(%2) (r) file 100 string readstring pop print\n"
                                "0 1 0 setrgbcolor 0 0 20 20 rectfill showpage\n")
                            .arg(victim, secret);
    writeFile(path("evil.eps"), eps.toLatin1());
    const kx::Image image = rasterizeEPSFile(path("evil.eps"), 20, 20);
    EXPECT_TRUE(image.isNull());
    EXPECT_FALSE(QFile::exists(victim));
    // Refused by Ghostscript's safe mode itself, not stopped by our time limit: run with the same safety
    // options, the program ends on its own with an access error.
    // Safe mode lets a program write in the temporary folder: give it an empty one of its own, as the
    // rasteriser does.
    QTemporaryDir scratch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), scratch.path());
    QProcess gs;
    gs.setProcessEnvironment(environment);
    gs.setProcessChannelMode(QProcess::MergedChannels);
    gs.start(QStringLiteral("gs"), {QStringLiteral("-q"), QStringLiteral("-dSAFER"), QStringLiteral("-dBATCH"),
                                    QStringLiteral("-dNOPAUSE"), QStringLiteral("-sDEVICE=nullpage"), path("evil.eps")});
    ASSERT_TRUE(gs.waitForFinished(-1));
    EXPECT_EQ(gs.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(gs.exitCode(), 0);
    EXPECT_TRUE(gs.readAll().contains("invalidfileaccess"));
    EXPECT_FALSE(QFile::exists(victim));

    writeFile(path("chatty.eps"), "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 20 20\n"
                                  "(hello) print 0 0 1 setrgbcolor 0 0 20 20 rectfill showpage\n");
    const kx::Image chatty = rasterizeEPSFile(path("chatty.eps"), 20, 20);
    ASSERT_FALSE(chatty.isNull());
    EXPECT_COLOR_NEAR(pixelAt(chatty.qimage(), 10, 10), (Rgba{0, 0, 255, 255}), 1);
}

TEST_F(ImageLoading, SVGDrawingsAreFittedAndScaledUp) {
    struct Case {
        const char* size;
        QSize expected;
    } cases[] = {{"0 0 100 50", {2000, 1000}}, {"0 0 5000 2500", {2000, 1000}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const QStringList n = QString(c.size).split(' ');
        writeFile(path("d.svg"), QString("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"%1\">"
                                         "<rect x=\"0\" y=\"0\" width=\"%2\" height=\"%3\" fill=\"#0000FF\"/></svg>")
                                     .arg(c.size, n[2], n[3])
                                     .toUtf8());
        const kx::Image image = loadImageFromFile(path("d.svg"));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.qimage().size(), c.expected);
        EXPECT_COLOR_NEAR(pixelAt(image.qimage(), 1000, 500), (Rgba{0, 0, 255, 255}), 1);
    }
}

namespace {
quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}
QByteArray be32(quint32 v) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(v >> (24 - 8 * i));
    return bytes;
}
QByteArray pngChunk(const QByteArray& type, const QByteArray& data) {
    return be32(quint32(data.size())) + type + data + be32(crc32(type + data));
}
}  // namespace

TEST_F(ImageLoading, BrokenAndHostileFilesGiveNoImage) {
    kxtest::ExpectedQtWarning corruptJpeg(QStringLiteral("^Corrupt JPEG data: "));
    kxtest::ExpectedQtWarning noJpegImage(QStringLiteral("JPEG datastream contains no image$"));
    kxtest::ExpectedQtWarning brokenSvg(QStringLiteral("^parserError: Start tag expected"));
    // A PNG that announces 100000 x 100000 pixels in a few bytes.
    const QByteArray header = be32(100000) + be32(100000) + QByteArray("\x08\x06\x00\x00\x00", 5);
    writeFile(path("bomb.png"), QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) +
                                    pngChunk("IDAT", QByteArray(64, '\0')) + pngChunk("IEND", {}));
    QByteArray jpeg;
    {
        QImage small(64, 64, QImage::Format_RGB32);
        small.fill(Qt::gray);
        small.save(path("full.jpg"), "JPEG");
        QFile f(path("full.jpg"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        jpeg = f.readAll();
    }
    writeFile(path("truncated.jpg"), jpeg.left(40));
    const char* garbage = "this is not an image at all";
    for (const char* name : {"g.jpg", "g.png", "g.tif", "g.gif", "g.pdf", "g.ai", "g.eps", "g.svg", "g.jpng"})
        writeFile(path(name), garbage);
    writeFile(path("empty.png"), {});
    writeFile(path("noBox.eps"), "%!PS-Adobe-3.0 EPSF-3.0\nshowpage\n");
    writeFile(path("badBox.eps"), "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 10 10 5 nan\n");
    QDir(dir.path()).mkdir("folder.png");

    for (const char* name : {"bomb.png", "truncated.jpg", "g.jpg", "g.png", "g.tif", "g.gif", "g.pdf", "g.ai",
                             "g.eps", "g.jpng", "empty.png", "noBox.eps", "badBox.eps", "folder.png",
                             "missing.jpg"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(loadImageFromFile(path(name)).isNull());
        EXPECT_TRUE(loadImageThumbnail(path(name), 64).isNull());
    }
    EXPECT_TRUE(loadImageFromFile(QString()).isNull());
    EXPECT_TRUE(rasterizePDFFile(path("missing.pdf")).isNull());
    EXPECT_TRUE(rasterizeSVGFile(path("g.svg"), 100, 100).isNull());
    EXPECT_TRUE(rasterizeEPSFile(path("g.eps"), 100, 100).isNull());
    EXPECT_TRUE(rasterizeAIFile(path("g.ai"), 100, 100).isNull());
}

// A GIF's decoder makes an image of the header's logical screen, so the size checked before decoding must be
// that screen. Damaged GIFs for which the reader reports another size (11020 x 1 for a 33-byte file whose
// screen is 11020 x 10022; 61 x 65536 for a screen 3085 wide) are refused instead of being decoded to
// hundreds of megabytes; sound GIFs with a frame smaller than the screen still decode at the screen's size.
// Downloaded PNG data whose chunks claim more bytes than there are is refused before libpng reads it.
TEST_F(ImageLoading, GifsAreCheckedAtTheirLogicalScreenSize) {
    const auto gif = [](int screenWidth, int screenHeight, int frameWidth, int frameHeight) {
        const auto le16 = [](int v) { return QByteArray(1, char(v & 0xff)) + QByteArray(1, char(v >> 8 & 0xff)); };
        return QByteArray("GIF89a") + le16(screenWidth) + le16(screenHeight) + QByteArray("\x80\x00\x00", 3) +
               QByteArray("\x00\x00\x00\xff\xff\xff", 6) + QByteArray(",") + le16(0) + le16(0) + le16(frameWidth) +
               le16(frameHeight) + QByteArray(1, '\0') + QByteArray("\x02\x02\x44\x01\x00;", 6);
    };
    const QByteArray damaged = QByteArray::fromHex("4749463839610c2b2627f0000005ff000000012c000000000c40010040058f003b");
    ASSERT_EQ(damaged.size(), 33);
    const QByteArray wideScreen =
        QByteArray::fromHex("4749463839610d0c000000f7002c3d0001000000ffffffffffffffffffffffffffffffffffffffffffffff3b");
    const QByteArray header = QByteArray("\0\0\0\x10\0\0\0\x09\x08\x02\0\0\0", 13);
    QByteArray longChunk = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray("\0\0\0\x0dIHDR", 8) + header +
                           QByteArray(4, '\0') + QByteArray("\x7f\0\0\0tEXt", 8) + QByteArray(64, 'a');
    struct Case {
        const char* name;
        QByteArray data;
        QSize expected;  // invalid: refused
    };
    const Case cases[] = {
        {"damaged", damaged, QSize()},
        {"damaged, wide screen", wideScreen, QSize()},
        {"PNG chunk longer than the data", longChunk, QSize()},
        // An MNG stream (a format the application does not read) whose decoder loops for seconds.
        {"MNG", QByteArray::fromBase64(
                    "ik1ORw0KGgoAAAANSUhEUgAAAPUAEAAJEAIAAADk2OcmAAAABGdBTUEAALGPC/xhBQAAACBjSFJNAAB6JgAAgIQAAPoAAACA6AAA"
                    "dTAAAOpgAAA6mAAAF3CculE8AAAABmJLR0T///////8JWPfcAAAAB3RJTUUH6gwLAwIj++1V7QAAACxJREFUKM9jZGBoaGCgIWBR"
                    "YBD4MGrBwFog/1/g/dD2Aa0tYPz///9/MzUrMDA6MDBSpXccAAAAAElFTkSuQmCC"),
         QSize()},
        {"small frame", gif(50, 40, 1, 1), QSize(50, 40)},
        {"whole frame", gif(30, 20, 30, 20), QSize(30, 20)},
        {"screen left to the frame", gif(0, 0, 30, 20), QSize(30, 20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const int maximum : {0, 64}) {
            const kx::Image image = decodeBitmapData(c.data, maximum);
            EXPECT_EQ(image.isNull() ? QSize() : QSize(image.width(), image.height()), c.expected);
        }
        writeFile(path("t.gif"), c.data);
        EXPECT_EQ(loadImageFromFile(path("t.gif")).isNull(), !c.expected.isValid());
    }
}


// Every route refuses what is not a regular file (a FIFO would block the loader for ever, a device would
// never end) and what is larger than it reads.
TEST_F(ImageLoading, OnlyRegularFilesOfBoundedSizeAreRead) {
    for (const char* name : {"pipe.svg", "pipe.eps", "pipe.jpg", "pipe.pdf", "pipe.jpng"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(::mkfifo(QFile::encodeName(path(name)).constData(), 0600), 0);
        EXPECT_FALSE(kxtest::loaderOpensFifo(path(name), [&] {
            EXPECT_TRUE(loadImageFromFile(path(name)).isNull());
            EXPECT_TRUE(loadImageThumbnail(path(name), 64).isNull());
        }));
    }
    for (const char* name : {"zero.svg", "zero.eps"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(QFile::link("/dev/zero", path(name)));
        EXPECT_TRUE(loadImageFromFile(path(name)).isNull());
    }
    // A well-formed drawing padded past the limit is not read at all.
    {
        QFile f(path("huge.svg"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"><rect width=\"10\" "
                "height=\"10\"/>");
        const QByteArray spaces(1 << 20, ' ');
        while (f.size() <= KXSVGParser::maximumFileBytes)
            f.write(spaces);
        f.write("</svg>");
    }
    KXSVGParser parser = KXSVGParser::initWithSVGDocument(path("huge.svg"));
    EXPECT_FALSE(parser.parseSVGDocument());
    EXPECT_TRUE(parser.paths().empty());
    EXPECT_TRUE(loadImageFromFile(path("huge.svg")).isNull());
}

TEST_F(ImageLoading, ReflectionMaskIsKeptOnceFound) {
    kx::Bundle::setMainResourcePath(dir.path());
    EXPECT_TRUE(reflectionMaskImage().isNull());
    const QString resources = QStringLiteral(KX_SOURCE_DIR "/resources");
    kx::Bundle::setMainResourcePath(resources);
    const kx::Image mask = reflectionMaskImage();
    ASSERT_FALSE(mask.isNull());
    EXPECT_TRUE(mask.isGray());
    const QImage& q = mask.qimage();
    EXPECT_EQ(pixelAt(q, 0, 0).r, 255);               // dense next to the object
    EXPECT_EQ(pixelAt(q, 0, q.height() - 1).r, 0);    // gone at the far end
    EXPECT_GT(pixelAt(q, 0, q.height() / 4).r, pixelAt(q, 0, q.height() / 2).r);
    kx::Bundle::setMainResourcePath(dir.path());
    EXPECT_EQ(reflectionMaskImage().constBits(), mask.constBits());
    kx::Bundle::setMainResourcePath({});
}
