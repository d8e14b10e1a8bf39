// The modal questions of the export: the save panel (with an accessory view whose allowed file types may
// change while it is open) and the informational alert. Both can be replaced, so that tests answer for the
// user.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QBoxLayout;
class QDialog;
class QObject;
class QWidget;
class KXExportAccessoryView;
class KXProgressBarController;

// The text of a key of the application's Localizable strings.
QString exportText(const char* key);

struct KXSavePanelRequest {
    QWidget* parent = nullptr;
    QString prompt;
    // The folder the panel opens in (empty: the user's home folder), and the name it proposes.
    QString directory;
    QString name;
    // ["public.folder"] asks for a new or existing folder; otherwise the extensions allowed.
    QStringList allowedTypes;
    // Shown below the panel's own controls; its allowedFileTypesChanged() updates the panel. May be null.
    KXExportAccessoryView* accessory = nullptr;
};

// Runs the panel modally; the chosen path, or an empty string when the user cancelled.
QString runSavePanel(const KXSavePanelRequest& request);
using SavePanelRunner = std::function<QString(const KXSavePanelRequest&)>;
void setSavePanelRunner(SavePanelRunner runner);

// An informational alert with one "OK" button, window-modal on `parent`.
void runInformationalAlert(QWidget* parent, const QString& message, const QString& informative);
using InformationalAlertRunner = std::function<void(const QString& message, const QString& informative)>;
void setInformationalAlertRunner(InformationalAlertRunner runner);

// Shows a dialog as a sheet of `parent`: above it and blocking input to it (application-modal without a
// parent). The dialog is not reparented, so its owner keeps deleting it. `wait` runs it to its end (exec).
void presentSheet(QDialog* sheet, QWidget* parent, bool wait);

// Shows the progress sheet of a run on `parent`: the localised "Rendering", the bar running, the cancel
// flag cleared.
void presentRenderingProgress(KXProgressBarController& progress, QWidget* parent);
// Stops the bar and takes the progress sheet down.
void closeProgress(KXProgressBarController& progress);

// The Cancel and OK buttons of a sheet (OK the default), right-aligned at the bottom of `column`; their
// actions run in `receiver`'s context.
void addSheetButtons(QDialog* sheet, QBoxLayout* column, QObject* receiver, std::function<void()> ok,
                     std::function<void()> cancel);
