#include "output/export_pdf_controller.h"

#include "graphics/app_info.h"
#include "output/export_dialogs.h"
#include "platform/foundation/bundle.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The paper-size presets of the pop-up (titles only: the output follows the page size).
const char* const kPaperSizes[] = {"Letter", "Legal", "Tabloid", "A3", "A4", "A5", "B4", "B5", "Envelope #10",
                                   "Envelope DL", "Envelope C5", "Postcard", "Photo 4 x 6"};

}  // namespace

QString applicationBundleName() {
    const QString name = bundleName();
    return name.isEmpty() ? QCoreApplication::applicationName() : name;
}

KXExportPdfController::KXExportPdfController() = default;
KXExportPdfController::~KXExportPdfController() = default;

QDialog* KXExportPdfController::window() {
    if (!m_window)
        loadWindow();
    return m_window.get();
}

void KXExportPdfController::loadWindow() {
    m_window = std::make_unique<QDialog>();
    m_window->setObjectName(QStringLiteral("ExportPdf"));
    auto* column = new QVBoxLayout(m_window.get());
    auto* form = new QFormLayout;
    m_pubPDFSize = new QComboBox(m_window.get());
    m_pubPDFSize->setObjectName(QStringLiteral("pubPDFSize"));
    for (const char* size : kPaperSizes)
        m_pubPDFSize->addItem(QString::fromLatin1(size));
    m_pubPDFSize->setCurrentIndex(4);
    m_btMatching = new QCheckBox(exportText("AutoAdjust"), m_window.get());
    m_tfTitle = new QLineEdit(exportText("Untitled"), m_window.get());
    m_tfTitle->setObjectName(QStringLiteral("tfTitle"));
    m_tfAuthor = new QLineEdit(applicationBundleName(), m_window.get());
    m_tfAuthor->setObjectName(QStringLiteral("tfAuthor"));
    m_tfSubject = new QLineEdit(exportText("None"), m_window.get());
    m_tfSubject->setObjectName(QStringLiteral("tfSubject"));
    m_tvKeywords = new QPlainTextEdit(m_window.get());
    m_tvKeywords->setObjectName(QStringLiteral("tvKeywords"));
    m_tvKeywords->setFixedHeight(60);
    auto* size = new QHBoxLayout;
    size->addWidget(m_pubPDFSize);
    size->addWidget(m_btMatching);
    form->addRow(exportText("Size1") + u':', size);
    form->addRow(exportText("Title"), m_tfTitle);
    form->addRow(exportText("Author"), m_tfAuthor);
    form->addRow(exportText("Subject"), m_tfSubject);
    form->addRow(exportText("Keywords"), m_tvKeywords);
    column->addLayout(form);
    addSheetButtons(m_window.get(), column, this, [this] { OK(); }, [this] { cancel(); });
    m_isOK = false;
    m_filePath.clear();
}

bool KXExportPdfController::runSheet(QWidget* parent) {
    m_isOK = false;
    presentSheet(window(), parent, true);
    return m_isOK;
}

void KXExportPdfController::OK() {
    KXSavePanelRequest request;
    request.parent = window();
    request.prompt = exportText("Save");
    request.name = m_tfName;
    request.allowedTypes = {QStringLiteral("pdf")};
    const QString path = runSavePanel(request);
    if (path.isEmpty())
        return;  // the sheet stays open
    const QFileInfo existing(path);
    if ((existing.exists() && !existing.isWritable()) || existing.isDir()) {
        runInformationalAlert(window(), exportText("Unwritable").arg(path), exportText("UnwritableTip"));
        return;
    }
    m_isOK = true;
    m_filePath = path;
    window()->accept();
}

void KXExportPdfController::cancel() {
    m_isOK = false;
    window()->reject();
}

QString KXExportPdfController::pdfTitle() const {
    const QString text = m_tfTitle ? m_tfTitle->text() : QString();
    return text.isEmpty() ? exportText("Untitled") : text;
}

QString KXExportPdfController::pdfAuthor() const {
    const QString text = m_tfAuthor ? m_tfAuthor->text() : QString();
    return text.isEmpty() ? applicationBundleName() : text;
}

QString KXExportPdfController::pdfSubject() const {
    const QString text = m_tfSubject ? m_tfSubject->text() : QString();
    return text.isEmpty() ? exportText("None") : text;
}

QString KXExportPdfController::pdfKeywords() const {
    const QString text = m_tvKeywords ? m_tvKeywords->toPlainText() : QString();
    return text.isEmpty() ? exportText("None") : text;
}
