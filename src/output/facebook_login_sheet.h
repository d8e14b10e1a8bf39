// The sheet that shows the Facebook login dialog in a web view and watches the addresses it goes through:
// the success page hands the token (from the address's fragment) to the client, a page that fails to load
// posts KXSignFacebookFaild. Its pages run in a private web profile kept in memory, so the service's cookies
// never reach the disk and signing out removes them all.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <memory>

class PhFacebook;
class QDialog;
class QProgressBar;
class QPushButton;
class QWebEngineProfile;
class QWebEngineView;


class PhWebViewController : public QObject {
    Q_OBJECT
public:
    explicit PhWebViewController(PhFacebook* parent);
    ~PhWebViewController() override;

    QDialog* window() const { return m_window.get(); }
    QWebEngineView* webView() const { return m_webView; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QProgressBar* progress() const { return m_progress; }

    void setPermissions(const QString& permissions) { m_permissions = permissions; }
    QString permissions() const { return m_permissions; }
    bool isShow() const { return m_isShow; }
    void setIsShow(bool show) { m_isShow = show; }
    // The window the sheet is shown on.
    void setSheetParent(QWidget* parent) { m_sheetParent = parent; }

    // Loads an address in the web view (the progress indicator runs until it has loaded).
    void load(const QUrl& url);
    // Shows the sheet unless it is already visible or showing is not allowed.
    void showUI();
    // Closes the sheet: hides the web view, disallows showing, takes the window down.
    void cancel();
    bool isVisible() const;
    // Deletes every cookie of the login pages.
    void deleteCookies();

private:
    void committed(const QUrl& url);
    void loadFinished(bool ok);
    bool answerIfSuccess(const QUrl& url);

    PhFacebook* m_parent;
    std::unique_ptr<QDialog> m_window;
    QWebEngineProfile* m_profile = nullptr;
    QWebEngineView* m_webView = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QProgressBar* m_progress = nullptr;
    QPointer<QWidget> m_sheetParent;
    QString m_permissions;
    bool m_isShow = false;
    bool m_answered = false;
};
