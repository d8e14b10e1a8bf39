// The two small windows of the internet image search: the keyword sheet the clip-art list opens from the
// panel's menu, and the notice that shows where a dropped internet image comes from, with a check box that
// turns the notice off for good (the user setting KXNotShowSearchImageAlert).
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;

class KXSearchImageWindowControllerDelegate {
public:
    virtual ~KXSearchImageWindowControllerDelegate() = default;
    virtual void searchImageOnTheInternetWithKeywords(const QString& keywords) = 0;
};

// "SearchImageWindow": a keyword field with Search and Cancel.
class KXSearchImageWindowController : public QDialog {
    Q_OBJECT
public:
    explicit KXSearchImageWindowController(QWidget* parent = nullptr);
    QLineEdit* tfKeywords() const { return m_tfKeywords; }
    KXSearchImageWindowControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(KXSearchImageWindowControllerDelegate* delegate) { m_delegate = delegate; }
    // Closes the sheet, then hands the field's text to the delegate.
    void searchAction();
    void cancelAction();

private:
    QLineEdit* m_tfKeywords = nullptr;
    KXSearchImageWindowControllerDelegate* m_delegate = nullptr;
};

// "SearchImageAlertWindow": the source address of a dropped internet image as a link.
class KXSearchImageAlertWindowController : public QDialog {
    Q_OBJECT
public:
    explicit KXSearchImageAlertWindowController(QWidget* parent = nullptr);
    // The label reads the localised "SourceURL" followed by the address, which is a link when it is a web
    // address (anything else is shown as plain text).
    void setSourceURL(const QString& address);
    QLabel* tfSourceURL() const { return m_tfSourceURL; }
    QCheckBox* btNotShow() const { return m_btNotShow; }
    void OKAction();
    // Stores the check box's state under KXNotShowSearchImageAlert.
    void notShowAction();

    // How the notice is run; tests answer it without a user. Returns when it is dismissed.
    using Runner = std::function<void(KXSearchImageAlertWindowController& notice)>;
    static void setRunner(Runner runner);
    // Shows the notice for the address as a window-modal sheet on the view's window.
    static void runForSourceURL(QWidget* view, const QString& address);

private:
    QLabel* m_tfSourceURL = nullptr;
    QCheckBox* m_btNotShow = nullptr;
};

// Makes the canvas view show this notice before it places dropped internet images.
void installSearchImageNotice();
