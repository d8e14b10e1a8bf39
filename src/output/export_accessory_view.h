// The accessory view of the image save panel: the file format, the JPEG quality (label, field, slider and
// stepper) and the page choice (all pages, one page, a page range) with the page number fields and steppers.
// It keeps the controls consistent with each other and tells the panel which file types to allow: a folder
// when the export writes several files, else a file of the format.
#pragma once

#include "output/export_choices.h"

#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace kx::controls {
class KXStepper;
}

class KXExportAccessoryView : public QWidget {
    Q_OBJECT
public:
    // The formats offered, in order.
    static QStringList formatTitles() { return {"JPG", "PNG", "TIFF", "BMP", "PSD"}; }

    explicit KXExportAccessoryView(QWidget* parent = nullptr);

    // Prepares the view for a new panel on a project of `pageCount` pages: all pages chosen, the page fields
    // 1 and pageCount, the other choices enabled only with more than one page. Format and quality stay.
    void prepareForPanel(int pageCount);

    // The lower-cased title of the chosen format: "jpg", "png", "tiff", "bmp" or "psd".
    QString exportFormat() const { return m_exportFormat; }
    int quality() const;
    KXExportPageChoice pageChoice() const;
    KXPageNumbers pageNumbers() const;
    int pageCount() const { return m_pageCount; }
    // ["public.folder"] or [exportFormat].
    QStringList allowedFileTypes() const { return m_allowedTypes; }

    // The actions of the controls (also called by tests).
    void formatChanged();
    void exportPageTypeChanged();
    void setAllowType();
    void firstStepperChanged();
    void lastStepperChanged();
    void firstFieldTyped();
    void lastFieldTyped();
    void qualityMoved(int value);
    void qualityTyped();
    void qualityEditingEnded();

    QComboBox* pubFormat() const { return m_pubFormat; }
    QComboBox* pubExportPage() const { return m_pubExportPage; }
    QLabel* tfLabelQuality() const { return m_tfLabelQuality; }
    QLineEdit* tfQuality() const { return m_tfQuality; }
    QSlider* slQuality() const { return m_slQuality; }
    kx::controls::KXStepper* stQuality() const { return m_stQuality; }
    QLineEdit* tfFristPage() const { return m_tfFristPage; }
    kx::controls::KXStepper* stFristPage() const { return m_stFristPage; }
    QLabel* tfLabelTo() const { return m_tfLabelTo; }
    QLineEdit* tfLastPage() const { return m_tfLastPage; }
    kx::controls::KXStepper* stLastPage() const { return m_stLastPage; }

signals:
    // The file types the panel must allow changed.
    void allowedFileTypesChanged(const QStringList& types);

private:
    void setFirstPage(int page);
    void setLastPage(int page);
    void setQuality(int value);
    void enablePageChoices();

    QComboBox* m_pubFormat = nullptr;
    QLabel* m_tfLabelQuality = nullptr;
    QLineEdit* m_tfQuality = nullptr;
    QSlider* m_slQuality = nullptr;
    kx::controls::KXStepper* m_stQuality = nullptr;
    QComboBox* m_pubExportPage = nullptr;
    QLineEdit* m_tfFristPage = nullptr;
    kx::controls::KXStepper* m_stFristPage = nullptr;
    QLabel* m_tfLabelTo = nullptr;
    QLineEdit* m_tfLastPage = nullptr;
    kx::controls::KXStepper* m_stLastPage = nullptr;
    QString m_exportFormat = QStringLiteral("jpg");
    QStringList m_allowedTypes{QStringLiteral("jpg")};
    int m_pageCount = 1;
};
