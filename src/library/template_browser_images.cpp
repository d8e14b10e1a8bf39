#include "library/template_browser_images.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kx::templates {

namespace {

QPainterPath starPath(const QRectF& box) {
    QPainterPath path;
    const QPointF centre = box.center();
    const double outer = box.width() * 0.46;
    const double inner = outer * 0.45;
    for (int i = 0; i < 10; ++i) {
        const double radius = i % 2 ? inner : outer;
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const QPointF point(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle));
        i == 0 ? path.moveTo(point) : path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

void drawStar(QPainter& painter, const QRectF& box, bool set) {
    painter.setPen(QPen(QColor(120, 80, 0), 1.2));
    painter.setBrush(set ? QColor(255, 200, 0) : QColor(255, 255, 255, 90));
    painter.drawPath(starPath(box));
}

void drawDeleteBadge(QPainter& painter, const QRectF& box, bool down) {
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(down ? QColor(140, 0, 0) : QColor(210, 30, 30));
    painter.drawEllipse(box.adjusted(1, 1, -1, -1));
    const QRectF cross = box.adjusted(box.width() * 0.32, box.height() * 0.32, -box.width() * 0.32,
                                      -box.height() * 0.32);
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
}

void drawArrow(QPainter& painter, const QRectF& box, bool next, const QString& state) {
    const bool disabled = state == QLatin1String("disable");
    const bool down = state == QLatin1String("down");
    painter.setPen(QPen(QColor(255, 255, 255, disabled ? 90 : 230), 1.5));
    painter.setBrush(down ? QColor(0, 0, 0, 200) : QColor(0, 0, 0, disabled ? 60 : 130));
    painter.drawEllipse(box.adjusted(1, 1, -1, -1));
    const double w = box.width();
    const double direction = next ? 1 : -1;
    const QPointF c = box.center();
    QPolygonF triangle;
    triangle << QPointF(c.x() + direction * w * 0.22, c.y()) << QPointF(c.x() - direction * w * 0.14, c.y() - w * 0.22)
             << QPointF(c.x() - direction * w * 0.14, c.y() + w * 0.22);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, disabled ? 90 : 255));
    painter.drawPolygon(triangle);
}

QImage drawnImage(const QString& name, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, side, side);
    const QString base = name.section(u'_', 0, 0);
    const QString state = name.section(u'_', 1);
    if (name == QLatin1String("Favorite_in") || name == QLatin1String("Favorite_out"))
        drawStar(painter, box, name.endsWith(QLatin1String("_in")));
    else if (base == QLatin1String("DeleteTemplate") && (state.isEmpty() || state == QLatin1String("down")))
        drawDeleteBadge(painter, box, !state.isEmpty());
    else if ((base == QLatin1String("PreTemplate") || base == QLatin1String("NextTemplate")) &&
             (state.isEmpty() || state == QLatin1String("down") || state == QLatin1String("disable")))
        drawArrow(painter, box, base == QLatin1String("NextTemplate"), state);
    else
        return {};
    return image;
}

}  // namespace

QImage cellOverlayImage(const QString& name, int side) {
    if (side <= 0)
        return {};
    // Main thread only, like the views that draw them.
    static QHash<QString, QImage> cache;
    const QString key = name + u'@' + QString::number(side);
    auto it = cache.constFind(key);
    if (it == cache.constEnd())
        it = cache.insert(key, drawnImage(name, side));
    return *it;
}

}  // namespace kx::templates
