#include "controls/segmented_control.h"

#include "controls/control_geometry.h"
#include "controls/control_images.h"

#include <QEvent>
#include <QKeyEvent>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kx::controls {

namespace {

constexpr double kDisabledAlpha = 0.3;
constexpr double kUnselectedLabelAlpha = 0.7;
constexpr double kImageLabelGap = 5;
constexpr double kImageShift = 2;
constexpr double kImageHeightMargin = 10;
constexpr double kLabelPadding = 12;

QString backgroundImageName(int index, int count, bool down) {
    QString name = index == 0 ? QStringLiteral("SeqLeft")
                   : index == count - 1 ? QStringLiteral("SeqRight")
                                        : QStringLiteral("SeqCenter");
    if (down)
        name += QStringLiteral("_down");
    return name;
}

}  // namespace

void drawStretchedImage(QPainter& painter, const QRectF& target, const QPixmap& image) {
    if (image.isNull() || target.isEmpty())
        return;
    const double dpr = image.devicePixelRatio();
    const double w = image.width() / dpr;
    const double h = image.height() / dpr;
    const double cap = std::min(std::floor((w - 1) / 2), std::floor(target.width() / 2));
    const double middle = w - 2 * cap;
    auto source = [&](double x, double width) { return QRectF(x * dpr, 0, width * dpr, h * dpr); };
    painter.drawPixmap(QRectF(target.left(), target.top(), cap, target.height()), image, source(0, cap));
    painter.drawPixmap(QRectF(target.left() + cap, target.top(), target.width() - 2 * cap, target.height()), image,
                       source(cap, middle));
    painter.drawPixmap(QRectF(target.right() - cap, target.top(), cap, target.height()), image,
                       source(w - cap, cap));
}

KXSegmentedControl::KXSegmentedControl(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
}

void KXSegmentedControl::setSegmentCount(int count) {
    // New segments start unselected, so the selection changes only when selected segments go.
    const std::vector<bool> before = selection();
    const auto selectedBefore = std::count(before.begin(), before.end(), true);
    m_segments.resize(std::size_t(std::max(count, 0)));
    if (m_pressedSegment >= segmentCount())
        m_pressedSegment = -1;
    updateGeometry();
    update();
    const std::vector<bool> after = selection();
    if (std::count(after.begin(), after.end(), true) != selectedBefore)
        emit selectionChanged();
}

void KXSegmentedControl::setSelectionMode(SelectionMode mode) {
    m_mode = mode;
    std::vector<bool> selected = selection();
    if (mode == SelectionMode::Momentary) {
        std::fill(selected.begin(), selected.end(), false);
    } else if (mode == SelectionMode::SelectOne) {
        const auto first = std::find(selected.begin(), selected.end(), true);
        if (first != selected.end())
            std::fill(first + 1, selected.end(), false);
    }
    applySelection(selected);
}

void KXSegmentedControl::setLabel(int segment, const QString& label) {
    if (!validSegment(segment))
        return;
    m_segments[std::size_t(segment)].label = label;
    updateGeometry();
    update();
}

QString KXSegmentedControl::label(int segment) const {
    return validSegment(segment) ? m_segments[std::size_t(segment)].label : QString();
}

void KXSegmentedControl::setImage(int segment, const QPixmap& image) {
    if (!validSegment(segment))
        return;
    m_segments[std::size_t(segment)].image = image;
    updateGeometry();
    update();
}

QPixmap KXSegmentedControl::image(int segment) const {
    return validSegment(segment) ? m_segments[std::size_t(segment)].image : QPixmap();
}

void KXSegmentedControl::setWidth(int segment, double width) {
    if (!validSegment(segment))
        return;
    m_segments[std::size_t(segment)].width = std::max(width, 0.0);
    updateGeometry();
    update();
}

double KXSegmentedControl::width(int segment) const {
    return validSegment(segment) ? m_segments[std::size_t(segment)].width : 0;
}

void KXSegmentedControl::setTag(int segment, int tag) {
    if (validSegment(segment))
        m_segments[std::size_t(segment)].tag = tag;
}

int KXSegmentedControl::tag(int segment) const {
    return validSegment(segment) ? m_segments[std::size_t(segment)].tag : -1;
}

void KXSegmentedControl::setSegmentEnabled(int segment, bool enabled) {
    if (!validSegment(segment))
        return;
    m_segments[std::size_t(segment)].enabled = enabled;
    update();
}

bool KXSegmentedControl::isSegmentEnabled(int segment) const {
    return validSegment(segment) && m_segments[std::size_t(segment)].enabled;
}

std::vector<bool> KXSegmentedControl::selection() const {
    std::vector<bool> selected;
    selected.reserve(m_segments.size());
    for (const Segment& segment : m_segments)
        selected.push_back(segment.selected);
    return selected;
}

void KXSegmentedControl::applySelection(const std::vector<bool>& selected) {
    if (selected == selection())
        return;
    for (std::size_t i = 0; i < m_segments.size(); ++i)
        m_segments[i].selected = selected[i];
    update();
    emit selectionChanged();
}

void KXSegmentedControl::setSelected(int segment, bool selected) {
    if (!validSegment(segment) || m_mode == SelectionMode::Momentary)
        return;
    std::vector<bool> next = selection();
    if (m_mode == SelectionMode::SelectOne && selected)
        std::fill(next.begin(), next.end(), false);
    next[std::size_t(segment)] = selected;
    applySelection(next);
}

bool KXSegmentedControl::isSelected(int segment) const {
    return validSegment(segment) && m_segments[std::size_t(segment)].selected;
}

int KXSegmentedControl::selectedSegment() const {
    for (int i = 0; i < segmentCount(); ++i)
        if (m_segments[std::size_t(i)].selected)
            return i;
    return -1;
}

void KXSegmentedControl::setSelectedSegment(int segment) {
    if (m_mode == SelectionMode::Momentary)
        return;
    std::vector<bool> next(m_segments.size(), false);
    if (m_mode == SelectionMode::SelectAny)
        next = selection();
    if (validSegment(segment))
        next[std::size_t(segment)] = true;
    else
        std::fill(next.begin(), next.end(), false);
    applySelection(next);
}

bool KXSegmentedControl::selectSegmentWithTag(int tag) {
    for (int i = 0; i < segmentCount(); ++i)
        if (m_segments[std::size_t(i)].tag == tag) {
            std::vector<bool> next(m_segments.size(), false);
            if (m_mode != SelectionMode::Momentary)
                next[std::size_t(i)] = true;
            applySelection(next);
            return true;
        }
    applySelection(std::vector<bool>(m_segments.size(), false));
    return false;
}

int KXSegmentedControl::selectedTag() const {
    const int segment = selectedSegment();
    return segment < 0 ? -1 : m_segments[std::size_t(segment)].tag;
}

SegmentLayout KXSegmentedControl::segmentLayout() const {
    std::vector<double> widths;
    for (const Segment& segment : m_segments)
        widths.push_back(segment.width);
    return layoutSegments(widths, QRectF(rect()));
}

QFont KXSegmentedControl::labelFont() const {
    QFont font = this->font();
    font.setPointSizeF(13);
    return font;
}

QSize KXSegmentedControl::sizeHint() const {
    const QFontMetricsF metrics(labelFont());
    double total = 0;
    for (const Segment& segment : m_segments) {
        double width = segment.width;
        if (width <= 0) {
            width = metrics.horizontalAdvance(segment.label) + 2 * kLabelPadding;
            if (!segment.image.isNull())
                width += segment.image.deviceIndependentSize().width() + kImageLabelGap;
        }
        total += width;
    }
    total += kSegmentSpacing * double(std::max(segmentCount() - 1, 0));
    return {int(std::ceil(std::max(total, 24.0))), std::max(24, int(std::ceil(metrics.height())) + 8)};
}

QSize KXSegmentedControl::minimumSizeHint() const {
    return {segmentCount() * 12, sizeHint().height()};
}

void KXSegmentedControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        update();
    QWidget::changeEvent(event);
}

void KXSegmentedControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipRect(rect());
    const SegmentLayout layout = segmentLayout();
    const double controlAlpha = isEnabled() ? 1.0 : kDisabledAlpha;
    for (int i = 0; i < segmentCount(); ++i) {
        painter.setOpacity(controlAlpha * (m_segments[std::size_t(i)].enabled ? 1.0 : kDisabledAlpha));
        drawSegment(painter, i, layout.drawRects[std::size_t(i)]);
    }
    // The dividers go last, over every background.
    const QPixmap divider = controlImage(QStringLiteral("SegmentDivider"));
    painter.setOpacity(controlAlpha);
    for (std::size_t i = 0; i + 1 < m_segments.size(); ++i)
        painter.drawPixmap(segmentDividerRect(layout, i), divider, QRectF(divider.rect()));
    if (hasFocus() && validSegment(m_keySegment)) {
        painter.setPen(QPen(QColor(255, 255, 255, 160), 1, Qt::DotLine));
        painter.drawRect(layout.drawRects[std::size_t(m_keySegment)].adjusted(3.5, 3.5, -3.5, -3.5));
    }
}

void KXSegmentedControl::drawSegment(QPainter& painter, int index, const QRectF& frame) const {
    const Segment& segment = m_segments[std::size_t(index)];
    const bool down = segment.enabled && segment.selected;
    const QPixmap background = controlImage(backgroundImageName(index, segmentCount(), down));
    drawStretchedImage(painter, QRectF(frame.toAlignedRect()), background);
    drawInterior(painter, segment, frame);
}

void KXSegmentedControl::drawInterior(QPainter& painter, const Segment& segment, const QRectF& frame) const {
    const QFontMetricsF metrics(labelFont());
    QSizeF imageSize;
    if (!segment.image.isNull()) {
        imageSize = segment.image.deviceIndependentSize();
        const double maxHeight = frame.height() - kImageHeightMargin;
        if (imageSize.height() > maxHeight && maxHeight > 0)
            imageSize = imageSize.scaled(QSizeF(1e9, maxHeight), Qt::KeepAspectRatio);
    }
    const double gap = !imageSize.isEmpty() && !segment.label.isEmpty() ? kImageLabelGap : 0;
    const double available = std::max(frame.width() - 2 * kImageShift - imageSize.width() - gap, 0.0);
    const QString label = metrics.elidedText(segment.label, Qt::ElideRight, available);
    const double labelWidth = label.isEmpty() ? 0 : metrics.horizontalAdvance(label);
    double x = frame.left() + (frame.width() - imageSize.width() - gap - labelWidth) / 2;
    const double segmentOpacity = painter.opacity();
    if (!imageSize.isEmpty()) {
        if (!segment.enabled)
            painter.setOpacity(segmentOpacity * kDisabledAlpha);
        const QRectF target(x + kImageShift, frame.top() + (frame.height() - imageSize.height()) / 2,
                            imageSize.width(), imageSize.height());
        painter.drawPixmap(target, segment.image, QRectF(segment.image.rect()));
        painter.setOpacity(segmentOpacity);
        x += imageSize.width() + gap;
    }
    if (!label.isEmpty()) {
        QColor color(Qt::white);
        if (!segment.selected)
            color.setAlphaF(kUnselectedLabelAlpha);
        painter.setFont(labelFont());
        painter.setPen(color);
        painter.drawText(QRectF(x, frame.top(), labelWidth + 1, frame.height()), Qt::AlignVCenter | Qt::AlignLeft,
                         label);
    }
}

void KXSegmentedControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int segment = segmentAt(segmentLayout(), event->position().x());
    m_pressedSegment = isSegmentEnabled(segment) ? segment : -1;
    event->accept();
}

void KXSegmentedControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int pressed = m_pressedSegment;
    m_pressedSegment = -1;
    const int segment = segmentAt(segmentLayout(), event->position().x());
    // A click counts only when it ends on the segment where it began.
    if (pressed >= 0 && segment == pressed && rect().contains(event->position().toPoint()))
        clicked(segment);
    event->accept();
}

void KXSegmentedControl::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        const int direction = key == Qt::Key_Left ? -1 : 1;
        int next = m_keySegment + direction;
        while (validSegment(next) && !isSegmentEnabled(next))
            next += direction;
        if (validSegment(next)) {
            m_keySegment = next;
            if (m_mode == SelectionMode::SelectOne)
                clicked(next);
            update();
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_Space && isSegmentEnabled(m_keySegment)) {
        clicked(m_keySegment);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void KXSegmentedControl::clicked(int segment) {
    m_keySegment = segment;
    std::vector<bool> next = selection();
    switch (m_mode) {
    case SelectionMode::SelectOne:
        std::fill(next.begin(), next.end(), false);
        next[std::size_t(segment)] = true;
        break;
    case SelectionMode::SelectAny:
        next[std::size_t(segment)] = !next[std::size_t(segment)];
        break;
    case SelectionMode::Momentary:
        break;
    }
    applySelection(next);
    emit activated(segment);
}

}  // namespace kx::controls
