#include "output/wallpaper_sheet.h"

#include "controls/color_well.h"
#include "output/export_dialogs.h"
#include "output/wallpaper_desktop.h"

#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

using kx::controls::KXColorWell;

KXExportWallpaperCtl::KXExportWallpaperCtl() = default;
KXExportWallpaperCtl::~KXExportWallpaperCtl() = default;

QDialog* KXExportWallpaperCtl::window() {
    if (!m_window)
        loadWindow();
    return m_window.get();
}

void KXExportWallpaperCtl::loadWindow() {
    m_window = std::make_unique<QDialog>();
    m_window->setObjectName(QStringLiteral("ExportWallpaper"));
    auto* column = new QVBoxLayout(m_window.get());
    auto* form = new QFormLayout;
    m_pubScreen = new QComboBox(m_window.get());
    m_pubScreen->setObjectName(QStringLiteral("pubScreen"));
    m_pubScale = new QComboBox(m_window.get());
    m_pubScale->setObjectName(QStringLiteral("pubScale"));
    m_pubScale->addItems({exportText("Fill Screen"), exportText("Stretch"), exportText("Center"), exportText("Fit to Screen")});
    m_pubScale->setCurrentIndex(KXWallpaperCenter);
    m_cwFillColor = new KXColorWell(m_window.get());
    m_cwFillColor->setObjectName(QStringLiteral("cwFillColor"));
    m_cwFillColor->setFixedSize(44, 22);
    m_cwFillColor->setColor(Qt::black);
    form->addRow(exportText("ApplyScreen"), m_pubScreen);
    form->addRow(exportText("Scale"), m_pubScale);
    form->addRow(exportText("Fill Color"), m_cwFillColor);
    column->addLayout(form);
    m_tfNote = new QLabel(m_window.get());
    m_tfNote->setObjectName(QStringLiteral("tfNote"));
    m_tfNote->setWordWrap(true);
    m_tfNote->setMaximumWidth(320);
    m_tfNote->hide();
    column->addWidget(m_tfNote);
    addSheetButtons(m_window.get(), column, this, [this] { OK(); }, [this] { cancel(); });
    connect(m_pubScale, &QComboBox::activated, this, [this] { scaleChanged(); });
    fillScreens();
    setDesktopAbilities(m_scaling, m_screens);
}

void KXExportWallpaperCtl::fillScreens() {
    m_pubScreen->clear();
    const QList<QScreen*> screens = QGuiApplication::screens();
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (int i = 0; i < screens.size(); ++i) {
        const QString title = screens[i] == primary ? exportText("Main Screen")
                                                    : QStringLiteral("%1 %2").arg(exportText("Screen")).arg(i + 1);
        m_pubScreen->addItem(title, i);
        if (screens[i] == primary)
            m_pubScreen->setCurrentIndex(i);
    }
}

void KXExportWallpaperCtl::setDesktopAbilities(bool scaling, bool screens) {
    m_scaling = scaling;
    m_screens = screens;
    if (!m_window)
        return;
    m_pubScale->setEnabled(scaling);
    m_pubScreen->setEnabled(screens);
    scaleChanged();
    QStringList notes;
    if (!scaling)
        notes << exportText("WallpaperScalingByDesktop");
    if (!screens)
        notes << exportText("WallpaperEveryScreen");
    m_tfNote->setText(notes.join(u' '));
    m_tfNote->setVisible(!notes.isEmpty());
}

bool KXExportWallpaperCtl::runSheet(QWidget* parent) {
    window();
    fillScreens();
    m_isOK = false;
    presentSheet(window(), parent, true);
    return m_isOK;
}

void KXExportWallpaperCtl::OK() {
    m_isOK = true;
    window()->accept();
}

void KXExportWallpaperCtl::cancel() {
    m_isOK = false;
    window()->reject();
}

int KXExportWallpaperCtl::scaleType() const {
    return m_pubScale ? m_pubScale->currentIndex() : KXWallpaperCenter;
}

QColor KXExportWallpaperCtl::fillColor() const {
    return m_cwFillColor ? m_cwFillColor->color() : QColor(Qt::black);
}

QString KXExportWallpaperCtl::screenName() const {
    const int index = screenIndex();
    const QList<QScreen*> screens = QGuiApplication::screens();
    return index >= 0 && index < screens.size() ? screens[index]->name() : QString();
}

int KXExportWallpaperCtl::screenIndex() const {
    if (!m_pubScreen || !m_screens || m_pubScreen->currentIndex() < 0)
        return -1;
    return m_pubScreen->currentData().toInt();
}

void KXExportWallpaperCtl::scaleChanged() {
    const int scale = scaleType();
    m_cwFillColor->setWellEnabled(m_scaling && (scale == KXWallpaperCenter || scale == KXWallpaperFitToScreen));
}
