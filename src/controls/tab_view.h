// The container in which a panel shows one of its views at a time. A new view either takes the place of
// the current one at once or slides in while the current one slides out (0.3 s); the panels of the
// application use the immediate swap. The shown view always fills the tab view.
#pragma once

#include <QPointer>
#include <QWidget>

class QParallelAnimationGroup;

class KXTabView : public QWidget {
    Q_OBJECT
public:
    explicit KXTabView(QWidget* parent = nullptr);
    ~KXTabView() override;

    // Shows the view with a style of KXTabViewSlideStyle. Nothing when it is already the current view. A
    // slide still running is first completed. Without a current view the view is simply put in; with the
    // immediate swap the previous view leaves the tab view at once; with a slide it stays a child, outside
    // the bounds, until the next request.
    void showView(QWidget* view, int style);
    QWidget* currentView() const { return m_currentView; }

    // Whether the panel's box (a light grey fill with grey lines at the sides) is drawn; on by default.
    bool showBox() const { return m_showBox; }
    void setShowBox(bool show);

    // Whether a slide is running.
    bool isSliding() const { return m_animation != nullptr; }
    // Brings a running slide to its end at once: the views take their end frames and the view that slid out
    // leaves the tab view.
    void finishSlide();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void removeFromTabView(QWidget* view);
    void slideDidEnd();

    QPointer<QWidget> m_currentView;
    // The view that slides out while a slide runs.
    QPointer<QWidget> m_leavingView;
    bool m_showBox = true;
    QParallelAnimationGroup* m_animation = nullptr;
};
