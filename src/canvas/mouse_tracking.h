// The arithmetic of the canvas view's mouse road, kept apart from the widget so that each rule can be tested
// alone: handle numbers of mirrored boxes, the angle of the mouse about an object's centre and its snap to
// right angles, the correction that keeps a snapped resize from overshooting the mouse, the rubber band, the
// modifiers that suspend snapping and the links a click may open.
#pragma once

#include "model/tracker.h"
#include "platform/foundation/geometry.h"

#include <QUrl>
#include <Qt>

#include <cstdint>

// The handle of a box mirrored by (flipX, flipY) (each +1 or -1) that lies where `node` is drawn: a horizontal
// mirror swaps 0 and 2, 3 and 7, 4 and 6; a vertical one then swaps 0 and 6, 1 and 5, 2 and 4. The rotate
// handle and "none" stay.
KXTrackerNode trackerNodeFlip(KXTrackerNode node, std::int32_t flipX, std::int32_t flipY);

// The direction of a point seen from a centre, in radians from the upward axis towards positive x, within
// [0, 2π): straight right is π/2, straight left 3π/2. The ratio is taken in single precision. A precision
// above 0 rounds a result within it of 0, π/2, π, 3π/2 or 2π to that right angle (2π to 0).
double angleOfPoint(const kx::Point& point, const kx::Point& center, double precision);

// A rotation target pulled onto the nearest right angle (0, π/2, π, 3π/2; 2π counts as 0) when it lies within
// 0.05 of it; `snapped` tells whether it did.
double snapAngleToRightAngle(double angle, bool* snapped);

// The snap correction of a resize by one handle. (snapX, snapY) is the offset that would put the object's
// moving edges on a guide; (dragX, dragY) the mouse drag of this step. A corner keeps only the smaller snap
// component (the x one on a tie), a top or bottom middle only y, a side middle only x. A component is applied
// when the drag along that axis is larger than it, else the drag along that axis is undone instead.
kx::Point resizeSnapCorrection(KXTrackerNode node, double dragX, double dragY, double snapX, double snapY);

// The rectangle spanned by two points: origin at the smaller coordinates, size the differences.
kx::Rect marqueeRectWithPoints(const kx::Point& a, const kx::Point& b);

// Whether the modifiers play the Option role of the mouse road (toggle on click, no snapping while dragging):
// Alt, or Ctrl for desktops whose window manager keeps Alt-drag for moving windows.
bool isOptionModifier(Qt::KeyboardModifiers modifiers);

// Whether a link found in a document may be handed to the desktop: web pages (http, https) and mail
// addresses (mailto) only, never files, scripts or other programs' schemes.
bool isOpenableLink(const QUrl& url);
