#include "model/column_info.h"

#include "platform/foundation/archive_copy.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
const QString kWidthKey = QStringLiteral("width");
const QString kGutterKey = QStringLiteral("gutter");

// The number at single precision as archives hold it; numbers beyond the float range are held at its limit,
// and one that is not a number is written as 0.
float archivedFraction(double value) {
    constexpr double limit = std::numeric_limits<float>::max();
    return std::isnan(value) ? 0.0f : float(std::clamp(value, -limit, limit));
}

// Column infos copy through a registry of their own, so that a copy works before start-up registration.
const kx::ClassRegistry& columnInfoRegistry() {
    static kx::ClassRegistry* const registry = [] {
        auto* r = new kx::ClassRegistry;
        r->registerClass<KXColumnInfo>(QStringLiteral("KXColumnInfo"));
        return r;
    }();
    return *registry;
}
}  // namespace

std::shared_ptr<KXColumnInfo> KXColumnInfo::columnInfoWithWidth(double width, double gutter) {
    return std::make_shared<KXColumnInfo>(width, gutter);
}

std::shared_ptr<KXColumnInfo> KXColumnInfo::copy() const {
    return kx::archiveCopy(*this, nullptr, columnInfoRegistry());
}

void KXColumnInfo::encodeWithCoder(kx::KeyedArchiver& coder) const {
    coder.encodeFloat(archivedFraction(m_width), kWidthKey);
    coder.encodeFloat(archivedFraction(m_gutter), kGutterKey);
}

void KXColumnInfo::initWithCoder(kx::KeyedUnarchiver& coder) {
    // Column widths scale the text layout; a value that is not a finite number would poison it, so it
    // reads as 0 (the text field then fits its columns into its area) rather than losing the project.
    const double width = coder.decodeFloat(kWidthKey);
    const double gutter = coder.decodeFloat(kGutterKey);
    m_width = std::isfinite(width) ? width : 0;
    m_gutter = std::isfinite(gutter) ? gutter : 0;
}
