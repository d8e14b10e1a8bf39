#include "text/column_fit.h"

#include "model/column_info.h"

#include <cmath>

namespace {

// Stored fractions carry single precision, so columns that fill the area exactly may add up a little above 1;
// such a sum is not a fault.
constexpr double kRoundingTolerance = 1e-4;

double usableFraction(double value) { return std::isfinite(value) && value > 0 ? value : 0.0; }

}  // namespace

std::vector<std::shared_ptr<KXColumnInfo>> columnInfosFittingTheArea(
    const std::vector<std::shared_ptr<KXColumnInfo>>& infos) {
    double total = 0;
    bool damaged = false;
    for (const std::shared_ptr<KXColumnInfo>& info : infos) {
        const double width = usableFraction(info->width());
        const double gutter = usableFraction(info->gutter());
        damaged = damaged || width != info->width() || gutter != info->gutter();
        total += width + gutter;
    }
    const double scale = total > 1 + kRoundingTolerance ? 1 / total : 1.0;
    if (!damaged && scale == 1.0)
        return infos;
    std::vector<std::shared_ptr<KXColumnInfo>> fitted;
    fitted.reserve(infos.size());
    for (const std::shared_ptr<KXColumnInfo>& info : infos)
        fitted.push_back(KXColumnInfo::columnInfoWithWidth(usableFraction(info->width()) * scale,
                                                           usableFraction(info->gutter()) * scale));
    return fitted;
}
