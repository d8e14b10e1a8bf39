// The wallpaper sheet: the screen, the scaling and the fill colour of the desktop picture. It offers only
// what the desktop can honour: a desktop that scales the picture itself, or shows one picture on every
// screen, gets those controls disabled with a note that says so.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <memory>

class QComboBox;
class QDialog;
class QLabel;
class QWidget;

namespace kx::controls {
class KXColorWell;
}

class KXExportWallpaperCtl : public QObject {
    Q_OBJECT
public:
    KXExportWallpaperCtl();
    ~KXExportWallpaperCtl() override;

    QDialog* window();
    // What the desktop found can honour; the controls and the note follow.
    void setDesktopAbilities(bool scaling, bool screens);
    bool runSheet(QWidget* parent);
    void OK();
    void cancel();
    bool isOK() const { return m_isOK; }

    // Index of the chosen scale item (KXWallpaperScale).
    int scaleType() const;
    QColor fillColor() const;
    // The chosen screen's name and place in the application's list; empty and -1 for every screen.
    QString screenName() const;
    int screenIndex() const;

    // The scale pop-up's action: the colour well is enabled only for Center and Fit to Screen.
    void scaleChanged();

    QComboBox* pubScreen() const { return m_pubScreen; }
    QComboBox* pubScale() const { return m_pubScale; }
    kx::controls::KXColorWell* cwFillColor() const { return m_cwFillColor; }
    QLabel* tfNote() const { return m_tfNote; }

private:
    void loadWindow();
    void fillScreens();

    std::unique_ptr<QDialog> m_window;
    QComboBox* m_pubScreen = nullptr;
    QComboBox* m_pubScale = nullptr;
    kx::controls::KXColorWell* m_cwFillColor = nullptr;
    QLabel* m_tfNote = nullptr;
    bool m_scaling = true;
    bool m_screens = true;
    bool m_isOK = false;
};
