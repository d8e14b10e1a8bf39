// Feeds arbitrary bytes to the unarchiver as an attributed string (a text storage), then checks what it
// read: the runs cover the text exactly with no empty run and no two equal neighbours, paragraphs tile the
// text, an edit keeps the runs sound, and writing the text again and reading that back gives the same
// archive bytes. A damaged or hostile archive must load sanely or not at all.
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/text/text_storage.h"

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void require(bool condition) {
    if (!condition)
        std::abort();
}

void checkRuns(const kx::AttributedString& text) {
    qsizetype total = 0;
    const kx::TextAttributes* previous = nullptr;
    for (const auto& run : text.runs()) {
        require(run.length > 0);
        require(!previous || !(*previous == run.attributes));
        previous = &run.attributes;
        total += run.length;
    }
    require(total == text.length());
}

std::shared_ptr<kx::TextStorage> read(const QByteArray& data) {
    const auto value = kx::KeyedUnarchiver::unarchiveObjectWithData(data);
    return value ? value->objectAs<kx::TextStorage>() : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool setUp = [] {
        qInstallMessageHandler(quiet);
        kx::registerTextClasses();
        return true;
    }();
    (void)setUp;

    const auto storage = read(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!storage)
        return 0;
    const kx::AttributedString& text = storage->attributedString();
    checkRuns(text);

    qsizetype at = 0;
    while (at < text.length()) {
        const kx::TextRange paragraph = text.paragraphRange(at);
        require(paragraph.location == at && paragraph.length > 0);
        at = paragraph.end();
    }

    const QByteArray once = kx::KeyedArchiver::archivedDataWithRootObject(storage);
    require(!once.isEmpty());
    const auto again = read(once);
    require(again && again->attributedString().string() == text.string());
    require(kx::KeyedArchiver::archivedDataWithRootObject(again) == once);

    kx::AttributedString edited = text;
    edited.replaceCharacters({text.length() / 3, text.length() / 4}, QStringLiteral("x\r\n"));
    edited.setAttributes({0, edited.length() / 2}, text.attributesAt(text.length() - 1));
    checkRuns(edited);
    return 0;
}
