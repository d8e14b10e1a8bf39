// The template chooser window: categories on the left, the templates of the selected one as thumbnails on the
// right (grouped under headers in "All"), a zoom slider, and the buttons to choose, cancel, or open an existing
// project. It keeps the favourites and offers renaming and deleting of the user's own templates. The outcome
// goes to the delegate after the window has closed; the chooser never touches a document.
#pragma once

#include "document/template_chooser.h"
#include "library/template_item.h"
#include "library/template_name_sheets.h"
#include "platform/foundation/notification_center.h"

#include <QDialog>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class KXTemplateBrowserView;
class KXTemPanelView;
class QListWidget;
class QMenu;
class QPushButton;
class QSlider;

// The window: its close button and Escape cancel through the controller.
class KXTemplateWindow : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
    std::function<bool()> shouldClose;
    std::function<void()> didBecomeKey;
    std::function<void()> didResize;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

class KXTemplateWindowController : public QObject,
                                   public KXTemplateChooser,
                                   public KXRenameTemplateControllerDelegate {
    Q_OBJECT
public:
    KXTemplateWindowController();
    ~KXTemplateWindowController() override;

    // A new chooser with its window loaded.
    static std::unique_ptr<KXTemplateWindowController> templateWC();

    // KXTemplateChooser
    void setDelegate(KXTemplateWindowControllerDelegate* delegate) override { m_delegate = delegate; }
    void setCanOpenProject(bool canOpenProject) override;
    void showWindow() override;
    void beginSheet(QWidget* window) override;

    bool canOpenProject() const { return m_canOpenProject; }
    QString projPath() const { return m_projPath; }
    void setProjPath(const QString& path) { m_projPath = path; }
    // The template folder of the chosen item; empty when nothing was chosen.
    QString templatePath() const;
    // The zero-based page the chosen item shows.
    std::int64_t currentPage() const;

    // The category rows, and listing the one selected.
    const QStringList& tmpList() const { return m_tmpList; }
    void selectCategory(const QString& row);
    QString selectedCategory() const;
    void tableViewSelectionDidChange();
    const std::vector<KXTemplateItem>& images() const { return m_images; }
    const std::vector<kx::ImageBrowserGroup>& groupInfo() const { return m_groupInfo; }

    // Actions.
    void selectTemplateClicked();
    void cancelClicked();
    void openExistingProject();
    void closeWindow();
    bool windowShouldClose();
    void zoomSliderDidChange();
    void maxValue();
    void minValue();
    void renameAction();
    void deleteAction();
    void deleteTemplate();
    void removeCustomTemplate();
    void renameTempalteWithName(const QString& name) override;

    KXTemplateWindow* window() const { return m_window; }
    KXTemplateBrowserView* imageBrowser() const { return m_imageBrowser; }
    QSlider* slZoom() const { return m_slZoom; }
    QListWidget* tvTmpList() const { return m_tvTmpList; }
    QPushButton* btChoose() const { return m_btChoose; }
    QPushButton* btOpen() const { return m_btOpen; }
    QMenu* rightMenu() const { return m_rightMenu; }
    KXRenameTemplateController* renameWC() const { return m_renameWC; }
    KXTemPanelView* storeBanner() const { return m_banner; }
    std::int64_t tmpIndex() const { return m_tmpIndex; }
    // How the context menu of an own template pops up (tests watch it instead).
    using MenuPresenter = std::function<void(QMenu* menu, const QPoint& globalPosition)>;
    void setMenuPresenter(MenuPresenter presenter) { m_menuPresenter = std::move(presenter); }

private:
    void loadWindow();
    void initImageBrowser();
    void loadTemplateList();
    void reloadBrowser();
    void addFavorite();
    void cancelFavorite();
    void updateFavoriteList();
    void switchPage(int step);
    void cellWasDoubleClicked(int index);
    void cellWasRightClicked(int index, const QPoint& globalPosition);
    void tableViewChange(const kx::Notification& notification);
    void storeZoom(double zoom);

    QStringList m_categories;
    QStringList m_tmpList;
    std::vector<KXTemplateItem> m_images;
    std::vector<kx::ImageBrowserGroup> m_groupInfo;
    std::int64_t m_tmpIndex = -1;
    bool m_firstShown = true;
    bool m_canOpenProject = true;
    QString m_projPath;
    KXTemplateWindowControllerDelegate* m_delegate = nullptr;

    // Shown as a sheet, the window is a child of the document window, which may delete it first.
    QPointer<KXTemplateWindow> m_window;
    KXTemplateBrowserView* m_imageBrowser = nullptr;
    QSlider* m_slZoom = nullptr;
    QListWidget* m_tvTmpList = nullptr;
    QPushButton* m_btChoose = nullptr;
    QPushButton* m_btOpen = nullptr;
    QMenu* m_rightMenu = nullptr;
    KXTemPanelView* m_banner = nullptr;
    KXRenameTemplateController* m_renameWC = nullptr;
    std::vector<kx::NotificationToken> m_observers;
    MenuPresenter m_menuPresenter;
};
