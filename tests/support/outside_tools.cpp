#include "support/outside_tools.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace kxtest {

bool outsideToolsRequired() {
    const QByteArray ci = qgetenv("CI").trimmed().toLower();
    const QByteArray required = qgetenv("KX_REQUIRE_TOOLS").trimmed();
    return ci == "true" || ci == "1" || (!required.isEmpty() && required != "0");
}

QString toolPath(const char* name) {
    const QString program = QString::fromLocal8Bit(name);
    if (program.startsWith(u'/')) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? program : QString();
    }
    return QStandardPaths::findExecutable(program);
}

QStringList missingTools(std::initializer_list<const char*> names) {
    QStringList missing;
    for (const char* name : names) {
        if (toolPath(name).isEmpty())
            missing << QString::fromLocal8Bit(name);
    }
    return missing;
}

}  // namespace kxtest
