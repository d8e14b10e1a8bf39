// Feeds arbitrary bytes to the unarchiver as an attributed string (a text storage), then checks what it
// read: the runs cover the text exactly with no empty run and no two equal neighbours, paragraphs tile the
// text, an edit keeps the runs sound, and writing the text again and reading that back gives the same
// archive bytes. A short text is then laid out in two small columns, queried and drawn: hostile fonts,
// sizes and paragraph styles must lay out in bounded time. A damaged or hostile archive must load sanely
// or not at all.
#include "fuzz_support.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/text/text_layout_manager.h"
#include "platform/text/text_storage.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using kxfuzz::quiet;
using kxfuzz::require;

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

void layOut(const std::shared_ptr<kx::TextStorage>& storage) {
    kx::TextLayoutManager manager(storage);
    manager.addTextContainer(std::make_shared<kx::TextContainer>(kx::Size(120, 60)));
    manager.addTextContainer(std::make_shared<kx::TextContainer>(kx::Size(80, 40)));
    qsizetype end = 0;
    for (const auto& f : manager.lineFragments()) {
        require(f.characters.location == end && f.characters.length >= 0);
        end = f.characters.end();
    }
    require(end == manager.firstUnlaidCharacterIndex() || manager.lineFragments().empty());
    for (int container = 0; container < 2; ++container) {
        const qsizetype index = manager.characterIndexAt(kx::Point(30, 20), container);
        require(index >= -1 && index <= storage->length());
        manager.boundingRect({0, storage->length()}, container);
        manager.characterRangeInRect(kx::Rect(10, 10, 20, 20), container);
    }
    kx::BitmapContext context(64, 64);
    context.translate(0, 64);
    context.scale(1, -1);
    manager.drawBackground(context, 0, kx::Point(0, 0));
    manager.drawGlyphs(context, 0, kx::Point(0, 0));
}

std::shared_ptr<kx::TextStorage> read(const QByteArray& data) {
    const auto value = kx::KeyedUnarchiver::unarchiveObjectWithData(data);
    return value ? value->objectAs<kx::TextStorage>() : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool setUp = [] {
        qInstallMessageHandler(quiet);
        kxfuzz::startGuiApplication("fuzz_text_storage");
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

    if (text.length() <= 2000)
        layOut(storage);
    return 0;
}
