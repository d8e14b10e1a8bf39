#include "output/facebook_login_sheet.h"

#include "output/export_dialogs.h"
#include "output/facebook_client.h"
#include "platform/foundation/notification_center.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

// The host of an address and the start of its path, without its scheme, in lower case.
QString withoutScheme(const QUrl& url) {
    return url.toString(QUrl::RemoveScheme | QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment)
        .mid(2)
        .toLower();
}

}  // namespace

PhWebViewController::PhWebViewController(PhFacebook* parent) : m_parent(parent) {
    m_window = std::make_unique<QDialog>();
    m_window->setObjectName(QStringLiteral("PhWebViewController"));
    m_window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    m_window->resize(640, 520);
    // An unnamed profile is off the record: cookies and caches live in memory only.
    m_profile = new QWebEngineProfile(m_window.get());
    m_webView = new QWebEngineView(m_window.get());
    m_webView->setPage(new QWebEnginePage(m_profile, m_webView));
    m_cancelButton = new QPushButton(exportText("Cancel"), m_window.get());
    m_progress = new QProgressBar(m_window.get());
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setMaximumWidth(120);
    auto* column = new QVBoxLayout(m_window.get());
    column->addWidget(m_webView, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_progress);
    bottom->addStretch();
    bottom->addWidget(m_cancelButton);
    column->addLayout(bottom);
    m_isShow = true;
    connect(m_cancelButton, &QPushButton::clicked, this, &PhWebViewController::cancel);
    connect(m_window.get(), &QDialog::rejected, this, &PhWebViewController::cancel);
    connect(m_webView, &QWebEngineView::urlChanged, this, &PhWebViewController::committed);
    connect(m_webView, &QWebEngineView::loadFinished, this, &PhWebViewController::loadFinished);
}

PhWebViewController::~PhWebViewController() {
    // The page must go before the profile it uses.
    if (m_webView)
        delete m_webView->page();
}

void PhWebViewController::load(const QUrl& url) {
    m_answered = false;
    m_progress->show();
    m_webView->load(url);
}

bool PhWebViewController::answerIfSuccess(const QUrl& url) {
    if (m_answered || !m_parent->isLoginSuccessURL(url))
        return m_answered;
    m_answered = true;
    const KXFacebookLoginAnswer answer = PhFacebook::loginAnswer(url);
    cancel();
    m_parent->setAccessToken(answer.accessToken, answer.expiresIn, m_permissions, answer.errorDescription);
    return true;
}

void PhWebViewController::committed(const QUrl& url) {
    if (answerIfSuccess(url))
        return;
    const QString uiServer = withoutScheme(m_parent->config().webAddress) + QStringLiteral("/connect/uiserver.php");
    if (withoutScheme(url).startsWith(uiServer))
        showUI();
}

void PhWebViewController::loadFinished(bool ok) {
    m_progress->hide();
    if (m_isShow)
        m_webView->show();
    if (answerIfSuccess(m_webView->url()))
        return;
    if (!ok) {
        kx::NotificationCenter::defaultCenter().post(KXSignFacebookFaild, this);
        return;
    }
    showUI();
}

void PhWebViewController::showUI() {
    if (!m_window->isVisible() && m_isShow)
        presentSheet(m_window.get(), m_sheetParent, false);
    m_isShow = true;
}

void PhWebViewController::cancel() {
    m_webView->hide();
    m_isShow = false;
    m_window->hide();
}

bool PhWebViewController::isVisible() const {
    return m_window->isVisible();
}

void PhWebViewController::deleteCookies() {
    m_profile->cookieStore()->deleteAllCookies();
}
