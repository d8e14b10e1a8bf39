// Records the notifications of some names as they are posted, for the controls' tests.
#pragma once

#include "platform/foundation/notification_center.h"

#include <QStringList>

#include <vector>

namespace kxtest {

class NotificationRecorder {
public:
    explicit NotificationRecorder(const QStringList& names) {
        for (const QString& name : names) {
            m_tokens.push_back(kx::NotificationCenter::defaultCenter().addObserver(
                name, nullptr, [this](const kx::Notification& n) { posted.push_back(n); }));
        }
    }
    QStringList names() const {
        QStringList all;
        for (const kx::Notification& n : posted)
            all << n.name;
        return all;
    }

    std::vector<kx::Notification> posted;

private:
    std::vector<kx::NotificationToken> m_tokens;
};

}  // namespace kxtest
