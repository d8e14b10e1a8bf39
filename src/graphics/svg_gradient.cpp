#include "graphics/svg_gradient.h"

QString KXSVGGradient::description() const {
    return QStringLiteral("gradient \"%1\" with %2 stops").arg(m_identifier).arg(m_colorStops.size());
}

QString KXSVGLinearGradient::description() const {
    return QStringLiteral("linear gradient \"%1\" from %2 to %3 with %4 stops")
        .arg(identifier(), kx::stringFromPoint(m_startPosition), kx::stringFromPoint(m_endPosition))
        .arg(colorStops().size());
}

QString KXSVGRadialGradient::description() const {
    return QStringLiteral("radial gradient \"%1\" at %2 radius %3 with %4 stops")
        .arg(identifier(), kx::stringFromPoint(m_position))
        .arg(m_radius)
        .arg(colorStops().size());
}
