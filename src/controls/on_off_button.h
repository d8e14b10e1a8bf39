// A two-state button with an "on" look (blue gradient background, white title) and an "off" look (light
// grey background, dark title), used for tab headers and toggles in the inspectors.
//
// A selectable button switches on a click or setState. A button that is not selectable ignores both and
// follows its background flag instead: with a background it always shows the on look, without one always
// the off look.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QGradientStops>
#include <QPixmap>
#include <QString>

namespace kx::controls {

// A title as the button shows it: text, colour, centred.
struct ButtonTitle {
    QString text;
    QColor color;
    friend bool operator==(const ButtonTitle&, const ButtonTitle&) = default;
};

class KXOnOffButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit KXOnOffButton(QWidget* parent = nullptr);

    // The gradient of the on look (bottom to top) and the colours of the two titles.
    static QGradientStops standardGradient();
    static QColor offTitleColor();
    static QColor onTitleColor();
    static QColor offBackgroundColor();

    // The loading step: every flag on, the form's icon becomes the off image, the form's text the two
    // titles, the gradient the standard one; the button shows its off title.
    void awakeFromInterfaceFile();

    // New title text: both titles are rebuilt (white on only when the button has a background).
    void setTitle(const QString& title);

    // Sets the state; ignored when the button is neither selectable nor passing its own change.
    void setState(bool on);
    bool state() const { return isChecked(); }

    bool isSelectable() const { return m_selectable; }
    void setSelectable(bool selectable);
    bool hasBackground() const { return m_hasBackground; }
    void setHasBackground(bool hasBackground);
    bool canMouseDown() const { return m_canMouseDown; }
    void setCanMouseDown(bool canMouseDown) { m_canMouseDown = canMouseDown; }

    QPixmap onImage() const { return m_onImage; }
    void setOnImage(const QPixmap& image);
    QPixmap offImage() const { return m_offImage; }
    void setOffImage(const QPixmap& image);
    ButtonTitle onTitle() const { return m_onTitle; }
    ButtonTitle offTitle() const { return m_offTitle; }
    QGradientStops onGradient() const { return m_onGradient; }

    // What the button shows now: the on look when it is on and has a background, else the off look.
    bool showsOnLook() const;
    QPixmap currentImage() const;
    ButtonTitle currentTitle() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void nextCheckState() override;

private:
    // A button that is not selectable takes the state its background calls for.
    void followBackground();
    void updateLook();

    bool m_selectable = true;
    bool m_hasBackground = true;
    bool m_canMouseDown = true;
    bool m_passChange = true;
    QPixmap m_onImage;
    QPixmap m_offImage;
    ButtonTitle m_onTitle;
    ButtonTitle m_offTitle;
    QGradientStops m_onGradient;
};

}  // namespace kx::controls
