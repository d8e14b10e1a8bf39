// The application's look for control titles, kept in one place.
//
// Every checkbox, radio button and pop-up button title of the forms uses the dark grey style: the system
// font at 12 points in grey 56/255. Forms call restyleFormControls once after building their widgets (the
// step that loading from an interface file takes); KXApplicationStyle, installed on the application,
// keeps that look through later style and palette changes and is the one place that decides it.
#pragma once

#include <QColor>
#include <QFont>
#include <QProxyStyle>

class QWidget;

namespace kx::controls {

QColor darkGreyTitleColor();
QFont darkGreyTitleFont();

// Dynamic property that marks a widget whose title takes the dark grey style.
inline constexpr char kDarkGreyTitleProperty[] = "kxDarkGreyTitle";

// Gives one widget the dark grey title (font and the text roles of its palette) and marks it, so that the
// application style keeps the look when the widget is polished again.
void applyDarkGreyTitle(QWidget* widget);

// What loading a form does to its controls: every checkbox, radio button and plain pop-up button
// (QComboBox) inside `form` gets the dark grey title. KXPopUpButton styles its items itself; controls made
// in code outside a form keep the platform's title style.
void restyleFormControls(QWidget* form);

// The application style: Fusion, with the dark grey titles re-applied whenever a marked control is polished.
class KXApplicationStyle : public QProxyStyle {
public:
    KXApplicationStyle();
    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
};

// Installs KXApplicationStyle on the running application (once; later calls do nothing).
void installApplicationStyle();

}  // namespace kx::controls
