#include "library/resource_list_view_controller.h"

#include "controls/checkbox_alert.h"
#include "graphics/image_file_types.h"
#include "library/resource_folders.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
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

KXResourceListViewController::KXResourceListViewController(const QStringList& categories, int index,
                                                           KXResourceListViewControllerDelegate* delegate,
                                                           QWidget* parent)
    : QWidget(parent), m_delegate(delegate), m_categories(categories) {
    // A start index past the categories shows the last one rather than none.
    m_categoryIdx = categories.isEmpty() ? 0 : std::clamp(index, 0, int(categories.size()) - 1);
    initUI();
    m_customObserver = kx::NotificationCenter::defaultCenter().addObserver(
        KXCustomResourceChanged, nullptr, [this](const kx::Notification&) {
            if (isCustomCategorySelected())
                updateResourceList();
        });
}

KXResourceListViewController::~KXResourceListViewController() = default;

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

    // Shown only while searching (the internet search comes later).
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
        m_searchField->setPlaceholderText(localized(QStringLiteral("Internet")));
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
    // The field opens and closes with its button; what it searches attaches later.
    connect(m_btSearch, &QPushButton::toggled, m_searchField, &QWidget::setVisible);
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
        setButtonsShown(true);
        m_btSearch->setChecked(false);
        m_searchField->hide();
    } else {
        setButtonsShown(false);
        m_categoryIdx = m_pubResource->currentIndex();
        m_btSearch->setChecked(false);
        m_searchField->hide();
    }
    updateResourceList();
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
    // The internet search attaches here.
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
    if (!m_allowRightClick || !m_delegate)
        return;
    QMenu* menu = m_delegate->imageListViewControllerMenuForRightMouseClicked(this);
    if (menu && !m_imageBrowserView->selectedItems().empty())
        menu->popup(globalPosition);
}
