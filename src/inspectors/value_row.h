// One numeric row of an inspector: a label, a slider, a field and a stepper that always show the same
// number. Writing the row from the model (show) reports nothing.
#pragma once

#include <QString>

class QLineEdit;
class QSlider;
class QWidget;

namespace kx::controls {
class KXStepper;
}

// Sets a widget's value without letting it report the change.
template <class Widget, class Setter>
void quietly(Widget* widget, Setter set) {
    const bool blocked = widget->blockSignals(true);
    set(widget);
    widget->blockSignals(blocked);
}

struct ValueRow {
    QSlider* slider = nullptr;
    kx::controls::KXStepper* stepper = nullptr;
    QLineEdit* field = nullptr;
    // All three show the value (the slider rounded); the field with `decimals` decimals.
    void show(double value, int decimals = 0) const;
    // The slider alone, then the stepper and field with another number (for angles whose slider is turned).
    void showTurned(int sliderValue, int value) const;
    void setEnabled(bool enabled) const;
};

// Builds the row's widgets at height y of the parent, 26 points high, with the slider's and stepper's range:
// the label from x 6, the slider from x 62, then the field and the stepper, which ends at x 188, so that a
// row fits the style inspector's width.
ValueRow makeValueRow(QWidget* parent, int y, const QString& label, int minimum, int maximum);
inline constexpr int kValueRowHeight = 26;
inline constexpr int kValueRowLabelX = 6;
// Where a row's first control starts; a colour well alone on its row starts there too.
inline constexpr int kValueRowControlX = 62;
