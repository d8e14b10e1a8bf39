// Reader of JPNG images: a JPEG stream with the colour, a grey PNG stream with the opacity and a
// 16-byte little-endian footer (JPEG length, PNG length, footer size, major and minor version, tag
// "GNPJ" or "GEPJ" read from the end). The program only reads JPNG; it never writes it.
#pragma once

#include "platform/gfx/image.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <mutex>

namespace kx {

// The image of JPNG data with its transparency, or a null image when the data is not JPNG, has a
// major version of 2 or more (logged), has footer lengths that are zero or reach past the data, or
// holds a stream that does not decode. `forcedBitmap` bakes the opacity into a fresh bitmap; both modes
// give the same pixels.
Image loadJPNGImageFromData(const QByteArray& data, bool forcedBitmap);
// The same on a file's whole contents; null when the file cannot be read.
Image loadJPNGImageFromFile(const QString& path, bool forcedBitmap);

// Backing scale factor of the main screen (1 without a screen), unless overridden for tests.
double mainScreenBackingScale();
// Overrides the screen scale that the "@2x" rule sees; 0 ends the override.
void setMainScreenBackingScaleOverride(double scale);

// Picks the file to load for `path`: on a 2x screen the variant named base + "@2x." + extension when it
// exists, else base + "." + extension when it exists, else the base alone (no extension means "png").
// `scale` becomes 2 when the chosen file's name carries "@2x", else 1.
void resolveScaledImagePath(QString& path, double& scale);

// The process-wide cache of images made by name from JPNG resources, keyed by the name as written.
class JPNGImageCache {
public:
    static JPNGImageCache& shared();

    // The cached image of `name`, or the image decoded from `resolvedPath` at `scale`, stored under `name`.
    // Concurrent callers with one name decode it once. A failed decode returns null and caches nothing.
    Image imageNamed(const QString& name, const QString& resourceFolder);

    bool contains(const QString& name) const;
    int count() const;
    void clear();

private:
    JPNGImageCache() = default;
    // A standard mutex, which ThreadSanitizer sees (Qt's recursive mutex locks inside the uninstrumented Qt).
    mutable std::recursive_mutex m_lock;
    QHash<QString, Image> m_images;
};

}  // namespace kx
