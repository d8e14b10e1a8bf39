#include "app/update_checker.h"

#include "app/app_delegate.h"
#include "graphics/app_info.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "platform/foundation/web_address.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

QString infoString(const char* key) {
    const kx::Value value = kx::Bundle::main().infoValue(QString::fromLatin1(key));
    return value.type() == kx::Value::Type::String ? value.toString() : QString();
}

// A whole number from a number or from the leading digits of a string, as a feed may write either.
std::int64_t integerOf(const kx::Value& value) {
    if (value.isNumber())
        return value.toInteger();
    if (value.type() != kx::Value::Type::String)
        return 0;
    const QString text = value.toString().trimmed();
    qsizetype end = 0;
    if (end < text.size() && (text[end] == u'-' || text[end] == u'+'))
        ++end;
    while (end < text.size() && text[end].isDigit())
        ++end;
    bool ok = false;
    const qlonglong number = text.left(end).toLongLong(&ok);
    return ok ? number : 0;
}

double realOf(const kx::Value& value) {
    if (value.isNumber())
        return value.toDouble();
    if (value.type() != kx::Value::Type::String)
        return 0;
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    return ok ? number : 0;
}

QString stringOf(const kx::ValueDictionary& feed, const char* key) {
    const auto found = feed.find(QString::fromLatin1(key));
    return found != feed.end() && found->second.type() == kx::Value::Type::String ? found->second.toString()
                                                                                 : QString();
}

kx::Value valueOf(const kx::ValueDictionary& feed, const char* key) {
    const auto found = feed.find(QString::fromLatin1(key));
    return found != feed.end() ? found->second : kx::Value();
}

KXUpdateWindowController::AlertPresenter& alertPresenter() {
    static KXUpdateWindowController::AlertPresenter presenter;
    return presenter;
}

// Days that cannot be added to a date (NaN, negative or absurd intervals) postpone nothing.
constexpr double kLongestInterval = 3650;

}  // namespace

// ---- the feed ----

std::optional<KXUpdateInfo> KXUpdateInfo::fromFeed(const QByteArray& data) {
    if (data.size() > KXUpdateWindowController::kMaximumFeedBytes)
        return std::nullopt;
    const std::optional<kx::Value> plist = kx::readPropertyList(data);
    if (!plist || plist->type() != kx::Value::Type::Dictionary)
        return std::nullopt;
    const kx::ValueDictionary& feed = plist->toDictionary();
    KXUpdateInfo info;
    info.version = integerOf(valueOf(feed, "Version"));
    info.productVersion = integerOf(valueOf(feed, "Product Version"));
    info.interval = realOf(valueOf(feed, "Interval"));
    info.title = stringOf(feed, "Title");
    info.desc = stringOf(feed, "Description");
    info.notes = stringOf(feed, "Notes");
    info.productURL = stringOf(feed, "URL");
    return info;
}

bool updateIsAvailable(const KXUpdateInfo& info, std::int64_t installedBuild) {
    return installedBuild < info.productVersion;
}

QString updateDescription(const QString& desc, const QString& installedVersion) {
    QString text = desc;
    const qsizetype at = text.indexOf(QLatin1String("%@"));
    if (at >= 0)
        text.replace(at, 2, installedVersion);
    return text;
}

// ---- the checker ----

void KXUpdateWindowController::initializeUpdate() {
    sharedUpdate();
}

KXUpdateWindowController* KXUpdateWindowController::sharedUpdate() {
    static KXUpdateWindowController* shared = [] {
        auto* checker = new KXUpdateWindowController(QUrl(infoString("UpdateURL")));
        checker->startAutomaticCheckIfDue();
        return checker;
    }();
    return shared;
}

KXUpdateWindowController::KXUpdateWindowController(const QUrl& feedURL, std::function<QDateTime()> now)
    : QWidget(nullptr, Qt::Window),
      m_feedURL(feedURL),
      m_now(now ? std::move(now) : [] { return QDateTime::currentDateTimeUtc(); }) {
    setObjectName(QStringLiteral("UpdateWindow"));
    setInstalledVersion(integerOf(kx::Value(infoString("CFBundleVersion"))), infoString("CFBundleShortVersionString"));
    buildWindows();
}

KXUpdateWindowController::~KXUpdateWindowController() {
    if (m_reply)
        m_reply->abort();
    delete m_checkWindow;
}

void KXUpdateWindowController::setInstalledVersion(std::int64_t build, const QString& shortVersion) {
    m_installedBuild = build;
    m_installedVersion = shortVersion;
}

void KXUpdateWindowController::setAlertPresenter(AlertPresenter presenter) {
    alertPresenter() = std::move(presenter);
}

void KXUpdateWindowController::showAlert(const QString& message, const QString& informative) {
    if (alertPresenter())
        return alertPresenter()(message, informative);
    QMessageBox alert(QMessageBox::Information, QString(), message);
    alert.setInformativeText(informative);
    alert.addButton(localized("OK"), QMessageBox::AcceptRole);
    alert.exec();
}

void KXUpdateWindowController::buildWindows() {
    setWindowTitle(localized("UpdateWindowTitle"));
    const QPixmap icon = QApplication::windowIcon().pixmap(64, 64);
    auto* imvUpdate = new QLabel(this);
    imvUpdate->setObjectName(QStringLiteral("imvUpdate"));
    imvUpdate->setPixmap(icon);
    m_tfTitle = new QLabel(this);
    m_tfTitle->setObjectName(QStringLiteral("tfTitle"));
    QFont bold = m_tfTitle->font();
    bold.setBold(true);
    m_tfTitle->setFont(bold);
    m_tfTitle->setWordWrap(true);
    m_tfContent = new QLabel(this);
    m_tfContent->setObjectName(QStringLiteral("tfContent"));
    m_tfContent->setWordWrap(true);
    // The feed's texts are shown as plain text, never as markup.
    m_tfTitle->setTextFormat(Qt::PlainText);
    m_tfContent->setTextFormat(Qt::PlainText);
    m_tvNotes = new QTextBrowser(this);
    m_tvNotes->setObjectName(QStringLiteral("tvNotes"));
    m_tvNotes->setOpenLinks(false);

    const auto button = [this](const char* key, void (KXUpdateWindowController::*action)()) {
        auto* b = new QPushButton(localized(key), this);
        b->setObjectName(QString::fromLatin1(key));
        connect(b, &QPushButton::clicked, this, action);
        return b;
    };
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(button("SkipThisVersion", &KXUpdateWindowController::skipAction));
    buttons->addStretch();
    buttons->addWidget(button("RemindMeLater", &KXUpdateWindowController::remindAction));
    QPushButton* update = button("InstallUpdate", &KXUpdateWindowController::updateAction);
    update->setDefault(true);
    buttons->addWidget(update);

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_tfTitle);
    texts->addWidget(m_tfContent);
    texts->addWidget(m_tvNotes, 1);
    texts->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(imvUpdate, 0, Qt::AlignTop);
    layout->addLayout(texts, 1);
    resize(560, 380);

    m_checkWindow = new QWidget(nullptr, Qt::Window);
    m_checkWindow->setObjectName(QStringLiteral("checkWindow"));
    m_checkWindow->setWindowTitle(localized("Updating %@").replace(QLatin1String("%@"), infoString("CFBundleName")));
    auto* imvCheck = new QLabel(m_checkWindow);
    imvCheck->setObjectName(QStringLiteral("imvCheck"));
    imvCheck->setPixmap(icon);
    auto* checking = new QLabel(localized("CheckingForUpdates"), m_checkWindow);
    checking->setObjectName(QStringLiteral("tfChecking"));
    m_progressBar = new QProgressBar(m_checkWindow);
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setRange(0, 1);  // stopped until a manual check runs
    m_progressBar->setTextVisible(false);
    auto* checkTexts = new QVBoxLayout;
    checkTexts->addWidget(checking);
    checkTexts->addWidget(m_progressBar);
    auto* checkLayout = new QHBoxLayout(m_checkWindow);
    checkLayout->addWidget(imvCheck);
    checkLayout->addLayout(checkTexts, 1);
    m_checkWindow->resize(360, 90);
}

void KXUpdateWindowController::startAutomaticCheckIfDue() {
    const kx::UserDefaults& defaults = kx::UserDefaults::standard();
    if (!defaults.boolValue(KXCheckUpdateAutomaticlly))
        return;
    const QDateTime next = defaults.value(KXCheckUpdateDate).toDate();
    if (next.isValid() && m_now() < next)
        return;
    checkUpdates(false);
}

void KXUpdateWindowController::checkUpdates(bool manual) {
    if (manual) {
        m_progressBar->setRange(0, 0);  // busy
        m_checkWindow->show();
        m_checkWindow->raise();
    }
    if (m_checking) {
        // Answered when the running fetch ends (a silent fetch would otherwise leave the spinner running).
        m_manualWaiting = m_manualWaiting || manual;
        return;
    }
    if (!m_info) {
        m_manualWaiting = manual;
        fetchFeed();
        return;
    }
    reportOutcome(manual);
}

void KXUpdateWindowController::fetchFeed() {
    m_checking = true;
    if (!kx::isWebAddress(m_feedURL)) {
        // Nothing is fetched from an address that is missing or not a web address; the check fails at once
        // (reported on the next turn of the event loop, as a fetch would be).
        QMetaObject::invokeMethod(this, [this] { fetchEnded(nullptr); }, Qt::QueuedConnection);
        return;
    }
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(m_feedURL);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(30000);
    QNetworkReply* reply = m_network->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > kMaximumFeedBytes || total > kMaximumFeedBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { fetchEnded(reply); });
}

void KXUpdateWindowController::fetchEnded(QNetworkReply* reply) {
    std::optional<KXUpdateInfo> info;
    if (reply) {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::NoError && status == 200)
            info = KXUpdateInfo::fromFeed(reply->read(kMaximumFeedBytes + 1));
    }
    m_checking = false;
    const bool manual = m_manualWaiting;
    m_manualWaiting = false;
    if (!info) {
        // A later check fetches again.
        if (manual) {
            hideCheckWindow();
            showAlert(localized("UpdateFailed"), localized("UpdateFailedTip"));
        }
        emit checkFinished();
        return;
    }
    m_info = std::move(info);
    reportOutcome(manual);
}

void KXUpdateWindowController::reportOutcome(bool manual) {
    if (m_info && updateIsAvailable(*m_info, m_installedBuild)) {
        showUpdateWindow();
    } else if (manual) {
        hideCheckWindow();
        showAlert(localized("You're up to date!"),
                  updateDescription(localized("You already have the newest version of %@."), m_installedVersion));
    }
    emit checkFinished();
}

void KXUpdateWindowController::hideCheckWindow() {
    m_progressBar->setRange(0, 1);
    m_checkWindow->hide();
}

void KXUpdateWindowController::showUpdateWindow() {
    hideCheckWindow();
    m_tfTitle->setText(m_info->title);
    m_tfContent->setText(updateDescription(m_info->desc, m_installedVersion));
    m_tvNotes->setPlainText(m_info->notes);
    // Release notes read more easily with air between the lines.
    QTextCursor all(m_tvNotes->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat spacing = m_tvNotes->document()->firstBlock().blockFormat();
    spacing.setLineHeight(10, QTextBlockFormat::LineDistanceHeight);
    all.mergeBlockFormat(spacing);
    show();
    raise();
    activateWindow();
}

void KXUpdateWindowController::postponeNextCheck() {
    const double days = m_info ? m_info->interval : 0;
    const double bounded = days > 0 && days <= kLongestInterval ? days : 0;
    const QDateTime next = m_now().addMSecs(qint64(bounded * 86400.0 * 1000.0));
    kx::UserDefaults::standard().setValue(KXCheckUpdateDate, kx::Value(kx::Date::fromDateTime(next)));
}

void KXUpdateWindowController::skipAction() {
    postponeNextCheck();
    closeWindow();
}

void KXUpdateWindowController::remindAction() {
    closeWindow();
}

void KXUpdateWindowController::updateAction() {
    // Only a web address is handed to the browser; anything else gets the failed-open alert.
    const QString address = m_info ? m_info->productURL : QString();
    openURLString(kx::isWebAddress(QUrl(address)) ? address : QString());
    postponeNextCheck();
    closeWindow();
}

void KXUpdateWindowController::closeWindow() {
    hide();
}
