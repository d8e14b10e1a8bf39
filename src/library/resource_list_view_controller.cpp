#include "library/resource_list_view_controller.h"

#include "canvas/canvas_drop.h"
#include "controls/checkbox_alert.h"
#include "graphics/image_file_types.h"
#include "library/image_search_loader.h"
#include "library/resource_folders.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QString localized(const QString& key) {
    return kx::Bundle::main().localizedString(key);
}

// The slider runs over whole steps; the zoom is a fraction between 0 and 1.
constexpr int kZoomSteps = 100;

KXResourceListViewController::AlertRunner& alertRunner() {
    static KXResourceListViewController::AlertRunner runner;
    return runner;
}

KXResourceListViewController::SheetRunner& sheetRunner() {
    static KXResourceListViewController::SheetRunner runner;
    return runner;
}

KXResourceListViewController::ImportChooser& importChooser() {
    static KXResourceListViewController::ImportChooser chooser;
    return chooser;
}

QStringList chooseImportFiles(QWidget* parent) {
    QStringList patterns;
    for (const char* extension : {"png", "jpg", "jpeg", "jpng", "gif", "bmp", "tif", "tiff", "webp", "pdf", "eps",
                                  "svg", "SVG", "ai", "AI"})
        patterns.append(QStringLiteral("*.") + QLatin1String(extension));
    QWidget* window = QApplication::activeWindow() ? QApplication::activeWindow() : parent;
    return QFileDialog::getOpenFileNames(window, QString(), QString(),
                                         localized(QStringLiteral("ImageFiles")) + QStringLiteral(" (") +
                                             patterns.join(u' ') + u')');
}

}  // namespace

void KXResourceListViewController::setAlertRunner(AlertRunner runner) {
    alertRunner() = std::move(runner);
}

void KXResourceListViewController::setImportChooser(ImportChooser chooser) {
    importChooser() = std::move(chooser);
}

void KXResourceListViewController::setSheetRunner(SheetRunner runner) {
    sheetRunner() = std::move(runner);
}

KXResourceListViewController::KXResourceListViewController(const QStringList& categories, int index,
                                                           KXResourceListViewControllerDelegate* delegate,
                                                           QWidget* parent)
    : QWidget(parent),
      m_delegate(delegate),
      m_categories(categories),
      m_searchResultsTitle(localized(QStringLiteral("Search results"))),
      m_imageSearcher(std::make_unique<KXImageSearcher>()),
      m_thumbnailLoader(new KXImageSearchThumbnailLoader(this)) {
    // A start index past the categories shows the last one rather than none.
    m_categoryIdx = categories.isEmpty() ? 0 : std::clamp(index, 0, int(categories.size()) - 1);
    m_imageSearcher->setDelegate(this);
    connect(m_thumbnailLoader, &KXImageSearchThumbnailLoader::thumbnailLoaded, this,
            [this](int slot, const kx::Image& image) { thumbnailArrived(slot, image); });
    initUI();
    m_customObserver = kx::NotificationCenter::defaultCenter().addObserver(
        KXCustomResourceChanged, nullptr, [this](const kx::Notification&) {
            if (isCustomCategorySelected())
                updateResourceList();
        });
}

KXResourceListViewController::~KXResourceListViewController() {
    stopLoadImageFromInterface();
    m_imageSearcher->setDelegate(nullptr);
}

void KXResourceListViewController::initUI() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(4);

    auto* top = new QHBoxLayout;
    m_pubResource = new QComboBox(this);
    m_pubResource->setObjectName(QStringLiteral("pubResource"));
    top->addWidget(m_pubResource, 1);
    m_btSearch = new QPushButton(localized(QStringLiteral("Search")), this);
    m_btSearch->setObjectName(QStringLiteral("btSearch"));
    m_btSearch->setCheckable(true);
    top->addWidget(m_btSearch);
    column->addLayout(top);

    // Shown only while searching.
    m_searchField = new QLineEdit(this);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->hide();
    column->addWidget(m_searchField);

    m_imageBrowserView = new KXImageBrowserView(this);
    m_imageBrowserView->setObjectName(QStringLiteral("imageBrowserView"));
    m_imageBrowserView->setAllowsMultipleSelection(true);
    column->addWidget(m_imageBrowserView, 1);

    m_buttonStrip = new QWidget(this);
    m_buttonStrip->setFixedHeight(36);
    auto* buttons = new QHBoxLayout(m_buttonStrip);
    buttons->setContentsMargins(0, 0, 0, 0);
    m_btImport = new QPushButton(localized(QStringLiteral("Import")), m_buttonStrip);
    m_btImport->setObjectName(QStringLiteral("btImport"));
    m_btRemove = new QPushButton(localized(QStringLiteral("Remove")), m_buttonStrip);
    m_btRemove->setObjectName(QStringLiteral("btRemove"));
    buttons->addWidget(m_btImport);
    buttons->addWidget(m_btRemove);
    buttons->addStretch(1);
    column->addWidget(m_buttonStrip);
    m_buttonStrip->hide();

    m_slZoom = new QSlider(Qt::Horizontal, this);
    m_slZoom->setObjectName(QStringLiteral("slZoom"));
    m_slZoom->setRange(0, kZoomSteps);
    column->addWidget(m_slZoom);

    // The pop-up: the categories, then (for lists with a folder of the user's own) that folder's category.
    m_pubResource->addItems(m_categories);
    m_pubResource->insertSeparator(m_pubResource->count());
    m_pubResource->setCurrentIndex(m_categoryIdx);

    double zoom = 0.4;
    if (m_delegate)
        zoom = m_delegate->imageListViewControllerZoomValue(this);
    {
        const QSignalBlocker blocker(m_slZoom);
        m_slZoom->setValue(int(std::lround(zoom * kZoomSteps)));
    }
    m_imageBrowserView->setZoomValue(zoom);

    if (m_delegate && m_delegate->imageListViewControllerCanCustomized(this)) {
        m_btRemove->setEnabled(false);
        m_customCategory = m_delegate->imageListControllerCustomizedCategory(this);
        m_pubResource->insertSeparator(m_pubResource->count());
        m_pubResource->addItem(m_customCategory);
        m_customPath = customResourcePath(m_delegate->imageListControllerCustomizedFolderName(this));
    }
    if (m_delegate && m_delegate->imageListViewControllerCanSearch(this) &&
        m_delegate->imageListViewControllerCanSearchOnInternet(this) &&
        !m_delegate->imageListViewControllerCanSearchAtLocal(this)) {
        m_searchType = 1;
        // Without a configured service the field says so and sends nothing.
        m_searchField->setPlaceholderText(localized(m_imageSearcher->isAvailable() ? QStringLiteral("Internet")
                                                                                  : QStringLiteral("SearchNotAvailable")));
        // The results have an item of their own, after the categories.
        m_pubResource->insertItem(int(m_categories.size()) + 1, m_searchResultsTitle);
        installSearchImageNotice();
    }
    if (!m_delegate || !m_delegate->imageListViewControllerCanSearch(this))
        m_btSearch->hide();
    if (m_delegate)
        m_imageBrowserView->setIdString(m_delegate->imageListViewControllerIndentifierForBrowserView(this));
    updateResourceList();

    connect(m_pubResource, &QComboBox::activated, this, [this] { categoryChanged(); });
    connect(m_slZoom, &QSlider::valueChanged, this, [this] { zoomChanged(); });
    connect(m_btImport, &QPushButton::clicked, this, [this] { importAction(); });
    connect(m_btRemove, &QPushButton::clicked, this, [this] { removeAction(); });
    connect(m_btSearch, &QPushButton::clicked, this, [this] { searchAction(); });
    connect(m_searchField, &QLineEdit::returnPressed, this, [this] {
        m_searchString = m_searchField->text();
        searchImagesOnInternet();
    });
    m_imageBrowserView->setDragDataProvider([this](const std::vector<int>& items) { return mimeDataForItems(items); });
    connect(m_imageBrowserView, &kx::ImageBrowserView::selectionDidChange, this, [this] { selectionChanged(); });
    connect(m_imageBrowserView, &kx::ImageBrowserView::cellWasRightClicked, this,
            [this](int item, const QPoint& at) { cellRightClicked(item, at); });
}

bool KXResourceListViewController::isCustomCategorySelected() const {
    return !m_customCategory.isEmpty() && m_pubResource->currentIndex() == m_pubResource->count() - 1 &&
           m_pubResource->currentText() == m_customCategory;
}

void KXResourceListViewController::showImageList() {
    if (!m_firstShown)
        return;
    m_firstShown = false;
    QTimer::singleShot(100, this, [this] { refresh(); });
}

void KXResourceListViewController::refresh() {
    updateResourceList();
    m_imageBrowserView->scrollToItem(0);
}

void KXResourceListViewController::updateResourceList() {
    if (!m_delegate)
        return;
    const QStringList paths = isCustomCategorySelected()
                                  ? customResourcePaths(m_customPath)
                                  : m_delegate->imageListViewControllerResourcePathsInCategory(
                                        this, m_pubResource->currentText());
    m_resources.clear();
    std::vector<kx::ImageBrowserItem> cells;
    for (const QString& path : paths) {
        m_resources.emplace_back(path);
        cells.push_back(m_resources.back().browserItem());
    }
    m_imageBrowserView->setItems(std::move(cells));
    selectionChanged();
}

QStringList KXResourceListViewController::selectedResoucesPaths() const {
    QStringList paths;
    for (int item : m_imageBrowserView->selectedItems())
        if (item >= 0 && item < int(m_resources.size()))
            paths.append(m_resources[size_t(item)].path());
    return paths;
}

void KXResourceListViewController::setButtonsShown(bool shown) {
    m_buttonStrip->setVisible(shown);
}

void KXResourceListViewController::categoryChanged() {
    if (isCustomCategorySelected()) {
        stopLoadImageFromInterface();
        setButtonsShown(true);
        m_btSearch->setChecked(false);
        m_searchField->hide();
    } else {
        setButtonsShown(false);
        m_categoryIdx = m_pubResource->currentIndex();
        if (m_searchType == 1 && m_pubResource->currentText() == m_searchResultsTitle) {
            // Back to the results: the field opens with the last words and the search runs again.
            if (!m_searchString.isEmpty())
                m_searchField->setText(m_searchString);
            openSearchField();
            imageSearcherDidFinishSearching(m_imageSearcher.get());
            if (!m_searchString.isEmpty())
                searchImagesOnInternet();
            return;
        }
        stopLoadImageFromInterface();
        m_btSearch->setChecked(false);
        m_searchField->hide();
    }
    updateResourceList();
}

bool KXResourceListViewController::isShowingSearchResults() const {
    return m_searchType == 1 && m_pubResource->currentText() == m_searchResultsTitle;
}

void KXResourceListViewController::openSearchField() {
    setButtonsShown(false);
    m_btSearch->setChecked(true);
    m_searchField->show();
    if (m_searchType == 1 && m_pubResource->currentText() != m_searchResultsTitle)
        m_pubResource->setCurrentIndex(m_pubResource->findText(m_searchResultsTitle));
}

void KXResourceListViewController::closeSearchField() {
    m_btSearch->setChecked(false);
    m_searchField->hide();
    stopLoadImageFromInterface();
    if (m_pubResource->itemText(m_categoryIdx) == m_searchResultsTitle || m_categoryIdx >= m_pubResource->count())
        m_categoryIdx = 0;
    m_pubResource->setCurrentIndex(m_categoryIdx);
    updateResourceList();
}

void KXResourceListViewController::searchAction() {
    if (m_searchField->isVisibleTo(this)) {
        closeSearchField();
        return;
    }
    openSearchField();
    if (m_searchType == 1)
        imageSearcherDidFinishSearching(m_imageSearcher.get());
}

void KXResourceListViewController::searchImagesOnInternet() {
    if (m_searchType != 1 || !m_imageSearcher->isAvailable())
        return;
    m_imageSearcher->searchPhotosWithKeyword(m_searchString);
}

void KXResourceListViewController::searchImageOnTheInternetWithKeywords(const QString& keywords) {
    m_searchType = 1;
    if (!m_searchField->isVisibleTo(this))
        openSearchField();
    m_searchField->setText(keywords);
    m_searchString = keywords;
    imageSearcherDidFinishSearching(m_imageSearcher.get());
    searchImagesOnInternet();
}

void KXResourceListViewController::stopLoadImageFromInterface() {
    if (m_thumbnailLoader)
        m_thumbnailLoader->stop();
}

void KXResourceListViewController::clearSearchImage() {
    stopLoadImageFromInterface();
    if (!isShowingSearchResults())
        return;
    m_resources.clear();
    m_imageBrowserView->setItems({});
}

void KXResourceListViewController::imageSearcherDidFinishSearching(KXImageSearcher* searcher) {
    stopLoadImageFromInterface();
    if (!isShowingSearchResults() || searcher != m_imageSearcher.get())
        return;
    m_resources.clear();
    std::vector<kx::ImageBrowserItem> cells;
    std::vector<std::pair<int, QUrl>> thumbnails;
    for (int i = 0; i < KXImageSearcher::imageCount(); ++i) {
        KXResourceBrowserItem item;
        item.setRepresentationType(KXImageBrowserImageRepresentationType);
        if (const auto record = searcher->imageAtIndex(i)) {
            item.setUrl(QUrl(record->tbUrl()));
            item.setTitle(record->title());
            item.setToolTip(record->title());
            if (!record->tbUrl().isEmpty())
                thumbnails.emplace_back(i, QUrl(record->tbUrl()));
        }
        m_resources.push_back(item);
        kx::ImageBrowserItem cell = item.browserItem();
        cell.uid = QStringLiteral("search-%1-%2").arg(searcher->searchGeneration()).arg(i);
        cells.push_back(cell);
    }
    m_imageBrowserView->setItems(std::move(cells));
    m_thumbnailLoader->start(thumbnails);
}

void KXResourceListViewController::thumbnailArrived(int slot, const kx::Image& image) {
    if (!isShowingSearchResults() || slot < 0 || slot >= int(m_resources.size()))
        return;
    KXResourceBrowserItem& item = m_resources[size_t(slot)];
    item.setImage(image);
    item.setVersion(item.version() + 1);
    // The record's size becomes the thumbnail's, which is what the page is told.
    if (const auto record = m_imageSearcher->imageAtIndex(slot)) {
        record->setWidth(QString::number(unsigned(image.width())));
        record->setHeight(QString::number(unsigned(image.height())));
    }
    kx::ImageBrowserItem cell = item.browserItem();
    cell.uid = QStringLiteral("search-%1-%2").arg(m_imageSearcher->searchGeneration()).arg(slot);
    m_imageBrowserView->browserModel().setItem(slot, cell);
}

QMimeData* KXResourceListViewController::mimeDataForItems(const std::vector<int>& items) const {
    if (isShowingSearchResults()) {
        std::vector<QByteArray> archives;
        QHash<QString, kx::Image> thumbnails;
        for (int i : items) {
            if (i < 0 || i >= int(m_resources.size()) || m_resources[size_t(i)].image().isNull())
                continue;  // a result whose thumbnail has not arrived cannot be dragged
            const auto record = m_imageSearcher->imageAtIndex(i);
            if (!record || record->url().isEmpty())
                continue;
            archives.push_back(googleImageArchive(*record));
            thumbnails.insert(record->tbUrl(), m_resources[size_t(i)].image());
        }
        if (archives.empty())
            return nullptr;
        auto* data = new QMimeData;
        data->setData(KXGoogleImagePboardType, googleImagePasteboardData(archives));
        addDragThumbnails(*data, thumbnails);
        addDragSourceFacts(*data, QStringLiteral("KXImageBrowserView"), m_imageBrowserView->idString());
        return data;
    }
    QList<QUrl> urls;
    for (int i : items)
        if (i >= 0 && i < int(m_resources.size()) && !m_resources[size_t(i)].path().isEmpty())
            urls.append(QUrl::fromLocalFile(m_resources[size_t(i)].path()));
    if (urls.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    addDragSourceFacts(*data, QStringLiteral("KXImageBrowserView"), m_imageBrowserView->idString());
    return data;
}

void KXResourceListViewController::zoomChanged() {
    const double zoom = double(m_slZoom->value()) / kZoomSteps;
    m_imageBrowserView->setZoomValue(zoom);
    if (m_delegate)
        m_delegate->imageListViewControllerZoomValueDidChanged(this, zoom);
}

void KXResourceListViewController::importResources() {
    if (m_customCategory.isEmpty())
        return;
    if (!isCustomCategorySelected()) {
        m_pubResource->setCurrentIndex(m_pubResource->count() - 1);
        categoryChanged();
    }
    importAction();
}

void KXResourceListViewController::searchOnInternet() {
    if (m_searchType != 1)
        return;
    if (!m_searchWC) {
        m_searchWC = new KXSearchImageWindowController(this);
        m_searchWC->setDelegate(this);
    }
    if (sheetRunner()) {
        sheetRunner()(*m_searchWC);
        return;
    }
    m_searchWC->setWindowModality(Qt::WindowModal);
    m_searchWC->exec();
}

void KXResourceListViewController::importAction() {
    const QStringList files = importChooser() ? importChooser()(this) : chooseImportFiles(this);
    if (!files.isEmpty())
        importFiles(files);
}

void KXResourceListViewController::importFiles(const QStringList& files) {
    importResourceFiles(files, m_customPath);
    kx::NotificationCenter::defaultCenter().post(KXCustomResourceChanged, this);
}

void KXResourceListViewController::removeAction() {
    kx::UserDefaults& defaults = kx::UserDefaults::standard();
    if (!defaults.boolValue(KXNotAskDeleteCustomResource)) {
        auto alert = KXCheckBoxAlert::alertWithMessageText(
            localized(QStringLiteral("DeleteResource")), localized(QStringLiteral("OK")),
            localized(QStringLiteral("Cancel")), QString(), localized(QStringLiteral("DeleteResourceTip")), this);
        alert->setShowsCheckbox(true);
        alert->setCheckboxText(localized(QStringLiteral("DontAskAgain")));
        alert->setCheckboxState(0);
        const int answer = alertRunner() ? alertRunner()(*alert) : alert->exec();
        // The tick counts whatever the answer.
        defaults.setValue(KXNotAskDeleteCustomResource, kx::Value(alert->checkboxState() == 1));
        kx::NotificationCenter::defaultCenter().post(KXPreferencesChanged, this);
        if (answer != KXAlertDefaultReturn)
            return;
    }
    removeResourceFiles(selectedResoucesPaths(), m_customPath);
    kx::NotificationCenter::defaultCenter().post(KXCustomResourceChanged, this);
}

void KXResourceListViewController::selectionChanged() {
    if (m_buttonStrip->isVisibleTo(this))
        m_btRemove->setEnabled(!m_imageBrowserView->selectedItems().empty());
}

void KXResourceListViewController::cellRightClicked(int, const QPoint& globalPosition) {
    if (!m_allowRightClick || !m_delegate || isShowingSearchResults())
        return;
    QMenu* menu = m_delegate->imageListViewControllerMenuForRightMouseClicked(this);
    if (menu && !m_imageBrowserView->selectedItems().empty())
        menu->popup(globalPosition);
}
