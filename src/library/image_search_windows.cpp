#include "library/image_search_windows.h"

#include "canvas/canvas_view.h"
#include "graphics/image_search_record.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString localized(const QString& key) {
    return kx::Bundle::main().localizedString(key);
}

const QString kNotShowSearchImageAlert = QStringLiteral("KXNotShowSearchImageAlert");

KXSearchImageAlertWindowController::Runner& noticeRunner() {
    static KXSearchImageAlertWindowController::Runner runner;
    return runner;
}

}  // namespace

// ---- keyword sheet ----

KXSearchImageWindowController::KXSearchImageWindowController(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SearchImageWindow"));
    setWindowTitle(localized(QStringLiteral("Search")));
    auto* column = new QVBoxLayout(this);
    m_tfKeywords = new QLineEdit(this);
    m_tfKeywords->setObjectName(QStringLiteral("tfKeywords"));
    m_tfKeywords->setMinimumWidth(280);
    column->addWidget(m_tfKeywords);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton(localized(QStringLiteral("Cancel")), this);
    auto* search = new QPushButton(localized(QStringLiteral("Search")), this);
    search->setDefault(true);
    buttons->addWidget(cancel);
    buttons->addWidget(search);
    column->addLayout(buttons);
    connect(cancel, &QPushButton::clicked, this, [this] { cancelAction(); });
    connect(search, &QPushButton::clicked, this, [this] { searchAction(); });
}

void KXSearchImageWindowController::searchAction() {
    const QString keywords = m_tfKeywords->text();
    cancelAction();
    if (m_delegate)
        m_delegate->searchImageOnTheInternetWithKeywords(keywords);
}

void KXSearchImageWindowController::cancelAction() {
    if (isVisible())
        done(QDialog::Rejected);
    hide();
}

// ---- source notice ----

KXSearchImageAlertWindowController::KXSearchImageAlertWindowController(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SearchImageAlertWindow"));
    auto* column = new QVBoxLayout(this);
    m_tfSourceURL = new QLabel(this);
    m_tfSourceURL->setObjectName(QStringLiteral("tfSourceURL"));
    m_tfSourceURL->setWordWrap(true);
    m_tfSourceURL->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_tfSourceURL->setOpenExternalLinks(true);
    column->addWidget(m_tfSourceURL);
    auto* row = new QHBoxLayout;
    m_btNotShow = new QCheckBox(localized(QStringLiteral("DontShowAgain")), this);
    m_btNotShow->setObjectName(QStringLiteral("btNotShow"));
    row->addWidget(m_btNotShow);
    row->addStretch(1);
    auto* ok = new QPushButton(localized(QStringLiteral("OK")), this);
    ok->setDefault(true);
    row->addWidget(ok);
    column->addLayout(row);
    connect(m_btNotShow, &QCheckBox::toggled, this, [this] { notShowAction(); });
    connect(ok, &QPushButton::clicked, this, [this] { OKAction(); });
}

void KXSearchImageAlertWindowController::setSourceURL(const QString& address) {
    const QString label = localized(QStringLiteral("SourceURL")).toHtmlEscaped();
    const QString shown = address.toHtmlEscaped();
    // Only a web address becomes a link; the address is the answer of a web service and is not trusted.
    if (isWebImageAddress(address)) {
        m_tfSourceURL->setText(QStringLiteral("%1<a href=\"%2\" style=\"color:#0000ff; text-decoration:underline\">%3</a>")
                                   .arg(label, QString::fromUtf8(QUrl(address).toEncoded()).toHtmlEscaped(), shown));
    } else {
        m_tfSourceURL->setText(label + shown);
    }
}

void KXSearchImageAlertWindowController::OKAction() {
    if (isVisible())
        done(QDialog::Accepted);
    hide();
}

void KXSearchImageAlertWindowController::notShowAction() {
    kx::UserDefaults::standard().setValue(kNotShowSearchImageAlert, kx::Value(m_btNotShow->isChecked()));
}

void KXSearchImageAlertWindowController::setRunner(Runner runner) {
    noticeRunner() = std::move(runner);
}

void KXSearchImageAlertWindowController::runForSourceURL(QWidget* view, const QString& address) {
    KXSearchImageAlertWindowController notice(view ? view->window() : nullptr);
    notice.setSourceURL(address);
    if (noticeRunner()) {
        noticeRunner()(notice);
        return;
    }
    notice.setWindowModality(Qt::WindowModal);
    notice.exec();
}

void installSearchImageNotice() {
    KXPreview::setSearchImageNoticePresenter(
        [](QWidget* view, const QString& address) { KXSearchImageAlertWindowController::runForSourceURL(view, address); });
}
