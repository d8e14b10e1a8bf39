// The panel in which the chooser picks an existing project. Project and template packages are folders; the
// panel shows them among the files and opens one when it is chosen or entered, instead of browsing into it.
// Choosing the "info.xml" inside a package chooses the package.
#pragma once

#include <QFileDialog>
#include <QFileIconProvider>

#include <functional>

// The package extensions the panel accepts: "vrtp3", "vrtplite3", "vrtpkg", "vrtplite", "vrtp".
const QStringList& openableProjectExtensions();
// The package a chosen path stands for: itself when it is a package folder, its folder for the "info.xml" of a
// package; empty otherwise.
QString openablePackageForPath(const QString& path);

// Shows package folders as documents: a file's icon and the kind "project".
class KXPackageIconProvider : public QFileIconProvider {
public:
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;
    using QFileIconProvider::icon;
};

class KXProjectOpenPanel : public QFileDialog {
    Q_OBJECT
public:
    explicit KXProjectOpenPanel(QWidget* parent = nullptr);
    // The package chosen, once the panel was accepted.
    QString chosenPath() const { return m_chosen; }
    void accept() override;

private:
    void directoryWasEntered(const QString& folder);

    QString m_chosen;
    KXPackageIconProvider m_icons;
};

// Runs the panel modally and answers the chosen package, or empty when the user cancelled. Tests replace it.
using ProjectOpenPanelRunner = std::function<QString(QWidget* parent)>;
void setProjectOpenPanelRunner(ProjectOpenPanelRunner runner);
QString runProjectOpenPanel(QWidget* parent);
