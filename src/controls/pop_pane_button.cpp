#include "controls/pop_pane_button.h"

#include "controls/control_geometry.h"
#include "controls/control_images.h"

#include <QEnterEvent>
#include <QImage>
#include <QPainter>

namespace kx::controls {

namespace {

constexpr double kImageInset = 2;
constexpr int kShadowBlur = 2;

// The image's alpha as a black silhouette, blurred by a box filter of the shadow's radius each way.
QImage blurredSilhouette(const QImage& source) {
    const int r = kShadowBlur;
    const int w = source.width() + 2 * r, h = source.height() + 2 * r;
    std::vector<int> alpha(std::size_t(w) * std::size_t(h), 0);
    for (int y = 0; y < source.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < source.width(); ++x)
            alpha[std::size_t(y + r) * std::size_t(w) + std::size_t(x + r)] = qAlpha(line[x]);
    }
    std::vector<int> pass(alpha.size(), 0);
    const int taps = 2 * r + 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int sum = 0;
            for (int k = -r; k <= r; ++k)
                if (x + k >= 0 && x + k < w)
                    sum += alpha[std::size_t(y) * std::size_t(w) + std::size_t(x + k)];
            pass[std::size_t(y) * std::size_t(w) + std::size_t(x)] = sum / taps;
        }
    QImage shadow(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < w; ++x) {
            int sum = 0;
            for (int k = -r; k <= r; ++k)
                if (y + k >= 0 && y + k < h)
                    sum += pass[std::size_t(y + k) * std::size_t(w) + std::size_t(x)];
            // A shadow of one third of the silhouette's density reads as soft.
            line[x] = qRgba(0, 0, 0, sum / taps / 3);
        }
    }
    return shadow;
}

}  // namespace

void drawImageWithSoftShadow(QPainter& painter, const QRectF& target, const QPixmap& image) {
    if (image.isNull() || target.isEmpty())
        return;
    const QImage scaled = image.toImage()
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied)
                              .scaled(target.size().toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage shadow = blurredSilhouette(scaled);
    painter.drawImage(target.topLeft() - QPointF(kShadowBlur, kShadowBlur), shadow);
    painter.drawImage(target.topLeft(), scaled);
}

KXPopPaneButton::KXPopPaneButton(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
}

void KXPopPaneButton::setImage(const QPixmap& image) {
    m_image = image;
    updateGeometry();
    update();
}

QSize KXPopPaneButton::sizeHint() const {
    if (m_image.isNull())
        return {32, 32};
    return m_image.deviceIndependentSize().toSize() + QSize(2 * kImageInset, 2 * kImageInset);
}

void KXPopPaneButton::setMouseIn(bool mouseIn) {
    if (m_mouseIn == mouseIn)
        return;
    m_mouseIn = mouseIn;
    update();
}

void KXPopPaneButton::enterEvent(QEnterEvent* event) {
    setMouseIn(true);
    QAbstractButton::enterEvent(event);
}

void KXPopPaneButton::leaveEvent(QEvent* event) {
    setMouseIn(false);
    QAbstractButton::leaveEvent(event);
}

void KXPopPaneButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF area = QRectF(rect()).adjusted(kImageInset, kImageInset, -kImageInset, -kImageInset);
    drawImageWithSoftShadow(painter, area, m_image);
    if (isDown())
        painter.fillRect(area, QColor(100, 100, 100, int(0.3 * 255 + 0.5)));
    if (m_mouseIn) {
        const QPixmap arrow = controlImage(QStringLiteral("ClickArrow"));
        if (!arrow.isNull()) {
            const QRectF where =
                clickArrowRect(QRectF(rect()), m_image.deviceIndependentSize(), arrow.deviceIndependentSize());
            painter.drawPixmap(where.topLeft(), arrow);
        }
    }
}

}  // namespace kx::controls
