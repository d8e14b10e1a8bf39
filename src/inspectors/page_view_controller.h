// The page setup tab of the settings panel ("PageView"): the size, orientation, clip-to-margin flag and
// four margins of the page the window shows. The tab never changes the page: each edit goes to its
// delegate (the document window), which applies it with undo and writes the result back through
// setPageSize, setClipMargin and setMarginTop.
//
// The size menu lists the page-size catalogue: the predefined sizes, a separator, the person's own sizes
// (when there are any), a separator and "Manage Sizes"; a page whose size is in none of them adds one more
// separator and an "Other" entry. Choosing "Manage Sizes" or "Other" opens the custom size sheet.
//
// Margins are shown in the page's unit (pixels, millimetres or inches; a page measured in centimetres shows
// no texts), each with a stepper. A margin is kept between zero and what the opposite margin and an inch
// of page leave; on a page too small for that the bound is zero, never below it.
#pragma once

#include "inspectors/view_controller.h"
#include "platform/foundation/notification_center.h"

#include <QPointer>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include "controls/stepper.h"
#include <QString>

#include <array>
#include <functional>
#include <memory>

class KXCustomController;
class KXPageSizeManager;
class KXSize;
class QButtonGroup;

namespace kx::controls {
class KXStepper;
class KXStepperField;
}  // namespace kx::controls

// Posted with the page setup tab as sender when the custom size sheet has been closed.
inline const QString KXCustomSizeChanged = QStringLiteral("KXCustomSizeChanged");

class KXPageViewControllerDelegate {
public:
    virtual ~KXPageViewControllerDelegate() = default;
    virtual void pageViewControllerDidChangeSize(const KXSize& size) = 0;
    virtual void pageViewControllerDidChangeClipMargin(bool clip) = 0;
    // The four margins in page pixels.
    virtual void pageViewControllerDidChangeMarginTop(double top, double bottom, double left, double right) = 0;
};

// Which margin a control edits, in the order the delegate gets them.
enum KXMarginSide : int { KXMarginTop = 0, KXMarginBottom = 1, KXMarginLeft = 2, KXMarginRight = 3 };

class KXPageViewController : public KXViewController {
    Q_OBJECT
public:
    // The tab lists `catalogue` (the shared catalogue when null), which must outlive it.
    explicit KXPageViewController(KXPageSizeManager* catalogue = nullptr);
    ~KXPageViewController() override;

    // Keeps a copy of the size and shows it, unless it equals the kept one (same pixel size within a pixel,
    // orientation counted). Null is ignored.
    void setPageSize(const KXSize* size);
    const KXSize* pageSize() const { return m_pageSize.get(); }
    void setClipMargin(bool clip);
    bool clipMargin() const;
    // The four margins in page pixels, measured from the page's edges; shown in the page's unit.
    void setMarginTop(double top, double bottom, double left, double right);
    double marginTop() const { return m_margins[KXMarginTop]; }
    double marginBottom() const { return m_margins[KXMarginBottom]; }
    double marginLeft() const { return m_margins[KXMarginLeft]; }
    double marginRight() const { return m_margins[KXMarginRight]; }

    KXPageViewControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(KXPageViewControllerDelegate* delegate) { m_delegate = delegate; }

    // ---- what the controls do ----
    // A choice in the size menu (by index, separators counted).
    void pageSizePredefinesChange(int index);
    // Column 0 landscape, column 1 portrait.
    void orientationChanged(int column);
    void enableClipPageChange(bool on);
    // A margin stepper's or field's new value in the page's unit: clamped, shown and reported.
    void pageMarginChange(KXMarginSide side, double value);

    // The custom size sheet, made on first use.
    KXCustomController* customWC();
    // How the sheet is run: modally on the tab's window by default; tests act on the sheet and end it.
    using SheetRunner = std::function<void(KXCustomController& sheet, QWidget* window)>;
    static void setSheetRunner(SheetRunner runner);

    // The texts of a unit: size tip, margin field, the margin stepper's increment, one inch of page.
    static QString sizeTip(const KXSize& size);
    static QString marginText(double valueInUnit, std::int64_t unit);
    static double marginIncrement(std::int64_t unit);
    static double inchInUnit(std::int64_t unit, double dpi);
    // Margins between page pixels and the page's unit.
    static double pixelsToUnit(double pixels, std::int64_t unit, double dpi);
    static double unitToPixels(double value, std::int64_t unit, double dpi);

    // ---- controls (tests look at them) ----
    QComboBox* pubPredefine() const { return m_pubPredefine; }
    QButtonGroup* mOrientation() const { return m_mOrientation; }
    QCheckBox* btClipPage() const { return m_btClipPage; }
    QLabel* tfSizeTip() const { return m_tfSizeTip; }
    QLineEdit* marginField(KXMarginSide side) const { return m_fields[side]; }
    kx::controls::KXStepper* marginStepper(KXMarginSide side) const { return m_steppers[side]; }
    QString otherSizeName() const { return m_otherSizeName; }

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;

private:
    void updateUI();
    void synchronousPageSize();
    void updatePageSizeUnit();
    void selectSize(const KXSize& size);
    void customSizeChanged(const kx::Notification& notification);
    void updateMarginPageWithUnitType();
    std::int64_t unit() const;
    double dpi() const;
    // Selects a menu entry without sending the menu's action.
    void selectMenuIndex(int index);

    KXPageSizeManager* m_catalogue;
    std::shared_ptr<KXSize> m_pageSize;
    std::array<double, 4> m_margins{0, 0, 0, 0};
    QString m_otherSizeName;
    std::unique_ptr<KXCustomController> m_customWC;
    KXPageViewControllerDelegate* m_delegate = nullptr;
    bool m_filling = false;

    QPointer<QComboBox> m_pubPredefine;
    QButtonGroup* m_mOrientation = nullptr;
    QPointer<QCheckBox> m_btClipPage;
    QPointer<QLabel> m_tfSizeTip;
    std::array<QPointer<QLineEdit>, 4> m_fields;
    std::array<QPointer<kx::controls::KXStepper>, 4> m_steppers;
    kx::NotificationToken m_customObserver;
};
