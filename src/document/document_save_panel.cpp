#include "document/document_save_panel.h"

#include "platform/foundation/bundle.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace kx {

namespace {

SavePanel::ReplaceQuestion& replaceQuestionSlot() {
    static SavePanel::ReplaceQuestion question;
    return question;
}

QString localized(const char* key) {
    return Bundle::main().localizedString(QString::fromUtf8(key));
}

bool askToReplace(QWidget* panel, const QString& path) {
    if (const auto& question = replaceQuestionSlot())
        return question(panel, path);
    QMessageBox box(QMessageBox::Warning, QString(), localized("ReplaceExisting").arg(QFileInfo(path).fileName()),
                    QMessageBox::NoButton, panel);
    box.setInformativeText(localized("ReplaceExistingTip"));
    QPushButton* replace = box.addButton(localized("Replace"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(localized("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == static_cast<QAbstractButton*>(replace);
}

// Shows a package with the icon of a file, so that it reads as one document rather than a place.
class PackageIconModel : public QIdentityProxyModel {
public:
    explicit PackageIconModel(const SavePanel& panel) : m_panel(panel) {}
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DecorationRole && index.column() == 0) {
            const QString path = QIdentityProxyModel::data(index, QFileSystemModel::FilePathRole).toString();
            if (m_panel.isPackage(path))
                return m_icons.icon(QFileIconProvider::File);
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    const SavePanel& m_panel;
    QFileIconProvider m_icons;
};

}  // namespace

void SavePanel::setReplaceQuestion(ReplaceQuestion question) {
    replaceQuestionSlot() = std::move(question);
}

SavePanel::SavePanel(QWidget* parent) : QFileDialog(parent) {
    setObjectName(QStringLiteral("SavePanel"));
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    // Packages are folders: our own dialog tells them apart. It asks before replacing, packages included.
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::DontConfirmOverwrite);
    setProxyModel(new PackageIconModel(*this));
    connect(this, &QFileDialog::directoryEntered, this, &SavePanel::directoryWasEntered);
}

bool SavePanel::hasPackageExtension(const QString& path) const {
    const QString extension = QFileInfo(path).suffix();
    return !extension.isEmpty() && m_packageExtensions.contains(extension, Qt::CaseInsensitive);
}

bool SavePanel::isPackage(const QString& path) const {
    return hasPackageExtension(path) && QFileInfo(path).isDir();
}

QString SavePanel::typedPath() const {
    const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QString name = edit ? edit->text().trimmed() : QString();
    if (name.isEmpty())
        return {};
    QString path = QDir::isAbsolutePath(name) ? name : directory().filePath(name);
    path = QDir::cleanPath(path);
    // A name without one of our extensions ("Trip", or "Trip 2.0") gets the default one.
    if (!defaultSuffix().isEmpty() && !hasPackageExtension(path) && !QFileInfo(path).isDir())
        path += QLatin1Char('.') + defaultSuffix();
    return path;
}

void SavePanel::setTypedName(const QString& name) {
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(name);
}

void SavePanel::accept() {
    const QString path = typedPath();
    const QFileInfo info(path);
    if (path.isEmpty())
        return;
    // An ordinary folder is a place: the panel goes into it.
    if (info.isDir() && !isPackage(path)) {
        setDirectory(path);
        setTypedName(QString());
        return;
    }
    if ((info.exists() || info.isSymLink()) && !askToReplace(this, path))
        return;
    m_chosenPath = path;
    QDialog::accept();
}

void SavePanel::directoryWasEntered(const QString& folder) {
    if (!isPackage(folder))
        return;
    const QFileInfo package(folder);
    setDirectory(package.absolutePath());
    setTypedName(package.fileName());
    accept();
}

}  // namespace kx
