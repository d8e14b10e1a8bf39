#include "controls/control_style.h"

#include "controls/popup_button.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QRadioButton>
#include <QStyleFactory>

namespace kx::controls {

QColor darkGreyTitleColor() {
    return QColor(56, 56, 56);
}

QFont darkGreyTitleFont() {
    QFont font = QApplication::font();
    font.setPointSizeF(12);
    return font;
}

namespace {

void setDarkGreyLook(QWidget* widget) {
    widget->setFont(darkGreyTitleFont());
    QPalette palette = widget->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
        palette.setColor(QPalette::Active, role, darkGreyTitleColor());
        palette.setColor(QPalette::Inactive, role, darkGreyTitleColor());
    }
    widget->setPalette(palette);
}

bool takesFormTitleStyle(QWidget* widget) {
    if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget))
        return true;
    return qobject_cast<QComboBox*>(widget) && !qobject_cast<KXPopUpButton*>(widget);
}

}  // namespace

void applyDarkGreyTitle(QWidget* widget) {
    if (!widget)
        return;
    widget->setProperty(kDarkGreyTitleProperty, true);
    setDarkGreyLook(widget);
}

void restyleFormControls(QWidget* form) {
    if (!form)
        return;
    if (takesFormTitleStyle(form))
        applyDarkGreyTitle(form);
    for (QWidget* child : form->findChildren<QWidget*>())
        if (takesFormTitleStyle(child))
            applyDarkGreyTitle(child);
}

KXApplicationStyle::KXApplicationStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void KXApplicationStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    if (widget && widget->property(kDarkGreyTitleProperty).toBool())
        setDarkGreyLook(widget);
}

void installApplicationStyle() {
    if (dynamic_cast<KXApplicationStyle*>(QApplication::style()))
        return;
    QApplication::setStyle(new KXApplicationStyle);
}

}  // namespace kx::controls
