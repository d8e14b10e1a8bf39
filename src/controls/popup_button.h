// A pop-up button whose items carry dark grey 12-point titles, whether they came from the form or were
// added in code.
#pragma once

#include <QComboBox>
#include <QStringList>

namespace kx::controls {

class KXPopUpButton : public QComboBox {
    Q_OBJECT
public:
    explicit KXPopUpButton(QWidget* parent = nullptr);

    // The loading step: re-titles every item already there in the dark grey style.
    void awakeFromInterfaceFile();
    // Replaces every item by the given titles, each in the dark grey style (the role of giving the button
    // a new menu).
    void setMenuTitles(const QStringList& titles);

    // Appends an item with this title in the dark grey style; it carries no data.
    void addItemWithTitle(const QString& title);
    void addItemsWithTitles(const QStringList& titles);

private:
    void styleItem(int index);
};

}  // namespace kx::controls
