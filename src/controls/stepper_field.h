// Pairs a number field with a stepper.
//
// - A step of the stepper writes the value into the field and is reported by stepped().
// - While the user types, the number typed is clamped to the stepper's range and given to the stepper, and
//   reported by typed(); the field keeps the text as typed, or (RewriteWhileTyping) shows the clamped value
//   at once when the typed one was out of range.
// - When editing ends (Return or focus leaving), the field is rewritten with the clamped value (the
//   stepper's own value when the text holds no number) and editingEnded() reports it.
// Writing the field and the stepper from the model (setValue) reports nothing.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QLineEdit;

namespace kx::controls {

class KXStepper;

// The number at the start of a text, read the way fields read numbers: leading blanks, a sign, digits and
// (when `decimals` > 0) a fraction; the rest is ignored. No number at the start: nothing.
std::optional<double> leadingNumber(const QString& text, bool allowFraction);

class KXStepperField : public QObject {
    Q_OBJECT
public:
    enum class TypingPolicy { KeepTypedText, RewriteWhileTyping };

    // Neither widget is owned. `decimals` is the number of decimals the field shows (0: whole numbers).
    KXStepperField(QLineEdit* field, KXStepper* stepper, int decimals = 0, QObject* parent = nullptr);

    void setTypingPolicy(TypingPolicy policy) { m_policy = policy; }
    // Replaces the default formatting ("%.Nf" with the given decimals).
    void setFormatter(std::function<QString(double)> formatter) { m_formatter = std::move(formatter); }

    // Shows a value in both controls (clamped to the stepper's range) without reporting it.
    void setValue(double value);
    double value() const;
    QString format(double value) const;

signals:
    void stepped(double value);
    void typed(double value);
    void editingEnded(double value);

private:
    void onStepperActivated();
    void onTextEdited(const QString& text);
    void onEditingFinished();
    double clamp(double value) const;

    QPointer<QLineEdit> m_field;
    QPointer<KXStepper> m_stepper;
    int m_decimals = 0;
    TypingPolicy m_policy = TypingPolicy::KeepTypedText;
    std::function<QString(double)> m_formatter;
};

}  // namespace kx::controls
