// The banner of the template chooser that leads to the content store.
#pragma once

#include <QWidget>

#include <functional>

class KXTemPanelView : public QWidget {
    Q_OBJECT
public:
    explicit KXTemPanelView(QWidget* parent = nullptr);
    bool isDown() const { return m_isDown; }
    // Called when the banner is clicked: the chooser opens the content store.
    std::function<void()> storeAction;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_isDown = false;
};
