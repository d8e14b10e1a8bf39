#include "library/user_templates.h"

#include "document/package_file_calls.h"
#include "graphics/file_utilities.h"
#include "library/template_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>

namespace kx::templates {

namespace {

int renamePath(const QString& from, const QString& to) {
    return packageFileCalls().rename(from, to, 0);
}

// A free hidden name beside the folder, for the template being replaced while the new one moves in.
QString asidePath(const QString& folder) {
    const QString parent = QFileInfo(folder).path();
    QString path;
    do {
        path = parent + QStringLiteral("/.replaced-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    } while (QFileInfo::exists(path));
    return path;
}

}  // namespace

QString sanitizedTemplateName(const QString& typed) {
    QString name = typed;
    name.remove(u'/');
    return name;
}

bool isAcceptableTemplateName(const QString& sanitized) {
    return !sanitized.isEmpty() && !sanitized.startsWith(u'.') && !sanitized.contains(QChar(0));
}

QString userTemplatePathForName(const QString& sanitized) {
    if (!isAcceptableTemplateName(sanitized))
        return {};
    const QString folder = userTemplateFolder();
    return folder.isEmpty() ? QString() : folder + u'/' + sanitized + QStringLiteral(".tpl");
}

QString userTemplateFolderOfFile(const QString& file) {
    QString path = QFileInfo(file).absoluteFilePath();
    while (!path.isEmpty() && path != QLatin1String("/")) {
        const QString parent = QFileInfo(path).path();
        if (lastPathComponent(parent) == QLatin1String("My Templates"))
            return path;
        if (parent == path)
            break;
        path = parent;
    }
    return {};
}

bool isInsideUserTemplateFolder(const QString& folder) {
    const QString base = QFileInfo(userTemplateFolderPath()).canonicalFilePath();
    const QFileInfo info(folder);
    if (base.isEmpty() || !info.exists())
        return false;
    // The entry itself may be a link: its own place counts, never where it points.
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    return parent == base && info.fileName() != QLatin1String(".") && info.fileName() != QLatin1String("..");
}

bool moveTemplateFolder(const QString& from, const QString& to, QString* error) {
    auto fail = [error](const QString& action, const QString& path, int number) {
        if (error)
            *error = fileErrorText(action, path, number);
        return false;
    };
    if (from == to)
        return true;
    if (!QFileInfo::exists(from))
        return fail(QStringLiteral("Cannot rename"), from, ENOENT);
    QString aside;
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink()) {
        aside = asidePath(to);
        if (renamePath(to, aside) != 0)
            return fail(QStringLiteral("Cannot move aside"), to, errno);
    }
    if (renamePath(from, to) != 0) {
        const int number = errno;
        if (!aside.isEmpty())
            renamePath(aside, to);
        return fail(QStringLiteral("Cannot rename"), from, number);
    }
    if (!aside.isEmpty())
        removeTree(aside);
    return true;
}

bool removeUserTemplateFolder(const QString& folder) {
    if (!isInsideUserTemplateFolder(folder))
        return false;
    const QFileInfo info(folder);
    if (info.isSymLink())
        return QFile::remove(folder);
    removeTree(folder);
    return !QFileInfo::exists(folder);
}

}  // namespace kx::templates
