// Values of the application's Info.plist and opening web addresses in the user's browser.
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Each reads the application bundle's Info.plist afresh and returns the string under its key
// ("PublisherURL", "HelpURL", "SupportURL", "HomePageURL", "FeedbackURL", "ShareFacebookURL",
// "AppStoreURL", "CFBundleName", "CFBundleVersion"); a null QString when the key is missing or does
// not hold a string.
QString publisherURL();
QString helpURL();
QString supportURL();
QString homePageURL();
QString feedbackURL();
QString shareFacebookURL();
QString appStoreURL();
QString bundleName();
QString bundleVersion();

// Opens the address in the user's browser (through QDesktopServices). When that fails (a null or
// invalid address included) it shows an application-modal information alert with the localized
// "FailedOpenURL" message and one "OK" button, and returns once the user has dismissed it.
void openURLString(const QString& string);
// The same without the alert: whether the address was handed to the browser.
bool openURLStringQuietly(const QString& string);

// The two desktop interactions of openURLString, replaceable so that tests neither launch a browser
// nor wait on an alert. Passing an empty function restores the desktop's own.
using URLOpener = std::function<bool(const QUrl& url)>;
using OpenURLAlertPresenter = std::function<void(const QString& message, const QString& buttonTitle)>;
void setURLOpener(URLOpener opener);
void setOpenURLAlertPresenter(OpenURLAlertPresenter presenter);
