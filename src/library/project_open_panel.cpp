#include "library/project_open_panel.h"

#include "graphics/file_utilities.h"
#include "library/template_alerts.h"

#include <QFileInfo>

const QStringList& openableProjectExtensions() {
    static const QStringList extensions{QStringLiteral("vrtp3"), QStringLiteral("vrtplite3"), QStringLiteral("vrtpkg"),
                                        QStringLiteral("vrtplite"), QStringLiteral("vrtp")};
    return extensions;
}

QString openablePackageForPath(const QString& path) {
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    auto isPackage = [](const QFileInfo& folder) {
        return folder.isDir() && openableProjectExtensions().contains(folder.suffix().toLower());
    };
    if (isPackage(info))
        return info.absoluteFilePath();
    if (info.fileName() == QLatin1String("info.xml") && isPackage(QFileInfo(info.absolutePath())))
        return info.absolutePath();
    return {};
}

QIcon KXPackageIconProvider::icon(const QFileInfo& info) const {
    if (!openablePackageForPath(info.absoluteFilePath()).isEmpty())
        return QFileIconProvider::icon(QAbstractFileIconProvider::File);
    return QFileIconProvider::icon(info);
}

QString KXPackageIconProvider::type(const QFileInfo& info) const {
    if (!openablePackageForPath(info.absoluteFilePath()).isEmpty())
        return kx::templates::localized(QStringLiteral("ProjectFileType"));
    return QFileIconProvider::type(info);
}

KXProjectOpenPanel::KXProjectOpenPanel(QWidget* parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setIconProvider(&m_icons);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setWindowTitle(kx::templates::localized(QStringLiteral("Choose a Project")));
    setLabelText(QFileDialog::Accept, kx::templates::localized(QStringLiteral("Open")));
    QStringList patterns;
    for (const QString& extension : openableProjectExtensions())
        patterns << QStringLiteral("*.") + extension;
    setNameFilter(kx::templates::localized(QStringLiteral("Projects")) + QStringLiteral(" (") + patterns.join(u' ') +
                  u')');
    connect(this, &QFileDialog::directoryEntered, this, &KXProjectOpenPanel::directoryWasEntered);
}

void KXProjectOpenPanel::accept() {
    const QStringList selected = selectedFiles();
    if (!selected.isEmpty())
        if (const QString package = openablePackageForPath(selected.first()); !package.isEmpty()) {
            m_chosen = package;
            QDialog::accept();
            return;
        }
    QFileDialog::accept();
    // A project kept as one file (an archive) is opened as it is.
    if (result() == QDialog::Accepted && m_chosen.isEmpty() && !selectedFiles().isEmpty()) {
        const QFileInfo file(selectedFiles().first());
        if (file.isFile() && openableProjectExtensions().contains(file.suffix().toLower()))
            m_chosen = file.absoluteFilePath();
    }
}

void KXProjectOpenPanel::directoryWasEntered(const QString& folder) {
    // A package is a document: entering it opens it.
    const QString package = openablePackageForPath(folder);
    if (package.isEmpty())
        return;
    m_chosen = package;
    QDialog::accept();
}

namespace {

ProjectOpenPanelRunner& runnerSlot() {
    static ProjectOpenPanelRunner runner;
    return runner;
}

}  // namespace

void setProjectOpenPanelRunner(ProjectOpenPanelRunner runner) {
    runnerSlot() = std::move(runner);
}

QString runProjectOpenPanel(QWidget* parent) {
    if (runnerSlot())
        return runnerSlot()(parent);
    KXProjectOpenPanel panel(parent);
    return panel.exec() == QDialog::Accepted ? panel.chosenPath() : QString();
}
