#include "library/template_window_controller.h"

#include "app_services/ga_object.h"
#include "document/package_file_calls.h"
#include "document/project.h"
#include "graphics/file_utilities.h"
#include "library/project_open_panel.h"
#include "library/template_alerts.h"
#include "library/template_browser_view.h"
#include "library/template_favorites.h"
#include "library/template_folders.h"
#include "library/template_listing.h"
#include "library/store_controller.h"
#include "library/template_store_banner.h"
#include "library/user_templates.h"
#include "platform/foundation/user_defaults.h"

#include <QCloseEvent>
#include <cerrno>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

using kx::templates::localized;

namespace {

const QString kTemplateZoom = QStringLiteral("KXTemplateZoom");
constexpr int kSliderSteps = 100;

bool isBoldRow(const QString& row) {
    return row == kx::templates::kAllRow || row == kx::templates::kMyTemplatesRow ||
           row == QLatin1String("Blank") || row == kx::templates::kFavoritesRow;
}

}  // namespace

// ---- the window ----

void KXTemplateWindow::closeEvent(QCloseEvent* event) {
    if (!isVisible() || !shouldClose || shouldClose())
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void KXTemplateWindow::reject() {
    // Escape cancels as the close button does.
    if (!shouldClose || shouldClose())
        hide();
}

bool KXTemplateWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && didBecomeKey)
        didBecomeKey();
    return QDialog::event(event);
}

void KXTemplateWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (didResize)
        didResize();
}

// ---- making and showing ----

KXTemplateWindowController::KXTemplateWindowController()
    : m_categories(kx::templates::templateCategories()) {
    loadWindow();
}

KXTemplateWindowController::~KXTemplateWindowController() {
    m_observers.clear();
    delete m_window;
}

std::unique_ptr<KXTemplateWindowController> KXTemplateWindowController::templateWC() {
    return std::make_unique<KXTemplateWindowController>();
}

void KXTemplateWindowController::loadWindow() {
    m_window = new KXTemplateWindow;
    m_window->setObjectName(QStringLiteral("TemplateWindow"));
    m_window->setWindowTitle(localized(QStringLiteral("Templates")));
    m_window->resize(900, 600);
    m_window->shouldClose = [this] { return windowShouldClose(); };
    m_window->didBecomeKey = [this] { reloadBrowser(); };
    m_window->didResize = [this] { zoomSliderDidChange(); };

    m_tvTmpList = new QListWidget;
    m_tvTmpList->setObjectName(QStringLiteral("tvTmpList"));
    m_tvTmpList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tvTmpList->setMaximumWidth(200);
    m_imageBrowser = new KXTemplateBrowserView;
    m_imageBrowser->setObjectName(QStringLiteral("imageBrowser"));
    m_banner = new KXTemPanelView;
    m_banner->storeAction = [] { KXStoreController::showStore(); };

    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(m_banner);
    rightLayout->addWidget(m_imageBrowser, 1);
    auto* splitter = new QSplitter;
    splitter->addWidget(m_tvTmpList);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);

    m_btOpen = new QPushButton(localized(QStringLiteral("Open Existing Project...")));
    auto* btMin = new QToolButton;
    btMin->setText(QStringLiteral("−"));
    btMin->setObjectName(QStringLiteral("minValue"));
    auto* btMax = new QToolButton;
    btMax->setText(QStringLiteral("+"));
    btMax->setObjectName(QStringLiteral("maxValue"));
    m_slZoom = new QSlider(Qt::Horizontal);
    m_slZoom->setRange(0, kSliderSteps);
    m_slZoom->setMaximumWidth(160);
    auto* btCancel = new QPushButton(localized(QStringLiteral("Cancel")));
    btCancel->setObjectName(QStringLiteral("btCancel"));
    m_btChoose = new QPushButton(localized(QStringLiteral("Choose")));
    m_btChoose->setObjectName(QStringLiteral("btChoose"));
    m_btChoose->setDefault(true);
    m_btChoose->setEnabled(false);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_btOpen);
    bottom->addStretch(1);
    bottom->addWidget(btMin);
    bottom->addWidget(m_slZoom);
    bottom->addWidget(btMax);
    bottom->addSpacing(16);
    bottom->addWidget(btCancel);
    bottom->addWidget(m_btChoose);
    auto* layout = new QVBoxLayout(m_window);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);

    m_rightMenu = new QMenu(m_window);
    m_rightMenu->addAction(localized(QStringLiteral("Rename")), this, &KXTemplateWindowController::renameAction);
    m_rightMenu->addAction(localized(QStringLiteral("Delete")), this, &KXTemplateWindowController::deleteAction);

    connect(m_btChoose, &QPushButton::clicked, this, &KXTemplateWindowController::selectTemplateClicked);
    connect(btCancel, &QPushButton::clicked, this, &KXTemplateWindowController::cancelClicked);
    connect(m_btOpen, &QPushButton::clicked, this, &KXTemplateWindowController::openExistingProject);
    connect(m_slZoom, &QSlider::valueChanged, this, &KXTemplateWindowController::zoomSliderDidChange);
    connect(btMin, &QToolButton::clicked, this, &KXTemplateWindowController::minValue);
    connect(btMax, &QToolButton::clicked, this, &KXTemplateWindowController::maxValue);
    connect(m_tvTmpList, &QListWidget::itemSelectionChanged, this,
            &KXTemplateWindowController::tableViewSelectionDidChange);
    connect(m_imageBrowser, &kx::ImageBrowserView::selectionDidChange, this,
            [this] { m_btChoose->setEnabled(!m_imageBrowser->selectedItems().empty()); });
    connect(m_imageBrowser, &kx::ImageBrowserView::cellWasDoubleClicked, this,
            &KXTemplateWindowController::cellWasDoubleClicked);
    connect(m_imageBrowser, &kx::ImageBrowserView::cellWasRightClicked, this,
            &KXTemplateWindowController::cellWasRightClicked);

    loadTemplateList();
    kx::NotificationCenter& centre = kx::NotificationCenter::defaultCenter();
    const void* browser = m_imageBrowser;
    m_observers.push_back(centre.addObserver(KXDeleteTemplate, browser, [this](const auto&) { deleteTemplate(); }));
    m_observers.push_back(
        centre.addObserver(KXReloadAllTemplateData, nullptr, [this](const auto& n) { tableViewChange(n); }));
    m_observers.push_back(centre.addObserver(KXSwitchNextImage, browser, [this](const auto&) { switchPage(1); }));
    m_observers.push_back(centre.addObserver(KXSwitchFrontImage, browser, [this](const auto&) { switchPage(-1); }));
    m_observers.push_back(centre.addObserver(KXCancelFavorite, browser, [this](const auto&) { cancelFavorite(); }));
    m_observers.push_back(centre.addObserver(KXAddFavorite, browser, [this](const auto&) { addFavorite(); }));
    initImageBrowser();
}

void KXTemplateWindowController::initImageBrowser() {
    m_imageBrowser->setAllowsEmptySelection(false);
    m_imageBrowser->setCellColors(QColor(50, 50, 50), Qt::white, QColor::fromRgbF(1, 0, 0.5));
    const kx::Value stored = kx::UserDefaults::standard().value(kTemplateZoom);
    const double zoom = stored.isNumber() ? stored.toDouble() : 0.5;
    m_imageBrowser->setZoomValue(zoom);
    const QSignalBlocker quiet(m_slZoom);
    m_slZoom->setValue(int(std::lround(std::clamp(zoom, 0.0, 1.0) * kSliderSteps)));
}

void KXTemplateWindowController::setCanOpenProject(bool canOpenProject) {
    m_canOpenProject = canOpenProject;
    m_btOpen->setVisible(canOpenProject);
}

void KXTemplateWindowController::showWindow() {
    if (m_window->parentWidget())
        m_window->setParent(nullptr, Qt::Window);
    m_window->setWindowModality(Qt::NonModal);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    if (m_firstShown) {
        m_firstShown = false;
        if (m_tvTmpList->selectedItems().isEmpty())
            selectCategory(kx::templates::kAllRow);
    }
}

void KXTemplateWindowController::beginSheet(QWidget* window) {
    m_window->setParent(window, Qt::Sheet | Qt::Dialog);
    m_window->setWindowModality(Qt::WindowModal);
    m_window->show();
    m_window->raise();
    if (m_firstShown) {
        m_firstShown = false;
        if (m_tvTmpList->selectedItems().isEmpty())
            selectCategory(kx::templates::kAllRow);
    }
}

// ---- categories and listing ----

void KXTemplateWindowController::loadTemplateList() {
    m_tmpList = kx::templates::templateCategoryList(m_categories);
    const QSignalBlocker quiet(m_tvTmpList);
    m_tvTmpList->clear();
    for (const QString& row : m_tmpList) {
        auto* item = new QListWidgetItem(row, m_tvTmpList);
        QFont font = m_tvTmpList->font();
        font.setBold(isBoldRow(row));
        item->setFont(font);
    }
}

void KXTemplateWindowController::selectCategory(const QString& row) {
    const int index = int(m_tmpList.indexOf(row));
    if (index < 0)
        return;
    if (m_tvTmpList->currentRow() == index)
        tableViewSelectionDidChange();
    else
        m_tvTmpList->setCurrentRow(index);
}

QString KXTemplateWindowController::selectedCategory() const {
    const QList<QListWidgetItem*> selected = m_tvTmpList->selectedItems();
    if (selected.isEmpty())
        return {};
    const int row = m_tvTmpList->row(selected.first());
    return row >= 0 && row < m_tmpList.size() ? m_tmpList[row] : QString();
}

void KXTemplateWindowController::tableViewSelectionDidChange() {
    const QString row = selectedCategory();
    if (row.isEmpty())
        return;
    m_imageBrowser->scrollToItem(0);
    m_imageBrowser->clearSelection();
    m_imageBrowser->setSelectIndex(-1);
    kx::templates::TemplateListing listing = kx::templates::listTemplates(row, m_categories);
    m_images = std::move(listing.items);
    m_groupInfo = std::move(listing.groups);
    reloadBrowser();
    m_imageBrowser->selectItem(0);
    m_btChoose->setEnabled(!m_imageBrowser->selectedItems().empty());
}

void KXTemplateWindowController::reloadBrowser() {
    m_imageBrowser->reloadData(m_images, m_groupInfo);
}

void KXTemplateWindowController::tableViewChange(const kx::Notification& notification) {
    const QString row = selectedCategory();
    if (row != kx::templates::kMyTemplatesRow && row != kx::templates::kAllRow && row != kx::templates::kFavoritesRow)
        return;
    const auto name = notification.userInfo.find(QStringLiteral("tempName"));
    if (name != notification.userInfo.end()) {
        // A template saved again under the name of one shown: only its pages change.
        const QString folder = name->second.toString();
        for (int i = int(m_images.size()) - 1; i >= 0; --i) {
            KXTemplateItem& item = m_images[std::size_t(i)];
            if (folder.isEmpty() || QFileInfo(item.path()).path() != folder)
                continue;
            const QStringList files = kx::templates::templateFileList(folder + QStringLiteral(".tpl"));
            if (files.isEmpty())
                break;
            const quint64 version = item.version();
            if (std::optional<KXTemplateItem> fresh = kx::templates::makeTemplateItem(files)) {
                item = std::move(*fresh);
                item.setVersion(version + 1);
                m_imageBrowser->reloadItem(i, item);
                return;
            }
        }
    }
    tableViewSelectionDidChange();
}

// ---- favourites and pages ----

void KXTemplateWindowController::addFavorite() {
    const int index = m_imageBrowser->selectIndex();
    if (index < 0 || index >= int(m_images.size()))
        return;
    const QString folder = m_images[std::size_t(index)].templateFolder();
    kx::templates::addFavorite(folder);
    updateFavoriteList();
    KXGoogleAnalytics::trackFavoriteTemplateWithPath(folder);
}

void KXTemplateWindowController::cancelFavorite() {
    const int index = m_imageBrowser->selectIndex();
    if (index < 0 || index >= int(m_images.size()))
        return;
    kx::templates::removeFavorite(m_images[std::size_t(index)].templateFolder());
    updateFavoriteList();
}

void KXTemplateWindowController::updateFavoriteList() {
    if (selectedCategory() == kx::templates::kFavoritesRow)
        tableViewSelectionDidChange();
}

void KXTemplateWindowController::switchPage(int step) {
    const int index = m_imageBrowser->downSelectIndex();
    if (index < 0 || index >= int(m_images.size()))
        return;
    KXTemplateItem& item = m_images[std::size_t(index)];
    const std::int64_t page = item.currentPage() + step;
    if (page < 1 || page > item.pageCount())
        return;
    item.setCurrentPage(page);
    item.setVersion(item.version() + 1);
    m_imageBrowser->reloadItem(index, item);
    m_imageBrowser->updateStateWithArrowIsCanForword(item.isFristPage(), item.isLastPage());
}

// ---- choosing and closing ----

QString KXTemplateWindowController::templatePath() const {
    if (m_tmpIndex < 0)
        return {};
    const std::vector<int> selected = m_imageBrowser->selectedItems();
    if (selected.empty() || selected.front() >= int(m_images.size()))
        return {};
    return m_images[std::size_t(selected.front())].templateFolder();
}

std::int64_t KXTemplateWindowController::currentPage() const {
    if (m_tmpIndex < 0)
        return 0;
    const std::vector<int> selected = m_imageBrowser->selectedItems();
    if (selected.empty() || selected.front() >= int(m_images.size()))
        return 0;
    return std::max<std::int64_t>(0, m_images[std::size_t(selected.front())].currentPage() - 1);
}

void KXTemplateWindowController::selectTemplateClicked() {
    const std::vector<int> selected = m_imageBrowser->selectedItems();
    m_tmpIndex = selected.empty() ? -1 : selected.front();
    closeWindow();
}

void KXTemplateWindowController::cellWasDoubleClicked(int) {
    if (m_imageBrowser->rightMouseDoubleClicked())
        selectTemplateClicked();
}

void KXTemplateWindowController::cancelClicked() {
    m_tmpIndex = -1;
    closeWindow();
}

void KXTemplateWindowController::openExistingProject() {
    const QString path = runProjectOpenPanel(m_window);
    if (path.isEmpty())
        return;
    m_projPath = path;
    closeWindow();
}

void KXTemplateWindowController::closeWindow() {
    m_window->hide();
    if (m_delegate) {
        const QString folder = templatePath();
        if (!m_projPath.isEmpty())
            m_delegate->templateWindowControllerOpenPorject(this, m_projPath);
        else if (!folder.isEmpty())
            m_delegate->templateWindowControllerOpenTemplate(this, folder, currentPage());
        else
            m_delegate->templateWindowControllerDidCancel(this);
    }
    m_projPath.clear();
}

bool KXTemplateWindowController::windowShouldClose() {
    m_tmpIndex = -1;
    if (m_delegate)
        m_delegate->templateWindowControllerDidCancel(this);
    return true;
}

// ---- zoom ----

void KXTemplateWindowController::zoomSliderDidChange() {
    const double zoom = double(m_slZoom->value()) / kSliderSteps;
    m_imageBrowser->setZoomValue(zoom);
    m_imageBrowser->viewport()->update();
    storeZoom(zoom);
}

void KXTemplateWindowController::maxValue() {
    m_slZoom->setValue(m_slZoom->maximum());
    zoomSliderDidChange();
}

void KXTemplateWindowController::minValue() {
    m_slZoom->setValue(m_slZoom->minimum());
    zoomSliderDidChange();
}

void KXTemplateWindowController::storeZoom(double zoom) {
    kx::UserDefaults& defaults = kx::UserDefaults::standard();
    if (defaults.value(kTemplateZoom).toDouble() == float(zoom) && defaults.hasStoredValue(kTemplateZoom))
        return;
    defaults.setValue(kTemplateZoom, float(zoom));
    defaults.synchronize();
}

// ---- the user's own templates ----

void KXTemplateWindowController::cellWasRightClicked(int index, const QPoint& globalPosition) {
    if (m_renameWC && m_renameWC->isVisible())
        return;
    if (index < 0 || index >= int(m_images.size()) || !m_images[std::size_t(index)].isCustomTemplate())
        return;
    if (m_menuPresenter)
        m_menuPresenter(m_rightMenu, globalPosition);
    else
        m_rightMenu->popup(globalPosition);
}

void KXTemplateWindowController::renameAction() {
    if (!m_renameWC) {
        m_renameWC = new KXRenameTemplateController(m_window);
        m_renameWC->setDelegate(this);
        m_renameWC->setWindowFlag(Qt::Sheet);
        m_renameWC->setWindowModality(Qt::WindowModal);
    }
    const std::vector<int> selected = m_imageBrowser->selectedItems();
    if (!selected.empty() && selected.front() < int(m_images.size()))
        m_renameWC->setName(m_images[std::size_t(selected.front())].name());
    m_renameWC->show();
    m_renameWC->raise();
}

void KXTemplateWindowController::deleteAction() {
    deleteTemplate();
}

void KXTemplateWindowController::deleteTemplate() {
    const int answer = kx::templates::runAlert(m_window, localized(QStringLiteral("DeleteTemplate")),
                                               localized(QStringLiteral("DeleteTemplateTip")),
                                               {localized(QStringLiteral("OK")), localized(QStringLiteral("Cancel"))});
    if (answer != 0)
        return;
    removeCustomTemplate();
    kx::NotificationCenter::defaultCenter().post(KXReloadAllTemplateData, this);
}

void KXTemplateWindowController::removeCustomTemplate() {
    const int index = m_imageBrowser->deleteIndex();
    if (index < 0 || index >= int(m_images.size()))
        return;
    const KXTemplateItem& item = m_images[std::size_t(index)];
    const QString favorite = item.templateFolder();
    QString folder = kx::templates::userTemplateFolderOfFile(item.path());
    if (folder.isEmpty())
        folder = favorite;
    // Only the user's own templates, and only inside their folder, are ever deleted.
    kx::templates::removeUserTemplateFolder(folder);
    m_images.erase(m_images.begin() + index);
    kx::templates::removeFavorite(favorite, Qt::CaseInsensitive);
    if (folder != favorite)
        kx::templates::removeFavorite(folder, Qt::CaseInsensitive);
    reloadBrowser();
    updateFavoriteList();
}

void KXTemplateWindowController::renameTempalteWithName(const QString& typed) {
    const QString name = kx::templates::sanitizedTemplateName(typed);
    const int index = m_imageBrowser->selectIndex();
    if (index < 0 || index >= int(m_images.size()) || !kx::templates::isAcceptableTemplateName(name) ||
        name == m_images[std::size_t(index)].name())
        return;
    const QString from = kx::templates::userTemplateFolderOfFile(m_images[std::size_t(index)].path());
    if (from.isEmpty() || !kx::templates::isInsideUserTemplateFolder(from))
        return;
    const QString oldFavorite = m_images[std::size_t(index)].templateFolder();
    const bool package = pathExtension(from).toLower() == QLatin1String("tpl");
    const QString to = QFileInfo(from).path() + u'/' + name + (package ? QStringLiteral(".tpl") : QString());
    if (to == from)
        return;
    QString error;
    // The name sheet asked before replacing <name>.tpl only; an older plain folder is never replaced unasked.
    const bool unasked = QFileInfo(to).exists() && to != kx::templates::userTemplatePathForName(name);
    if (unasked)
        error = kx::fileErrorText(QStringLiteral("Cannot rename"), to, EEXIST);
    if (unasked || !kx::templates::moveTemplateFolder(from, to, &error)) {
        kx::templates::runAlert(m_window, localized(QStringLiteral("RenameTemplateFailed")), error,
                                {localized(QStringLiteral("OK"))});
        return;
    }
    // The template the user agreed to replace leaves the listing.
    int renamed = index;
    for (int i = 0; i < int(m_images.size()); ++i)
        if (i != index && kx::templates::userTemplateFolderOfFile(m_images[std::size_t(i)].path()) == to) {
            m_images.erase(m_images.begin() + i);
            if (i < renamed)
                --renamed;
            break;
        }
    KXTemplateItem& item = m_images[std::size_t(renamed)];
    const quint64 version = item.version();
    if (std::optional<KXTemplateItem> fresh = kx::templates::makeTemplateItem(kx::templates::templateFileList(to)))
        item = std::move(*fresh);
    item.setName(name);
    item.setVersion(version + 1);
    m_imageBrowser->setSelectIndex(renamed);
    kx::templates::renameFavorite(oldFavorite, item.templateFolder());
    reloadBrowser();
    m_imageBrowser->selectItem(renamed);
}
