// A widget drawn into a transparent image (its own drawing and its children, no window background), so
// that tests can look at its pixels and its opacity.
#pragma once

#include <QImage>
#include <QWidget>

namespace kxtest {

inline QImage renderedWidget(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

}  // namespace kxtest
