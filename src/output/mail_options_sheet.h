// The e-mail options sheet: the size the pages are sent at ("Original Size" or one of five presets), the
// file format and the JPEG quality.
#pragma once

#include "output/mail_attachments.h"

#include <QObject>

#include <memory>

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QSlider;
class QWidget;

namespace kx::controls {
class KXStepper;
}

class KXExportEmailController : public QObject {
    Q_OBJECT
public:
    // The formats offered, in order.
    static QStringList formatTitles() { return {"JPG", "TIFF", "BMP", "PNG", "GIF"}; }
    // The size presets, in order (square bounds in pixels).
    static QList<int> mailSizes() { return {320, 640, 800, 1024, 1280}; }

    KXExportEmailController();
    ~KXExportEmailController() override;

    QDialog* window();
    // Runs the sheet modally on `parent`; true after OK.
    bool runSheet(QWidget* parent);
    void OK();
    void cancel();
    bool isOK() const { return m_isOK; }

    bool useOriginalSize() const;
    // (0, 0) with "Original Size", else the chosen preset.
    kx::Size mailSize() const;
    // "jpg", "tiff", "bmp", "png" or "gif".
    QString format() const;
    int quality() const;
    KXMailOptions options() const { return {useOriginalSize(), mailSize(), format(), quality()}; }

    // The actions of the controls (also called by tests).
    void formatChanged();
    void originalSizeChanged();
    void qualityMoved(int value);
    void qualityTyped();
    void qualityEditingEnded();

    QCheckBox* btMailOrignalSize() const { return m_btMailOrignalSize; }
    QComboBox* pubMailSize() const { return m_pubMailSize; }
    QComboBox* pubMailFormat() const { return m_pubMailFormat; }
    QLabel* tfEmailQuality() const { return m_tfEmailQuality; }
    QLineEdit* tfMailQuality() const { return m_tfMailQuality; }
    QSlider* slMailQuality() const { return m_slMailQuality; }
    kx::controls::KXStepper* stMailQuality() const { return m_stMailQuality; }

private:
    void loadWindow();
    void setQuality(int value);

    std::unique_ptr<QDialog> m_window;
    QCheckBox* m_btMailOrignalSize = nullptr;
    QComboBox* m_pubMailSize = nullptr;
    QComboBox* m_pubMailFormat = nullptr;
    QLabel* m_tfEmailQuality = nullptr;
    QLineEdit* m_tfMailQuality = nullptr;
    QSlider* m_slMailQuality = nullptr;
    kx::controls::KXStepper* m_stMailQuality = nullptr;
    bool m_isOK = false;
};
