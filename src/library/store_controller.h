// The content store window: the catalogue's packs in a list (logo, name, description, a download button with
// its progress), a large preview of the selected pack, and "Download All". While the catalogue loads a grey
// cover with a spinner hides the window; when it cannot be had the cover says so and offers to try again.
// One controller serves the process (storeController()); tests build their own with their own settings.
#pragma once

#include "library/pack_fetcher.h"
#include "library/store_catalogue.h"

#include <QMainWindow>
#include <QStringList>

#include <vector>

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QStandardItemModel;
class KXHoverTableView;
class KXTableCellView;

struct KXStoreSettings {
    KXStoreCatalogueSettings catalogue;
    // The installed packs' folder.
    QString boxesFolder;
    // Fetches and installs packs; none: downloads fail with an alert.
    KXPackFetcher* packFetcher = nullptr;

    // The application's: the catalogue address from Info.plist "ProductsListVersionURL", the store's data and
    // packs folders in the cache folder, the standard settings and the desktop's notices.
    static KXStoreSettings standard();
};

class KXStoreController : public QMainWindow {
    Q_OBJECT
public:
    // The shared controller, created on first call with KXStoreSettings::standard().
    static KXStoreController* storeController();
    // Brings the shared store window to the front (the application's store command).
    static void showStore();

    explicit KXStoreController(KXStoreSettings settings, QWidget* parent = nullptr);
    ~KXStoreController() override;

    // Loads the catalogue the first time the window is shown; later calls only show it.
    void showWindow();
    // Throws away nothing and asks for the catalogue again (the cover's retry button).
    void retryLoading();

    // ---- catalogue ----
    const kx::ValueArray& productList() const { return m_productList; }
    const std::vector<KXProductResourceEntity*>& tableContents() const { return m_tableContents; }
    kx::ValueDictionary dictionaryWithIdentifier(const QString& identifier) const;
    QString productIdentifierWithContentURL(const QString& address) const;
    // -1 when none.
    int rowOfProductWithIdentifier(const QString& identifier) const;
    bool isInstalledOfIdentifier(const QString& identifier) const;

    // ---- downloads ----
    void provideContent(const QString& identifier);
    void downloadAllAction();
    bool isDownloadingIdentifier(const QString& identifier) const { return m_downloadingIdentifiers.contains(identifier); }
    const QStringList& downloadingIdentifiers() const { return m_downloadingIdentifiers; }

    // ---- parts, for tests and the application ----
    KXStoreCatalogue* catalogue() const { return m_catalogue; }
    KXStoreImageLoader* imageLoader() const { return m_imageLoader; }
    KXHoverTableView* tvProducts() const { return m_tvProducts; }
    QLabel* ivPreview() const { return m_ivPreview; }
    QProgressBar* piPreview() const { return m_piPreview; }
    QAction* downloadAllItem() const { return m_downloadAll; }
    // The cover; null when not shown.
    QWidget* loadingView() const { return m_loadingView; }
    // The cover's retry button; null unless the catalogue failed.
    QPushButton* retryButton() const { return m_retryButton; }
    // The cell of a row; null when the row has none.
    KXTableCellView* cellForRow(int row) const;

signals:
    // The list is shown.
    void productsShown();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showLoadingProgressBar();
    void hideLoadingProgressBar();
    void showLoadingFailed();
    void buildProductEntries(const kx::ValueArray& products);
    void fillRow(int row);
    void reloadRowForEntity(KXProductResourceEntity* entity);
    void reloadPreviewForEntity(KXProductResourceEntity* entity);
    void selectionChanged();
    void returnRowToRest(const QString& identifier);
    void showRowProgress(const QString& identifier, qint64 received, qint64 total);
    void downloadFinished(const QString& identifier, const KXPackFetchResult& result);
    void notificationActivated(const QString& identifier);

    KXStoreSettings m_settings;
    KXStoreCatalogue* m_catalogue = nullptr;
    KXStoreImageLoader* m_imageLoader = nullptr;
    KXHoverTableView* m_tvProducts = nullptr;
    QStandardItemModel* m_model = nullptr;
    QLabel* m_ivPreview = nullptr;
    QProgressBar* m_piPreview = nullptr;
    QAction* m_downloadAll = nullptr;
    QWidget* m_loadingView = nullptr;
    QPushButton* m_retryButton = nullptr;
    bool m_opened = false;
    bool m_loading = false;

    kx::ValueArray m_productList;
    std::vector<KXProductResourceEntity*> m_tableContents;
    QStringList m_downloadingIdentifiers;
};
