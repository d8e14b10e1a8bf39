#include "library/resource_view_controller.h"

#include "graphics/image_file_types.h"
#include "library/resource_folders.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <cmath>

namespace {

QString localized(const QString& key) {
    return kx::Bundle::main().localizedString(key);
}

const QString kPhotoZoomKey = QStringLiteral("Photo");
// The clip-art list opens on its ninth category.
constexpr int kClipartStartIndex = 8;
constexpr int kZoomSteps = 100;

double storedZoom(const QString& key) {
    const double zoom = kx::UserDefaults::standard().doubleValue(key);
    return zoom == 0 ? KXResourceDefaultZoom : zoom;
}

}  // namespace

KXResourceViewController::KXResourceViewController(KXResourceViewControllerDelegate* delegate, QWidget* parent)
    : QWidget(parent), m_delegate(delegate) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabView = new QStackedWidget(this);
    layout->addWidget(m_tabView);

    m_mAdd = new QMenu(this);
    QAction* add = m_mAdd->addAction(localized(QStringLiteral("AddToPage")));
    connect(add, &QAction::triggered, this, [this] { addResourceAction(); });

    m_imageView = buildPhotoTab();
    m_tabView->addWidget(m_imageView);

    const auto makeList = [this](const QString& kind, int index) {
        m_buildingKind = kind;
        auto* list = new KXResourceListViewController(categoriesOfResource(kind), index, this, m_tabView);
        list->setObjectName(kind + QStringLiteral("List"));
        m_buildingKind.clear();
        m_tabView->addWidget(list);
        return list;
    };
    m_clipartVC = makeList(KXResourceClipart, kClipartStartIndex);
    m_frameVC = makeList(KXResourceFrame, 0);
    m_frameVC->setAllowRightClick(false);
    m_maskVC = makeList(KXResourceMask, 0);
    m_maskVC->setAllowRightClick(false);
    m_tabView->setCurrentIndex(0);
}

KXResourceViewController::~KXResourceViewController() = default;

QWidget* KXResourceViewController::buildPhotoTab() {
    auto* tab = new QWidget(m_tabView);
    tab->setObjectName(QStringLiteral("imageView"));
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(6, 6, 6, 6);
    m_photoBrowser = new KXImageBrowserView(tab);
    m_photoBrowser->setObjectName(QStringLiteral("photoBrowser"));
    m_photoBrowser->setAllowsMultipleSelection(true);
    column->addWidget(m_photoBrowser, 1);

    // Under the browser: the zoom slider, then the fill-randomly button.
    auto* strip = new QHBoxLayout;
    m_slImage = new QSlider(Qt::Horizontal, tab);
    m_slImage->setObjectName(QStringLiteral("slImage"));
    m_slImage->setRange(0, kZoomSteps);
    const double zoom = storedZoom(kPhotoZoomKey);
    m_slImage->setValue(int(std::lround(zoom * kZoomSteps)));
    m_photoBrowser->setZoomValue(zoom);
    connect(m_slImage, &QSlider::valueChanged, this, [this] { photoZoomChanged(); });
    m_btFillRandomly = new QPushButton(localized(QStringLiteral("FillRandomly")), tab);
    m_btFillRandomly->setObjectName(QStringLiteral("btFillRandomly"));
    m_btFillRandomly->setEnabled(false);
    strip->addWidget(m_slImage, 1);
    column->addLayout(strip);
    column->addWidget(m_btFillRandomly);
    return tab;
}

void KXResourceViewController::reloadPhotos() {
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    m_photosLoaded = true;
    m_photos = pictures.isEmpty() ? QStringList() : imageFilesInDirectory(pictures, true);
    std::vector<kx::ImageBrowserItem> cells;
    for (const QString& path : m_photos) {
        KXImageBrowserItem item;
        item.setPath(path);
        cells.push_back(item.browserItem());
    }
    m_photoBrowser->setItems(std::move(cells));
}

void KXResourceViewController::photoZoomChanged() {
    const double zoom = double(m_slImage->value()) / kZoomSteps;
    m_photoBrowser->setZoomValue(zoom);
    kx::UserDefaults::standard().setValue(kPhotoZoomKey, kx::Value(float(zoom)));
}

QStringList KXResourceViewController::currentImages() {
    if (!m_photosLoaded)
        reloadPhotos();
    return m_photos;
}

void KXResourceViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_photosLoaded)
        reloadPhotos();
}

void KXResourceViewController::setCanFillRandomly(bool can) {
    m_btFillRandomly->setEnabled(can);
}

void KXResourceViewController::showViewWithTag(std::int64_t tag) {
    QWidget* view = viewWithTag(tag);
    if (!view || tag == shownTag())
        return;
    m_tabView->setCurrentWidget(view);
    if (KXResourceListViewController* list = controllerWithTag(tag))
        list->showImageList();
}

std::int64_t KXResourceViewController::shownTag() const {
    return tagOfView(m_tabView->currentWidget());
}

QWidget* KXResourceViewController::viewWithTag(std::int64_t tag) const {
    if (tag == KXResourceTagPhoto)
        return m_imageView;
    return controllerWithTag(tag);
}

std::int64_t KXResourceViewController::tagOfView(const QWidget* view) const {
    for (std::int64_t tag = KXResourceTagPhoto; tag <= KXResourceTagMask; ++tag)
        if (view && viewWithTag(tag) == view)
            return tag;
    return KXResourceTagNotFound;
}

KXResourceListViewController* KXResourceViewController::controllerWithTag(std::int64_t tag) const {
    switch (tag) {
    case KXResourceTagClipart:
        return m_clipartVC;
    case KXResourceTagFrame:
        return m_frameVC;
    case KXResourceTagMask:
        return m_maskVC;
    default:
        return nullptr;
    }
}

void KXResourceViewController::searchOnInternet() {
    showViewWithTag(KXResourceTagClipart);
    m_clipartVC->searchOnInternet();
}

void KXResourceViewController::importCliparts() {
    showViewWithTag(KXResourceTagClipart);
    m_clipartVC->importResources();
}

void KXResourceViewController::importMasks() {
    showViewWithTag(KXResourceTagMask);
    m_maskVC->importResources();
}

void KXResourceViewController::addResourceAction() {
    if (m_delegate)
        m_delegate->resourceViewControllerAddResources(this, m_clipartVC->selectedResoucesPaths());
}

QString KXResourceViewController::resourceNameOfViewController(const KXResourceListViewController* list) const {
    if (list && list == m_clipartVC)
        return KXResourceClipart;
    if (list && list == m_frameVC)
        return KXResourceFrame;
    if (list && list == m_maskVC)
        return KXResourceMask;
    return m_buildingKind;
}

bool KXResourceViewController::imageListViewControllerCanSearch(KXResourceListViewController* list) {
    return resourceNameOfViewController(list) == KXResourceClipart;
}

bool KXResourceViewController::imageListViewControllerCanSearchAtLocal(KXResourceListViewController*) {
    return false;
}

bool KXResourceViewController::imageListViewControllerCanSearchOnInternet(KXResourceListViewController* list) {
    return resourceNameOfViewController(list) == KXResourceClipart;
}

bool KXResourceViewController::imageListViewControllerCanCustomized(KXResourceListViewController* list) {
    const QString kind = resourceNameOfViewController(list);
    return kind == KXResourceClipart || kind == KXResourceMask;
}

QString KXResourceViewController::imageListControllerCustomizedFolderName(KXResourceListViewController* list) {
    return resourceNameOfViewController(list);
}

QString KXResourceViewController::imageListControllerCustomizedCategory(KXResourceListViewController* list) {
    const QString kind = resourceNameOfViewController(list);
    if (kind == KXResourceClipart)
        return localized(QStringLiteral("My Cliparts"));
    if (kind == KXResourceMask)
        return localized(QStringLiteral("My Masks"));
    return {};
}

QStringList KXResourceViewController::imageListViewControllerResourcePathsInCategory(
    KXResourceListViewController* list, const QString& category) {
    const QString kind = resourceNameOfViewController(list);
    return kind.isEmpty() ? QStringList() : resourcePathsInCategory(kind, category);
}

QMenu* KXResourceViewController::imageListViewControllerMenuForRightMouseClicked(KXResourceListViewController*) {
    return m_mAdd;
}

double KXResourceViewController::imageListViewControllerZoomValue(KXResourceListViewController* list) {
    const QString kind = resourceNameOfViewController(list);
    return kind.isEmpty() ? KXResourceDefaultZoom : storedZoom(kind);
}

void KXResourceViewController::imageListViewControllerZoomValueDidChanged(KXResourceListViewController* list,
                                                                           double zoom) {
    // Written under the key it is read from, so the zoom carries over to the next run.
    const QString kind = resourceNameOfViewController(list);
    if (!kind.isEmpty())
        kx::UserDefaults::standard().setValue(kind, kx::Value(float(zoom)));
}

QStringList KXResourceViewController::imageListViewControllerAllResourcePaths(KXResourceListViewController* list) {
    const QString kind = resourceNameOfViewController(list);
    return kind.isEmpty() ? QStringList() : allResourcePaths(kind);
}

QString KXResourceViewController::imageListViewControllerIndentifierForBrowserView(KXResourceListViewController* list) {
    return resourceNameOfViewController(list);
}
