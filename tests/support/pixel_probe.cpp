#include "pixel_probe.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>

namespace kxtest {

std::ostream& operator<<(std::ostream& os, const Rgba& c) {
    return os << "rgba(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

Rgba pixelAt(const QImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return Rgba{-1, -1, -1, -1};
    const QColor c = image.pixelColor(x, y);  // pixelColor un-premultiplies
    return Rgba{c.red(), c.green(), c.blue(), c.alpha()};
}

Rgba pixelAtYUp(const QImage& image, int x, int y) {
    return pixelAt(image, x, image.height() - 1 - y);
}

::testing::AssertionResult colorNear(const Rgba& actual, const Rgba& expected, int tolerance) {
    const bool ok = std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
                    std::abs(actual.b - expected.b) <= tolerance && std::abs(actual.a - expected.a) <= tolerance;
    if (ok)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual << " is not within " << tolerance << " of " << expected;
}

static QImage normalised(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGBA8888);
}

int maxChannelDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return -1;
    const QImage x = normalised(a), y = normalised(b);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 4; ++i)
            worst = std::max(worst, std::abs(int(p[i]) - int(q[i])));
    }
    return worst;
}

double fractionDiffering(const QImage& a, const QImage& b, int tolerance) {
    if (a.size() != b.size() || a.isNull())
        return 1.0;
    const QImage x = normalised(a), y = normalised(b);
    long differing = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int col = 0; col < x.width(); ++col) {
            for (int ch = 0; ch < 4; ++ch) {
                if (std::abs(int(p[col * 4 + ch]) - int(q[col * 4 + ch])) > tolerance) {
                    ++differing;
                    break;
                }
            }
        }
    }
    return double(differing) / (double(x.width()) * x.height());
}

}  // namespace kxtest
