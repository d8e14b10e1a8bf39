// The welcome window: shown at launch while the user setting "KXShowWelcomePanel" is on, and from the
// application menu. It offers a play button for the tutorial video, the "Learn more" link (the help page),
// the "Store" link (the content store, shown only once a store has been installed with setStoreOpener), and a
// check box that stops the window from opening at launch. Each choice sends one usage event ("Welcome").
#pragma once

#include "platform/foundation/notification_center.h"

#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <functional>

class QCheckBox;

// The name of the notification the play button posts (with itself as sender) when released.
inline const QString KXWelcomePlayNotification = QStringLiteral("Play");

// The play button: its normal picture, or its pressed one while the mouse button is held on it.
class KXClickButtonView : public QWidget {
    Q_OBJECT
public:
    explicit KXClickButtonView(QWidget* parent = nullptr);
    bool isDown() const { return m_isDown; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_normal;
    QPixmap m_down;
    bool m_isDown = false;
};

// A link of the welcome window, as text (underlined, sends a usage event when clicked) or as a picture (no
// event). Its identifier says what a click does: "Learn more" or "Store".
class KXWelcomeLink : public QLabel {
    Q_OBJECT
public:
    enum class Kind { Text, Picture };
    KXWelcomeLink(Kind kind, const QString& identifier, QWidget* parent = nullptr);
    QString identifier() const { return m_identifier; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    Kind m_kind;
    QString m_identifier;
};

class KXWelcomeController : public QWidget {
    Q_OBJECT
public:
    // Makes the shared window on first use and brings it to the front (every call).
    static void showWelcomeWindow();
    // The shared window; nullptr until it was first shown.
    static KXWelcomeController* sharedController();

    // What the "Store" links do; with none set the store links are hidden. The content store installs its
    // opener when it exists.
    static void setStoreOpener(std::function<void()> opener);

    KXWelcomeController();
    ~KXWelcomeController() override;

    // Hides the window; usage event "Close".
    void closeAction();
    // Opens the tutorial video in the browser; usage event "Play".
    void playAction();
    // Stores "KXShowWelcomePanel" as the opposite of the box: ticked, the window no longer opens at launch.
    void showWelcomeAction(bool ticked);
    // What a click on a link does: "Store" opens the content store, "Learn more" the help page (no alert when
    // the browser cannot be started); with `sendEvent`, one usage event with the identifier as its action.
    static void openLink(const QString& identifier, bool sendEvent);

    // The tutorial video's address: the Info.plist's "TutorialVideoURL"; empty when none is configured, and
    // then the play button is disabled.
    static QString tutorialVideoURL();

    KXClickButtonView* playButton() const { return m_play; }
    QCheckBox* showWelcomeBox() const { return m_showWelcome; }
    KXWelcomeLink* startedLink() const { return m_startedLink; }
    KXWelcomeLink* startedImage() const { return m_startedImage; }
    KXWelcomeLink* storeLink() const { return m_storeLink; }
    KXWelcomeLink* storeImage() const { return m_storeImage; }

private:
    KXClickButtonView* m_play;
    QCheckBox* m_showWelcome;
    KXWelcomeLink* m_startedLink;
    KXWelcomeLink* m_startedImage;
    KXWelcomeLink* m_storeLink;
    KXWelcomeLink* m_storeImage;
    kx::NotificationToken m_playObservation;
};
