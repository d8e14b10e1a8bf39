// A controller that owns one view, built on first use. The view may be placed anywhere in a window; it is
// deleted with its controller, and a controller whose view was deleted with its window builds no new one.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class KXViewController : public QObject {
    Q_OBJECT
public:
    KXViewController() = default;
    ~KXViewController() override;
    KXViewController(const KXViewController&) = delete;
    KXViewController& operator=(const KXViewController&) = delete;

    // The view, built by loadView() on the first call; null once its window has deleted it.
    QWidget* view();
    bool isViewLoaded() const { return m_loaded; }

protected:
    // Builds the controller's view (called once).
    virtual QWidget* loadView() = 0;
    // Called right after the view has been built.
    virtual void viewDidLoad() {}

private:
    QPointer<QWidget> m_view;
    bool m_loaded = false;
};

// Whether the widget or one of its ancestors inside its window has been hidden; a window that is not shown
// does not count, so that a panel inside a window not yet on screen reads as shown.
bool isHiddenOrHasHiddenAncestor(const QWidget* widget);
