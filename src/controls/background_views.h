// Plain views that only draw a background behind their children.
#pragma once

#include <QWidget>

namespace kx::controls {

// A translucent dark pane with rounded corners (black at 70 % over whatever lies behind).
class KXRoundPaneView : public QWidget {
    Q_OBJECT
public:
    explicit KXRoundPaneView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A light cream strip with a thin grey frame, 2 points in from its top and bottom edges.
class KXBannerView : public QWidget {
    Q_OBJECT
public:
    explicit KXBannerView(QWidget* parent = nullptr);
    static QColor fillColor();
    static QColor frameColor();

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A white background.
class KXWhiteView : public QWidget {
    Q_OBJECT
public:
    explicit KXWhiteView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kx::controls
