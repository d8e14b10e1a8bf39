#include "controls/control_images.h"

#include "platform/foundation/bundle.h"

#include <QHash>

namespace kx::controls {

QPixmap controlImage(const QString& name) {
    // Pixmaps belong to the GUI thread, and so does this cache.
    static QHash<QString, QPixmap> cache;
    const auto found = cache.constFind(name);
    if (found != cache.constEnd())
        return *found;
    QPixmap pixmap;
    const QString path = kx::Bundle::main().pathForResource(name, QStringLiteral("png"));
    if (!path.isEmpty())
        pixmap.load(path, "PNG");
    // Only images found are kept: one missing now is looked for again next time.
    if (!pixmap.isNull())
        cache.insert(name, pixmap);
    return pixmap;
}

}  // namespace kx::controls
