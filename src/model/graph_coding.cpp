// Archiving a graph. The keys (their spelling included) are those of the project files.
#include "model/background.h"
#include "model/graph.h"
#include "model/shadow.h"
#include "model/stroke.h"
#include "platform/foundation/archive_copy.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <cmath>

namespace {
// A flip factor is +1 or -1; anything else read from a file counts by its sign.
std::int32_t flipFactor(std::int32_t stored) {
    return stored < 0 ? -1 : 1;
}

double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}
}  // namespace

void KXGraph::encodeWithCoder(kx::KeyedArchiver& coder) const {
    coder.encodeInt32(m_flipX, QStringLiteral("filpX"));
    coder.encodeInt32(m_flipY, QStringLiteral("filpY"));
    coder.encodeFloat(float(m_opacity), QStringLiteral("layerOpacity"));
    coder.encodeFloat(float(m_angle), QStringLiteral("objectAngle"));
    coder.encodeBool(m_textWrapEnabled, QStringLiteral("textWrapEnable"));
    coder.encodeInteger(m_textWrapSpace, QStringLiteral("textWrapSpace"));
    coder.encodeFloat(float(m_aspectRatio), QStringLiteral("aspectRatio"));
    coder.encodeInteger(m_wrapType, QStringLiteral("wrapType"));
    coder.encodeRect(m_relativeRect, QStringLiteral("outputRect"));
    coder.encodeBool(m_fillEnabled, QStringLiteral("isFillEnable"));
    coder.encodeObject(kx::Value(m_background), QStringLiteral("background"));
    coder.encodeBool(m_strokeEnabled, QStringLiteral("isStrokeEnable"));
    coder.encodeObject(kx::Value(m_stroke), QStringLiteral("stroke"));
    coder.encodeBool(m_shadowEnabled, QStringLiteral("isShadowEnbale"));
    coder.encodeObject(kx::Value(m_shadow), QStringLiteral("shadow"));
    coder.encodeBool(m_locked, QStringLiteral("lock"));
    coder.encodeBool(m_reflectionEnabled, QStringLiteral("reflectionEnabled"));
    coder.encodeFloat(float(m_reflectionAlpha), QStringLiteral("reflectionAlpha"));
}

void KXGraph::initWithCoder(kx::KeyedUnarchiver& coder) {
    // Stored directly: no announcement and no text-wrap refresh while the graph is read.
    m_flipX = flipFactor(coder.decodeInt32(QStringLiteral("filpX")));
    m_flipY = flipFactor(coder.decodeInt32(QStringLiteral("filpY")));
    m_opacity = finiteOr(coder.decodeFloat(QStringLiteral("layerOpacity")), 1.0);
    m_angle = finiteOr(coder.decodeFloat(QStringLiteral("objectAngle")), 0.0);
    m_textWrapEnabled = coder.decodeBool(QStringLiteral("textWrapEnable"));
    m_textWrapSpace = coder.decodeInteger(QStringLiteral("textWrapSpace"));
    const std::int64_t wrapType = coder.decodeInteger(QStringLiteral("wrapType"));
    m_wrapType = wrapType >= KXWrapTypeLeft && wrapType <= KXWrapTypeRound ? std::int32_t(wrapType) : KXWrapTypeRound;

    setRelativeRect(coder.decodeRect(QStringLiteral("outputRect")));
    setFillEnabled(coder.decodeBool(QStringLiteral("isFillEnable")));
    m_aspectRatio = finiteOr(coder.decodeFloat(QStringLiteral("aspectRatio")), 0.0);
    // The fill, stroke and shadow made by the constructor stay and take the stored settings; a file without
    // one keeps the default object rather than leaving the graph without it.
    if (auto background = coder.decodeObjectOfClass<KXBackground>(QStringLiteral("background")))
        setBackground(std::move(background));
    if (m_background)
        m_background->setOwner(this);
    setStrokeEnabled(coder.decodeBool(QStringLiteral("isStrokeEnable")));
    if (auto stroke = coder.decodeObjectOfClass<KXStroke>(QStringLiteral("stroke")))
        setStroke(std::move(stroke));
    setShadowEnabled(coder.decodeBool(QStringLiteral("isShadowEnbale")));
    if (auto shadow = coder.decodeObjectOfClass<KXShadow>(QStringLiteral("shadow")))
        setShadow(std::move(shadow));
    setLocked(coder.decodeBool(QStringLiteral("lock")));
    setReflectionEnabled(coder.decodeBool(QStringLiteral("reflectionEnabled")));
    setReflectionAlpha(finiteOr(coder.decodeFloat(QStringLiteral("reflectionAlpha")), 0.5));
    if (!m_reflectionEnabled)
        setReflectionAlpha(0.5);
}

std::shared_ptr<KXGraph> KXGraph::copy() const {
    return kx::archiveCopy(*this);
}
