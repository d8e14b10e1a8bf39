// Readers of the attributes of one SVG element. Attributes are kept by their qualified name as
// written in the file; every reader takes the attribute's name and copes with a missing attribute.
// Numbers are read like the leading number of the text: "50%" reads 50, "10px" reads 10, and text
// without a leading number reads 0.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/bezier_path.h"
#include "platform/gfx/color.h"

#include <QHash>
#include <QString>

#include <optional>
#include <vector>

using SVGAttributes = QHash<QString, QString>;

// The attribute's text, or nothing when the element has no such attribute.
std::optional<QString> stringForKey(const SVGAttributes& attributes, const QString& key);

// The leading number of the text in single precision; 0 when missing.
float floatForKey(const SVGAttributes& attributes, const QString& key);
// The leading number of the text; nothing when missing.
std::optional<float> opacityForKey(const SVGAttributes& attributes, const QString& key);
// colorFromHexString of the text; opaque black when missing.
kx::Color fillColorForKey(const SVGAttributes& attributes, const QString& key);
// colorFromHexString of the text; no colour when missing.
kx::Color strokeColorForKey(const SVGAttributes& attributes, const QString& key);
// The leading number of the text; 1 when missing.
float strokeWeightForKey(const SVGAttributes& attributes, const QString& key);
// The text split at "," with each piece's leading number; nothing when missing.
std::optional<std::vector<float>> dashArrayForKey(const SVGAttributes& attributes, const QString& key);
// The leading number of the text; 10 when missing.
float miterLimitForKey(const SVGAttributes& attributes, const QString& key);
// "round" and "square"; anything else (and a missing attribute) is the butt cap.
kx::BezierPath::LineCapStyle lineCapForKey(const SVGAttributes& attributes, const QString& key);
// "round" and "bevel"; anything else (and a missing attribute) is the miter join.
kx::BezierPath::LineJoinStyle lineJoinForKey(const SVGAttributes& attributes, const QString& key);
// The form "matrix(a b c d tx ty)" as the affine matrix [a b c d tx ty]. Only the matrix form is read;
// numbers may be separated by white space or a comma. Nothing when missing or when fewer than six
// numbers can be read.
std::optional<kx::AffineTransform> transformForKey(const SVGAttributes& attributes, const QString& key);
