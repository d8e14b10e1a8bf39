#include "app/preferences_window.h"

#include "app/app_delegate.h"
#include "library/resource_list_view_controller.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace {

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

bool storedBool(const QString& key) {
    return kx::UserDefaults::standard().boolValue(key);
}

void storeBool(const QString& key, bool on) {
    kx::UserDefaults::standard().setValue(key, on);
}

}  // namespace

KXPreferencesWindowController* KXPreferencesWindowController::preferences() {
    // Kept for the process, like the menu that opens it; never parented, so it is a window of its own.
    static KXPreferencesWindowController* shared = new KXPreferencesWindowController;
    return shared;
}

void KXPreferencesWindowController::showPreferences() {
    KXPreferencesWindowController* window = preferences();
    window->synchronizePreferencesState();
    window->show();
    window->raise();
    window->activateWindow();
}

KXPreferencesWindowController::KXPreferencesWindowController() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("PreferencesWindow"));
    setWindowTitle(localized("Preferences"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(10);
    const auto box = [&](const char* key, const char* name, void (KXPreferencesWindowController::*setter)(bool)) {
        auto* check = new QCheckBox(localized(key), this);
        check->setObjectName(QString::fromLatin1(name));
        layout->addWidget(check);
        // `clicked` comes from the person only, so filling the boxes from the store writes nothing back.
        connect(check, &QCheckBox::clicked, this, [this, setter](bool on) { (this->*setter)(on); });
        return check;
    };
    m_disableAutoSave = box("PreferencesDisableAutoSave", "disableAutoSave", &KXPreferencesWindowController::setDisableAutoSave);
    m_remindExport = box("PreferencesNoExportReminder", "remindExprotSuccessful",
                         &KXPreferencesWindowController::setRemindExprotSuccessful);
    m_imageCopyright = box("PreferencesNoImageCopyright", "notShowImageCopyright",
                           &KXPreferencesWindowController::setNotShowImageCopyright);
    m_notAskDelete = box("PreferencesNoDeleteQuestion", "notAskDeleteResources",
                         &KXPreferencesWindowController::setNotAskDeleteResources);
    layout->addStretch();
    setFixedSize(sizeHint().expandedTo(QSize(380, 0)));

    m_preferencesObservation = kx::NotificationCenter::defaultCenter().addObserver(
        KXPreferencesChanged, nullptr, [this](const kx::Notification&) { synchronizePreferencesState(); });
    synchronizePreferencesState();
}

KXPreferencesWindowController::~KXPreferencesWindowController() = default;

bool KXPreferencesWindowController::disableAutoSave() const {
    return storedBool(KXDisableAutoSaveKey);
}

void KXPreferencesWindowController::setDisableAutoSave(bool on) {
    storeBool(KXDisableAutoSaveKey, on);
    m_disableAutoSave->setChecked(on);
}

bool KXPreferencesWindowController::remindExprotSuccessful() const {
    return !storedBool(KXShowExportingTip);
}

void KXPreferencesWindowController::setRemindExprotSuccessful(bool on) {
    storeBool(KXShowExportingTip, !on);
    m_remindExport->setChecked(on);
}

bool KXPreferencesWindowController::notShowImageCopyright() const {
    return storedBool(KXNotShowSearchImageAlert);
}

void KXPreferencesWindowController::setNotShowImageCopyright(bool on) {
    storeBool(KXNotShowSearchImageAlert, on);
    m_imageCopyright->setChecked(on);
}

bool KXPreferencesWindowController::notAskDeleteResources() const {
    return storedBool(KXNotAskDeleteCustomResource);
}

void KXPreferencesWindowController::setNotAskDeleteResources(bool on) {
    storeBool(KXNotAskDeleteCustomResource, on);
    m_notAskDelete->setChecked(on);
}

void KXPreferencesWindowController::synchronizePreferencesState() {
    // All four are read again: any of them may have been changed elsewhere (the resource list's delete
    // question, the export sheet's own check box).
    m_disableAutoSave->setChecked(disableAutoSave());
    m_remindExport->setChecked(remindExprotSuccessful());
    m_imageCopyright->setChecked(notShowImageCopyright());
    m_notAskDelete->setChecked(notAskDeleteResources());
}
