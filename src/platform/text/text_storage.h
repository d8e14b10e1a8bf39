// The text storage: an attributed string that is edited in place and tells its layout managers and
// the notification centre about every edit.
//
// Edits may be bracketed by beginEditing / endEditing; the edited range and the change in length are
// gathered until the outermost bracket closes, then the storage's observers are called and
// "NSTextStorageDidProcessEditingNotification" is posted on the default centre with the storage as
// sender (only on the main thread: a storage edited by a worker thread tells its own observers only, as
// the default centre is the main thread's). An edit outside a bracket is processed at once.
//
// Archived as an attributed string (class "NSAttributedString"; "NSMutableAttributedString" and
// "NSTextStorage" are read too), in the form foundation/ARCHIVES.md describes.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/text/text_attributes.h"

#include <functional>
#include <map>

namespace kx {

inline const QString kTextStorageDidProcessEditingNotification =
    QStringLiteral("NSTextStorageDidProcessEditingNotification");

// What one processed edit changed: the characters of the new text in `editedRange` are new or have new
// attributes; the text grew by `changeInLength` (negative when it shrank). `charactersChanged` is false
// when only attributes changed.
struct TextEdit {
    TextRange editedRange;
    qsizetype changeInLength = 0;
    bool charactersChanged = false;
};

class TextStorage : public Object, public Coding {
public:
    static inline const QString kClassName = QStringLiteral("NSAttributedString");

    TextStorage() = default;
    explicit TextStorage(AttributedString text) : m_text(std::move(text)) {}
    ~TextStorage() override;

    QString className() const override { return kClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override;
    void initWithCoder(KeyedUnarchiver& coder) override;

    const AttributedString& attributedString() const { return m_text; }
    const QString& string() const { return m_text.string(); }
    qsizetype length() const { return m_text.length(); }

    void beginEditing();
    void endEditing();

    void replaceCharacters(TextRange range, const QString& text);
    void replaceCharacters(TextRange range, const AttributedString& text);
    void setAttributedString(const AttributedString& text);
    void setAttributes(TextRange range, const TextAttributes& attributes);
    void addAttributes(TextRange range, const TextAttributes& attributes);
    void modifyAttributes(TextRange range, const std::function<void(TextAttributes&)>& change);

    // Observers called after every processed edit, before the notification is posted. The id removes it.
    int addEditObserver(std::function<void(const TextEdit&)> observer);
    void removeEditObserver(int id);

private:
    void noteEdit(TextRange oldRange, qsizetype newLength, bool characters);
    void processEditing();

    AttributedString m_text;
    int m_editingDepth = 0;
    bool m_pending = false;
    TextEdit m_edit;
    std::map<int, std::function<void(const TextEdit&)>> m_observers;
    int m_nextObserverId = 1;
};

// Stores an attributed string's keys ("NSString", "NSAttributes") in the object being encoded.
void encodeAttributedString(KeyedArchiver& coder, const AttributedString& text);
// Reads them back; nullopt after failing the archive when they are damaged.
std::optional<AttributedString> decodeAttributedString(KeyedUnarchiver& coder);

// Makes the text classes known to the registry: the attributed string (a TextStorage), "NSFont",
// "NSColor", "NSParagraphStyle", "NSShadow" and their read-only aliases (idempotent).
void registerTextClasses(ClassRegistry& registry = ClassRegistry::shared());

}  // namespace kx
