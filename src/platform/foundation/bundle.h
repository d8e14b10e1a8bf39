// The application bundle: the resources folder with Info.plist, string tables and images.
//
// The main bundle's folder is, in this order: the folder set with setMainResourcePath; the folder named by
// the environment variable KX_RESOURCES_DIR; "resources" beside the executable; "share/kollage/resources"
// under the installation prefix (<exe dir>/../share/kollage/resources, where `cmake --install` puts them);
// and, as a fallback for development only, the source tree's resources folder, which counts only for an
// executable inside the build tree it was built in, so an installed or moved program never reads it. Each
// candidate but the first two counts only if it holds an Info.plist. Safe to use from any thread.
#pragma once

#include "platform/foundation/strings_table.h"
#include "platform/foundation/value.h"

#include <QMutex>
#include <QString>

#include <map>
#include <optional>

namespace kx {

class Bundle {
public:
    explicit Bundle(const QString& resourcePath);
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    static Bundle& main();
    // Points the main bundle at a folder (tests use their own); an empty path finds it again as above.
    static void setMainResourcePath(const QString& path);
    // The folder the main bundle would use without setMainResourcePath, for an executable in the given
    // folder (empty: the running executable's).
    static QString findResourcePath(const QString& executableDir = {});

    QString resourcePath() const;

    // The absolute path of an existing resource, or an empty string. `type` is the extension (with or
    // without its dot, or empty when `name` has it), `subfolder` a folder inside the resources. Names that
    // climb out of the resources folder ("..", absolute paths) find nothing.
    QString pathForResource(const QString& name, const QString& type = {}, const QString& subfolder = {}) const;

    // Info.plist, read once; an empty dictionary when it is missing or damaged.
    ValueDictionary infoDictionary() const;
    // The value under a key of Info.plist; nil when missing.
    Value infoValue(const QString& key) const;
    QString bundleIdentifier() const;

    // The text of a key in a string table ("<table>.strings" in the resources); when the table has no such
    // key (or the table is missing or damaged): the fallback when it is not empty, else the key itself.
    QString localizedString(const QString& key, const QString& table = QStringLiteral("Localizable"),
                            const QString& fallback = {}) const;

private:
    void setResourcePath(const QString& path);

    mutable QMutex m_mutex;
    QString m_resourcePath;
    mutable std::optional<ValueDictionary> m_info;
    mutable std::map<QString, StringsTable> m_tables;
};

}  // namespace kx
