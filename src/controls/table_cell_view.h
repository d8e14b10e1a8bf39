// A cell of the content store's pack list: the pack's logo, its name and description, a download button
// and two progress indicators (one spins while the logo loads, one shows a download's progress).
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

class KXTableCellView : public QWidget {
    Q_OBJECT
public:
    explicit KXTableCellView(QWidget* parent = nullptr);

    QLabel* imageView() const { return m_imageView; }
    QLabel* titleTextField() const { return m_tfTitle; }
    QLabel* descriptionTextField() const { return m_tfDescription; }
    QPushButton* downloadButton() const { return m_btDownload; }
    // Busy (no range) while the logo loads; hidden otherwise.
    QProgressBar* loadingProgressIndicator() const { return m_piLoadLogo; }
    QProgressBar* downloadProgressIndicator() const { return m_piDownload; }

private:
    QLabel* m_imageView = nullptr;
    QLabel* m_tfTitle = nullptr;
    QLabel* m_tfDescription = nullptr;
    QPushButton* m_btDownload = nullptr;
    QProgressBar* m_piLoadLogo = nullptr;
    QProgressBar* m_piDownload = nullptr;
};
