// Feeds arbitrary bytes to the page-size catalogue as its custom sizes file (first byte even) or as the
// older XML list that start-up converts (first byte odd), then uses every size it kept: a damaged or
// hostile file must give sizes whose conversions are finite numbers, or no sizes at all.
#include "model/page_size_manager.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void requireFinite(kx::Size size) {
    if (!std::isfinite(size.width) || !std::isfinite(size.height))
        std::abort();
}

void exercise(const KXPageSizeManager& manager) {
    const KXSize reference(210, 297, KXSizeUnitMillimeter, 300);
    for (std::int64_t k = 0; k < manager.customSizeCount(); ++k) {
        const auto size = manager.customSizeAtIndex(k);
        requireFinite(size->pixelSize());
        for (std::int64_t unit = -1; unit <= 4; ++unit)
            requireFinite(size->sizeWithUnit(unit));
        size->isEqualToPagesize(&reference, true);
        const auto copy = manager.sizeAtIndex(manager.predefineSizeCount() + 1 + k);
        if (!copy)
            std::abort();
        copy->setUnit(KXSizeUnitCentimeter);
        requireFinite(copy->pixelSize());
    }
    manager.indexOfsize(&reference, true);
    // A file the catalogue calls damaged gives no sizes at all.
    if (manager.customSizesFileDamaged() && manager.customSizeCount() != 0)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(quiet), registerPageSizeClasses(), true);
    (void)ready;
    static QTemporaryDir dir;
    if (size == 0 || !dir.isValid())
        return 0;
    const QString input = dir.filePath(QStringLiteral("input"));
    const QString sizes = dir.filePath(QStringLiteral("sizes"));
    QFile::remove(sizes);
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data) + 1, qint64(size - 1));
    }
    if (data[0] % 2 == 0) {
        exercise(KXPageSizeManager(input));
    } else if (convertLegacyCustomSizes(input, sizes)) {
        if (QFile::exists(input))
            std::abort();  // converted, so the old list must be gone
        exercise(KXPageSizeManager(sizes));
    } else if (!QFile::exists(input)) {
        std::abort();  // not converted, so the old list must stay
    }
    return 0;
}
