// An image view that reports clicks: a mouse-up over the enabled view posts "KXPopupImageViewClicked"
// (object: the view) and emits clicked().
#pragma once

#include <QLabel>
#include <QString>

namespace kx::controls {

inline const QString KXPopupImageViewClicked = QStringLiteral("KXPopupImageViewClicked");

class KXPopupImageView : public QLabel {
    Q_OBJECT
public:
    explicit KXPopupImageView(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace kx::controls
