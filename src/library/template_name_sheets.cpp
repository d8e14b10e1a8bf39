#include "library/template_name_sheets.h"

#include "library/template_alerts.h"
#include "library/user_templates.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kx::templates {

bool confirmTemplateName(QWidget* parent, const QString& typed) {
    const QString name = sanitizedTemplateName(typed);
    if (!isAcceptableTemplateName(name)) {
        runAlert(parent, localized(QStringLiteral("FileEmpty")), localized(QStringLiteral("FileEmptyTip")),
                 {localized(QStringLiteral("OK"))});
        return false;
    }
    const QString path = userTemplatePathForName(name);
    if (!path.isEmpty() && (QFileInfo::exists(path) || QFileInfo(path).isSymLink())) {
        // A translation may leave the name out.
        QString message = localized(QStringLiteral("FileExisted"));
        if (message.contains(QLatin1String("%1")))
            message = message.arg(name);
        const int answer = runAlert(parent, message,
                                    localized(QStringLiteral("FileExistedTip")),
                                    {localized(QStringLiteral("Replace")), localized(QStringLiteral("Cancel"))});
        return answer == 0;
    }
    return true;
}

}  // namespace kx::templates

using kx::templates::localized;

namespace {

QPushButton* addButton(QDialogButtonBox* box, const char* key, QDialogButtonBox::ButtonRole role) {
    return box->addButton(localized(QString::fromLatin1(key)), role);
}

}  // namespace

KXSaveTemplateController::KXSaveTemplateController(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SaveTemplate"));
    setWindowTitle(localized(QStringLiteral("Save as Template")));
    auto* layout = new QVBoxLayout(this);
    m_tfTitle = new QLabel(localized(QStringLiteral("Save as Template")), this);
    QFont heading = m_tfTitle->font();
    heading.setBold(true);
    m_tfTitle->setFont(heading);
    layout->addWidget(m_tfTitle);
    auto* form = new QFormLayout;
    m_nameLabel = new QLabel(localized(QStringLiteral("Name")), this);
    m_tfName = new QLineEdit(localized(QStringLiteral("Untitled")), this);
    m_tfName->selectAll();
    form->addRow(m_nameLabel, m_tfName);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    m_btCancel = addButton(buttons, "Cancel", QDialogButtonBox::RejectRole);
    m_btOK = addButton(buttons, "OK", QDialogButtonBox::AcceptRole);
    m_btOK->setDefault(true);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    connect(m_btOK, &QPushButton::clicked, this, &KXSaveTemplateController::OKClicked);
    connect(m_btCancel, &QPushButton::clicked, this, &KXSaveTemplateController::cancelClicked);
}

QString KXSaveTemplateController::name() const {
    return m_tfName->text();
}

QString KXSaveTemplateController::templatePath() const {
    return m_isOK ? kx::templates::userTemplatePathForName(kx::templates::sanitizedTemplateName(name())) : QString();
}

void KXSaveTemplateController::OKClicked() {
    if (!kx::templates::confirmTemplateName(this, name()))
        return;
    m_isOK = true;
    stopModal();
}

void KXSaveTemplateController::cancelClicked() {
    m_isOK = false;
    stopModal();
}

void KXSaveTemplateController::stopModal() {
    done(m_isOK ? QDialog::Accepted : QDialog::Rejected);
    hide();
}

KXRenameTemplateController::KXRenameTemplateController(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("RenameTemplateWindow"));
    setWindowTitle(localized(QStringLiteral("Rename Template")));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_tfName = new QLineEdit(this);
    form->addRow(new QLabel(localized(QStringLiteral("Name")), this), m_tfName);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* cancel = addButton(buttons, "Cancel", QDialogButtonBox::RejectRole);
    QPushButton* ok = addButton(buttons, "OK", QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    layout->addWidget(buttons);
    connect(ok, &QPushButton::clicked, this, &KXRenameTemplateController::okAction);
    connect(cancel, &QPushButton::clicked, this, &KXRenameTemplateController::cancelAction);
}

void KXRenameTemplateController::setName(const QString& name) {
    m_originalName = name;
    m_tfName->setText(name);
    m_tfName->selectAll();
}

void KXRenameTemplateController::okAction() {
    const QString typed = m_tfName->text();
    // Keeping the name is no replacement of another template.
    const bool unchanged = kx::templates::sanitizedTemplateName(typed) == m_originalName;
    if (!unchanged && !kx::templates::confirmTemplateName(this, typed))
        return;
    stopModal();
    if (m_delegate)
        m_delegate->renameTempalteWithName(typed);
}

void KXRenameTemplateController::cancelAction() {
    stopModal();
}

void KXRenameTemplateController::stopModal() {
    done(QDialog::Rejected);
    hide();
}
