#include "controls/stepper_field.h"

#include "controls/stepper.h"

#include <QLineEdit>

#include <cmath>

namespace kx::controls {

std::optional<double> leadingNumber(const QString& text, bool allowFraction) {
    int i = 0;
    const int n = int(text.size());
    while (i < n && text[i].isSpace())
        ++i;
    const int start = i;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    int digits = 0;
    auto readDigits = [&] {
        while (i < n && text[i].unicode() >= u'0' && text[i].unicode() <= u'9') {
            ++i;
            ++digits;
        }
    };
    readDigits();
    if (allowFraction && i < n && text[i] == u'.') {
        ++i;
        readDigits();
    }
    if (digits == 0)
        return std::nullopt;
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

KXStepperField::KXStepperField(QLineEdit* field, KXStepper* stepper, int decimals, QObject* parent)
    : QObject(parent), m_field(field), m_stepper(stepper), m_decimals(std::max(decimals, 0)) {
    connect(stepper, &KXStepper::activated, this, &KXStepperField::onStepperActivated);
    connect(field, &QLineEdit::textEdited, this, &KXStepperField::onTextEdited);
    connect(field, &QLineEdit::editingFinished, this, &KXStepperField::onEditingFinished);
}

QString KXStepperField::format(double value) const {
    if (m_formatter)
        return m_formatter(value);
    return QString::number(value, 'f', m_decimals);
}

double KXStepperField::clamp(double value) const {
    if (m_decimals == 0)
        value = std::trunc(value);
    return m_stepper ? clampToRange(value, m_stepper->minimum(), m_stepper->maximum()) : value;
}

void KXStepperField::setValue(double value) {
    if (!m_stepper || !m_field)
        return;
    m_stepper->setValue(value);
    m_field->setText(format(m_stepper->value()));
}

double KXStepperField::value() const {
    return m_stepper ? m_stepper->value() : 0;
}

void KXStepperField::onStepperActivated() {
    if (!m_stepper || !m_field)
        return;
    m_field->setText(format(m_stepper->value()));
    emit stepped(m_stepper->value());
}

void KXStepperField::onTextEdited(const QString& text) {
    if (!m_stepper || !m_field)
        return;
    const std::optional<double> number = leadingNumber(text, m_decimals > 0);
    if (!number)
        return;
    const double clamped = clamp(*number);
    m_stepper->setValue(clamped);
    if (m_policy == TypingPolicy::RewriteWhileTyping && clamped != *number)
        m_field->setText(format(clamped));
    emit typed(clamped);
}

void KXStepperField::onEditingFinished() {
    if (!m_stepper || !m_field)
        return;
    const std::optional<double> number = leadingNumber(m_field->text(), m_decimals > 0);
    const double clamped = number ? clamp(*number) : m_stepper->value();
    m_stepper->setValue(clamped);
    m_field->setText(format(clamped));
    emit editingEnded(clamped);
}

}  // namespace kx::controls
