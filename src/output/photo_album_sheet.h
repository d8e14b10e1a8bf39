// The photo-album sheet: the name the pages are sent under.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QDialog;
class QLineEdit;
class QWidget;

// Posted (object: the sheet controller) when the sheet closes.
inline const QString KXExportiPhotoClose = QStringLiteral("KXExportiPhotoClose");

class KXExportiPhoto : public QObject {
    Q_OBJECT
public:
    KXExportiPhoto();
    ~KXExportiPhoto() override;

    QDialog* window();
    // Runs the sheet modally on `parent`, the field showing `suggested` the first time; true after OK.
    bool runSheet(QWidget* parent, const QString& suggested);
    void OK();
    void cancel();
    bool isCancel() const { return m_isCancel; }
    QString name() const { return m_name; }
    QLineEdit* tfName() const { return m_tfName; }

private:
    void loadWindow();

    std::unique_ptr<QDialog> m_window;
    QLineEdit* m_tfName = nullptr;
    QString m_name;
    bool m_isCancel = false;
    bool m_suggested = false;
};
