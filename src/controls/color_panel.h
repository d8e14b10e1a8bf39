// The one colour dialog the whole application shares (no buttons, alpha shown). It serves one target at a
// time: every colour the person picks in it goes to that target's action until the dialog closes or another
// target takes it over.
//
// Colour wells take the dialog with setColorWellTarget, which posts "KXColorWellTargetChanged" with the new
// well (or none) so that every other well drops its highlight. Other controls set a target directly with
// setTarget, which posts nothing.
#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>

#include <functional>

class QColorDialog;

namespace kx::controls {

class KXColorWell;

inline constexpr char kColorWellTargetChanged[] = "KXColorWellTargetChanged";

class KXColorPanel : public QObject {
    Q_OBJECT
public:
    using Action = std::function<void(const QColor&)>;

    static KXColorPanel& shared();

    // The dialog, made on first use.
    QColorDialog* dialog();

    void setColorWellTarget(KXColorWell* well);
    void setTarget(QObject* target, Action action);
    QObject* target() const { return m_target; }

    QColor color() const;
    // Shows a colour without handing it back to the target.
    void setColor(const QColor& color);
    void orderFront();
    bool isVisible() const;
    void close();

signals:
    // The dialog is closing; wells and stops bound to it let go.
    void willClose();

private:
    KXColorPanel() = default;
    void colorPicked(const QColor& color);

    QPointer<QColorDialog> m_dialog;
    QPointer<QObject> m_target;
    Action m_action;
    bool m_settingColor = false;
};

}  // namespace kx::controls
