#include "graphics/app_info.h"

#include "platform/foundation/bundle.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString infoString(const char* key) {
    const kx::Value value = kx::Bundle::main().infoValue(QString::fromLatin1(key));
    return value.type() == kx::Value::Type::String ? value.toString() : QString();
}

bool openWithDesktop(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

void showAlertOnDesktop(const QString& message, const QString& buttonTitle) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qWarning("%s", qPrintable(message));
        return;
    }
    QMessageBox alert(QMessageBox::Information, QString(), message);
    alert.addButton(buttonTitle, QMessageBox::AcceptRole);
    alert.setWindowModality(Qt::ApplicationModal);
    alert.exec();
}

URLOpener& urlOpener() {
    static URLOpener opener;
    return opener;
}

OpenURLAlertPresenter& alertPresenter() {
    static OpenURLAlertPresenter presenter;
    return presenter;
}

}  // namespace

QString publisherURL() { return infoString("PublisherURL"); }
QString helpURL() { return infoString("HelpURL"); }
QString supportURL() { return infoString("SupportURL"); }
QString homePageURL() { return infoString("HomePageURL"); }
QString feedbackURL() { return infoString("FeedbackURL"); }
QString shareFacebookURL() { return infoString("ShareFacebookURL"); }
QString appStoreURL() { return infoString("AppStoreURL"); }
QString bundleName() { return infoString("CFBundleName"); }
QString bundleVersion() { return infoString("CFBundleVersion"); }

void setURLOpener(URLOpener opener) {
    urlOpener() = std::move(opener);
}

void setOpenURLAlertPresenter(OpenURLAlertPresenter presenter) {
    alertPresenter() = std::move(presenter);
}

bool openURLStringQuietly(const QString& string) {
    // An address without a scheme names nothing a browser could open.
    const QUrl url(string, QUrl::StrictMode);
    if (string.isEmpty() || !url.isValid() || url.isRelative())
        return false;
    return urlOpener() ? urlOpener()(url) : openWithDesktop(url);
}

void openURLString(const QString& string) {
    if (openURLStringQuietly(string))
        return;
    const kx::Bundle& bundle = kx::Bundle::main();
    const QString message = bundle.localizedString(QStringLiteral("FailedOpenURL"), QStringLiteral("Localizable"));
    const QString button = bundle.localizedString(QStringLiteral("OK"), QStringLiteral("Localizable"));
    if (alertPresenter())
        alertPresenter()(message, button);
    else
        showAlertOnDesktop(message, button);
}
