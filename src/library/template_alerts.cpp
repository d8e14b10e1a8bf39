#include "library/template_alerts.h"

#include "graphics/app_info.h"
#include "platform/foundation/bundle.h"

#include <QMessageBox>
#include <QPushButton>

namespace kx::templates {

namespace {

AlertRunner& runnerSlot() {
    static AlertRunner runner;
    return runner;
}

int runMessageBox(QWidget* parent, const QString& message, const QString& informative, const QStringList& buttons) {
    QMessageBox box(QMessageBox::Information, bundleName(), message, QMessageBox::NoButton, parent);
    box.setInformativeText(informative);
    std::vector<QAbstractButton*> added;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        QPushButton* button = box.addButton(buttons[i], i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        if (i == 0)
            box.setDefaultButton(button);
        added.push_back(button);
    }
    box.exec();
    const auto it = std::find(added.begin(), added.end(), box.clickedButton());
    return it == added.end() ? -1 : int(it - added.begin());
}

}  // namespace

void setAlertRunner(AlertRunner runner) {
    runnerSlot() = std::move(runner);
}

int runAlert(QWidget* parent, const QString& message, const QString& informative, const QStringList& buttons) {
    if (runnerSlot())
        return runnerSlot()(parent, message, informative, buttons);
    return runMessageBox(parent, message, informative, buttons);
}

QString localized(const QString& key) {
    return Bundle::main().localizedString(key);
}

}  // namespace kx::templates
