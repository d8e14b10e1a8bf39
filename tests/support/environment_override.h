// Setting an environment variable for one test.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace kxtest {

// Sets the variable while it lives and then puts back what was there (or unsets it).
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const QByteArray& value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
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
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

}  // namespace kxtest
