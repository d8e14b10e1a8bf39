// Sets or unsets an environment variable for one scope, and puts back what was there before.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace kxtest {

class EnvironmentOverride {
public:
    // Sets the variable to `value`.
    EnvironmentOverride(const char* name, const QByteArray& value) : EnvironmentOverride(name) { qputenv(name, value); }
    // Sets the variable to `value`, or unsets it for null.
    EnvironmentOverride(const char* name, const char* value) : EnvironmentOverride(name) {
        if (value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    ~EnvironmentOverride() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    explicit EnvironmentOverride(const char* name)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name)) {}

    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

}  // namespace kxtest
