// An alert that may show a checkbox under its informative text, for questions the user may ask not to be
// asked again. The checkbox exists only while it is shown; its state reads -1 without one.
#pragma once

#include <QCheckBox>
#include <QMessageBox>
#include <QPointer>

#include <memory>


// Answers of an alert made by alertWithMessageText, by the button chosen.
enum KXAlertReturn : int {
    KXAlertDefaultReturn = 1,
    KXAlertAlternateReturn = 0,
    KXAlertOtherReturn = -1,
};

class KXCheckBoxAlert : public QMessageBox {
    Q_OBJECT
public:
    explicit KXCheckBoxAlert(QWidget* parent = nullptr);
    ~KXCheckBoxAlert() override;

    // An informational alert with the message and the informative text and up to three buttons: the default
    // one (titled "OK" when its title is empty), then the alternate and the other one when they have
    // titles. exec() answers a KXAlertReturn.
    static std::unique_ptr<KXCheckBoxAlert> alertWithMessageText(const QString& message, const QString& defaultButton,
                                                                 const QString& alternateButton,
                                                                 const QString& otherButton,
                                                                 const QString& informativeText,
                                                                 QWidget* parent = nullptr);

    // On: creates the checkbox once and places it under the informative text, in that text's font. Off:
    // takes it away and forgets it.
    void setShowsCheckbox(bool show);
    bool showsCheckbox() const { return m_checkbox != nullptr; }
    // Both act only while the checkbox exists.
    void setCheckboxText(const QString& text);
    void setCheckboxState(int state);
    // 1 checked, 0 not, -1 without a checkbox.
    int checkboxState() const;
    QCheckBox* checkbox() const { return m_checkbox; }

    // The button chosen, as a KXAlertReturn, for alerts made by alertWithMessageText.
    int exec() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Gives the checkbox the informative text's font and the first button the focus.
    void placeCheckbox();

    QPointer<QCheckBox> m_checkbox;
    QPointer<QAbstractButton> m_defaultButton;
    QPointer<QAbstractButton> m_alternateButton;
    QPointer<QAbstractButton> m_otherButton;
};
