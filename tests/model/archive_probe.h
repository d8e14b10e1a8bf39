// Reads our archives with python3's plistlib, an implementation independent of ours, and reports the
// keys of the root object with the kind of value plistlib found under each.
#pragma once

#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/value.h"
#include "support/run_program.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kxtest {

inline bool hasPython() { return QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable(); }

// For each key of the archive's root object: [kind, value], kind one of "int", "real", "bool", "string",
// "data" (hex), "object" (the class name of a referenced object), "$class" (the root's class name, then its
// chain of classes as "$classes" lists them).
inline QJsonObject rootKeysSeenByPlistlib(const QByteArray& archive) {
    static const char* const script = R"(
import json, plistlib, sys
with open(sys.argv[1], 'rb') as f:
    d = plistlib.load(f)
assert d['$archiver'] == 'NSKeyedArchiver'
objs = d['$objects']
root = objs[d['$top']['root'].data]
out = {}
for k, v in root.items():
    if k == '$class':
        out[k] = ['$class', objs[v.data]['$classname'], objs[v.data]['$classes']]
        continue
    if isinstance(v, plistlib.UID):
        v = objs[v.data]
        if isinstance(v, str): out[k] = ['string', v]
        elif isinstance(v, bytes): out[k] = ['data', v.hex()]
        elif isinstance(v, dict) and '$class' in v: out[k] = ['object', objs[v['$class'].data]['$classname']]
        else: out[k] = ['other', repr(v)]
    elif isinstance(v, bool): out[k] = ['bool', v]
    elif isinstance(v, int): out[k] = ['int', v]
    elif isinstance(v, float): out[k] = ['real', v]
    elif isinstance(v, str): out[k] = ['string', v]
    else: out[k] = ['other', repr(v)]
print(json.dumps(out))
)";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.plist"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(archive) != archive.size())
        return {};
    file.close();
    const kxtest::ProgramResult python =
        kxtest::runProgram(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script), path});
    if (!python.succeeded()) {
        ADD_FAILURE() << "plistlib could not read the archive: " << python.standardError.toStdString();
        return {};
    }
    return QJsonDocument::fromJson(python.standardOutput).object();
}

// The kind plistlib reported for a key, or "missing".
inline std::string kindOf(const QJsonObject& keys, const char* key) {
    const auto found = keys.find(QString::fromUtf8(key));
    return found == keys.end() ? std::string("missing") : found->toArray().at(0).toString().toStdString();
}

inline QJsonValue valueOf(const QJsonObject& keys, const char* key) {
    return keys.value(QString::fromUtf8(key)).toArray().at(1);
}

// The root's chain of classes, class first.
inline QStringList classChainOf(const QJsonObject& keys) {
    return keys.value(QStringLiteral("$class")).toArray().at(2).toVariant().toStringList();
}

// Archives an object as the root.
inline QByteArray archiveOf(const kx::Object& object) {
    kx::KeyedArchiver archiver;
    archiver.encodeObject(object, QStringLiteral("root"));
    EXPECT_FALSE(archiver.failed()) << archiver.error().toStdString();
    return archiver.encodedData();
}

}  // namespace kxtest
