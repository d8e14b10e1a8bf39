// The share controller of a document window: the share popover with its list of share kinds, the e-mail
// road (options sheet, attachments rendered on a worker under the progress sheet, the hand-off to the mail
// program) and the road to the desktop's sharing services, which get the page shown as one image with a
// short text.
//
// Linux desktops offer no system service for messages, AirDrop or accounts for Twitter and Flickr, so the
// list holds e-mail plus whatever services the window hands in through KXSharingService.
#pragma once

#include "output/export_view_controller.h"
#include "output/popover_list.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QThreadPool>

#include <memory>
#include <vector>

class KXExportEmailController;
class KXFacebookShare;
class KXProgressBarController;
class KXTableView;
class QStandardItemModel;
class QWidget;

namespace kx::controls {
class KXPopupWindow;
}

// The share kinds, by `shareImageByType` value (menu tags 500 to 505 less 500).
enum KXShareType : int {
    KXShareTypeEmail = 0,
    KXShareTypeMessage = 1,
    KXShareTypeAirDrop = 2,
    KXShareTypeTwitter = 3,
    KXShareTypeFacebook = 4,
    KXShareTypeFlickr = 5,
};

// A sharing service of the desktop: takes one rendered page and a short text.
class KXSharingService {
public:
    virtual ~KXSharingService() = default;
    // The share kind it serves (1 .. 5).
    virtual int shareType() const = 0;
    // The row title in the popover.
    virtual QString title() const = 0;
    // Runs on the main thread.
    virtual void perform(const QImage& image, const QString& text) = 0;
};

// The size a page is sent to a sharing service at: its pixel size, fitted to 2000 pixels (or `maximumSide`)
// on its longer side when it is larger.
kx::Size shareImageSize(kx::Size pageSize, double maximumSide = 2000);
// The analytics action of a share kind; empty for other values.
QString shareAnalyticsAction(int type);

class KXShareViewController : public QObject {
    Q_OBJECT
public:
    explicit KXShareViewController(KXExportProject project, QObject* parent = nullptr);
    ~KXShareViewController() override;

    void setMainWindow(QWidget* window);
    QWidget* mainWindow() const { return m_mainWindow; }
    // The desktop's services offered beside e-mail (none by default).
    void addSharingService(std::shared_ptr<KXSharingService> service);
    // Where attachments are written; default: <data>/<bundle name>/Email.
    void setMailFolder(const QString& folder) { m_mailFolder = folder; }

    // ---- popover ----
    // The list of share kinds: the localised "Email", then the desktop's services. A release on a row shares
    // with its kind; a release outside every row records the event and renders the page, and shares nothing.
    KXPopoverList* popover() const { return m_list.get(); }
    QStringList nameList() const { return m_nameList; }

    // ---- sharing ----
    // 0 e-mail; 1 to 5 the service of that kind (nothing when the desktop has none); records the event.
    void shareImageByType(int type);
    KXExportEmailController* exportEmailCtl();
    // The end of the e-mail options sheet: on OK the attachments are written, then handed to the mail program.
    void runExportEmail();
    KXProgressBarController* pbCtl();
    // Opens the Facebook sheet (made on first use).
    void fbShareCollage();
    KXFacebookShare* facebookShare() const { return m_facebook.get(); }
    void stopProgressbar();
    bool isRunning() const { return m_running; }
    // The files of the last mail.
    QStringList lastAttachments() const { return m_lastAttachments; }

signals:
    // A mail was prepared and handed over (or the alert shown), or a share run ended.
    void runFinished();

private:
    void presentProgress();
    void mailFilesWritten(const QStringList& files, bool cancelled);
    void shareImageToType(int type);
    KXSharingService* serviceOfType(int type) const;
    int rowType(int row) const;
    std::shared_ptr<KXCanvas> currentPageCopy() const;

    KXExportProject m_project;
    QPointer<QWidget> m_mainWindow;
    std::vector<std::shared_ptr<KXSharingService>> m_services;
    QString m_mailFolder;
    QStringList m_nameList;
    std::unique_ptr<KXPopoverList> m_list;
    std::unique_ptr<KXExportEmailController> m_exportEmailCtl;
    std::unique_ptr<KXProgressBarController> m_pbCtl;
    std::unique_ptr<KXFacebookShare> m_facebook;
    bool m_running = false;
    QStringList m_lastAttachments;
    QThreadPool m_pool;
};
