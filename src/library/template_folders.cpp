#include "library/template_folders.h"

#include "graphics/app_info.h"
#include "graphics/file_utilities.h"
#include "platform/foundation/bundle.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kx::templates {

namespace {

const QString kMyTemplates = QStringLiteral("My Templates");

bool isPlainComponent(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(u'/');
}

}  // namespace

QString builtInTemplatesFolder() {
    return Bundle::main().resourcePath() + QStringLiteral("/Templates");
}

QString boxesFolderPath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString identifier = Bundle::main().bundleIdentifier();
    if (!QDir::isAbsolutePath(base) || !isPlainComponent(identifier))
        return {};
    return base + u'/' + identifier + QStringLiteral("/Boxes");
}

QString userTemplateFolderPath() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString name = bundleName();
    if (!QDir::isAbsolutePath(base) || !isPlainComponent(name))
        return {};
    return base + u'/' + name + u'/' + kMyTemplates;
}

QString userTemplateFolder() {
    const QString path = userTemplateFolderPath();
    if (path.isEmpty() || !QDir().mkpath(path) || !QFileInfo(path).isDir())
        return {};
    return path;
}

QStringList templateFileList(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return {};
    QStringList files = filesInFolder(folder, QStringLiteral("pdf"), true);
    if (files.isEmpty())
        files = filesInFolder(folder, QStringLiteral("jpg"), true);
    // Folders named like files are not pages.
    files.erase(std::remove_if(files.begin(), files.end(), [](const QString& f) { return !QFileInfo(f).isFile(); }),
                files.end());
    return files;
}

QString templateFolderOfFile(const QString& file) {
    if (file.isEmpty())
        return {};
    const QString parent = QFileInfo(file).path();
    if (pathExtension(file).toLower() == QLatin1String("pdf") ||
        lastPathComponent(file) == QLatin1String("Thumbnail.jpg"))
        return QFileInfo(parent).path();
    return parent;
}

bool isCustomTemplatePath(const QString& path) {
    return path.contains(kMyTemplates);
}

QStringList templateCategories() {
    QStringList categories;
    const Value list = Bundle::main().infoValue(QStringLiteral("Template Categories"));
    for (const Value& value : list.toArray())
        if (const QString name = value.toString(); isPlainComponent(name))
            categories << name;
    return categories;
}

}  // namespace kx::templates
