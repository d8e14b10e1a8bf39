#include "app/welcome_window.h"

#include "app/app_delegate.h"
#include "app_services/ga_object.h"
#include "controls/control_images.h"
#include "graphics/app_info.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

const QString kLearnMore = QStringLiteral("Learn more");
const QString kStore = QStringLiteral("Store");
// The bottom border that holds the check box and the close button.
constexpr int kBottomBorder = 48;

std::function<void()>& storeOpener() {
    static std::function<void()> opener;
    return opener;
}

KXWelcomeController*& sharedWelcome() {
    static KXWelcomeController* shared = nullptr;
    return shared;
}

// One usage event of the welcome window, sent at once.
void sendWelcomeEvent(const QString& action) {
    if (GAObject* analytics = GAObject::defaultObject()) {
        analytics->clearEvent();
        analytics->trackEventType(QStringLiteral("Welcome"), action, QString(), 1);
        analytics->postEvent();
    }
}

// The artwork is drawn at twice its size in points.
QPixmap pointSized(QPixmap pixmap) {
    pixmap.setDevicePixelRatio(2);
    return pixmap;
}

}  // namespace

// ---- play button ----

KXClickButtonView::KXClickButtonView(QWidget* parent)
    : QWidget(parent),
      m_normal(pointSized(kx::controls::controlImage(QStringLiteral("clickPlay normal@2x")))),
      m_down(pointSized(kx::controls::controlImage(QStringLiteral("clickPlay down@2x")))) {
    setObjectName(QStringLiteral("btClickView"));
    setCursor(Qt::PointingHandCursor);
}

QSize KXClickButtonView::sizeHint() const {
    return m_normal.isNull() ? QSize(80, 80) : (m_normal.deviceIndependentSize().toSize());
}

void KXClickButtonView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPixmap& picture = m_isDown ? m_down : m_normal;
    if (!isEnabled())
        painter.setOpacity(0.4);
    if (!picture.isNull())
        painter.drawPixmap(rect(), picture);
}

void KXClickButtonView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_isDown = true;
    update();
}

void KXClickButtonView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_isDown)
        return QWidget::mouseReleaseEvent(event);
    m_isDown = false;
    update();
    // A release away from the button is no press of it.
    if (rect().contains(event->position().toPoint()))
        kx::NotificationCenter::defaultCenter().post(KXWelcomePlayNotification, this);
}

// ---- links ----

KXWelcomeLink::KXWelcomeLink(Kind kind, const QString& identifier, QWidget* parent)
    : QLabel(parent), m_kind(kind), m_identifier(identifier) {
    // The pointer turns into a hand over the links only.
    setCursor(Qt::PointingHandCursor);
    if (kind == Kind::Text) {
        setText(localized(identifier == kStore ? "WelcomeStore" : "WelcomeLearnMore"));
        QFont underlined = font();
        underlined.setUnderline(true);
        setFont(underlined);
        setStyleSheet(QStringLiteral("color: palette(link);"));
    }
}

void KXWelcomeLink::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QLabel::mousePressEvent(event);
    // The click is handled here and goes no further.
    KXWelcomeController::openLink(m_identifier, m_kind == Kind::Text);
}

// ---- window ----

void KXWelcomeController::showWelcomeWindow() {
    if (!sharedWelcome())
        sharedWelcome() = new KXWelcomeController;
    KXWelcomeController* window = sharedWelcome();
    window->show();
    window->raise();
    window->activateWindow();
}

KXWelcomeController* KXWelcomeController::sharedController() {
    return sharedWelcome();
}

void KXWelcomeController::setStoreOpener(std::function<void()> opener) {
    storeOpener() = std::move(opener);
    if (KXWelcomeController* window = sharedWelcome()) {
        window->m_storeLink->setVisible(bool(storeOpener()));
        window->m_storeImage->setVisible(bool(storeOpener()));
    }
}

QString KXWelcomeController::tutorialVideoURL() {
    const kx::Value value = kx::Bundle::main().infoValue(QStringLiteral("TutorialVideoURL"));
    return value.type() == kx::Value::Type::String ? value.toString() : QString();
}

KXWelcomeController::KXWelcomeController() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("WelcomeWindow"));
    setWindowTitle(localized("WelcomeTitle"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("imageIcon"));
    icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    auto* introduce = new QLabel(localized("WelcomeIntroduce"), this);
    introduce->setObjectName(QStringLiteral("tfIntroduce"));
    introduce->setWordWrap(true);
    QFont headline = introduce->font();
    headline.setPointSizeF(headline.pointSizeF() * 1.3);
    introduce->setFont(headline);

    m_play = new KXClickButtonView(this);
    m_play->setFixedSize(m_play->sizeHint());
    const bool hasVideo = !tutorialVideoURL().isEmpty();
    m_play->setEnabled(hasVideo);
    if (!hasVideo)
        m_play->setToolTip(localized("WelcomeNoVideo"));
    auto* playTip = new QLabel(localized("WelcomePlayTip"), this);
    playTip->setObjectName(QStringLiteral("tfInfoTip"));

    const auto pictureLink = [this](const QString& identifier, const char* iconName) {
        auto* link = new KXWelcomeLink(KXWelcomeLink::Kind::Picture, identifier, this);
        link->setPixmap(style()->standardIcon(identifier == kStore ? QStyle::SP_DriveNetIcon
                                                                   : QStyle::SP_DialogHelpButton)
                            .pixmap(24, 24));
        link->setObjectName(QString::fromLatin1(iconName));
        return link;
    };
    m_startedImage = pictureLink(kLearnMore, "imageViewStartedLink");
    m_startedLink = new KXWelcomeLink(KXWelcomeLink::Kind::Text, kLearnMore, this);
    m_startedLink->setObjectName(QStringLiteral("tfStartedLink"));
    m_storeImage = pictureLink(kStore, "imageViewStore");
    m_storeLink = new KXWelcomeLink(KXWelcomeLink::Kind::Text, kStore, this);
    m_storeLink->setObjectName(QStringLiteral("tfStore"));
    m_storeLink->setVisible(bool(storeOpener()));
    m_storeImage->setVisible(bool(storeOpener()));

    m_showWelcome = new QCheckBox(localized("WelcomeDontShow"), this);
    m_showWelcome->setObjectName(QStringLiteral("btShowWelcome"));
    m_showWelcome->setChecked(!kx::UserDefaults::standard().boolValue(KXShowWelcomePanel));
    connect(m_showWelcome, &QCheckBox::clicked, this, &KXWelcomeController::showWelcomeAction);
    auto* close = new QPushButton(localized("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QPushButton::clicked, this, &KXWelcomeController::closeAction);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(introduce, 1);
    auto* play = new QHBoxLayout;
    play->addWidget(m_play);
    play->addWidget(playTip, 1);
    auto* links = new QHBoxLayout;
    links->addWidget(m_startedImage);
    links->addWidget(m_startedLink);
    links->addSpacing(24);
    links->addWidget(m_storeImage);
    links->addWidget(m_storeLink);
    links->addStretch();
    auto* bottom = new QWidget(this);
    bottom->setObjectName(QStringLiteral("bottomBorder"));
    bottom->setFixedHeight(kBottomBorder);
    auto* bottomRow = new QHBoxLayout(bottom);
    bottomRow->addWidget(m_showWelcome);
    bottomRow->addStretch();
    bottomRow->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addLayout(play);
    layout->addSpacing(12);
    layout->addLayout(links);
    layout->addStretch();
    layout->addWidget(bottom);
    resize(520, 340);

    m_playObservation = kx::NotificationCenter::defaultCenter().addObserver(
        KXWelcomePlayNotification, m_play, [this](const kx::Notification&) { playAction(); });
}

KXWelcomeController::~KXWelcomeController() {
    if (sharedWelcome() == this)
        sharedWelcome() = nullptr;
}

void KXWelcomeController::closeAction() {
    hide();
    sendWelcomeEvent(QStringLiteral("Close"));
}

void KXWelcomeController::playAction() {
    const QString address = tutorialVideoURL();
    if (address.isEmpty())
        return;
    openURLString(address);
    sendWelcomeEvent(QStringLiteral("Play"));
}

void KXWelcomeController::showWelcomeAction(bool ticked) {
    kx::UserDefaults::standard().setValue(KXShowWelcomePanel, !ticked);
}

void KXWelcomeController::openLink(const QString& identifier, bool sendEvent) {
    if (identifier == kStore) {
        if (!storeOpener())
            return;
        storeOpener()();
    } else if (identifier == kLearnMore) {
        openURLStringQuietly(helpURL());
    } else {
        return;
    }
    if (sendEvent)
        sendWelcomeEvent(identifier);
}
