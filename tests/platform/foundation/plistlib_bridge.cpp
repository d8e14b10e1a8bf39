#include "plistlib_bridge.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>

#include <cmath>
#include <limits>

namespace kx::test {

QString pythonPath() {
    const QString path = QStringLiteral("/usr/bin/python3");
    return QFileInfo(path).isExecutable() ? path : QString();
}

QByteArray runPython(const QString& script, const QStringList& args, QString* failure) {
    QProcess process;
    process.start(pythonPath(), QStringList{QStringLiteral("-c"), script} + args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (failure)
            *failure = QStringLiteral("python3 failed (%1): %2")
                           .arg(process.exitCode())
                           .arg(QString::fromUtf8(process.readAllStandardError()));
        return {};
    }
    return process.readAllStandardOutput();
}

const char* const kPythonCanon = R"(
import datetime, plistlib
def canon(v):
    if isinstance(v, bool): return ['bool', v]
    if isinstance(v, int): return ['int', str(v)]
    if isinstance(v, float): return ['real', repr(v)]
    if isinstance(v, str): return ['string', v]
    if isinstance(v, bytes): return ['data', v.hex()]
    if isinstance(v, datetime.datetime): return ['date', v.isoformat(timespec='milliseconds')]
    if isinstance(v, plistlib.UID): return ['uid', v.data]
    if isinstance(v, list): return ['array', [canon(e) for e in v]]
    if isinstance(v, dict): return ['dict', {k: canon(e) for k, e in v.items()}]
    raise TypeError(type(v))
)";

Value valueFromCanon(const QJsonValue& canon) {
    const QJsonArray pair = canon.toArray();
    const QString kind = pair.at(0).toString();
    const QJsonValue v = pair.at(1);
    if (kind == QLatin1String("bool"))
        return Value(v.toBool());
    if (kind == QLatin1String("int"))
        return Value(v.toString().toLongLong());
    if (kind == QLatin1String("real")) {
        const QString text = v.toString();
        if (text == QLatin1String("nan"))
            return Value(std::nan(""));
        if (text == QLatin1String("inf") || text == QLatin1String("-inf"))
            return Value(text.startsWith(QLatin1Char('-')) ? -std::numeric_limits<double>::infinity()
                                                           : std::numeric_limits<double>::infinity());
        return Value(text.toDouble());
    }
    if (kind == QLatin1String("string"))
        return Value(v.toString());
    if (kind == QLatin1String("data"))
        return Value(QByteArray::fromHex(v.toString().toLatin1()));
    if (kind == QLatin1String("date")) {
        QDateTime date = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
        date.setTimeSpec(Qt::UTC);
        return Value(date);
    }
    if (kind == QLatin1String("uid"))
        return Value(Uid{quint64(v.toInteger())});
    if (kind == QLatin1String("array")) {
        ValueArray array;
        for (const QJsonValue& e : v.toArray())
            array.push_back(valueFromCanon(e));
        return Value(std::move(array));
    }
    if (kind == QLatin1String("dict")) {
        ValueDictionary dict;
        const QJsonObject object = v.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            dict.emplace(it.key(), valueFromCanon(it.value()));
        return Value(std::move(dict));
    }
    return Value(QStringLiteral("<unknown canon %1>").arg(kind));
}

}  // namespace kx::test
