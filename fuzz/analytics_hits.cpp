// Encodes arbitrary category, action and label texts (and tracking id and page name) into analytics hits:
// splitting each hit at "&" and "=" and percent-decoding must give back exactly the fields, whatever the
// texts hold.
#include "app_services/ga_object.h"

#include "platform/foundation/user_defaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>

#include <cstdint>
#include <cstdlib>
#include <map>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

std::map<QByteArray, QString> fields(const QByteArray& hit) {
    std::map<QByteArray, QString> out;
    for (const QByteArray& pair : hit.split('&')) {
        const qsizetype eq = pair.indexOf('=');
        check(eq > 0);
        const QByteArray key = pair.left(eq);
        check(!out.count(key));
        out[key] = QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1)));
    }
    return out;
}

GAObject& client() {
    static int argc = 1;
    static char name[] = "fuzz_analytics_hits";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static kx::UserDefaults defaults(QDir::temp().filePath(QStringLiteral("fuzz_analytics_hits.conf")));
    static GAObject object(defaults);
    return object;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Four texts separated by zero bytes: tracking id, category, action, label (the label doubles as the
    // page name). Invalid UTF-8 turns into replacement characters, which must survive as well.
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0');
    const QString tid = QString::fromUtf8(parts.value(0)), category = QString::fromUtf8(parts.value(1)),
                  action = QString::fromUtf8(parts.value(2)), label = QString::fromUtf8(parts.value(3));
    GAObject& ga = client();
    ga.setTrackerID(tid);
    const int value = parts.size() > 4 ? parts[4].size() - 3 : 1;

    const auto event = fields(ga.eventHit(category, action, label, value));
    check(event.size() == 8);
    check(event.at("v") == "1" && event.at("tid") == tid && event.at("cid") == ga.GetHardwareUUID());
    check(event.at("t") == "event" && event.at("ec") == category && event.at("ea") == action);
    check(event.at("el") == label && event.at("ev") == QString::number(value));

    const auto page = fields(ga.pageViewHit(label));
    check(page.size() == 8);
    check(page.at("tid") == tid && page.at("dh") == "http://" + label + "/" && page.at("dp") == "/home");
    return 0;
}
