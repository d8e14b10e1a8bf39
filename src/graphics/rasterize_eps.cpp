// EPS files rendered by Ghostscript in a child process: PostScript is a program, so it never runs inside
// ours. The child runs in safe mode (-dSAFER: no file access beyond its input, its output and a private
// temporary folder), under an
// address-space and CPU limit, and is killed when it outlives kEPSTimeLimitMs or writes more than
// kMaximumOutputBytes. What PostScript prints goes to the child's stderr, which is discarded, so it cannot
// mix with the PNG that the pngalpha device writes to stdout.
#include "graphics/image_loading.h"

#include "graphics/bitmap_contexts.h"
#include "graphics/geometry_utilities.h"
#include "platform/foundation/bounded_read.h"

#include <QElapsedTimer>
#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 kHeaderScanBytes = 256 * 1024;
constexpr qint64 kTrailerScanBytes = 64 * 1024;
constexpr qint64 kMaximumOutputBytes = 64 * 1024 * 1024;
// The largest EPS file handed to Ghostscript, as for the other image files.
constexpr qint64 kMaximumInputBytes = qint64(1) << 30;
constexpr rlim_t kChildAddressSpace = rlim_t(2) << 30;

// The PostScript part of the file: all of it, or the section a DOS EPS binary header points at.
struct PostScriptSection {
    qint64 offset = 0;
    qint64 length = 0;
};

PostScriptSection postScriptSection(QIODevice& file) {
    const QByteArray head = file.peek(12);
    PostScriptSection section{0, file.size()};
    if (head.size() == 12 && quint8(head[0]) == 0xC5 && quint8(head[1]) == 0xD0 && quint8(head[2]) == 0xD3 &&
        quint8(head[3]) == 0xC6) {
        auto le32 = [&head](int at) {
            return qint64(quint8(head[at])) | qint64(quint8(head[at + 1])) << 8 |
                   qint64(quint8(head[at + 2])) << 16 | qint64(quint8(head[at + 3])) << 24;
        };
        section.offset = le32(4);
        section.length = le32(8);
        if (section.offset > file.size() || section.length > file.size() - section.offset)
            return {0, 0};
    }
    return section;
}

// The %%BoundingBox comment in `text` (lower-left corner and size, in points): in a header the first one,
// in a trailer the last one; an empty rectangle when it is missing or malformed. `atEnd` tells whether the
// header's comment said "(atend)", which puts the numbers in the trailer.
kx::Rect boundingBoxIn(const QByteArray& text, bool trailer, bool& atEnd) {
    static const QRegularExpression comment(
        QStringLiteral("^%%BoundingBox:[ \\t]*(\\(atend\\)|([-+0-9.eE]+)[ \\t]+([-+0-9.eE]+)[ \\t]+([-+0-9.eE]+)"
                       "[ \\t]+([-+0-9.eE]+))"),
        QRegularExpression::MultilineOption);
    // Lines may end in CR alone (classic Mac files): make every line end visible to the pattern.
    QString lines = QString::fromLatin1(text);
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    atEnd = false;
    QRegularExpressionMatch chosen;
    auto it = comment.globalMatch(lines);
    while (it.hasNext()) {
        chosen = it.next();
        if (!trailer)
            break;
    }
    if (!chosen.hasMatch())
        return {};
    if (chosen.captured(1) == QLatin1String("(atend)")) {
        atEnd = !trailer;
        return {};
    }
    bool ok[4];
    const double llx = chosen.captured(2).toDouble(&ok[0]), lly = chosen.captured(3).toDouble(&ok[1]);
    const double urx = chosen.captured(4).toDouble(&ok[2]), ury = chosen.captured(5).toDouble(&ok[3]);
    if (!(ok[0] && ok[1] && ok[2] && ok[3] && urx > llx && ury > lly && std::isfinite(urx - llx) &&
          std::isfinite(ury - lly)))
        return {};
    return kx::Rect(llx, lly, urx - llx, ury - lly);
}

using BoundingBox = EPSBoundingBox;

BoundingBox readBoundingBox(QIODevice& file) {
    const PostScriptSection section = postScriptSection(file);
    if (section.length <= 0 || !file.seek(section.offset))
        return {};
    bool atEnd = false;
    const kx::Rect header = boundingBoxIn(file.read(std::min(section.length, kHeaderScanBytes)), false, atEnd);
    if (header.size.width > 0 || !atEnd)
        return {header, false};
    const qint64 tail = std::min(section.length, kTrailerScanBytes);
    if (!file.seek(section.offset + section.length - tail))
        return {};
    return {boundingBoxIn(file.read(tail), true, atEnd), true};
}

BoundingBox readBoundingBox(const QString& path) {
    // Only a regular file of bounded size goes on: opening a FIFO would block, and Ghostscript would
    // read a device without end.
    if (!kx::isRegularFileWithin(path, kMaximumInputBytes))
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return readBoundingBox(file);
}

// Runs Ghostscript on the file at the given resolution; the PNG it writes, or nothing.
QByteArray runGhostscript(const QString& path, const BoundingBox& box, double xres, double yres) {
    const QString gs = QStandardPaths::findExecutable(QStringLiteral("gs"));
    if (gs.isEmpty())
        return {};
    QStringList arguments = {
        QStringLiteral("-q"), QStringLiteral("-dSAFER"), QStringLiteral("-dBATCH"), QStringLiteral("-dNOPAUSE"),
        QStringLiteral("-sDEVICE=pngalpha"), QStringLiteral("-dTextAlphaBits=4"),
        QStringLiteral("-dGraphicsAlphaBits=4"),
        QStringLiteral("-r%1x%2").arg(xres, 0, 'f', 4).arg(yres, 0, 'f', 4),
        QStringLiteral("-sstdout=%stderr"), QStringLiteral("-sOutputFile=-")};
    if (!box.inTrailer) {
        arguments << QStringLiteral("-dEPSCrop");
    } else {
        // Ghostscript crops only to a box in the header; give it the page and the offset of the trailer's box.
        const kx::Rect& r = box.rect;
        arguments << QStringLiteral("-dDEVICEWIDTHPOINTS=%1").arg(r.size.width, 0, 'f', 4)
                  << QStringLiteral("-dDEVICEHEIGHTPOINTS=%1").arg(r.size.height, 0, 'f', 4)
                  << QStringLiteral("-dFIXEDMEDIA") << QStringLiteral("-c")
                  << QStringLiteral("<< /Install { %1 %2 translate } >> setpagedevice")
                         .arg(-r.origin.x, 0, 'f', 4)
                         .arg(-r.origin.y, 0, 'f', 4);
    }
    arguments << QStringLiteral("-f") << path;
    // Safe mode still lets the program write in the temporary folder: give it one of its own, emptied
    // afterwards, so it cannot reach the user's files there. Options from the environment are dropped.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return {};
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"TMPDIR", "TEMP", "TMP"})
        environment.insert(QLatin1String(name), scratch.path());
    for (const char* name : {"GS_OPTIONS", "GS_LIB", "GS_FONTPATH"})
        environment.remove(QLatin1String(name));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setChildProcessModifier([] {
        const rlimit memory{kChildAddressSpace, kChildAddressSpace};
        setrlimit(RLIMIT_AS, &memory);
        const rlim_t seconds = rlim_t(kEPSTimeLimitMs / 1000 + 1);
        const rlimit cpu{seconds, seconds};
        setrlimit(RLIMIT_CPU, &cpu);
    });
    process.start(gs, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(5000))
        return {};
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    bool failed = false;
    while (process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(50);
        output += process.readAllStandardOutput();
        if (output.size() > kMaximumOutputBytes || clock.hasExpired(kEPSTimeLimitMs)) {
            failed = true;
            process.kill();
            process.waitForFinished(5000);
            break;
        }
    }
    output += process.readAllStandardOutput();
    if (failed || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 ||
        output.size() > kMaximumOutputBytes)
        return {};
    return output;
}

// The PNG's picture, stretched over the context (of the fitted size) when its size differs.
kx::Image imageFromPNG(const QByteArray& png, const kx::Size& fitted, BitmapContextRef& context) {
    // The program may change its page size; decode only a picture of about the size asked for.
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    const QSize announced = reader.size();
    if (!announced.isValid() || announced.width() > 2 * context->width() + 2 ||
        announced.height() > 2 * context->height() + 2)
        return {};
    const QImage drawn = reader.read();
    if (drawn.isNull())
        return {};
    if (drawn.size() == QSize(context->width(), context->height()))
        return kx::Image(drawn);
    context->drawImage(kx::Rect(kx::Point(), fitted), kx::Image(drawn));
    kx::Image image = context->makeImage();
    releaseBitmapContext(context);
    return image;
}

}  // namespace

kx::Size epsBoundingBoxSize(const QString& path) { return readBoundingBox(path).rect.size; }

EPSBoundingBox epsBoundingBoxOfData(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    return readBoundingBox(buffer);
}

kx::Image rasterizeEPSFile(const QString& path, double maxWidth, double maxHeight) {
    const BoundingBox box = readBoundingBox(path);
    const kx::Size natural = box.rect.size;
    if (!(natural.width > 0) || !(natural.height > 0))
        return {};
    const kx::Size fitted = aspectFitSize(natural, kx::Size(maxWidth, maxHeight));
    // No child process for a size that no image can have.
    BitmapContextRef context = createBitmapContext(fitted.width, fitted.height);
    if (!context)
        return {};
    const QByteArray png = runGhostscript(path, box, 72.0 * fitted.width / natural.width,
                                          72.0 * fitted.height / natural.height);
    return imageFromPNG(png, fitted, context);
}

kx::Image epsImageFromPNG(const QByteArray& png, const kx::Size& fitted) {
    BitmapContextRef context = createBitmapContext(fitted.width, fitted.height);
    if (!context)
        return {};
    return imageFromPNG(png, fitted, context);
}
