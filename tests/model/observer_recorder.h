// Records the changes an observable announces, for tests of observed keys.
#pragma once

#include "platform/foundation/observable.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace kxtest {

class ObserverRecorder : public kx::KeyObserver {
public:
    struct Change {
        QString key;
        kx::Value oldValue, newValue;
    };
    void observeValue(const QString& key, kx::Observable*, const kx::Value& oldValue,
                      const kx::Value& newValue) override {
        changes.push_back({key, oldValue, newValue});
    }
    QStringList keys() const {
        QStringList k;
        for (const Change& c : changes)
            k << c.key;
        return k;
    }
    std::vector<Change> changes;
};

}  // namespace kxtest
