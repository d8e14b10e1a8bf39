// Conversions between our geometry types and Qt's. Both transforms use row vectors with the same
// six numbers, so the conversion copies them in order.
#pragma once

#include "platform/foundation/geometry.h"

#include <QTransform>

namespace kx {

inline QTransform toQTransform(const AffineTransform& t) { return QTransform(t.a, t.b, t.c, t.d, t.tx, t.ty); }

inline AffineTransform fromQTransform(const QTransform& t) {
    return AffineTransform(t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy());
}

}  // namespace kx
