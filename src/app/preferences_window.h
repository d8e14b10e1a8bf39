// The preferences window: four check boxes bound to user settings. Each property reads and writes the
// settings store directly, so a change takes effect everywhere at once; when another part of the program
// changes a preference and posts KXPreferencesChanged, the window reads all four again.
#pragma once

#include "platform/foundation/notification_center.h"

#include <QWidget>

class QCheckBox;

class KXPreferencesWindowController : public QWidget {
    Q_OBJECT
public:
    // The shared window, made on first use and kept for the process.
    static KXPreferencesWindowController* preferences();
    // Shows the shared window and brings it to the front.
    static void showPreferences();

    KXPreferencesWindowController();
    ~KXPreferencesWindowController() override;

    // "KXDisableAutoSave", as stored.
    bool disableAutoSave() const;
    void setDisableAutoSave(bool on);
    // The opposite of "KXShowExportingTip": on while the sheet after an export is not shown.
    bool remindExprotSuccessful() const;
    void setRemindExprotSuccessful(bool on);
    // "KXNotShowSearchImageAlert", as stored.
    bool notShowImageCopyright() const;
    void setNotShowImageCopyright(bool on);
    // "KXNotAskDeleteCustomResource", as stored.
    bool notAskDeleteResources() const;
    void setNotAskDeleteResources(bool on);

    // Sets every check box from the stored settings.
    void synchronizePreferencesState();

    QCheckBox* disableAutoSaveBox() const { return m_disableAutoSave; }
    QCheckBox* remindExportBox() const { return m_remindExport; }
    QCheckBox* imageCopyrightBox() const { return m_imageCopyright; }
    QCheckBox* askDeleteBox() const { return m_notAskDelete; }

private:
    QCheckBox* m_disableAutoSave;
    QCheckBox* m_remindExport;
    QCheckBox* m_imageCopyright;
    QCheckBox* m_notAskDelete;
    kx::NotificationToken m_preferencesObservation;
};
