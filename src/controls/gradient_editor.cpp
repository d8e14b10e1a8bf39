#include "controls/gradient_editor.h"

#include "controls/color_panel.h"
#include "platform/foundation/notification_center.h"

#include <QImage>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kx::controls {

namespace {
const QColor kOutlineGrey = QColor::fromRgbF(0.56f, 0.56f, 0.56f);

void post(const char* name, const KXAdGradientView* view) {
    kx::NotificationCenter::defaultCenter().post(QString::fromLatin1(name), view);
}
}  // namespace

int AdGradientGeometry::stopLeftForLocation(double location) const {
    return int(std::lround(location * bar.width() + bar.x() - stopWidth / 2.0));
}

double AdGradientGeometry::locationForStopLeft(int left) const {
    return bar.width() > 0 ? double(left + stopWidth / 2 - bar.x()) / bar.width() : 0.0;
}

AdGradientGeometry adGradientGeometry(QSize size) {
    const double w = size.width();
    const double h = size.height();
    AdGradientGeometry g;
    const int barHeight = int(std::lround(0.33 * h));
    const int barBottomUp = int(std::lround(h / 2));  // measured from the view's bottom
    g.bar = QRect(int(std::lround(w / 10)), size.height() - barBottomUp - barHeight, int(std::lround(0.8 * w)),
                  barHeight);
    g.stopHeight = barHeight + 6;
    g.stopTop = size.height() - int(std::lround(h / 6)) - g.stopHeight;
    return g;
}

std::vector<std::pair<double, QColor>> sortedGradientStops(const std::vector<QColor>& colors,
                                                           const std::vector<double>& locations) {
    std::vector<std::pair<double, QColor>> stops;
    const std::size_t n = std::min(colors.size(), locations.size());
    for (std::size_t i = 0; i < n; ++i)
        stops.emplace_back(std::clamp(locations[i], 0.0, 1.0), colors[i]);
    std::stable_sort(stops.begin(), stops.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return stops;
}

// ---- the stop

KXAdGradientColorWell::KXAdGradientColorWell(KXAdGradientView* owner, const QColor& color)
    : QWidget(owner), m_owner(owner), m_color(color) {
    setFocusPolicy(Qt::ClickFocus);
}

void KXAdGradientColorWell::setColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    update();
    m_owner->setGradientChanged(true);
    m_owner->update();
}

void KXAdGradientColorWell::setSelected(bool selected) {
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

void KXAdGradientColorWell::setLocation(double location) {
    m_location = location;
    m_owner->placeStop(this);
}

void KXAdGradientColorWell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = width();
    const double h = height();
    // A pentagon whose point aims up into the bar.
    QPainterPath outline;
    outline.moveTo(1, h - 1);
    outline.lineTo(1, h / 3);
    outline.lineTo(w / 2, 2);
    outline.lineTo(w - 1, h / 3);
    outline.lineTo(w - 1, h - 1);
    outline.closeSubpath();
    if (m_selected)
        painter.strokePath(outline, QPen(QColor(40, 120, 255), 2.5));
    painter.fillPath(outline, Qt::white);
    painter.strokePath(outline, QPen(kOutlineGrey, 1));
    const double swatchHeight = (h - 6) * 2 / 3 - 1;
    const QRectF swatch(3, h - 3 - swatchHeight, w - 6, swatchHeight);
    painter.fillRect(swatch, m_color);
    painter.setPen(QPen(kOutlineGrey, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(swatch);
}

void KXAdGradientColorWell::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (!m_owner->enable())
        return;
    KXColorPanel& panel = KXColorPanel::shared();
    panel.setTarget(nullptr, {});
    panel.setColor(m_color);
}

void KXAdGradientColorWell::mouseMoveEvent(QMouseEvent* event) {
    if (!m_owner->enable() || !(event->buttons() & Qt::LeftButton))
        return;
    if (!m_dragging) {
        m_dragging = true;
        m_owner->colorWellWillDrag();
    }
    const QPoint point = mapTo(m_owner, event->position().toPoint());
    if (point.y() > m_owner->height()) {
        // Below the view: lifted out while enough stops remain; removed on release.
        if (m_owner->colorWellList().size() >= 3 && !m_draggedOut) {
            m_draggedOut = true;
            hide();
        }
        return;
    }
    if (m_draggedOut) {
        m_draggedOut = false;
        show();
    }
    const AdGradientGeometry g = m_owner->geometryForSize();
    const int x = std::clamp(point.x(), g.bar.left(), g.bar.left() + g.bar.width());
    const int left = int(std::lround(x - width() / 2.0));
    const double location = std::clamp(g.locationForStopLeft(left), 0.0, 1.0);
    if (location != m_location) {
        setLocation(location);
        m_owner->setGradientChanged(true);
        m_owner->update();
    }
}

void KXAdGradientColorWell::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (!m_owner->enable())
        return;
    if (m_dragging) {
        m_dragging = false;
        if (m_draggedOut) {
            m_owner->removeColorWell(this);
            return;
        }
        m_owner->colorWellDidDrag();
        return;
    }
    // A plain click: the colour dialog recolours this stop (directly, without the wells' announcement).
    KXColorPanel& panel = KXColorPanel::shared();
    panel.setTarget(this, [this](const QColor& color) { performChangeColor(color); });
    panel.orderFront();
    m_owner->selectedColorWell(this);
}

// ---- the view

KXAdGradientView::KXAdGradientView(QWidget* parent) : QWidget(parent) {
    m_panelClose = connect(&KXColorPanel::shared(), &KXColorPanel::willClose, this,
                           &KXAdGradientView::deselectedAllColorWell);
}

KXAdGradientView::~KXAdGradientView() {
    disconnect(m_panelClose);
    KXColorPanel& panel = KXColorPanel::shared();
    for (KXAdGradientColorWell* stop : m_stops) {
        if (panel.target() == stop)
            panel.setTarget(nullptr, {});
    }
}

void KXAdGradientView::clearStops() {
    KXColorPanel& panel = KXColorPanel::shared();
    for (KXAdGradientColorWell* stop : m_stops) {
        if (panel.target() == stop)
            panel.setTarget(nullptr, {});
        stop->hide();
        stop->deleteLater();
    }
    m_stops.clear();
}

void KXAdGradientView::updateGradientManager(const std::vector<QColor>& colors, const std::vector<double>& locations) {
    clearStops();
    const std::size_t n = std::min({colors.size(), locations.size(), std::size_t(kMaxGradientStops)});
    for (std::size_t i = 0; i < n; ++i) {
        auto* stop = new KXAdGradientColorWell(this, colors[i]);
        stop->setEnabled(m_enable);
        m_stops.push_back(stop);
        stop->setLocation(std::clamp(locations[i], 0.0, 1.0));
        stop->show();
    }
    m_gradientChanged = false;
    update();
}

std::vector<QColor> KXAdGradientView::colorArray() const {
    std::vector<QColor> colors;
    for (const KXAdGradientColorWell* stop : m_stops)
        colors.push_back(stop->color());
    return colors;
}

std::vector<double> KXAdGradientView::colorLocations() const {
    std::vector<double> locations;
    for (const KXAdGradientColorWell* stop : m_stops)
        locations.push_back(stop->location());
    return locations;
}

void KXAdGradientView::setEnable(bool enable) {
    m_enable = enable;
    for (KXAdGradientColorWell* stop : m_stops)
        stop->setEnabled(enable);
}

void KXAdGradientView::setGradientChanged(bool changed) {
    m_gradientChanged = changed;
    if (!changed || m_announcementQueued)
        return;
    m_announcementQueued = true;
    QMetaObject::invokeMethod(this, &KXAdGradientView::announceChange, Qt::QueuedConnection);
}

void KXAdGradientView::announceChange() {
    m_announcementQueued = false;
    if (!m_gradientChanged)
        return;  // a load came in between: it is never echoed back as an edit
    m_gradientChanged = false;
    post(kAdGradientDidChanged, this);
    emit gradientDidChange();
}

QColor KXAdGradientView::barColorAt(int x) {
    const AdGradientGeometry g = geometryForSize();
    QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
    pixel.fill(Qt::transparent);
    const int sampleX = std::clamp(x, g.bar.left() + 1, g.bar.left() + g.bar.width() - 2);
    // The bar alone: the stops hanging over its lower edge are not part of its colour.
    render(&pixel, QPoint(), QRegion(sampleX, g.bar.center().y(), 1, 1), QWidget::RenderFlags());
    return QColor::fromRgba(pixel.pixel(0, 0));
}

KXAdGradientColorWell* KXAdGradientView::addColorWellToPoint(int x) {
    if (m_stops.size() >= std::size_t(kMaxGradientStops))
        return nullptr;
    const AdGradientGeometry g = geometryForSize();
    x = std::clamp(x, g.bar.left(), g.bar.left() + g.bar.width());
    const QColor shown = m_stops.empty() ? QColor(Qt::white) : barColorAt(x);
    KXColorPanel& panel = KXColorPanel::shared();
    panel.setTarget(nullptr, {});
    auto* stop = new KXAdGradientColorWell(this, shown);
    m_stops.push_back(stop);
    stop->setLocation(std::clamp(double(x - g.bar.left()) / std::max(1, g.bar.width()), 0.0, 1.0));
    stop->show();
    panel.setTarget(stop, [stop](const QColor& color) { stop->performChangeColor(color); });
    setGradientChanged(true);
    update();
    return stop;
}

void KXAdGradientView::selectedColorWell(KXAdGradientColorWell* stop) {
    for (KXAdGradientColorWell* other : m_stops)
        other->setSelected(other == stop);
}

void KXAdGradientView::deselectedAllColorWell() {
    for (KXAdGradientColorWell* stop : m_stops)
        stop->setSelected(false);
    update();
}

void KXAdGradientView::removeColorWell(KXAdGradientColorWell* stop) {
    const auto found = std::find(m_stops.begin(), m_stops.end(), stop);
    if (found == m_stops.end())
        return;
    m_stops.erase(found);
    KXColorPanel& panel = KXColorPanel::shared();
    if (panel.target() == stop)
        panel.setTarget(nullptr, {});
    stop->hide();
    stop->deleteLater();  // it may be handling the release that removed it
    setGradientChanged(true);
    update();
    colorWellDidDrag();
}

void KXAdGradientView::colorWellWillDrag() {
    post(kColorWellWillBeDrag, this);
}

void KXAdGradientView::colorWellDidDrag() {
    post(kColorWellDidDrag, this);
}

void KXAdGradientView::placeStop(KXAdGradientColorWell* stop) const {
    const AdGradientGeometry g = adGradientGeometry(size());
    stop->setGeometry(g.stopLeftForLocation(stop->location()), g.stopTop, AdGradientGeometry::stopWidth,
                      g.stopHeight);
}

void KXAdGradientView::resizeEvent(QResizeEvent*) {
    for (KXAdGradientColorWell* stop : m_stops)
        placeStop(stop);
}

void KXAdGradientView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const AdGradientGeometry g = geometryForSize();
    const QRectF bar(g.bar);
    QLinearGradient gradient(bar.bottomLeft(), bar.bottomRight());
    QGradientStops stops;
    for (const auto& [location, color] : sortedGradientStops(colorArray(), colorLocations()))
        stops.append({location, color});
    gradient.setStops(stops);
    if (!stops.isEmpty())
        painter.fillRect(bar, gradient);
    painter.setPen(QPen(kOutlineGrey, 1));
    painter.drawRect(bar.adjusted(0.5, 0.5, -0.5, -0.5));
}

void KXAdGradientView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    // Only the strip below the bar adds stops.
    if (!m_enable || event->position().y() < height() / 2.0)
        return;
    addColorWellToPoint(event->position().toPoint().x());
}

void KXAdGradientView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

}  // namespace kx::controls
