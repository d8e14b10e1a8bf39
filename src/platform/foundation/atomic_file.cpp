#include "platform/foundation/atomic_file.h"

#include <QSaveFile>

namespace kx {

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    QSaveFile file(path);
    // A direct write could leave a half-written file behind; never fall back to it.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(data) != data.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace kx
