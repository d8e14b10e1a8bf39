// The page commands of a document window: adding, duplicating, removing and moving pages, the page strip,
// the page setup tab's edits (size, clip-to-margin flag, margins) and the background editor's hand-offs.
//
// - Page size, margins and the clip flag are undo steps on the shown page's undo manager; undo and redo run
//   the same command again with the earlier value, so the page setup tab and the thumbnails follow. A new
//   size goes to every page.
// - Margins that leave no page between them (or are negative, or not numbers) are refused; the tab then
//   shows the margins the page has.
// - Duplicating, removing, inserting and moving pages each count one document change without an undo step.
//   After a move the window's current page is still the page on screen, so the counter, the page buttons
//   and "remove page" act on the page the person sees. The only page of a project is never removed.
// - Applying a background to all pages gives every other page its own copy, as one undo step on the shown
//   page (one document change) that puts every page's earlier background back.
#pragma once

#include "inspectors/background_editor_view_controller.h"
#include "inspectors/page_strip_view_controller.h"
#include "inspectors/page_view_controller.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class KXMainWindow;
class KXCanvas;
class QPushButton;

class KXPageCommands : public QObject,
                       public KXPageViewControllerDelegate,
                       public KXMultiPageViewControllerDelegate,
                       public KXBackgroundViewControllerDelegate {
    Q_OBJECT
public:
    // The return code of the confirmation's first button ("Confirm").
    static constexpr int kAlertFirstButtonReturn = 1000;
    static constexpr int kAlertSecondButtonReturn = 1001;

    // Becomes the delegate of the window's page setup tab; the strip is made for the window's project.
    explicit KXPageCommands(KXMainWindow& window);
    ~KXPageCommands() override;

    // ---- page commands ----
    // Shows the template chooser as a sheet; its chosen template's pages go after the current page.
    void addNewPage();
    void duplicatePage();
    // Asks for confirmation, then removes the current page; nothing for the only page.
    void removeSelectedPage();
    void alertDidEnd(int returnCode);
    // The page strip next to the button.
    void showPagesAction(QWidget* button);

    // How the removal is confirmed (message, informative text, the two button titles); answers the return
    // code. Tests answer at once. Empty: a message box on the window.
    using ConfirmPresenter = std::function<int(QWidget* window, const QString& message, const QString& informative,
                                               const QString& confirm, const QString& cancel)>;
    static void setConfirmPresenter(ConfirmPresenter presenter);

    // ---- page strip ----
    void multiPageViewControllerSelectPageAtIndex(std::int64_t index) override;
    void adjustCanvasAtIndex(std::int64_t from, std::int64_t to) override;
    KXMultiPageViewController* multiPageVC() const { return m_strip.get(); }

    // ---- page setup ----
    void pageViewControllerDidChangeSize(const KXSize& size) override;
    void pageViewControllerDidChangeClipMargin(bool clip) override;
    void pageViewControllerDidChangeMarginTop(double top, double bottom, double left, double right) override;
    void changeClipMargin(bool clip);
    // Top, bottom, left, right in pixels; false (nothing changes) when they are refused.
    bool changeMargin(const std::array<float, 4>& margins);
    void updateMarginUI();

    // ---- background ----
    KXBackgroundViewController* backgroundVC();
    void backgroundAction();
    // The one selected photo's image becomes the page background, covering the page.
    void setAsBackground();
    void backgroundViewControllerDidChangeBackground(KXBackgroundViewController* editor) override;
    void undoAdvanceGradientWithColorArray(const std::vector<kx::Color>& colors,
                                           const std::vector<double>& locations) override;
    void applyToAllCanvasWithBackground(KXBackground* background) override;
    void backgroundSwapColors(KXBackground* background) override;

    // ---- what the window tells ----
    // A page is now current: the strip selects it.
    void pageSwitched(std::int64_t index);
    // A new project took the old one's place.
    void projectReplaced();
    // Pages were inserted after `index`; the strip gets their items.
    void pagesInserted(std::int64_t index, std::int64_t count);
    // A document change that no page command has accounted for: the current page's thumbnail is renewed.
    void documentChanged(bool lockedByCommand);

private:
    KXCanvas* currentPage() const;
    // Leaves crop mode and the pen tool before the pages change under them.
    void leaveEditingModes();
    void redrawCurrentPage();
    void countChange();
    // Gives every page other than the current one a copy of `background`, or its own earlier one back.
    void setOtherBackgrounds(const std::vector<std::shared_ptr<KXBackground>>& backgrounds);

    KXMainWindow& m_window;
    std::unique_ptr<KXMultiPageViewController> m_strip;
    std::unique_ptr<KXBackgroundViewController> m_backgroundVC;
};
