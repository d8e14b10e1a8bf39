#include "output/facebook_share.h"

#include "model/canvas.h"
#include "output/export_dialogs.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDialog>
#include <QImageWriter>
#include <QPainter>

namespace {

constexpr double kFacebookMaximumSide = 960;

}  // namespace

kx::Size facebookShareImageSize(kx::Size pageSize) {
    return shareImageSize(pageSize, kFacebookMaximumSide);
}

QByteArray facebookShareImageData(KXCanvas& page) {
    QImage image = page.renderOutputImage(facebookShareImageSize(page.pixelSize())).qimage();
    if (image.isNull())
        return {};
    // JPEG has no alpha: the page goes onto white, as a viewer would show it.
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
    }
    opaque.setColorSpace(QColorSpace::SRgb);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    if (!writer.write(opaque))
        return {};
    return data;
}

int KXFacebookShareEntry::shareType() const {
    return KXShareTypeFacebook;
}

QString KXFacebookShareEntry::title() const {
    return exportText("Facebook");
}

KXFacebookShare::KXFacebookShare(std::function<std::shared_ptr<KXCanvas>()> currentPage, QWidget* mainWindow,
                                 KXFacebookConfig config, QObject* parent)
    : QObject(parent), m_currentPage(std::move(currentPage)), m_mainWindow(mainWindow) {
    m_fbShareCtl = std::make_unique<KXFBShareController>(std::move(config));
    m_fbShareCtl->setSheetParent(mainWindow);
    m_sharePbCtl = std::make_unique<KXShareProgressBarController>();
    m_shareResultCtl = std::make_unique<KXShareResultController>();
    kx::NotificationCenter& center = kx::NotificationCenter::defaultCenter();
    const void* sheet = m_fbShareCtl.get();
    m_observations.push_back(
        center.addObserver(KXShareFacebookClose, sheet, [this](const kx::Notification&) { shareFacebookNeedClose(); }));
    m_observations.push_back(
        center.addObserver(KXReloadShareImage, sheet, [this](const kx::Notification&) { reloadShareImage(); }));
    m_observations.push_back(
        center.addObserver(KXProgressBarDid, sheet, [this](const kx::Notification&) { progressBarDid(); }));
    m_observations.push_back(center.addObserver(KXProgressBarDone, sheet, [this](const kx::Notification& note) {
        progressBarDone(note.userInfo.count(QStringLiteral("succeeded")) &&
                        note.userInfo.at(QStringLiteral("succeeded")).toBool());
    }));
    // A cancelled upload is stopped on the network too, not only hidden.
    connect(m_sharePbCtl.get(), &KXShareProgressBarController::cancelled, this,
            [this] { m_fbShareCtl->fb()->cancelRequests(); });
}

KXFacebookShare::~KXFacebookShare() {
    m_observations.clear();
}

void KXFacebookShare::fbShareCollage() {
    presentSheet(m_fbShareCtl->window(), m_mainWindow, false);
    m_fbShareCtl->openWebView();
}

void KXFacebookShare::shareFacebookNeedClose() {
    m_fbShareCtl->window()->hide();
}

void KXFacebookShare::reloadShareImage() {
    std::shared_ptr<KXCanvas> page = m_currentPage ? m_currentPage() : nullptr;
    m_fbShareCtl->setShareImage(page ? facebookShareImageData(*page) : QByteArray());
}

void KXFacebookShare::progressBarDid() {
    m_sharePbCtl->setIsCancel(false);
    m_fbShareCtl->window()->hide();
    presentSheet(m_sharePbCtl->window(), m_mainWindow, false);
    m_sharePbCtl->start();
}

void KXFacebookShare::progressBarDone(bool succeeded) {
    m_sharePbCtl->stop();
    if (m_sharePbCtl->isCancel())
        return;
    if (!succeeded) {
        runInformationalAlert(m_mainWindow, exportText("UploadFailed"), exportText("UploadFailedTip"));
        return;
    }
    presentSheet(m_shareResultCtl->window(), m_mainWindow, false);
}
