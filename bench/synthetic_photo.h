// Pictures for the benchmarks: an opaque picture with photo-like variation made in memory, and source photos
// written as JPEG files (a diagonal gradient from a hue to one a third of the wheel on, under a scatter of
// coloured rectangles, quality 90), so that decoding costs what a photo does.
#pragma once

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QString>

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

inline bool writeSyntheticPhoto(const QString& path, int width, int height, int hue, int rectangles) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor::fromHsv(hue % 360, 200, 230));
    gradient.setColorAt(1, QColor::fromHsv((hue + 120) % 360, 180, 90));
    painter.fillRect(image.rect(), gradient);
    for (int k = 0; k < rectangles; ++k)
        painter.fillRect(QRect((k * 397) % width, (k * 211) % height, 300, 200), QColor::fromHsv((k * 53) % 360, 150, 200));
    painter.end();
    return image.save(path, "JPG", 90);
}
