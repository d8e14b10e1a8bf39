#include "library/store_controller.h"

#include "controls/hover_table_view.h"
#include "controls/table_cell_view.h"
#include "graphics/file_utilities.h"
#include "library/template_alerts.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"
#include "platform/foundation/user_notifications.h"
#include "platform/foundation/web_address.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

using kx::Value;
using kx::ValueArray;
using kx::ValueDictionary;
using kx::templates::localized;

namespace {

constexpr int kRowHeight = 120;
// Progress bars count in thousandths, whatever the size of the pack.
constexpr int kProgressSteps = 1000;
constexpr int kFadeMs = 250;

QString textOf(const Value& product, const char* key) {
    const ValueDictionary& dictionary = product.toDictionary();
    const auto it = dictionary.find(QString::fromLatin1(key));
    return it == dictionary.end() ? QString() : it->second.toString();
}

void showBusy(QProgressBar* bar) {
    bar->setRange(0, 0);
    bar->show();
}

// Fades a view in from transparent, as a fetched image arrives.
void fadeIn(QWidget* view) {
    auto* effect = new QGraphicsOpacityEffect(view);
    effect->setOpacity(0);
    view->setGraphicsEffect(effect);  // replaces (and deletes) the effect of an earlier fade
    auto* animation = new QPropertyAnimation(effect, "opacity", effect);
    animation->setDuration(kFadeMs);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

QPixmap scaledPixmap(const QImage& image, const QSize& box) {
    if (image.isNull() || box.isEmpty())
        return {};
    return QPixmap::fromImage(image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

}  // namespace

KXStoreSettings KXStoreSettings::standard() {
    KXStoreSettings settings;
    static QNetworkAccessManager* network = new QNetworkAccessManager(qApp);
    settings.catalogue.network = network;
    settings.catalogue.defaults = &kx::UserDefaults::standard();
    settings.catalogue.notifications = KXUserNotifications::defaultCenter();
    settings.catalogue.dataFolder = ::dataFolder();
    settings.catalogue.versionURL = QUrl(kx::Bundle::main().infoValue(QStringLiteral("ProductsListVersionURL")).toString());
    settings.boxesFolder = ::boxesFolder();
    settings.packFetcher = KXPackFetcher::defaultFetcher();
    return settings;
}

KXStoreController* KXStoreController::storeController() {
    static QPointer<KXStoreController> shared;
    if (!shared)
        shared = new KXStoreController(KXStoreSettings::standard());
    return shared;
}

void KXStoreController::showStore() {
    storeController()->showWindow();
}

KXStoreController::KXStoreController(KXStoreSettings settings, QWidget* parent)
    : QMainWindow(parent), m_settings(std::move(settings)) {
    setObjectName(QStringLiteral("StorePane"));
    setWindowTitle(localized(QStringLiteral("Store")));
    resize(820, 560);
    m_catalogue = new KXStoreCatalogue(m_settings.catalogue, this);
    m_imageLoader = new KXStoreImageLoader(m_catalogue->fetchQueue(), this);
    connect(m_catalogue, &KXStoreCatalogue::productsReady, this, &KXStoreController::buildProductEntries);
    connect(m_catalogue, &KXStoreCatalogue::failed, this, &KXStoreController::showLoadingFailed);
    if (KXUserNotifications* notices = m_settings.catalogue.notifications)
        connect(notices, &KXUserNotifications::notificationActivated, this, &KXStoreController::notificationActivated);

    auto* toolbar = new QToolBar(QStringLiteral("Store"));
    addToolBar(toolbar);
    toolbar->setObjectName(QStringLiteral("storeToolbar"));
    toolbar->setMovable(false);
    m_downloadAll = toolbar->addAction(localized(QStringLiteral("Download All")));
    m_downloadAll->setObjectName(QStringLiteral("downloadAll"));
    m_downloadAll->setEnabled(false);
    connect(m_downloadAll, &QAction::triggered, this, &KXStoreController::downloadAllAction);

    auto* central = new QWidget;
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tvProducts = new KXHoverTableView;
    m_tvProducts->setObjectName(QStringLiteral("tvProducts"));
    m_model = new QStandardItemModel(0, 1, this);
    m_tvProducts->setModel(m_model);
    m_tvProducts->horizontalHeader()->hide();
    m_tvProducts->horizontalHeader()->setStretchLastSection(true);
    m_tvProducts->verticalHeader()->hide();
    m_tvProducts->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_tvProducts->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tvProducts->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tvProducts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_tvProducts->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &KXStoreController::selectionChanged);
    m_ivPreview = new QLabel;
    m_ivPreview->setObjectName(QStringLiteral("ivPreview"));
    m_ivPreview->setAlignment(Qt::AlignCenter);
    m_piPreview = new QProgressBar(m_ivPreview);
    m_piPreview->setObjectName(QStringLiteral("piPreview"));
    m_piPreview->setTextVisible(false);
    m_piPreview->setFixedWidth(120);
    m_piPreview->hide();
    layout->addWidget(m_tvProducts, 1);
    layout->addWidget(m_ivPreview, 1);
    setCentralWidget(central);
}

KXStoreController::~KXStoreController() {
    if (m_settings.packFetcher)
        for (const QString& identifier : std::as_const(m_downloadingIdentifiers))
            m_settings.packFetcher->cancel(identifier);
}

void KXStoreController::showWindow() {
    // Sizes settle before the window exists on the screen, so the platform is not asked to change them.
    layout()->activate();
    show();
    raise();
    activateWindow();
    if (m_opened)
        return;
    m_opened = true;
    retryLoading();
}

void KXStoreController::retryLoading() {
    if (m_loading || !m_tableContents.empty())
        return;
    m_loading = true;
    showLoadingProgressBar();
    m_downloadAll->setEnabled(false);
    m_catalogue->load();
}

void KXStoreController::showLoadingProgressBar() {
    if (!m_loadingView) {
        m_loadingView = new QWidget(centralWidget());
        m_loadingView->setObjectName(QStringLiteral("loadingView"));
        m_loadingView->setAutoFillBackground(true);
        QPalette palette = m_loadingView->palette();
        palette.setColor(QPalette::Window, QColor::fromRgbF(0.82f, 0.82f, 0.82f));
        m_loadingView->setPalette(palette);
        auto* layout = new QVBoxLayout(m_loadingView);
        layout->setAlignment(Qt::AlignCenter);
        auto* spinner = new QProgressBar;
        spinner->setObjectName(QStringLiteral("loadingSpinner"));
        spinner->setTextVisible(false);
        spinner->setFixedWidth(160);
        showBusy(spinner);
        layout->addWidget(spinner, 0, Qt::AlignCenter);
    }
    if (m_retryButton) {
        // Back from the failed state: the spinner again.
        delete m_retryButton->parentWidget()->findChild<QLabel*>(QStringLiteral("loadingFailedText"));
        delete m_retryButton;
        m_retryButton = nullptr;
        m_loadingView->findChild<QProgressBar*>(QStringLiteral("loadingSpinner"))->show();
    }
    m_loadingView->setGeometry(centralWidget()->rect());
    m_loadingView->raise();
    m_loadingView->show();
}

void KXStoreController::showLoadingFailed() {
    m_loading = false;
    if (!m_loadingView)
        showLoadingProgressBar();
    m_loadingView->findChild<QProgressBar*>(QStringLiteral("loadingSpinner"))->hide();
    if (m_retryButton)
        return;
    auto* text = new QLabel(localized(QStringLiteral("StoreLoadFailed")));
    text->setObjectName(QStringLiteral("loadingFailedText"));
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    m_retryButton = new QPushButton(localized(QStringLiteral("Retry")));
    m_retryButton->setObjectName(QStringLiteral("retryButton"));
    connect(m_retryButton, &QPushButton::clicked, this, [this] { QTimer::singleShot(0, this, &KXStoreController::retryLoading); });
    auto* layout = static_cast<QVBoxLayout*>(m_loadingView->layout());
    layout->addWidget(text, 0, Qt::AlignCenter);
    layout->addWidget(m_retryButton, 0, Qt::AlignCenter);
}

void KXStoreController::hideLoadingProgressBar() {
    delete m_loadingView;
    m_loadingView = nullptr;
    m_retryButton = nullptr;
}

void KXStoreController::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (m_loadingView)
        m_loadingView->setGeometry(centralWidget()->rect());
}

void KXStoreController::buildProductEntries(const ValueArray& products) {
    m_loading = false;
    if (!m_tableContents.empty())
        return;  // the list is built once per process
    // Only dictionaries are products; keeping just them keeps row, entry and dictionary indexes equal.
    for (const Value& product : products) {
        if (product.type() != Value::Type::Dictionary)
            continue;
        m_productList.push_back(product);
        auto* entry = KXProductResourceEntity::fromDictionary(product.toDictionary(), m_settings.catalogue.dataFolder,
                                                              m_settings.catalogue.defaults, this);
        connect(entry, &KXProductResourceEntity::logoImageChanged, this, [this, entry] { reloadRowForEntity(entry); });
        connect(entry, &KXProductResourceEntity::previewImageChanged, this,
                [this, entry] { reloadPreviewForEntity(entry); });
        m_tableContents.push_back(entry);
    }
    hideLoadingProgressBar();
    m_downloadAll->setEnabled(true);
    m_model->setRowCount(int(m_tableContents.size()));
    for (int row = 0; row < int(m_tableContents.size()); ++row)
        fillRow(row);
    emit productsShown();
}

KXTableCellView* KXStoreController::cellForRow(int row) const {
    if (row < 0 || row >= m_model->rowCount())
        return nullptr;
    return qobject_cast<KXTableCellView*>(m_tvProducts->indexWidget(m_model->index(row, 0)));
}

void KXStoreController::fillRow(int row) {
    KXProductResourceEntity* entry = m_tableContents[size_t(row)];
    KXTableCellView* cell = cellForRow(row);
    if (!cell) {
        cell = new KXTableCellView;
        cell->titleTextField()->setText(entry->productName);
        cell->descriptionTextField()->setText(entry->productDescription);
        cell->downloadProgressIndicator()->hide();
        m_tvProducts->setIndexWidget(m_model->index(row, 0), cell);
        const QString identifier = entry->productIdentifier;
        connect(cell->downloadButton(), &QPushButton::clicked, this, [this, identifier] { provideContent(identifier); });
    }
    cell->downloadButton()->setText(
        localized(isInstalledOfIdentifier(entry->productIdentifier) ? QStringLiteral("Restore") : QStringLiteral("load")));
    cell->downloadButton()->setEnabled(true);
    if (!entry->logoImage().isNull()) {
        cell->imageView()->setPixmap(scaledPixmap(entry->logoImage(), cell->imageView()->size()));
        cell->imageView()->show();
    } else {
        showBusy(cell->loadingProgressIndicator());
        cell->imageView()->hide();
        entry->downloadLogoImage(*m_imageLoader);
    }
    if (isDownloadingIdentifier(entry->productIdentifier)) {
        cell->downloadButton()->setText(localized(QStringLiteral("Download")));
        cell->downloadButton()->setEnabled(false);
        showBusy(cell->downloadProgressIndicator());
    }
}

void KXStoreController::reloadRowForEntity(KXProductResourceEntity* entity) {
    const auto it = std::find(m_tableContents.begin(), m_tableContents.end(), entity);
    KXTableCellView* cell = it == m_tableContents.end() ? nullptr : cellForRow(int(it - m_tableContents.begin()));
    if (!cell)
        return;
    cell->imageView()->setPixmap(scaledPixmap(entity->logoImage(), cell->imageView()->size()));
    cell->imageView()->show();
    fadeIn(cell->imageView());
    cell->loadingProgressIndicator()->hide();
}

void KXStoreController::selectionChanged() {
    const QModelIndexList rows = m_tvProducts->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    KXProductResourceEntity* entry = m_tableContents[size_t(rows.first().row())];
    m_ivPreview->setGraphicsEffect(nullptr);  // the last preview's fade ends with the selection
    if (!entry->previewImage().isNull()) {
        m_ivPreview->setPixmap(scaledPixmap(entry->previewImage(), m_ivPreview->size()));
        m_piPreview->hide();
        return;
    }
    m_ivPreview->clear();
    showBusy(m_piPreview);
    m_piPreview->move((m_ivPreview->width() - m_piPreview->width()) / 2,
                      (m_ivPreview->height() - m_piPreview->height()) / 2);
    entry->downloadPreviewImage(*m_imageLoader);
}

void KXStoreController::reloadPreviewForEntity(KXProductResourceEntity* entity) {
    const QModelIndexList rows = m_tvProducts->selectionModel()->selectedRows();
    // A late preview never covers the preview of another selection.
    if (rows.isEmpty() || m_tableContents[size_t(rows.first().row())] != entity)
        return;
    m_ivPreview->setPixmap(scaledPixmap(entity->previewImage(), m_ivPreview->size()));
    fadeIn(m_ivPreview);
    m_piPreview->hide();
}

ValueDictionary KXStoreController::dictionaryWithIdentifier(const QString& identifier) const {
    if (identifier.isNull())
        return {};
    for (const Value& product : m_productList)
        if (textOf(product, "Identifier") == identifier)
            return product.toDictionary();
    return {};
}

QString KXStoreController::productIdentifierWithContentURL(const QString& address) const {
    if (address.isEmpty())
        return {};
    for (const Value& product : m_productList) {
        const QString content = textOf(product, "Content URL");
        if (content == address || content.contains(address))
            return textOf(product, "Identifier");
    }
    return {};
}

int KXStoreController::rowOfProductWithIdentifier(const QString& identifier) const {
    for (int row = 0; row < int(m_productList.size()); ++row)
        if (textOf(m_productList[size_t(row)], "Identifier") == identifier)
            return row;
    return -1;
}

bool KXStoreController::isInstalledOfIdentifier(const QString& identifier) const {
    const auto it = std::find_if(m_tableContents.begin(), m_tableContents.end(),
                                 [&](const KXProductResourceEntity* e) { return e->productIdentifier == identifier; });
    if (it == m_tableContents.end() || !isPlainFileName((*it)->productName) || m_settings.boxesFolder.isEmpty())
        return false;
    for (const QString& folder : subfoldersInFolder(m_settings.boxesFolder, false))
        if (lastPathComponent(folder) == (*it)->productName)
            return true;
    return false;
}

void KXStoreController::provideContent(const QString& identifier) {
    if (identifier.isEmpty() || isDownloadingIdentifier(identifier))
        return;
    const ValueDictionary product = dictionaryWithIdentifier(identifier);
    const auto content = product.find(QStringLiteral("Content URL"));
    if (content == product.end())
        return;
    const QUrl url(content->second.toString());
    m_downloadingIdentifiers.append(identifier);
    if (KXTableCellView* cell = cellForRow(rowOfProductWithIdentifier(identifier))) {
        showBusy(cell->downloadProgressIndicator());
        cell->downloadButton()->setText(localized(QStringLiteral("Download")));
        cell->downloadButton()->setEnabled(false);
    }
    if (!m_settings.packFetcher || !kx::isWebAddress(url)) {
        KXPackFetchResult refused;
        refused.errorText = localized(QStringLiteral("StoreCannotDownload"));
        QTimer::singleShot(0, this, [this, identifier, refused] { downloadFinished(identifier, refused); });
        return;
    }
    KXPackFetcher::Callbacks callbacks;
    QPointer<KXStoreController> self(this);
    callbacks.progress = [self, identifier](qint64 received, qint64 total) {
        if (self)
            self->showRowProgress(identifier, received, total);
    };
    callbacks.finished = [self, identifier](const KXPackFetchResult& result) {
        if (self)
            self->downloadFinished(identifier, result);
    };
    m_settings.packFetcher->start(identifier, url, std::move(callbacks));
}

void KXStoreController::downloadAllAction() {
    const ValueArray products = m_productList;
    for (const Value& product : products)
        provideContent(textOf(product, "Identifier"));
}

void KXStoreController::showRowProgress(const QString& identifier, qint64 received, qint64 total) {
    const int row = rowOfProductWithIdentifier(identifier);
    if (row < 0 || row >= int(m_tableContents.size()))
        return;
    KXProductResourceEntity* entry = m_tableContents[size_t(row)];
    entry->expectedLength = total < 0 ? -1 : total;
    entry->bytesReceived = quint64(std::max<qint64>(received, 0));
    KXTableCellView* cell = cellForRow(row);
    if (!cell)
        return;
    QProgressBar* bar = cell->downloadProgressIndicator();
    bar->show();
    if (entry->expectedLength <= 0) {
        bar->setRange(0, 0);  // no length announced: it keeps spinning to the end
        return;
    }
    bar->setRange(0, kProgressSteps);
    const double done = std::min(1.0, double(entry->bytesReceived) / double(entry->expectedLength));
    bar->setValue(int(done * kProgressSteps));
}

void KXStoreController::returnRowToRest(const QString& identifier) {
    const int row = rowOfProductWithIdentifier(identifier);
    KXTableCellView* cell = cellForRow(row);
    if (!cell)
        return;
    cell->downloadProgressIndicator()->hide();
    cell->downloadButton()->setEnabled(true);
    cell->downloadButton()->setText(
        localized(isInstalledOfIdentifier(identifier) ? QStringLiteral("Restore") : QStringLiteral("load")));
}

void KXStoreController::downloadFinished(const QString& identifier, const KXPackFetchResult& result) {
    m_downloadingIdentifiers.removeOne(identifier);
    returnRowToRest(identifier);
    if (result.status == KXPackFetchResult::Status::Installed) {
        if (KXUserNotifications* notices = m_settings.catalogue.notifications) {
            KXUserNotification notice;
            notice.identifier = result.packFolderName;
            notice.title = localized(QStringLiteral("DownloadSuccessful")).arg(result.packFolderName);
            notice.informativeText = localized(QStringLiteral("DownloadSuccessfulTip"));
            notices->scheduleNotification(notice);
        }
        return;
    }
    // A failed download and a pack that could not be unpacked are both told; the old pack stays.
    const int row = rowOfProductWithIdentifier(identifier);
    const QString name = !result.packFolderName.isEmpty() || row < 0 ? result.packFolderName
                                                                     : m_tableContents[size_t(row)]->productName;
    const QString message = localized(QStringLiteral("DownloadFailed")).arg(name);
    const QString informative = QStringLiteral("Error: %1").arg(result.errorText);
    QTimer::singleShot(0, this, [this, message, informative] {
        kx::templates::runAlert(this, message, informative, {localized(QStringLiteral("OK"))});
    });
}

void KXStoreController::notificationActivated(const QString&) {
    if (!m_opened)
        return;
    show();
    raise();
    activateWindow();
}
