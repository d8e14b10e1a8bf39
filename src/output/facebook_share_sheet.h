// The Facebook share sheet: signs in through the Graph client, lists the user's albums, takes a caption and
// uploads the rendered page into the chosen album. It talks to the share popover (which owns it, renders the
// page and shows the upload's progress and result) through notifications whose object is the sheet.
#pragma once

#include "output/facebook_client.h"
#include "platform/foundation/notification_center.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QDialog;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

inline const QString KXShareFacebookClose = QStringLiteral("KXShareFacebookClose");
inline const QString KXReloadShareImage = QStringLiteral("KXReloadShareImage");
inline const QString KXProgressBarDid = QStringLiteral("KXProgressBarDid");
// userInfo "succeeded": whether the service accepted the upload.
inline const QString KXProgressBarDone = QStringLiteral("KXProgressBarDone");
inline const QString KXOpenShareFacebookPanel = QStringLiteral("KXOpenShareFacebookPanel");

struct KXFacebookAlbum {
    QString id;
    QString name;
    friend bool operator==(const KXFacebookAlbum&, const KXFacebookAlbum&) = default;
};

// Whether an album id from the service may go into an upload's path.
bool isAlbumID(const QString& id);

// A picture area: draws its image centred over a soft black shadow.
class KXFacebookPreview : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    void setRenderImage(const QImage& image);
    QImage renderImage() const { return m_renderImage; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_renderImage;
};

class KXFBShareController : public QObject, public PhFacebookDelegate {
    Q_OBJECT
public:
    explicit KXFBShareController(KXFacebookConfig config = KXFacebookConfig::fromInfo(), QObject* parent = nullptr);
    ~KXFBShareController() override;

    QDialog* window() const { return m_window.get(); }
    PhFacebook* fb() const { return m_fb.get(); }
    // The window the sheets are shown on.
    void setSheetParent(QWidget* parent);

    // The albums of the user's account from an answer of "me/albums" (its "data" list, or the first list the
    // answer holds): one entry per object with a string "id" (an isAlbumID) and "name", in order; nothing when
    // the answer is not JSON or holds no list.
    static std::optional<std::vector<KXFacebookAlbum>> albumsFormString(const QString& answer);
    const std::vector<KXFacebookAlbum>& albums() const { return m_albums; }

    // The page to upload, as encoded image data.
    void setShareImage(const QByteArray& data) { m_shareImage = data; }
    QByteArray shareImage() const { return m_shareImage; }

    // Prepares the sheet and signs in.
    void openWebView();
    void signInFacebook();
    // Share, Sign Out and Cancel.
    void sharePhotoAction();
    void signOut();
    void cancel();
    void viewSetHidden(bool hidden);
    void progressStart();
    void progressEnd();
    void signFacebookFaild();

    void tokenResult(const QVariantMap& result) override;
    void requestResult(const QVariantMap& result) override;
    bool needsAuthentication(const QUrl& loginURL, const QString& permissions) override;
    // Shows the login dialog in place of the client's own sheet when set (answers true when it did).
    using LoginPresenter = std::function<bool(const QUrl& loginURL, const QString& permissions)>;
    void setLoginPresenter(LoginPresenter presenter) { m_loginPresenter = std::move(presenter); }

    QLabel* tfAlbums() const { return m_tfAlbums; }
    QComboBox* pubAlbums() const { return m_pubAlbums; }
    QPushButton* btFbSign() const { return m_btFbSign; }
    QPushButton* btShare() const { return m_btShare; }
    QPushButton* btCancel() const { return m_btCancel; }
    QPlainTextEdit* resultText() const { return m_resultText; }
    QProgressBar* pgDownloadAlbums() const { return m_pgDownloadAlbums; }
    KXFacebookPreview* fbPreview() const { return m_fbPreview; }

    static const QStringList& permissions();

private:
    void fillAlbums(const std::vector<KXFacebookAlbum>& albums);

    std::unique_ptr<QDialog> m_window;
    QLabel* m_tfAlbums = nullptr;
    QComboBox* m_pubAlbums = nullptr;
    QPushButton* m_btFbSign = nullptr;
    QPushButton* m_btShare = nullptr;
    QPushButton* m_btCancel = nullptr;
    QPlainTextEdit* m_resultText = nullptr;
    QLabel* m_imv = nullptr;
    KXFacebookPreview* m_fbPreview = nullptr;
    QProgressBar* m_pgDownloadAlbums = nullptr;
    std::unique_ptr<PhFacebook> m_fb;
    std::vector<KXFacebookAlbum> m_albums;
    QByteArray m_shareImage;
    bool m_didOpen = false;
    LoginPresenter m_loginPresenter;
    QPointer<QWidget> m_sheetParent;
    std::vector<kx::NotificationToken> m_observations;
};

// The upload's progress sheet: "Upload", a running bar and Cancel, which asks before it cancels.
class KXShareProgressBarController : public QObject {
    Q_OBJECT
public:
    KXShareProgressBarController();
    ~KXShareProgressBarController() override;

    QDialog* window() const { return m_window.get(); }
    QLabel* tfTitle() const { return m_tfTitle; }
    QProgressBar* pg() const { return m_pg; }
    QPushButton* btCancel() const { return m_btCancel; }
    bool isCancel() const { return m_isCancel; }
    void setIsCancel(bool cancel) { m_isCancel = cancel; }

    void start();
    void stop();
    // The Cancel button: on confirmation sets isCancel, stops the sheet and tells cancelled().
    void cancel();

signals:
    void cancelled();

private:
    std::unique_ptr<QDialog> m_window;
    QLabel* m_tfTitle = nullptr;
    QProgressBar* m_pg = nullptr;
    QPushButton* m_btCancel = nullptr;
    bool m_isCancel = false;
    bool m_running = false;
};

// The sheet shown once an upload has succeeded.
class KXShareResultController : public QObject {
    Q_OBJECT
public:
    KXShareResultController();
    ~KXShareResultController() override;

    QDialog* window() const { return m_window.get(); }
    QLabel* tfTitle() const { return m_tfTitle; }
    QLabel* tfMessage() const { return m_tfMessage; }
    QPushButton* btCancel() const { return m_btCancel; }
    // The OK button: takes the sheet down.
    void cancel();

private:
    std::unique_ptr<QDialog> m_window;
    QLabel* m_tfTitle = nullptr;
    QLabel* m_tfMessage = nullptr;
    QPushButton* m_btCancel = nullptr;
};
