// A stepper: two small arrows that raise or lower a value by an increment between a minimum and a
// maximum. It never wraps: stepping past a bound stays at the bound.
//
// valueChanged tells every change of the value; activated tells each step the user asks for (a click on an
// arrow, each repeat while it is held, an arrow key), also one that a bound stopped.
#pragma once

#include <QTimer>
#include <QWidget>

namespace kx::controls {

// The value clamped to [minimum, maximum] (a range given upside down counts as the minimum alone).
double clampToRange(double value, double minimum, double maximum);
// The value after `steps` steps of `increment` (negative steps go down), clamped; no wrapping.
double steppedValue(double value, double increment, int steps, double minimum, double maximum);

class KXStepper : public QWidget {
    Q_OBJECT
public:
    explicit KXStepper(QWidget* parent = nullptr);

    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    // Changing the range clamps the value into it.
    void setRange(double minimum, double maximum);
    void setMinimum(double minimum) { setRange(minimum, m_maximum); }
    void setMaximum(double maximum) { setRange(m_minimum, maximum); }
    double increment() const { return m_increment; }
    void setIncrement(double increment);

    double value() const { return m_value; }
    int intValue() const;
    // Sets the value, clamped to the range.
    void setValue(double value);

    // One user step up (+1) or down (-1): the value moves and activated is sent.
    void stepBy(int steps);

    QSize sizeHint() const override;

signals:
    void valueChanged(double value);
    void activated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void repeatStep();
    void stopRepeat();

    double m_minimum = 0;
    double m_maximum = 100;
    double m_increment = 1;
    double m_value = 0;
    // The arrow held down: +1 up, -1 down, 0 none.
    int m_heldDirection = 0;
    QTimer m_repeat;
};

}  // namespace kx::controls
