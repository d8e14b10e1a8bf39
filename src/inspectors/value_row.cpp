#include "inspectors/value_row.h"

#include "controls/stepper.h"

#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <cmath>

using kx::controls::KXStepper;

void ValueRow::show(double value, int decimals) const {
    quietly(slider, [&](QSlider* s) { s->setValue(int(std::lround(value))); });
    quietly(stepper, [&](KXStepper* s) { s->setValue(value); });
    quietly(field, [&](QLineEdit* f) { f->setText(QString::number(value, 'f', decimals)); });
}

void ValueRow::showTurned(int sliderValue, int value) const {
    quietly(slider, [&](QSlider* s) { s->setValue(sliderValue); });
    quietly(stepper, [&](KXStepper* s) { s->setValue(value); });
    quietly(field, [&](QLineEdit* f) { f->setText(QString::number(value)); });
}

void ValueRow::setEnabled(bool enabled) const {
    slider->setEnabled(enabled);
    stepper->setEnabled(enabled);
    field->setEnabled(enabled);
}

ValueRow makeValueRow(QWidget* parent, int y, const QString& label, int minimum, int maximum) {
    auto* title = new QLabel(label, parent);
    title->setGeometry(kValueRowLabelX, y, kValueRowControlX - kValueRowLabelX - 2, kValueRowHeight - 4);
    ValueRow row;
    row.slider = new QSlider(Qt::Horizontal, parent);
    row.slider->setRange(minimum, maximum);
    row.slider->setGeometry(kValueRowControlX, y, 70, kValueRowHeight - 4);
    row.field = new QLineEdit(parent);
    row.field->setGeometry(136, y, 34, kValueRowHeight - 4);
    row.stepper = new KXStepper(parent);
    row.stepper->setRange(minimum, maximum);
    row.stepper->setGeometry(172, y, 16, kValueRowHeight - 4);
    return row;
}
