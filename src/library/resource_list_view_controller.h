// One tab of the resource panel: a pop-up of categories, a thumbnail browser of the chosen category's
// images, a zoom slider and, where the panel allows it, import and remove buttons for the user's own folder
// of the kind and a search of images on the internet (the clip-art list), whose results the browser shows
// under the pop-up's "Search results" item. Items drag out of the browser as file URLs, search results as
// archived records; both carry what the page reads from their source.
#pragma once

#include "library/image_search_searcher.h"
#include "library/image_search_windows.h"
#include "library/resource_browser_item.h"
#include "platform/foundation/notification_center.h"

#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class KXCheckBoxAlert;
class KXImageSearchThumbnailLoader;
class KXResourceListViewController;
class QComboBox;
class QLineEdit;
class QMimeData;
class QPushButton;
class QSlider;
class QWidget;

// Posted after an import into or a removal from a user folder; every list showing its own category relists.
inline const QString KXCustomResourceChanged = QStringLiteral("KXCustomResourceChanged");
// Posted after a preference was changed elsewhere than in the preferences window.
inline const QString KXPreferencesChanged = QStringLiteral("KXPreferencesChanged");
// YES: own resources are removed without asking first.
inline const QString KXNotAskDeleteCustomResource = QStringLiteral("KXNotAskDeleteCustomResource");

// What a list asks of the panel that holds it.
class KXResourceListViewControllerDelegate {
public:
    virtual ~KXResourceListViewControllerDelegate() = default;
    virtual bool imageListViewControllerCanSearch(KXResourceListViewController* list) = 0;
    virtual bool imageListViewControllerCanSearchAtLocal(KXResourceListViewController* list) = 0;
    virtual bool imageListViewControllerCanSearchOnInternet(KXResourceListViewController* list) = 0;
    virtual bool imageListViewControllerCanCustomized(KXResourceListViewController* list) = 0;
    // The folder name of the user's own resources of the list ("Clipart", "Mask").
    virtual QString imageListControllerCustomizedFolderName(KXResourceListViewController* list) = 0;
    // The title of the own category ("My Cliparts"), empty for none.
    virtual QString imageListControllerCustomizedCategory(KXResourceListViewController* list) = 0;
    virtual QStringList imageListViewControllerResourcePathsInCategory(KXResourceListViewController* list,
                                                                       const QString& category) = 0;
    virtual QMenu* imageListViewControllerMenuForRightMouseClicked(KXResourceListViewController* list) = 0;
    virtual double imageListViewControllerZoomValue(KXResourceListViewController* list) = 0;
    virtual void imageListViewControllerZoomValueDidChanged(KXResourceListViewController* list, double zoom) = 0;
    virtual QStringList imageListViewControllerAllResourcePaths(KXResourceListViewController* list) = 0;
    virtual QString imageListViewControllerIndentifierForBrowserView(KXResourceListViewController* list) = 0;
};

class KXResourceListViewController : public QWidget,
                                     public KXImageSearcherDelegate,
                                     public KXSearchImageWindowControllerDelegate {
    Q_OBJECT
public:
    // A list of the categories, showing the one at `index` (the last one when there are fewer).
    KXResourceListViewController(const QStringList& categories, int index,
                                 KXResourceListViewControllerDelegate* delegate, QWidget* parent = nullptr);
    ~KXResourceListViewController() override;

    const QStringList& categories() const { return m_categories; }
    int categoryIdx() const { return m_categoryIdx; }
    const QString& customPath() const { return m_customPath; }
    bool allowRightClick() const { return m_allowRightClick; }
    void setAllowRightClick(bool allow) { m_allowRightClick = allow; }
    const std::vector<KXResourceBrowserItem>& resources() const { return m_resources; }

    QComboBox* pubResource() const { return m_pubResource; }
    KXImageBrowserView* imageBrowserView() const { return m_imageBrowserView; }
    QSlider* slZoom() const { return m_slZoom; }
    QPushButton* btImport() const { return m_btImport; }
    QPushButton* btRemove() const { return m_btRemove; }
    QPushButton* btSearch() const { return m_btSearch; }

    // The panel shows this list's tab: the first time, the browser is filled.
    void showImageList();
    void refresh();
    // Lists the pop-up's category again (the user's folder for the own category).
    void updateResourceList();
    // The paths of the selected items, in index order.
    QStringList selectedResoucesPaths() const;
    // Selects the own category, then asks for files to import.
    void importResources();
    // Opens the keyword sheet of the internet search (the panel's menu entry).
    void searchOnInternet();

    // ---- internet search (clip-art list) ----
    // 1 when the list searches the internet, 0 otherwise.
    int searchType() const { return m_searchType; }
    const QString& searchString() const { return m_searchString; }
    KXImageSearcher& imageSearcher() { return *m_imageSearcher; }
    KXImageSearchThumbnailLoader& thumbnailLoader() { return *m_thumbnailLoader; }
    QLineEdit* searchField() const { return m_searchField; }
    KXSearchImageWindowController* searchWC() const { return m_searchWC; }
    // Whether the browser shows internet results ("Search results" chosen with internet search).
    bool isShowingSearchResults() const;
    // The search toggle: opens the field with the results, or closes it and shows the category again.
    void searchAction();
    // Searches for the field's words (Return in the field).
    void searchImagesOnInternet();
    void searchImageOnTheInternetWithKeywords(const QString& keywords) override;
    void clearSearchImage() override;
    void imageSearcherDidFinishSearching(KXImageSearcher* searcher) override;
    void stopLoadImageFromInterface();
    // The drag data of the chosen items: search results whose thumbnails have arrived (none: no drag),
    // or the files of the items, with the facts the page reads from the drag's source.
    QMimeData* mimeDataForItems(const std::vector<int>& items) const;
    // How the keyword sheet is run; tests answer it without a user.
    using SheetRunner = std::function<void(KXSearchImageWindowController& sheet)>;
    static void setSheetRunner(SheetRunner runner);

    // Pop-up and slider actions.
    void categoryChanged();
    void zoomChanged();
    // Asks for image files and imports them (importFiles).
    void importAction();
    // Copies the files into the user's folder under free names, announces the change and relists.
    void importFiles(const QStringList& files);
    // Asks first (unless told not to ask again), then deletes the selected own resources.
    void removeAction();

    // How the removal question is put; tests answer it without a user. Returns a KXAlertReturn.
    using AlertRunner = std::function<int(KXCheckBoxAlert& alert)>;
    static void setAlertRunner(AlertRunner runner);
    // How files to import are chosen; tests choose without a dialog.
    using ImportChooser = std::function<QStringList(QWidget* parent)>;
    static void setImportChooser(ImportChooser chooser);

private:
    void initUI();
    void openSearchField();
    void closeSearchField();
    void thumbnailArrived(int slot, const kx::Image& image);
    bool isCustomCategorySelected() const;
    void setButtonsShown(bool shown);
    void selectionChanged();
    void cellRightClicked(int item, const QPoint& globalPosition);

    KXResourceListViewControllerDelegate* m_delegate = nullptr;
    QStringList m_categories;
    int m_categoryIdx = 0;
    QString m_customCategory;
    QString m_customPath;
    std::vector<KXResourceBrowserItem> m_resources;
    int m_searchType = 0;
    bool m_allowRightClick = true;
    bool m_firstShown = true;

    QComboBox* m_pubResource = nullptr;
    KXImageBrowserView* m_imageBrowserView = nullptr;
    QSlider* m_slZoom = nullptr;
    QWidget* m_buttonStrip = nullptr;
    QPushButton* m_btImport = nullptr;
    QPushButton* m_btRemove = nullptr;
    QPushButton* m_btSearch = nullptr;
    QLineEdit* m_searchField = nullptr;
    kx::NotificationToken m_customObserver;

    QString m_searchResultsTitle;
    QString m_searchString;
    std::unique_ptr<KXImageSearcher> m_imageSearcher;
    KXImageSearchThumbnailLoader* m_thumbnailLoader = nullptr;
    KXSearchImageWindowController* m_searchWC = nullptr;
};
