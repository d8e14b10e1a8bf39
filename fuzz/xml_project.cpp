// Feeds arbitrary bytes to the reader of the XML project and template format: reading must never
// crash, run away or present more than one error, and what it reads must be consistent records.
#include "document/project_info.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

int errors = 0;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(quiet), setXMLErrorPresenter([](const QString&) { ++errors; }), true);
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
    return 0;
}
