// Runs python3 with plistlib to cross-check our property lists and archives against an independent
// implementation, and turns its canonical JSON output back into Values.
#pragma once

#include "platform/foundation/value.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QStringList>

namespace kx::test {

// Path of the interpreter, empty when there is none (tests then skip).
QString pythonPath();

// Runs the script with the arguments; returns its standard output. On a failed run *failure holds
// the exit status and standard error.
QByteArray runPython(const QString& script, const QStringList& args, QString* failure);

// A Python function canon(v) that renders any plistlib value as JSON-ready lists:
// ["int", "12"], ["real", "0.1"], ["string", s], ["data", hex], ["date", iso], ["uid", n],
// ["bool", b], ["array", [...]], ["dict", {...}]. Numbers travel as text so no precision is lost.
extern const char* const kPythonCanon;

// The Value that canon() described. Reals come back as doubles, dates in UTC.
Value valueFromCanon(const QJsonValue& canon);

}  // namespace kx::test
