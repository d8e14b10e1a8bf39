// The two name sheets of the user's own templates: the one asked when a project is saved as a template, and
// the one that renames a template. Both refuse a name that cannot name a template folder ("FileEmpty") and
// ask before replacing one that exists ("FileExisted"), on the folder name the template will really get.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kx::templates {
// Checks a typed name as a sheet does, with its alerts: true when it may be used (after "Replace" when such a
// template exists).
bool confirmTemplateName(QWidget* parent, const QString& typed);
}  // namespace kx::templates

class KXSaveTemplateController : public QDialog {
    Q_OBJECT
public:
    explicit KXSaveTemplateController(QWidget* parent = nullptr);
    bool isOK() const { return m_isOK; }
    // The name as typed.
    QString name() const;
    // The folder the template is to be written to, once the sheet closed with an accepted name.
    QString templatePath() const;
    QLineEdit* tfName() const { return m_tfName; }

    void OKClicked();
    void cancelClicked();

private:
    void stopModal();

    QLabel* m_tfTitle;
    QLabel* m_nameLabel;
    QLineEdit* m_tfName;
    QPushButton* m_btCancel;
    QPushButton* m_btOK;
    bool m_isOK = false;
};

class KXRenameTemplateControllerDelegate {
public:
    virtual ~KXRenameTemplateControllerDelegate() = default;
    virtual void renameTempalteWithName(const QString& name) = 0;
};

class KXRenameTemplateController : public QDialog {
    Q_OBJECT
public:
    explicit KXRenameTemplateController(QWidget* parent = nullptr);
    void setName(const QString& name);
    QLineEdit* tfName() const { return m_tfName; }
    void setDelegate(KXRenameTemplateControllerDelegate* delegate) { m_delegate = delegate; }

    void okAction();
    void cancelAction();

private:
    void stopModal();

    QLineEdit* m_tfName;
    QString m_originalName;
    KXRenameTemplateControllerDelegate* m_delegate = nullptr;
};
