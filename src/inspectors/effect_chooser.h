// The floating chooser of photo effects: a grid of the effect catalogue's previews with their titles, shown
// under the button that opens it and hidden when it loses the keyboard focus. The effect in use is the
// selected cell; choosing another cell reports its index to the owner.
#pragma once

#include "controls/popup_window.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class KXImageEffectManager;
class QWidget;

namespace kx {
class ImageBrowserView;
}

class KXEffectChooser : public QObject {
public:
    // `parent` owns the chooser's window (it stays a window of its own).
    explicit KXEffectChooser(QWidget* parent);
    ~KXEffectChooser() override;

    // The catalogue listed; the application's shared one unless another is given (which must outlive the
    // chooser). Setting one reloads the cells.
    void setCatalogue(const KXImageEffectManager* catalogue);
    const KXImageEffectManager& catalogue() const;

    // Refills the cells from the catalogue, keeping the selected index when it still exists.
    void reloadData();
    int numberOfItems() const;

    // The cell of the effect a photo named `effectName` is drawn with: the first effect whose name equals it
    // ignoring letter case, as drawing looks it up, or 0 ("Original") when no effect is called so.
    int indexForEffectName(const QString& effectName) const;
    // Whether a photo with this effect name asks for an effect the catalogue does not have (an empty name,
    // and the name of the "Original" cell, ask for none).
    bool isMissingEffect(const QString& effectName) const;

    // Selects the cell at `index` and scrolls to it without reporting a choice.
    void selectIndex(int index);
    // The selected cell, -1 for none.
    int selectedIndex() const;

    // Called with the cell's index when a person selects a cell.
    void setChoiceHandler(std::function<void(int)> handler) { m_choice = std::move(handler); }

    // Shows the chooser with its top edge on the bottom edge of `button`, centred under it (kept on the
    // button's screen), and gives it the focus. A press of the mouse anywhere else in the application hides
    // it, also where no window manager moves the focus on a click.
    void popupBelow(QWidget* button);
    // Hides the chooser when it is shown and shows it under `button` otherwise.
    void toggleBelow(QWidget* button);
    bool isShown() const;

    kx::ImageBrowserView* browser() const { return m_browser; }
    kx::controls::KXPopupWindow* window() const { return m_window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void selectionChanged();

    const KXImageEffectManager* m_catalogue = nullptr;
    QPointer<kx::controls::KXPopupWindow> m_window;
    kx::ImageBrowserView* m_browser = nullptr;
    std::function<void(int)> m_choice;
    QPointer<QWidget> m_button;
    bool m_selecting = false;
};
