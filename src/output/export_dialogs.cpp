#include "output/export_dialogs.h"

#include "output/export_accessory_view.h"
#include "output/export_choices.h"
#include "output/progress_sheet.h"
#include "platform/foundation/bundle.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>

QString exportText(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromLatin1(key));
}

namespace {

SavePanelRunner& panelSlot() {
    static SavePanelRunner runner;
    return runner;
}

InformationalAlertRunner& alertSlot() {
    static InformationalAlertRunner runner;
    return runner;
}

// The save panel of an export. When the export writes a folder of numbered files, an existing folder is a
// valid answer: choosing it (by name, or Save inside it with no name typed) accepts it instead of opening it.
class ExportSaveDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    bool folderTarget = false;

protected:
    void accept() override {
        const QStringList files = selectedFiles();
        if (folderTarget && !files.isEmpty() && QFileInfo(files.constFirst()).isDir()) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }
};

void applyTypes(QFileDialog& dialog, const QStringList& types) {
    static_cast<ExportSaveDialog&>(dialog).folderTarget = types.value(0) == KXFolderFileType;
    if (types.value(0) == KXFolderFileType) {
        // A folder of numbered files: the typed name becomes a folder, so no extension is added.
        dialog.setDefaultSuffix({});
        dialog.setNameFilter(kx::Bundle::main().localizedString(QStringLiteral("ExportFolder")) + QStringLiteral(" (*)"));
        return;
    }
    QStringList patterns;
    for (const QString& type : types)
        patterns.append(QStringLiteral("*.") + type);
    dialog.setDefaultSuffix(types.value(0));
    dialog.setNameFilters({patterns.join(u' '), QStringLiteral("* (*)")});
}

}  // namespace

QString runSavePanel(const KXSavePanelRequest& request) {
    if (const SavePanelRunner& replaced = panelSlot())
        return replaced(request);
    ExportSaveDialog dialog(request.parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setLabelText(QFileDialog::Accept, request.prompt);
    dialog.setDirectory(request.directory.isEmpty() ? QDir::homePath() : request.directory);
    dialog.selectFile(request.name);
    applyTypes(dialog, request.allowedTypes);
    QMetaObject::Connection follow;
    if (request.accessory) {
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(request.accessory, grid->rowCount(), 0, 1, grid->columnCount());
        follow = QObject::connect(request.accessory, &KXExportAccessoryView::allowedFileTypesChanged, &dialog,
                                  [&dialog](const QStringList& types) { applyTypes(dialog, types); });
    }
    const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    if (request.accessory) {
        // The accessory belongs to its controller and outlives the panel.
        QObject::disconnect(follow);
        request.accessory->setParent(nullptr);
    }
    return chosen ? dialog.selectedFiles().constFirst() : QString();
}

void setSavePanelRunner(SavePanelRunner runner) {
    panelSlot() = std::move(runner);
}

void runInformationalAlert(QWidget* parent, const QString& message, const QString& informative) {
    if (const InformationalAlertRunner& replaced = alertSlot()) {
        replaced(message, informative);
        return;
    }
    QMessageBox box(QMessageBox::Information, message, message, QMessageBox::NoButton, parent);
    box.setInformativeText(informative);
    box.addButton(kx::Bundle::main().localizedString(QStringLiteral("OK")), QMessageBox::AcceptRole);
    box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
}

void setInformationalAlertRunner(InformationalAlertRunner runner) {
    alertSlot() = std::move(runner);
}

void presentSheet(QDialog* sheet, QWidget* parent, bool wait) {
    QWidget* top = parent ? parent->window() : nullptr;
    if (top && top->windowHandle()) {
        sheet->winId();  // makes the native window, so that it can be tied to the parent
        sheet->windowHandle()->setTransientParent(top->windowHandle());
        sheet->setWindowModality(Qt::WindowModal);
    } else {
        sheet->setWindowModality(Qt::ApplicationModal);
    }
    if (wait)
        sheet->exec();
    else
        sheet->open();
}

void presentRenderingProgress(KXProgressBarController& progress, QWidget* parent) {
    progress.setIndeterminate(true);
    progress.showWindow();
    progress.setTip(exportText("Rendering"));
    presentSheet(progress.window(), parent, false);
}

void closeProgress(KXProgressBarController& progress) {
    progress.stopAnimation();
    progress.window()->hide();
}

void addSheetButtons(QDialog* sheet, QBoxLayout* column, QObject* receiver, std::function<void()> ok,
                     std::function<void()> cancel) {
    auto* buttons = new QHBoxLayout;
    auto* cancelButton = new QPushButton(exportText("Cancel"), sheet);
    auto* okButton = new QPushButton(exportText("OK"), sheet);
    okButton->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addWidget(okButton);
    column->addLayout(buttons);
    QObject::connect(okButton, &QPushButton::clicked, receiver, std::move(ok));
    QObject::connect(cancelButton, &QPushButton::clicked, receiver, std::move(cancel));
}
