// Qt warnings during a test are faults: a message handler fails the running test on every warning or
// critical message that the test did not announce. A test that provokes a warning on purpose (a damaged
// file, a refused size) says so with an ExpectedQtWarning, which also fails the test when the warning never
// comes. Messages outside any test (start-up, shut-down) make the executable exit with a failure.
#pragma once

#include <QString>

namespace kxtest {

// Installs the handler; called once by the shared test main.
void installQtMessageCheck();
// The number of unexpected warnings seen while no test was running.
int unexpectedQtWarningsOutsideTests();

// While alive, warnings whose text matches `pattern` (a regular expression, searched anywhere in the text)
// are expected and counted instead of failing the test. The destructor fails the test when fewer than
// `atLeast` came. Expectations nest; the innermost matching one counts the message. Any thread's messages
// count.
class ExpectedQtWarning {
public:
    explicit ExpectedQtWarning(const QString& pattern, int atLeast = 1);
    ~ExpectedQtWarning();
    ExpectedQtWarning(const ExpectedQtWarning&) = delete;
    ExpectedQtWarning& operator=(const ExpectedQtWarning&) = delete;

    int count() const;

private:
    friend struct QtMessageCheck;
    QString m_pattern;
    int m_atLeast;
    int m_count = 0;  // guarded by the check's lock
};

}  // namespace kxtest
