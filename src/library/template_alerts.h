// The alerts of the template windows, run modally through one replaceable call so that tests can answer them.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace kx::templates {

// Shows an informational alert with the buttons (localised titles, first is the default) and answers the
// index of the button pressed, or -1 when the alert was dismissed otherwise.
using AlertRunner = std::function<int(QWidget* parent, const QString& message, const QString& informative,
                                      const QStringList& buttons)>;
// An empty runner restores the modal message box.
void setAlertRunner(AlertRunner runner);
int runAlert(QWidget* parent, const QString& message, const QString& informative, const QStringList& buttons);

// The text of a key of the application's string table.
QString localized(const QString& key);

}  // namespace kx::templates
