// User defaults: the user's settings, kept in a settings file, with defaults registered at start-up.
//
// A value read is the stored one, else the registered default, else nil. Registered defaults live only in
// memory for the running process. Values are property-list values (numbers, strings, data, dates, arrays,
// dictionaries); each is stored as a binary property list so that its type survives the settings file.
// The shared store may be used from any thread.
#pragma once

#include "platform/foundation/value.h"

#include <QMutex>
#include <QString>

#include <cstdint>
#include <memory>

class QSettings;

namespace kx {

class UserDefaults {
public:
    // A store on its own settings file.
    explicit UserDefaults(const QString& filePath);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The application's store, on defaultFilePath() unless pointed elsewhere.
    static UserDefaults& standard();
    // The user's settings file: "kollage/Kollage.conf" in the user's configuration folder.
    static QString defaultFilePath();
    // Points the application's store at another file (an empty path: back to the default one) and forgets
    // its registered defaults, so that each test starts from a clean store of its own.
    static void setStandardFilePath(const QString& filePath);

    QString filePath() const;

    // Adds to the registered defaults; a key registered again takes the new default.
    void registerDefaults(const ValueDictionary& defaults);

    Value value(const QString& key) const;
    // Stores a value; nil removes the stored one. An empty key is never stored nor removed. A value that a property list cannot hold (an object) is
    // refused with a warning and false.
    bool setValue(const QString& key, const Value& value);
    void removeValue(const QString& key);
    // Whether a value is stored for the key (registered defaults do not count).
    bool hasStoredValue(const QString& key) const;

    // Loose readers of value(key): numbers convert among themselves; other types and nil give zero/empty.
    bool boolValue(const QString& key) const { return value(key).toBool(); }
    std::int64_t integerValue(const QString& key) const { return value(key).toInteger(); }
    double doubleValue(const QString& key) const { return value(key).toDouble(); }
    QString stringValue(const QString& key) const { return value(key).toString(); }

    // Writes pending changes to the file; false when the file cannot be written.
    bool synchronize();

private:
    void openFile(const QString& filePath);

    mutable QMutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
    ValueDictionary m_registered;
};

}  // namespace kx
