// The share popover's Facebook road: it owns the Facebook share sheet, the upload's progress sheet and its
// success sheet, renders the page shown in the window for the upload, and follows the sheet's notifications.
#pragma once

#include "output/facebook_share_sheet.h"
#include "output/share_view_controller.h"
#include "platform/foundation/geometry.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class KXCanvas;

// The size a page is uploaded at: its pixel size, fitted to 960 pixels on its longer side when larger.
kx::Size facebookShareImageSize(kx::Size pageSize);
// The page rendered at that size and encoded as JPEG at full quality with an sRGB colour profile; empty when
// it cannot be rendered.
QByteArray facebookShareImageData(KXCanvas& page);

// The popover's Facebook row. The share controller opens the Facebook sheet for it rather than handing it a
// rendered image, so perform() is never reached.
class KXFacebookShareEntry : public KXSharingService {
public:
    int shareType() const override;
    QString title() const override;
    void perform(const QImage&, const QString&) override {}
};

class KXFacebookShare : public QObject {
    Q_OBJECT
public:
    // `currentPage` gives an output copy of the page shown in the window (null when there is none).
    KXFacebookShare(std::function<std::shared_ptr<KXCanvas>()> currentPage, QWidget* mainWindow,
                    KXFacebookConfig config = KXFacebookConfig::fromInfo(), QObject* parent = nullptr);
    ~KXFacebookShare() override;

    // Opens the Facebook sheet on the main window and signs in.
    void fbShareCollage();

    KXFBShareController* fbShareCtl() const { return m_fbShareCtl.get(); }
    KXShareProgressBarController* sharePbCtl() const { return m_sharePbCtl.get(); }
    KXShareResultController* shareResultCtl() const { return m_shareResultCtl.get(); }

    // The sheet's notifications.
    void shareFacebookNeedClose();
    void reloadShareImage();
    void progressBarDid();
    void progressBarDone(bool succeeded);

private:
    std::function<std::shared_ptr<KXCanvas>()> m_currentPage;
    QPointer<QWidget> m_mainWindow;
    std::unique_ptr<KXFBShareController> m_fbShareCtl;
    std::unique_ptr<KXShareProgressBarController> m_sharePbCtl;
    std::unique_ptr<KXShareResultController> m_shareResultCtl;
    std::vector<kx::NotificationToken> m_observations;
};
