// The custom page size sheet ("CustomSize"): the list of the person's own page sizes, where sizes are added,
// removed, renamed and given a width, height, unit and resolution. Every edit acts on the shared catalogue's
// sizes at once; the catalogue's file is written when the sheet is confirmed with OK, the only way it ends.
//
// A page side is kept between 32 and 12000 pixels and the resolution between 72 and 600 dots per inch; a
// value outside is brought back inside with an alert. Switching the unit converts the two fields through
// pixels at the shown resolution, for every pair of units, so a size keeps its dimensions.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class KXPageSizeManager;
class KXSize;

namespace kx::controls {
class KXSegmentedControl;
class KXStepper;
}  // namespace kx::controls

class KXCustomController : public QDialog {
    Q_OBJECT
public:
    static constexpr double kMinPixels = 32;
    static constexpr double kMaxPixels = 12000;
    static constexpr int kMinDpi = 72;
    static constexpr int kMaxDpi = 600;

    // The sheet edits `catalogue`, which must outlive it.
    explicit KXCustomController(KXPageSizeManager* catalogue, QWidget* parent = nullptr);
    ~KXCustomController() override;

    // The catalogue's custom size at the selected row (the catalogue's own object); null without one.
    std::shared_ptr<KXSize> selectedItem() const;
    // Shows the sheet on the window and runs it until OK ends it.
    void runModal(QWidget* window);

    // How alerts are shown (message, informative text); tests record them. Empty: a message box.
    using AlertPresenter = std::function<void(QWidget* parent, const QString& message, const QString& informative)>;
    static void setAlertPresenter(AlertPresenter presenter);

    // ---- what the controls do ----
    // Segment 0 adds a size, segment 1 removes the selected one.
    void addRemoveCustomsizeAction(int segment);
    void selectRow(int row);
    // A new name for the selected size; refused (with an alert) when empty or already used.
    void renameSelected(const QString& name);
    void unitIsChanged(int unit);
    // The resolution stepper stepped, or a field's editing ended.
    void dpiStepped();
    void dpiEdited();
    void sizeFieldEdited(QLineEdit* field);
    // OK: keeps the values and saves the catalogue, unless a value had to be corrected.
    void OKClick();

    // Value conversions between page pixels and a unit at a resolution (pixel, millimetre, inch,
    // centimetre), and the field text of a value in a unit.
    static double toPixels(double value, std::int64_t unit, double dpi);
    static double fromPixels(double pixels, std::int64_t unit, double dpi);
    static QString formatValue(double value, std::int64_t unit);

    // ---- controls (tests look at them) ----
    QListWidget* tableview() const { return m_tableview; }
    kx::controls::KXSegmentedControl* segment() const { return m_segment; }
    QLineEdit* cusWidth() const { return m_cusWidth; }
    QLineEdit* cusHeight() const { return m_cusHeight; }
    QComboBox* pubUnit() const { return m_pubUnit; }
    QLineEdit* tfDPI() const { return m_tfDPI; }
    kx::controls::KXStepper* stDPI() const { return m_stDPI; }
    QPushButton* btOK() const { return m_btOK; }
    std::int64_t typeChangedBefore() const { return m_typeChangedBefore; }

protected:
    void reject() override;

private:
    void awakeFromNib();
    void reloadTable();
    void tableViewSelectionDidChange();
    void showSize(const KXSize& size);
    void showEmpty();
    void setControlsEnabled(bool enabled);
    // Rewrites a size field for the unit at the resolution when its value is outside the page-side
    // limits; answers whether it had to (the size alert is then shown).
    bool reviseTextField(QLineEdit* field, std::int64_t unit, double dpi);
    void applyFieldsToSelected();
    double fieldValue(const QLineEdit* field) const;
    void alert(const char* message, const QString& informative);

    KXPageSizeManager* m_catalogue;
    std::int64_t m_typeChangedBefore = 0;
    bool m_filling = false;
    bool m_damageReported = false;

    QPointer<QListWidget> m_tableview;
    QPointer<kx::controls::KXSegmentedControl> m_segment;
    QPointer<QLineEdit> m_cusWidth;
    QPointer<QLineEdit> m_cusHeight;
    QPointer<QComboBox> m_pubUnit;
    QPointer<QLineEdit> m_tfDPI;
    QPointer<kx::controls::KXStepper> m_stDPI;
    QPointer<QPushButton> m_btOK;
};
