#include "controls/tab_bar.h"

#include "controls/tab_geometry.h"
#include "platform/foundation/notification_center.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

// Width of the shade that stands in for the side ellipses' shadow (their blur radius).
constexpr double kShadowBlur = 4;
constexpr int kIconSize = 24;

QColor srgbGrey(double grey, double alpha) {
    return QColor::fromRgbF(float(grey), float(grey), float(grey), float(alpha));
}

}  // namespace

KXTabButton::KXTabButton(const QString& title, const QIcon& icon, QWidget* parent)
    : QWidget(parent), m_title(title), m_icon(icon) {
    setAttribute(Qt::WA_Hover, false);
}

void KXTabButton::setSelected(bool selected) {
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

QSize KXTabButton::sizeHint() const {
    // Measured in bold, the title's font while its button is selected.
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const int textWidth = metrics.horizontalAdvance(m_title);
    const int height = (m_icon.isNull() ? 0 : kIconSize + 2) + metrics.height() + 10;
    return {std::max(textWidth, kIconSize) + 12, height};
}

void KXTabButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    if (m_owner)
        m_owner->selectTabButton(this);
}

void KXTabButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_selected)
        drawSelectedLook(painter);

    QRect area = rect().adjusted(2, 4, -2, -4);
    if (!m_icon.isNull()) {
        const QRect iconRect(area.center().x() - kIconSize / 2, area.top(), kIconSize, kIconSize);
        m_icon.paint(&painter, iconRect);
        area.setTop(iconRect.bottom() + 2);
    }
    // The selected look only shades the button, so the title stays dark to remain legible on it.
    QFont titleFont = font();
    titleFont.setBold(m_selected);
    painter.setFont(titleFont);
    painter.setPen(QColor(56, 56, 56));
    painter.drawText(area, Qt::AlignHCenter | (m_icon.isNull() ? Qt::AlignVCenter : Qt::AlignTop), m_title);
}

void KXTabButton::drawSelectedLook(QPainter& painter) const {
    if (!m_owner)
        return;
    const QRectF bounds = rect();
    const KXTabButtonSideRects sides = tabButtonSideRects(bounds);

    // The dark ellipses beside the button only show through their shadows, which fade into the button
    // from each side; a gradient from the shadow colour to clear plays that part.
    const QColor shade = m_owner->shadowColor();
    const QColor clear(shade.red(), shade.green(), shade.blue(), 0);
    QLinearGradient fromLeft(bounds.left(), 0, bounds.left() + kShadowBlur, 0);
    fromLeft.setColorAt(0, shade);
    fromLeft.setColorAt(1, clear);
    painter.fillRect(QRectF(bounds.left(), bounds.top(), kShadowBlur, bounds.height()), fromLeft);
    QLinearGradient fromRight(bounds.right(), 0, bounds.right() - kShadowBlur, 0);
    fromRight.setColorAt(0, shade);
    fromRight.setColorAt(1, clear);
    painter.fillRect(QRectF(bounds.right() - kShadowBlur, bounds.top(), kShadowBlur, bounds.height()), fromRight);

    painter.setPen(QPen(m_owner->strokeColor(), 0.4));
    painter.setBrush(m_owner->fillColor());
    painter.drawEllipse(sides.left);
    painter.drawRect(sides.left);
    painter.drawEllipse(sides.right);
    painter.drawRect(sides.right);

    QLinearGradient gloss(bounds.topLeft(), bounds.bottomLeft());
    gloss.setColorAt(0, m_owner->gradientColor1());
    gloss.setColorAt(1, m_owner->gradientColor2());
    gloss.setSpread(QGradient::PadSpread);
    painter.fillRect(bounds, gloss);
}

KXTabbar::KXTabbar(QWidget* parent) : QWidget(parent) {}

void KXTabbar::awakeFromNib() {
    m_strokeColor = srgbGrey(0.6, 0.8);
    m_shadowColor = QColor::fromRgbF(0, 0, 0, 1);
    m_fillColor = QColor::fromRgbF(0, 0, 0, 1);
    m_gradientColor1 = srgbGrey(0.7, 0.2);
    m_gradientColor2 = srgbGrey(0.5, 0.2);
    for (QObject* child : children()) {
        if (auto* button = qobject_cast<KXTabButton*>(child))
            addTabButton(button);
    }
    selectTabButtonAtIndex(0);
}

void KXTabbar::addTabButton(KXTabButton* button) {
    if (!button || std::find(m_tabButtons.begin(), m_tabButtons.end(), button) != m_tabButtons.end())
        return;
    button->setOwner(this);
    m_tabButtons.push_back(button);
}

void KXTabbar::selectTabButton(KXTabButton* button) {
    if (!button)
        return;
    if (m_selectType == 1 && button->isSelected()) {
        button->setSelected(false);
        return;
    }
    makeSelection(button);
}

void KXTabbar::selectTabButtonAtIndex(std::int64_t index) {
    if (index < 0 || index >= std::int64_t(m_tabButtons.size()))
        return;
    KXTabButton* button = m_tabButtons[std::size_t(index)];
    if (button->isSelected())
        return;
    makeSelection(button);
}

std::int64_t KXTabbar::indexOfSelectedTabButton() const {
    for (std::size_t i = 0; i < m_tabButtons.size(); ++i) {
        if (m_tabButtons[i]->isSelected())
            return std::int64_t(i);
    }
    return KXTabNotFound;
}

void KXTabbar::makeSelection(KXTabButton* selected) {
    for (KXTabButton* button : m_tabButtons) {
        button->setSelected(button == selected);
        button->update();
    }
    kx::NotificationCenter::defaultCenter().post(KXTabbarSelectionChangedNotification, this);
    if (m_delegate)
        m_delegate->tabbarSelectionChanged(this);
    update();
}
