// The sheet shown after an export: the success sheet (headline, explanation, a check box that turns the
// sheet off for later exports, OK and Cancel) or the failure sheet (headline and explanation with OK only).
// OK posts KXConversionInfoPaneClosed, on which the export controller reveals the exported file.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QCheckBox;
class QDialog;
class QLabel;
class QPushButton;
class QWidget;

// Posted (object: the sheet controller) when the sheet is closed with OK.
inline const QString KXConversionInfoPaneClosed = QStringLiteral("KXConversionInfoPaneClosed");

class KXConversionInfoController : public QObject {
    Q_OBJECT
public:
    KXConversionInfoController();
    ~KXConversionInfoController() override;

    QDialog* window();
    // The sheets, shown window-modal on `parent`; `detail` (may be empty) is added to the explanation.
    void showSaveInfoForFile(const QString& path, QWidget* parent);
    void showExportFailedInfo(QWidget* parent, const QString& detail = {});

    void ok();
    void cancel();
    // The check box's action: remembers its state and stores the opposite as the success-sheet default.
    void dontShowChanged();

    int result() const { return m_result; }
    bool dontShow() const { return m_dontShow; }
    QString filePath() const { return m_filePath; }

    QLabel* tfMsg() const { return m_tfMsg; }
    QLabel* tfInfo() const { return m_tfInfo; }
    QCheckBox* ds() const { return m_ds; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    void loadWindow();
    void present(QWidget* parent);

    std::unique_ptr<QDialog> m_window;
    QLabel* m_tfMsg = nullptr;
    QLabel* m_tfInfo = nullptr;
    QCheckBox* m_ds = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    int m_result = 0;
    bool m_dontShow = false;
    QString m_filePath;
};

// Whether a successful export shows its sheet (the user default "KXShowExportingTip").
bool showsExportingTip();
