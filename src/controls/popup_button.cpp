#include "controls/popup_button.h"

#include "controls/control_style.h"

#include <QBrush>

namespace kx::controls {

KXPopUpButton::KXPopUpButton(QWidget* parent) : QComboBox(parent) {}

void KXPopUpButton::styleItem(int index) {
    // The closed button shows the current item's title, so it takes the same style as its items.
    if (!property(kDarkGreyTitleProperty).toBool())
        applyDarkGreyTitle(this);
    setItemData(index, darkGreyTitleFont(), Qt::FontRole);
    setItemData(index, QBrush(darkGreyTitleColor()), Qt::ForegroundRole);
}

void KXPopUpButton::awakeFromInterfaceFile() {
    applyDarkGreyTitle(this);
    for (int i = 0; i < count(); ++i)
        styleItem(i);
}

void KXPopUpButton::setMenuTitles(const QStringList& titles) {
    clear();
    addItemsWithTitles(titles);
}

void KXPopUpButton::addItemWithTitle(const QString& title) {
    addItem(title);
    styleItem(count() - 1);
}

void KXPopUpButton::addItemsWithTitles(const QStringList& titles) {
    for (const QString& title : titles)
        addItemWithTitle(title);
}

}  // namespace kx::controls
