#include "platform/text/text_storage.h"

#include "platform/foundation/notification_center.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>

namespace kx {

TextStorage::~TextStorage() = default;

void TextStorage::beginEditing() {
    ++m_editingDepth;
}

void TextStorage::endEditing() {
    if (m_editingDepth == 0)
        return;
    if (--m_editingDepth == 0 && m_pending)
        processEditing();
}

void TextStorage::noteEdit(TextRange oldRange, qsizetype newLength, bool characters) {
    const qsizetype delta = newLength - oldRange.length;
    if (!m_pending) {
        m_edit = {{oldRange.location, newLength}, delta, characters};
        m_pending = true;
    } else {
        // Map the gathered range into the new text and unite it with this edit's new range.
        TextRange& r = m_edit.editedRange;
        qsizetype start = r.location, end = r.end();
        if (start >= oldRange.end())
            start += delta;
        else if (start > oldRange.location)
            start = oldRange.location;
        if (end >= oldRange.end())
            end += delta;
        else if (end > oldRange.location)
            end = oldRange.location + newLength;
        start = std::min(start, oldRange.location);
        end = std::max(end, oldRange.location + newLength);
        r = {start, end - start};
        m_edit.changeInLength += delta;
        m_edit.charactersChanged = m_edit.charactersChanged || characters;
    }
    if (m_editingDepth == 0)
        processEditing();
}

void TextStorage::processEditing() {
    m_pending = false;
    const TextEdit edit = m_edit;
    // Copy, so that observers may remove themselves.
    const auto observers = m_observers;
    for (const auto& [id, observer] : observers)
        observer(edit);
    // The default centre belongs to the main thread: storages that worker threads edit (the copies that
    // output rendering draws) tell only their own observers.
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        NotificationCenter::defaultCenter().post(kTextStorageDidProcessEditingNotification, this);
}

void TextStorage::replaceCharacters(TextRange range, const QString& text) {
    range.location = std::clamp<qsizetype>(range.location, 0, length());
    range.length = std::clamp<qsizetype>(range.length, 0, length() - range.location);
    m_text.replaceCharacters(range, text);
    noteEdit(range, text.size(), true);
}

void TextStorage::replaceCharacters(TextRange range, const AttributedString& text) {
    range.location = std::clamp<qsizetype>(range.location, 0, length());
    range.length = std::clamp<qsizetype>(range.length, 0, length() - range.location);
    m_text.replaceCharacters(range, text);
    noteEdit(range, text.length(), true);
}

void TextStorage::setAttributedString(const AttributedString& text) {
    replaceCharacters({0, length()}, text);
}

void TextStorage::modifyAttributes(TextRange range, const std::function<void(TextAttributes&)>& change) {
    range.location = std::clamp<qsizetype>(range.location, 0, length());
    range.length = std::clamp<qsizetype>(range.length, 0, length() - range.location);
    m_text.modifyAttributes(range, change);
    noteEdit(range, range.length, false);
}

void TextStorage::setAttributes(TextRange range, const TextAttributes& attributes) {
    modifyAttributes(range, [&](TextAttributes& a) { a = attributes; });
}

void TextStorage::addAttributes(TextRange range, const TextAttributes& attributes) {
    modifyAttributes(range, [&](TextAttributes& a) { a.merge(attributes); });
}

int TextStorage::addEditObserver(std::function<void(const TextEdit&)> observer) {
    const int id = m_nextObserverId++;
    m_observers.emplace(id, std::move(observer));
    return id;
}

void TextStorage::removeEditObserver(int id) {
    m_observers.erase(id);
}

void TextStorage::encodeWithCoder(KeyedArchiver& coder) const {
    encodeAttributedString(coder, m_text);
}

void TextStorage::initWithCoder(KeyedUnarchiver& coder) {
    if (auto text = decodeAttributedString(coder))
        m_text = std::move(*text);
}

}  // namespace kx
