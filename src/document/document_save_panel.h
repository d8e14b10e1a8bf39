// The save panel of a save as. Project packages are folders, which a file dialog would treat as places to
// walk into; this panel treats a folder with one of the package extensions as one item: a package that is
// typed, chosen or double-clicked is the file to save to (after the user agreed to replace it), never a
// folder to enter. Ordinary folders are entered as usual. A name typed without a package extension gets the
// default suffix.
#pragma once

#include <QFileDialog>
#include <QStringList>

#include <functional>

namespace kx {

class SavePanel : public QFileDialog {
    Q_OBJECT
public:
    explicit SavePanel(QWidget* parent = nullptr);

    // The extensions (without dot, any letter case) of the folders that are packages.
    void setPackageExtensions(const QStringList& extensions) { m_packageExtensions = extensions; }
    const QStringList& packageExtensions() const { return m_packageExtensions; }
    // Whether the path names an existing folder with a package extension.
    bool isPackage(const QString& path) const;
    bool hasPackageExtension(const QString& path) const;

    // The path the typed name stands for: inside the shown folder unless absolute, with the default suffix
    // appended when the name does not end in a package extension. Empty while no name is typed.
    QString typedPath() const;
    // The path chosen when the panel was accepted; empty before.
    QString chosenPath() const { return m_chosenPath; }

    // Asks whether an existing file or package may be replaced; the default asks with a message box.
    using ReplaceQuestion = std::function<bool(QWidget* panel, const QString& path)>;
    static void setReplaceQuestion(ReplaceQuestion question);

    // Accepts a typed name that is new, or that names an existing package or file the user agrees to
    // replace; a typed ordinary folder is entered instead, and no name does nothing.
    void accept() override;

private:
    // A package entered (double-clicked, or reached through the path field) is chosen instead.
    void directoryWasEntered(const QString& folder);
    void setTypedName(const QString& name);

    QStringList m_packageExtensions;
    QString m_chosenPath;
};

}  // namespace kx
