// The resource panel on the left of a document window: four tabs by tag, 0 the user's photos, 1 clip-art,
// 2 frames, 3 masks. The photos tab lists the pictures folder; the three others are resource lists, for which
// the panel says where their images are, which categories exist and what each may do.
#pragma once

#include "library/resource_list_view_controller.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>

class QPushButton;
class QSlider;
class QStackedWidget;

enum KXResourceTag : std::int64_t {
    KXResourceTagPhoto = 0,
    KXResourceTagClipart = 1,
    KXResourceTagFrame = 2,
    KXResourceTagMask = 3,
};
// The "no tab" tag.
inline constexpr std::int64_t KXResourceTagNotFound = -1;
// The key the resource lists' zoom is kept under is the list's resource name; the zoom shown first is 0.4.
inline constexpr double KXResourceDefaultZoom = 0.4;

class KXResourceViewController;

class KXResourceViewControllerDelegate {
public:
    virtual ~KXResourceViewControllerDelegate() = default;
    // The clip-art list's selection should go onto the current page.
    virtual void resourceViewControllerAddResources(KXResourceViewController* panel, const QStringList& paths) = 0;
};

class KXResourceViewController : public QWidget, public KXResourceListViewControllerDelegate {
    Q_OBJECT
public:
    explicit KXResourceViewController(KXResourceViewControllerDelegate* delegate = nullptr, QWidget* parent = nullptr);
    ~KXResourceViewController() override;

    // Shows the tab with the tag; nothing for KXResourceTagNotFound or the tag already shown.
    void showViewWithTag(std::int64_t tag);
    QWidget* viewWithTag(std::int64_t tag) const;
    std::int64_t tagOfView(const QWidget* view) const;
    KXResourceListViewController* controllerWithTag(std::int64_t tag) const;
    std::int64_t shownTag() const;

    void setCanFillRandomly(bool can);
    QPushButton* btFillRandomly() const { return m_btFillRandomly; }
    // The photos the photos tab lists (the pictures folder is read when first needed).
    QStringList currentImages();
    // Lists the pictures folder again.
    void reloadPhotos();
    KXImageBrowserView* photoBrowser() const { return m_photoBrowser; }
    QMenu* mAdd() const { return m_mAdd; }

    void searchOnInternet();
    void importCliparts();
    void importMasks();
    // The context menu's "add" item: the clip-art list's selection goes to the delegate.
    void addResourceAction();

    // "Clipart", "Frame" or "Mask" for the panel's lists; empty for anything else.
    QString resourceNameOfViewController(const KXResourceListViewController* list) const;

    bool imageListViewControllerCanSearch(KXResourceListViewController* list) override;
    bool imageListViewControllerCanSearchAtLocal(KXResourceListViewController* list) override;
    bool imageListViewControllerCanSearchOnInternet(KXResourceListViewController* list) override;
    bool imageListViewControllerCanCustomized(KXResourceListViewController* list) override;
    QString imageListControllerCustomizedFolderName(KXResourceListViewController* list) override;
    QString imageListControllerCustomizedCategory(KXResourceListViewController* list) override;
    QStringList imageListViewControllerResourcePathsInCategory(KXResourceListViewController* list,
                                                               const QString& category) override;
    QMenu* imageListViewControllerMenuForRightMouseClicked(KXResourceListViewController* list) override;
    double imageListViewControllerZoomValue(KXResourceListViewController* list) override;
    void imageListViewControllerZoomValueDidChanged(KXResourceListViewController* list, double zoom) override;
    QStringList imageListViewControllerAllResourcePaths(KXResourceListViewController* list) override;
    QString imageListViewControllerIndentifierForBrowserView(KXResourceListViewController* list) override;

protected:
    // The pictures folder is read when the panel is first shown, not while the window is being built.
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildPhotoTab();
    // The zoom of the photos tab is kept under its own key, like the lists'.
    void photoZoomChanged();

    KXResourceViewControllerDelegate* m_delegate = nullptr;
    QStackedWidget* m_tabView = nullptr;
    QWidget* m_imageView = nullptr;
    KXImageBrowserView* m_photoBrowser = nullptr;
    QSlider* m_slImage = nullptr;
    QPushButton* m_btFillRandomly = nullptr;
    QStringList m_photos;
    bool m_photosLoaded = false;
    QMenu* m_mAdd = nullptr;
    KXResourceListViewController* m_clipartVC = nullptr;
    KXResourceListViewController* m_frameVC = nullptr;
    KXResourceListViewController* m_maskVC = nullptr;
    // The kind of the list being made: its constructor asks the panel before it is known by identity.
    QString m_buildingKind;
};
