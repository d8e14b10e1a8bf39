#include "platform/foundation/bundle.h"

#include "platform/foundation/property_list.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

namespace kx {

namespace {

constexpr qint64 kMaxResourceFileSize = 16 * 1024 * 1024;

QString runningExecutableDir() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

bool holdsInfoPlist(const QString& dir) {
    return QFileInfo(dir + QStringLiteral("/Info.plist")).isFile();
}

// A relative path that stays inside the folder it is joined to.
bool staysInside(const QString& relative) {
    if (relative.startsWith(u'/'))
        return false;
    const QStringList parts = relative.split(u'/', Qt::SkipEmptyParts);
    return !parts.contains(QStringLiteral(".."));
}

// Whether the folder is the other one or lies beneath it, both taken with links resolved.
bool isInside(const QString& dir, const QString& root) {
    const QString canonicalDir = QDir(dir).canonicalPath();
    const QString canonicalRoot = QDir(root).canonicalPath();
    if (canonicalDir.isEmpty() || canonicalRoot.isEmpty())
        return false;
    return canonicalDir == canonicalRoot || canonicalDir.startsWith(canonicalRoot + u'/');
}

std::optional<QByteArray> readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (file.size() > kMaxResourceFileSize) {
        qWarning("Bundle: %s is too large to be a resource table", qPrintable(path));
        return std::nullopt;
    }
    return file.readAll();
}

}  // namespace

Bundle::Bundle(const QString& resourcePath) : m_resourcePath(resourcePath) {}

Bundle& Bundle::main() {
    static Bundle bundle(findResourcePath());
    return bundle;
}

void Bundle::setMainResourcePath(const QString& path) {
    main().setResourcePath(path.isEmpty() ? findResourcePath() : path);
}

void Bundle::setResourcePath(const QString& path) {
    QMutexLocker lock(&m_mutex);
    m_resourcePath = path;
    m_info.reset();
    m_tables.clear();
}

QString Bundle::findResourcePath(const QString& executableDir) {
    const QString fromEnvironment = qEnvironmentVariable("KX_RESOURCES_DIR");
    if (!fromEnvironment.isEmpty())
        return QDir(fromEnvironment).absolutePath();
    const QString exeDir = executableDir.isEmpty() ? runningExecutableDir() : executableDir;
    QStringList candidates = {exeDir + QStringLiteral("/resources"),
                              exeDir + QStringLiteral("/../share/kollage/resources")};
#if defined(KX_SOURCE_RESOURCES_DIR) && defined(KX_BUILD_DIR)
    // The source tree serves only executables that still run inside the build tree they were built in: an
    // installed or moved program never reaches into a source folder that happens to exist.
    if (isInside(exeDir, QStringLiteral(KX_BUILD_DIR)))
        candidates << QStringLiteral(KX_SOURCE_RESOURCES_DIR);
#endif
    for (const QString& dir : candidates) {
        if (holdsInfoPlist(dir))
            return QDir(dir).canonicalPath();
    }
    qWarning("Bundle: no resources folder found beside %s", qPrintable(exeDir));
    return QDir(candidates.first()).absolutePath();
}

QString Bundle::resourcePath() const {
    QMutexLocker lock(&m_mutex);
    return m_resourcePath;
}

QString Bundle::pathForResource(const QString& name, const QString& type, const QString& subfolder) const {
    if (name.isEmpty())
        return {};
    QString file = name;
    if (!type.isEmpty())
        file += type.startsWith(u'.') ? type : QStringLiteral(".") + type;
    const QString relative = subfolder.isEmpty() ? file : subfolder + u'/' + file;
    if (!staysInside(relative))
        return {};
    const QFileInfo info(resourcePath() + u'/' + relative);
    return info.exists() ? info.absoluteFilePath() : QString();
}

ValueDictionary Bundle::infoDictionary() const {
    QMutexLocker lock(&m_mutex);
    if (!m_info) {
        m_info = ValueDictionary();
        const QString path = m_resourcePath + QStringLiteral("/Info.plist");
        if (std::optional<QByteArray> data = readSmallFile(path)) {
            QString error;
            const std::optional<Value> plist = readPropertyList(*data, &error);
            if (plist && plist->type() == Value::Type::Dictionary)
                m_info = plist->toDictionary();
            else
                qWarning("Bundle: %s is not a dictionary property list: %s", qPrintable(path), qPrintable(error));
        }
    }
    return *m_info;
}

Value Bundle::infoValue(const QString& key) const {
    const ValueDictionary info = infoDictionary();
    auto it = info.find(key);
    return it == info.end() ? Value() : it->second;
}

QString Bundle::bundleIdentifier() const {
    return infoValue(QStringLiteral("CFBundleIdentifier")).toString();
}

QString Bundle::localizedString(const QString& key, const QString& table, const QString& fallback) const {
    const QString tableName = table.isEmpty() ? QStringLiteral("Localizable") : table;
    QMutexLocker lock(&m_mutex);
    auto it = m_tables.find(tableName);
    if (it == m_tables.end()) {
        StringsTable strings;
        if (staysInside(tableName)) {
            const QString path = m_resourcePath + u'/' + tableName + QStringLiteral(".strings");
            if (std::optional<QByteArray> data = readSmallFile(path)) {
                QString error;
                if (std::optional<StringsTable> parsed = parseStringsTable(*data, &error))
                    strings = std::move(*parsed);
                else
                    qWarning("Bundle: %s: %s", qPrintable(path), qPrintable(error));
            }
        }
        it = m_tables.emplace(tableName, std::move(strings)).first;
    }
    auto found = it->second.find(key);
    if (found != it->second.end())
        return found->second;
    return fallback.isEmpty() ? key : fallback;
}

}  // namespace kx
