// An image button that opens a popover: its image sits on a soft shadow, a grey veil covers it while it is
// pressed, and a small arrow ("ClickArrow") appears in its corner while the pointer is over it.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace kx::controls {

class KXPopPaneButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit KXPopPaneButton(QWidget* parent = nullptr);

    void setImage(const QPixmap& image);
    QPixmap image() const { return m_image; }

    // True while the pointer is over the button.
    bool mouseIn() const { return m_mouseIn; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setMouseIn(bool mouseIn);

    QPixmap m_image;
    bool m_mouseIn = false;
};

// The image drawn with a soft shadow (blur 2, no offset) into `target`; the shadow spills 2 points around.
void drawImageWithSoftShadow(class QPainter& painter, const QRectF& target, const QPixmap& image);

}  // namespace kx::controls
