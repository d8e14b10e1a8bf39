#include "canvas/mouse_tracking.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double kPi = std::numbers::pi;
// How near a rotation must come to a right angle to land on it.
constexpr double kRightAngleBand = 0.05;
}  // namespace

KXTrackerNode trackerNodeFlip(KXTrackerNode node, std::int32_t flipX, std::int32_t flipY) {
    if (node > 7)
        return node;
    if (flipX == -1) {
        switch (node) {
        case 0: node = 2; break;
        case 2: node = 0; break;
        case 3: node = 7; break;
        case 7: node = 3; break;
        case 4: node = 6; break;
        case 6: node = 4; break;
        default: break;
        }
    }
    if (flipY == -1) {
        switch (node) {
        case 0: node = 6; break;
        case 6: node = 0; break;
        case 1: node = 5; break;
        case 5: node = 1; break;
        case 2: node = 4; break;
        case 4: node = 2; break;
        default: break;
        }
    }
    return node;
}

double angleOfPoint(const kx::Point& point, const kx::Point& center, double precision) {
    const double x = point.x - center.x;
    const double y = point.y - center.y;
    double angle;
    if (y == 0) {
        angle = x <= 0 ? 3 * kPi / 2 : kPi / 2;
    } else {
        angle = double(std::atan(float(x) / float(y)));
        if (y < 0)
            angle += kPi;
        else if (x < 0)
            angle += 2 * kPi;
    }
    if (precision > 0) {
        for (const double right : {0.0, kPi / 2, kPi, 3 * kPi / 2, 2 * kPi}) {
            if (std::fabs(angle - right) <= precision)
                return right == 2 * kPi ? 0.0 : right;
        }
    }
    return angle;
}

double snapAngleToRightAngle(double t, bool* snapped) {
    double result = t;
    bool hit = true;
    if (std::fabs(t) < kRightAngleBand || std::fabs(t - 2 * kPi) < kRightAngleBand)
        result = 0;
    else if (std::fabs(float(t - kPi / 2)) < kRightAngleBand)
        result = kPi / 2;
    else if (std::fabs(float(t - 3 * kPi / 2)) < kRightAngleBand)
        result = 3 * kPi / 2;
    else if (std::fabs(t - kPi) < kRightAngleBand)
        result = kPi;
    else
        hit = false;
    if (snapped)
        *snapped = hit;
    return result;
}

kx::Point resizeSnapCorrection(KXTrackerNode node, double dragX, double dragY, double snapX, double snapY) {
    double sx = snapX, sy = snapY;
    if (KXTracker::isCornerNode(node)) {
        if (std::fabs(sx) <= std::fabs(sy))
            sy = 0;
        else
            sx = 0;
    } else if (node == 1 || node == 5) {
        sx = 0;
    } else if (node == 3 || node == 7) {
        sy = 0;
    } else {
        return {0, 0};
    }
    const auto correct = [](double snap, double drag) {
        if (snap == 0)
            return 0.0;
        return std::fabs(drag) > std::fabs(snap) ? snap : -drag;
    };
    return {correct(sx, dragX), correct(sy, dragY)};
}

kx::Rect marqueeRectWithPoints(const kx::Point& a, const kx::Point& b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(a.x - b.x), std::fabs(a.y - b.y)};
}

bool isOptionModifier(Qt::KeyboardModifiers modifiers) {
    return modifiers & (Qt::AltModifier | Qt::ControlModifier);
}

bool isOpenableLink(const QUrl& url) {
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto"))
        return !url.path().isEmpty();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}
