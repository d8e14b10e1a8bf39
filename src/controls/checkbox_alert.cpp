#include "controls/checkbox_alert.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>

namespace {

// QMessageBox names the label of its informative text so.
const char* const kInformativeLabelName = "qt_msgbox_informativelabel";

// Points between the informative text and the checkbox under it.
constexpr int kCheckboxGap = 14;

}  // namespace

KXCheckBoxAlert::KXCheckBoxAlert(QWidget* parent) : QMessageBox(parent) {}

KXCheckBoxAlert::~KXCheckBoxAlert() = default;

std::unique_ptr<KXCheckBoxAlert> KXCheckBoxAlert::alertWithMessageText(const QString& message,
                                                                       const QString& defaultButton,
                                                                       const QString& alternateButton,
                                                                       const QString& otherButton,
                                                                       const QString& informativeText,
                                                                       QWidget* parent) {
    auto alert = std::make_unique<KXCheckBoxAlert>(parent);
    alert->setIcon(QMessageBox::Information);
    alert->setText(message);
    alert->setInformativeText(informativeText);
    alert->m_defaultButton =
        alert->addButton(defaultButton.isEmpty() ? QMessageBox::tr("OK") : defaultButton, QMessageBox::AcceptRole);
    if (!alternateButton.isEmpty())
        alert->m_alternateButton = alert->addButton(alternateButton, QMessageBox::RejectRole);
    if (!otherButton.isEmpty())
        alert->m_otherButton = alert->addButton(otherButton, QMessageBox::ActionRole);
    alert->setDefaultButton(qobject_cast<QPushButton*>(alert->m_defaultButton.data()));
    return alert;
}

void KXCheckBoxAlert::setShowsCheckbox(bool show) {
    if (show) {
        if (m_checkbox)
            return;
        auto* box = new QCheckBox(this);
        m_checkbox = box;
        setCheckBox(box);
        placeCheckbox();
        return;
    }
    if (!m_checkbox)
        return;
    QCheckBox* box = m_checkbox;
    m_checkbox = nullptr;
    setCheckBox(nullptr);
    // It is not needed again (the message box may already have scheduled this itself).
    box->deleteLater();
}

void KXCheckBoxAlert::setCheckboxText(const QString& text) {
    if (m_checkbox)
        m_checkbox->setText(text);
}

void KXCheckBoxAlert::setCheckboxState(int state) {
    if (m_checkbox)
        m_checkbox->setChecked(state != 0);
}

int KXCheckBoxAlert::checkboxState() const {
    if (!m_checkbox)
        return -1;
    return m_checkbox->isChecked() ? 1 : 0;
}

int KXCheckBoxAlert::exec() {
    QMessageBox::exec();
    QAbstractButton* chosen = clickedButton();
    if (chosen && chosen == m_alternateButton)
        return KXAlertAlternateReturn;
    if (chosen && chosen == m_otherButton)
        return KXAlertOtherReturn;
    return KXAlertDefaultReturn;
}

void KXCheckBoxAlert::showEvent(QShowEvent* event) {
    placeCheckbox();
    QMessageBox::showEvent(event);
}

void KXCheckBoxAlert::placeCheckbox() {
    if (!m_checkbox)
        return;
    // Without an informative text the checkbox keeps the message box's own place and font.
    const auto* informative = findChild<QLabel*>(QString::fromLatin1(kInformativeLabelName));
    if (informative && !informative->text().isEmpty())
        m_checkbox->setFont(informative->font());
    m_checkbox->adjustSize();
    // The checkbox keeps a gap of kCheckboxGap points under the text: its row is made that much higher
    // than the checkbox, less the grid's own spacing, and the checkbox sits at the row's bottom.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int index = grid->indexOf(m_checkbox.data());
        if (index >= 0) {
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
            const int spacing = std::max(0, grid->verticalSpacing());
            // The message box puts a fixed spacer under its checkbox; the gap above replaces it.
            for (int i = 0; i < grid->count(); ++i) {
                int itemRow = 0, itemColumn = 0, itemRows = 0, itemColumns = 0;
                grid->getItemPosition(i, &itemRow, &itemColumn, &itemRows, &itemColumns);
                if (QSpacerItem* spacer = grid->itemAt(i)->spacerItem(); spacer && itemRow == row + 1)
                    spacer->changeSize(0, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
            }
            grid->setRowMinimumHeight(row, m_checkbox->sizeHint().height() + std::max(0, kCheckboxGap - spacing));
            grid->setAlignment(m_checkbox.data(), Qt::AlignLeft | Qt::AlignBottom);
        }
    }
    const QList<QAbstractButton*> all = buttons();
    if (QAbstractButton* first = m_defaultButton ? m_defaultButton.data() : (all.isEmpty() ? nullptr : all.first()))
        first->setFocus();
}
