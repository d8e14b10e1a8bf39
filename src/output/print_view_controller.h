// The print settings of the application and the options tab of the print dialog.
//
// KXPrintInfo is the print information every window shares: the printer (with its paper, orientation and
// margins) and the scaling factor chosen last. KXPrintViewController is the options tab added to the print
// dialog: the print type (one page centred on each sheet, or the page tiled over the sheet), fit to page and
// the scale in percent. The print view (print_view.h) reads the page size, the scale and the tile choice from
// it while it draws. Everything here runs on the main thread.
#pragma once

#include "platform/foundation/geometry.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QWidget;

class KXPrintInfo {
public:
    KXPrintInfo();
    ~KXPrintInfo();
    KXPrintInfo(const KXPrintInfo&) = delete;
    KXPrintInfo& operator=(const KXPrintInfo&) = delete;

    // The one shared by every window, made on first use.
    static KXPrintInfo& sharedPrintInfo();

    QPrinter& printer() { return *m_printer; }
    // The printable area of the sheet in points: the paper less the margins, in the current orientation.
    kx::Size imageableSize() const;
    double scalingFactor() const { return m_scalingFactor; }
    void setScalingFactor(double factor) { m_scalingFactor = factor; }
    // Landscape or portrait paper with all four margins 0 (a printer that cannot print to the edge keeps its
    // own smallest margins).
    void setLandscape(bool landscape);
    void setZeroMargins();

private:
    std::unique_ptr<QPrinter> m_printer;
    double m_scalingFactor = 1;
};

// The scale that fits a page (points) into the printable area: the side that fills first decides; a page
// smaller than a tenth of the area is not blown up beyond 10 times. 0 for an empty page or area.
double printFitScale(const kx::Size& pageSize, const kx::Size& printableSize);
// The percentage a typed scale becomes: 0 or less (or no number) is 10 per cent, above 1000 is 1000.
double printScalePercent(double typed);

class KXPrintViewController : public QObject {
    Q_OBJECT
public:
    // The print types of the pop-up, by item.
    enum PrintType { General = 0, Tile = 1 };

    KXPrintViewController();
    ~KXPrintViewController() override;

    // The options tab (made on first use). The print dialog takes it in while it is open; the controller
    // takes it back afterwards and deletes it.
    QWidget* view();
    QComboBox* btTileFill();
    QCheckBox* btFitPage();
    QLineEdit* tfScale();
    QLabel* tfPrintType();
    QLabel* tfDestinationPaperSize();
    QLabel* tfScaleTitle();
    QPushButton* btPreview();

    // The print information of the dialog; setting it resets the choices. Not owned.
    void setRepresentedObject(KXPrintInfo* info);
    KXPrintInfo* representedObject() const { return m_info; }
    // The page size in points (pixels / dpi x 72).
    void setPageSize(const kx::Size& size) { m_pageSize = size; }
    kx::Size pageSize() const { return m_pageSize; }
    double scale() const { return m_scale; }
    bool tileEnabled() const { return m_tileEnabled; }
    // Whether the scale comes from the scale field (tiling, or fit to page off) rather than from fitting.
    bool suitPage() const { return m_suitPage; }
    // Whether the controls of one centred page (fit to page) are enabled: not while tiling.
    bool generalEnable() const { return m_generalEnable; }

    // Tile off, fit to page on, the general print type, then the scale again.
    void resetData();
    void printTypeChanged();
    void enableFitPage();
    // The scale field while it is edited and when editing ends: the typed percentage, kept within the rule
    // of printScalePercent, becomes the scale.
    void controlTextDidChange();
    void controlTextDidEndEditing();
    // The scale again: from the field when suitPage, else fitted into the printable area of the shared print
    // information; stored there as its scaling factor and shown in the field.
    void updateScale();

    // What the preview button does; the print road sets it while the dialog is open.
    void setPreviewHandler(std::function<void()> handler) { m_previewHandler = std::move(handler); }

signals:
    // The choices changed in a way that changes the printed sheets.
    void previewChanged();

private:
    void buildView();
    void scaleEdited();
    void showScale(double percent);
    void syncEnabled();

    QPointer<QWidget> m_view;
    QComboBox* m_btTileFill = nullptr;
    QCheckBox* m_btFitPage = nullptr;
    QLineEdit* m_tfScale = nullptr;
    QLabel* m_tfPrintType = nullptr;
    QLabel* m_tfDestinationPaperSize = nullptr;
    QLabel* m_tfScaleTitle = nullptr;
    QPushButton* m_btPreview = nullptr;
    KXPrintInfo* m_info = nullptr;
    kx::Size m_pageSize;
    double m_scale = 1;
    bool m_tileEnabled = false;
    bool m_suitPage = false;
    bool m_generalEnable = true;
    std::function<void()> m_previewHandler;
};
