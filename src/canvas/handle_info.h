// The handle info a shape answers for the point under the mouse ("element": which handle or path element,
// "changeType": which part of a pen-path node), and the test for a pen-drawn path, shared by the canvas
// view's node drags, nudges and deletes.
#pragma once

#include "platform/foundation/value.h"
#include "shapes/custom_shape.h"

#include <QString>

#include <cstdint>

inline const QString KXHandleElementKey = QStringLiteral("element");
inline const QString KXHandleChangeTypeKey = QStringLiteral("changeType");

// An integer entry of the handle info; 0 when it is missing.
inline std::int32_t handleInfoInteger(const kx::ValueDictionary& info, const QString& key) {
    const auto it = info.find(key);
    return it == info.end() ? 0 : std::int32_t(it->second.toInteger());
}

// The graph as a pen-drawn path (a pen shape of shape type 0), null for anything else.
inline KXCustomShape* penPathShape(KXGraph* graph) {
    auto* path = dynamic_cast<KXCustomShape*>(graph);
    return path && path->shapeType() == KXShapeTypeCustom ? path : nullptr;
}
