// Feeds arbitrary bytes to the reader of the XML project and template format and converts what it reads into
// pages: reading must never crash, run away or present more than one error, what it reads must be consistent
// records, and the conversion must give exactly the pages the records ask for, each of a usable size with no
// more graphs than objects.
#include "document/project_info.h"
#include "document/xml_conversion.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "platform/foundation/geometry.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

int errors = 0;

// Texts are measured with fonts, which need a graphical application (offscreen). It lives until the process
// ends, so Qt's font caches stay reachable for the leak check.
void startGuiApplication() {
    static int argc = 1;
    static char name[] = "fuzz_xml_project";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

void checkConversion(const KXProjectInfo& info, std::int32_t type) {
    // No resource exists: the conversion must cope with every lookup failing, and never touch the disk.
    KXXMLConverter converter([](const QString&, const QString&) { return QString(); });
    const auto pages = converter.applyCollageInfo(info, type, QString());
    const auto records = info.graphInfosToConvert();
    if (pages.size() != records.size())
        std::abort();
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const kx::Size size = pages[i]->pixelSize();
        if (!(size.width >= 1) || !(size.height >= 1) || !std::isfinite(size.width) || !std::isfinite(size.height))
            std::abort();
        if (std::size_t(pages[i]->graphCount()) > records[i]->objectList.size())
            std::abort();
        for (const auto& graph : pages[i]->graphs())
            if (!kx::isFiniteGeometry(graph->relativeRect()))
                std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(quiet), qputenv("QT_QPA_PLATFORM", "offscreen"),
                               startGuiApplication(), setXMLErrorPresenter([](const QString&) { ++errors; }), true);
    (void)ready;
    errors = 0;
    const auto info = KXProjectInfo::initWithData(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!info) {
        if (errors != 1)
            std::abort();
        return 0;
    }
    if (errors != 0 || info->page()->pageCount < 0 || info->graphInfosToConvert().size() > info->GraphList().size())
        std::abort();
    // Every record comes from one start tag, which takes at least four bytes ("<a/>").
    std::size_t objects = 0;
    for (const auto& graph : info->GraphList()) {
        for (const auto& object : graph->objectList) {
            ++objects;
            const std::int32_t type = object->type;
            const bool matches = (type == VRTObjectTypePhoto && dynamic_cast<VRTPhotoObject*>(object.get())) ||
                                 (type == VRTObjectTypeText && dynamic_cast<VRTTextObject*>(object.get())) ||
                                 (type == VRTObjectTypeClipart && dynamic_cast<VRTClipartObject*>(object.get())) ||
                                 (type == VRTObjectTypeShape && dynamic_cast<VRTShapeObject*>(object.get()));
            const auto* calendar = dynamic_cast<VRTCalendarObject*>(object.get());
            if (!matches && !(type == VRTObjectTypeCalendar && calendar))
                std::abort();
            if (calendar && (calendar->weekdays.size() != 7 || calendar->months.size() != 12))
                std::abort();
        }
    }
    if ((info->GraphList().size() + objects) * 4 > size + 4 * 4096)
        std::abort();
    checkConversion(*info, size % 2 == 0 ? KXXMLSourceProject : KXXMLSourceTemplate);
    return 0;
}
