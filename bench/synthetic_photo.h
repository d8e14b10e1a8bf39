// An opaque picture with photo-like variation in every channel, made in memory for benchmarks.
#pragma once

#include <QImage>

inline QImage syntheticPhoto(int width, int height) {
    QImage q(width, height, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < q.height(); ++y) {
        uchar* p = q.scanLine(y);
        for (int x = 0; x < q.width(); ++x, p += 4) {
            p[0] = uchar(x * 7 + y);
            p[1] = uchar(y * 3);
            p[2] = uchar((x ^ y) & 0xFF);
            p[3] = 255;
        }
    }
    return q;
}
