// The PDF sheet: the document information of a PDF export (title, author, subject, keywords), a paper-size
// pop-up and an auto-adjust check box that the output does not use (every PDF page takes its page's size),
// and OK, which asks for the file in a save panel.
#pragma once

#include "output/pdf_writer.h"

#include <QObject>
#include <QString>

#include <memory>

class QCheckBox;
class QComboBox;
class QDialog;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

class KXExportPdfController : public QObject {
    Q_OBJECT
public:
    KXExportPdfController();
    ~KXExportPdfController() override;

    QDialog* window();
    // The suggested file name (the document window's title).
    void setTfName(const QString& name) { m_tfName = name; }
    QString tfName() const { return m_tfName; }

    // Runs the sheet modally on `parent`; true when the user confirmed a path (then filePath()).
    bool runSheet(QWidget* parent);
    // OK: asks for the file; an unwritable existing file keeps the sheet open after an alert.
    void OK();
    void cancel();

    bool isOK() const { return m_isOK; }
    QString filePath() const { return m_filePath; }

    // The entered values, with the defaults when a field is empty.
    QString pdfTitle() const;
    QString pdfAuthor() const;
    QString pdfSubject() const;
    QString pdfKeywords() const;
    KXPdfInfo pdfInfo() const { return {pdfTitle(), pdfAuthor(), pdfSubject(), pdfKeywords()}; }

    QLineEdit* tfTitle() const { return m_tfTitle; }
    QLineEdit* tfAuthor() const { return m_tfAuthor; }
    QLineEdit* tfSubject() const { return m_tfSubject; }
    QPlainTextEdit* tvKeywords() const { return m_tvKeywords; }
    QComboBox* pubPDFSize() const { return m_pubPDFSize; }

private:
    void loadWindow();

    std::unique_ptr<QDialog> m_window;
    QLineEdit* m_tfTitle = nullptr;
    QLineEdit* m_tfAuthor = nullptr;
    QLineEdit* m_tfSubject = nullptr;
    QPlainTextEdit* m_tvKeywords = nullptr;
    QComboBox* m_pubPDFSize = nullptr;
    QCheckBox* m_btMatching = nullptr;
    QString m_tfName;
    QString m_filePath;
    bool m_isOK = false;
};

// The application's name as the PDF author default.
QString applicationBundleName();
