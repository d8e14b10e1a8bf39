#include "output/facebook_share_sheet.h"

#include "graphics/app_info.h"
#include "output/export_dialogs.h"
#include "output/progress_sheet.h"

#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kAlbumsRequest = QStringLiteral("me/albums");

kx::NotificationCenter& center() {
    return kx::NotificationCenter::defaultCenter();
}

QProgressBar* runningBar(QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    return bar;
}

std::optional<QJsonArray> firstList(const QJsonValue& value) {
    if (value.isArray())
        return value.toArray();
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    if (object.value(QStringLiteral("data")).isArray())
        return object.value(QStringLiteral("data")).toArray();
    for (auto it = object.begin(); it != object.end(); ++it)
        if (std::optional<QJsonArray> list = firstList(it.value()))
            return list;
    return std::nullopt;
}

}  // namespace

bool isAlbumID(const QString& id) {
    // An id becomes part of the upload's path: letters, digits and "_" only, so that it can name no other
    // path ("../me/feed") nor bring a query.
    if (id.isEmpty() || id.size() > 128)
        return false;
    for (const QChar c : id)
        if (!(c.isDigit() || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
              (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('_')))
            return false;
    return true;
}

// ---- preview ----

void KXFacebookPreview::setRenderImage(const QImage& image) {
    m_renderImage = image;
    update();
}

void KXFacebookPreview::paintEvent(QPaintEvent*) {
    if (m_renderImage.isNull())
        return;
    QPainter painter(this);
    const QSize size = m_renderImage.deviceIndependentSize().toSize();
    const QPoint origin((width() - size.width()) / 2, (height() - size.height()) / 2);
    const QRect frame(origin, size);
    // A soft shadow one point inside the image's frame.
    for (int spread = 3; spread >= 1; --spread) {
        painter.fillRect(frame.adjusted(1 - spread, 1 - spread, spread - 1, spread - 1), QColor(0, 0, 0, 40));
    }
    painter.drawImage(origin, m_renderImage);
}

// ---- share sheet ----

const QStringList& KXFBShareController::permissions() {
    static const QStringList names{QStringLiteral("user_photos"), QStringLiteral("read_stream"),
                                   QStringLiteral("publish_stream")};
    return names;
}

KXFBShareController::KXFBShareController(KXFacebookConfig config, QObject* parent) : QObject(parent) {
    m_window = std::make_unique<QDialog>();
    m_window->setObjectName(QStringLiteral("KXFBShareController"));
    m_window->setWindowTitle(exportText("ShareFacebook"));
    m_tfAlbums = new QLabel(exportText("Albums"), m_window.get());
    m_pubAlbums = new QComboBox(m_window.get());
    m_pubAlbums->setObjectName(QStringLiteral("pubAlbums"));
    m_btFbSign = new QPushButton(exportText("SignOut"), m_window.get());
    m_btShare = new QPushButton(exportText("Share"), m_window.get());
    m_btShare->setDefault(true);
    m_btCancel = new QPushButton(exportText("Cancel"), m_window.get());
    m_resultText = new QPlainTextEdit(m_window.get());
    m_resultText->setObjectName(QStringLiteral("result_text"));
    m_imv = new QLabel(m_window.get());
    m_fbPreview = new KXFacebookPreview(m_window.get());
    m_pgDownloadAlbums = runningBar(m_window.get());

    auto* column = new QVBoxLayout(m_window.get());
    auto* albumRow = new QHBoxLayout;
    albumRow->addWidget(m_tfAlbums);
    albumRow->addWidget(m_pubAlbums, 1);
    column->addLayout(albumRow);
    auto* content = new QHBoxLayout;
    content->addWidget(m_imv);
    content->addWidget(m_fbPreview);
    content->addWidget(m_resultText, 1);
    column->addLayout(content, 1);
    column->addWidget(m_pgDownloadAlbums);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btFbSign);
    buttons->addStretch();
    buttons->addWidget(m_btCancel);
    buttons->addWidget(m_btShare);
    column->addLayout(buttons);
    m_window->resize(520, 300);
    m_pgDownloadAlbums->hide();

    connect(m_btShare, &QPushButton::clicked, this, &KXFBShareController::sharePhotoAction);
    connect(m_btFbSign, &QPushButton::clicked, this, &KXFBShareController::signOut);
    connect(m_btCancel, &QPushButton::clicked, this, &KXFBShareController::cancel);
    connect(m_window.get(), &QDialog::rejected, this, &KXFBShareController::cancel);

    const QString appID = config.appID;
    m_fb = std::make_unique<PhFacebook>(appID, this, std::move(config));
    m_observations.push_back(
        center().addObserver(KXSignFacebookFaild, nullptr, [this](const kx::Notification&) { signFacebookFaild(); }));
    m_observations.push_back(
        center().addObserver(KXDownLoadAlbums, m_fb.get(), [this](const kx::Notification&) { progressStart(); }));
}

KXFBShareController::~KXFBShareController() {
    m_observations.clear();
    m_fb.reset();
}

void KXFBShareController::setSheetParent(QWidget* parent) {
    m_sheetParent = parent;
    m_fb->setSheetParent(parent);
}

std::optional<std::vector<KXFacebookAlbum>> KXFBShareController::albumsFormString(const QString& answer) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(answer.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    const std::optional<QJsonArray> list =
        firstList(document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()));
    if (!list)
        return std::nullopt;
    std::vector<KXFacebookAlbum> albums;
    for (const QJsonValue& entry : *list) {
        const QJsonValue id = entry.toObject().value(QStringLiteral("id"));
        const QJsonValue name = entry.toObject().value(QStringLiteral("name"));
        if (id.isString() && name.isString() && isAlbumID(id.toString()))
            albums.push_back({id.toString(), name.toString()});
    }
    return albums;
}

void KXFBShareController::viewSetHidden(bool hidden) {
    for (QWidget* view : std::initializer_list<QWidget*>{m_resultText, m_imv, m_tfAlbums, m_pubAlbums, m_fbPreview})
        view->setHidden(hidden);
}

void KXFBShareController::openWebView() {
    m_btShare->setEnabled(false);
    viewSetHidden(true);
    if (!m_fb->isSignInFacebook()) {
        m_pubAlbums->clear();
        m_fb->setIsOpen(true);
    } else {
        m_fb->setIsOpen(false);
    }
    signInFacebook();
}

void KXFBShareController::signInFacebook() {
    m_fb->getAccessTokenForPermissions(permissions(), true);
}

void KXFBShareController::tokenResult(const QVariantMap& result) {
    if (!result.value(QStringLiteral("valid")).toBool()) {
        qInfo("tokenResult faild");
        return;
    }
    m_fb->sendRequest(kAlbumsRequest);
    center().post(KXOpenShareFacebookPanel, this);
    m_didOpen = true;
}

bool KXFBShareController::needsAuthentication(const QUrl& loginURL, const QString& permissions) {
    return m_loginPresenter && m_loginPresenter(loginURL, permissions);
}

void KXFBShareController::requestResult(const QVariantMap& result) {
    const QString request = result.value(QStringLiteral("request")).toString();
    const QString answer = result.value(QStringLiteral("result")).toString();
    const int status = result.value(QStringLiteral("status")).toInt();
    if (request != kAlbumsRequest) {
        // The upload ended: the popover closes its progress sheet whether it worked or not.
        const bool succeeded = !answer.isEmpty() && status >= 200 && status < 300;
        progressEnd();
        center().post(KXProgressBarDone, this, {{QStringLiteral("succeeded"), succeeded}});
        return;
    }
    if (answer.isEmpty()) {
        signFacebookFaild();
        return;
    }
    const std::optional<std::vector<KXFacebookAlbum>> albums = albumsFormString(answer);
    if (!albums) {
        signOut();
        return;
    }
    fillAlbums(*albums);
}

void KXFBShareController::fillAlbums(const std::vector<KXFacebookAlbum>& albums) {
    m_albums = albums;
    m_pubAlbums->clear();
    const QString first = QStringLiteral("%1 for Mac Photos").arg(bundleName());
    m_pubAlbums->addItem(first);
    for (const KXFacebookAlbum& album : m_albums)
        if (album.name != first)
            m_pubAlbums->addItem(album.name, album.id);
    m_pubAlbums->setCurrentIndex(0);
    m_btShare->setEnabled(true);
    m_resultText->setPlainText(exportText("ShareTitle").replace(QStringLiteral("%@"), bundleName()));
    viewSetHidden(false);
    progressEnd();
    if (!m_didOpen)
        center().post(KXOpenShareFacebookPanel, this);
    m_didOpen = false;
}

void KXFBShareController::sharePhotoAction() {
    center().post(KXReloadShareImage, this);
    const int item = m_pubAlbums->currentIndex();
    // Without a rendered page there is nothing to upload.
    if (item < 0 || m_shareImage.isEmpty())
        return;
    // Each album item keeps its album's id, so that albums of one name stay apart.
    const QString path = item == 0 ? QStringLiteral("me/photos")
                                   : QStringLiteral("%1/photos").arg(m_pubAlbums->itemData(item).toString());
    const KXGraphParams params{{QStringLiteral("format"), QStringLiteral("json")},
                               {QStringLiteral("picture"), m_shareImage},
                               {QStringLiteral("caption"), m_resultText->toPlainText()}};
    center().post(KXProgressBarDid, this);
    m_fb->sendRequest(path, params, true);
}

void KXFBShareController::signOut() {
    m_fb->invalidateCachedToken();
    m_pubAlbums->clear();
    m_albums.clear();
    cancel();
    m_fb->setIsOpen(true);
    signInFacebook();
}

void KXFBShareController::cancel() {
    center().post(KXShareFacebookClose, this);
}

void KXFBShareController::signFacebookFaild() {
    if (!m_window->isVisible() && !m_fb->webViewVisible())
        return;
    m_fb->closeFacebookWeb();
    center().post(KXShareFacebookClose, this);
    progressEnd();
    runInformationalAlert(m_sheetParent, exportText("LoginFailed"), exportText("LoginFailedTip"));
}

void KXFBShareController::progressStart() {
    m_pgDownloadAlbums->show();
}

void KXFBShareController::progressEnd() {
    m_pgDownloadAlbums->hide();
}

// ---- upload progress ----

KXShareProgressBarController::KXShareProgressBarController() {
    m_window = std::make_unique<QDialog>();
    m_window->setObjectName(QStringLiteral("ShareProgressBar"));
    m_window->setWindowTitle(bundleName());
    m_tfTitle = new QLabel(exportText("Upload"), m_window.get());
    m_pg = runningBar(m_window.get());
    m_btCancel = new QPushButton(exportText("Cancel"), m_window.get());
    auto* column = new QVBoxLayout(m_window.get());
    column->addWidget(m_tfTitle);
    auto* row = new QHBoxLayout;
    row->addWidget(m_pg, 1);
    row->addWidget(m_btCancel);
    column->addLayout(row);
    m_window->resize(360, 90);
    connect(m_btCancel, &QPushButton::clicked, this, &KXShareProgressBarController::cancel);
    // Escape asks as Cancel does instead of closing the sheet under a running upload.
    connect(m_window.get(), &QDialog::rejected, this, [this] {
        if (!m_running)
            return;
        m_window->show();
        cancel();
    });
}

KXShareProgressBarController::~KXShareProgressBarController() = default;

void KXShareProgressBarController::start() {
    m_running = true;
    m_pg->setRange(0, 0);
}

void KXShareProgressBarController::stop() {
    m_running = false;
    m_pg->setRange(0, 1);
    m_window->hide();
}

void KXShareProgressBarController::cancel() {
    if (!KXProgressBarController::confirmCancel())
        return;
    m_isCancel = true;
    stop();
    emit cancelled();
}

// ---- success ----

KXShareResultController::KXShareResultController() {
    m_window = std::make_unique<QDialog>();
    m_window->setObjectName(QStringLiteral("ShareResult"));
    m_tfTitle = new QLabel(exportText("UploadedSuccessfully"), m_window.get());
    QFont bold = m_tfTitle->font();
    bold.setBold(true);
    m_tfTitle->setFont(bold);
    m_tfMessage = new QLabel(exportText("UploadedSuccessfullyTip"), m_window.get());
    m_tfMessage->setWordWrap(true);
    m_btCancel = new QPushButton(exportText("OK"), m_window.get());
    m_btCancel->setDefault(true);
    auto* column = new QVBoxLayout(m_window.get());
    column->addWidget(m_tfTitle);
    column->addWidget(m_tfMessage);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_btCancel);
    column->addLayout(row);
    m_window->setMinimumWidth(360);
    connect(m_btCancel, &QPushButton::clicked, this, &KXShareResultController::cancel);
}

KXShareResultController::~KXShareResultController() = default;

void KXShareResultController::cancel() {
    m_window->hide();
}
