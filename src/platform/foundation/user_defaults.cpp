#include "platform/foundation/user_defaults.h"

#include "platform/foundation/property_list.h"

#include <QSettings>
#include <QStandardPaths>
#include <QtDebug>

namespace kx {

UserDefaults::UserDefaults(const QString& filePath) {
    openFile(filePath);
}

UserDefaults::~UserDefaults() = default;

void UserDefaults::openFile(const QString& filePath) {
    if (m_settings)
        m_settings->sync();
    m_settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
}

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults(defaultFilePath());
    return defaults;
}

QString UserDefaults::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kollage/Kollage.conf");
}

void UserDefaults::setStandardFilePath(const QString& filePath) {
    UserDefaults& defaults = standard();
    QMutexLocker lock(&defaults.m_mutex);
    defaults.openFile(filePath.isEmpty() ? defaultFilePath() : filePath);
    defaults.m_registered.clear();
}

QString UserDefaults::filePath() const {
    QMutexLocker lock(&m_mutex);
    return m_settings->fileName();
}

void UserDefaults::registerDefaults(const ValueDictionary& defaults) {
    QMutexLocker lock(&m_mutex);
    for (const auto& [key, v] : defaults)
        m_registered[key] = v;
}

Value UserDefaults::value(const QString& key) const {
    if (key.isEmpty())
        return {};
    QMutexLocker lock(&m_mutex);
    const QVariant stored = m_settings->value(key);
    if (stored.isValid()) {
        // A stored value that no longer reads (a hand-edited file) counts as missing.
        if (std::optional<Value> v = readPropertyList(stored.toByteArray()))
            return *v;
    }
    auto it = m_registered.find(key);
    return it == m_registered.end() ? Value() : it->second;
}

bool UserDefaults::setValue(const QString& key, const Value& value) {
    if (key.isEmpty())
        return false;
    if (value.isNil()) {
        removeValue(key);
        return true;
    }
    QString error;
    const QByteArray data = writePropertyList(value, PropertyListFormat::Binary, &error);
    if (data.isEmpty()) {
        qWarning("UserDefaults: cannot store %s: %s", qPrintable(key), qPrintable(error));
        return false;
    }
    QMutexLocker lock(&m_mutex);
    m_settings->setValue(key, data);
    return true;
}

void UserDefaults::removeValue(const QString& key) {
    if (key.isEmpty())  // QSettings would take an empty key for "everything"
        return;
    QMutexLocker lock(&m_mutex);
    m_settings->remove(key);
}

bool UserDefaults::hasStoredValue(const QString& key) const {
    if (key.isEmpty())
        return false;
    QMutexLocker lock(&m_mutex);
    return m_settings->contains(key);
}

bool UserDefaults::synchronize() {
    QMutexLocker lock(&m_mutex);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

}  // namespace kx
