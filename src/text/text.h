// The text field of a shape: one attributed text in one text storage, laid out by one layout manager in
// one or more columns. Each column is a KXTextContainer, which clips its lines to the owner's outline and
// cuts them around the graphs that wrap text, and a KXTextView, which holds the column's frame, typing
// attributes and selection (it is never shown). The field also carries the settings of the word-art
// drawing (vertical alignment, margin, outline and glow) and offers archiving, observation of those
// settings, the link under a point, whole-text undo and the re-posting of storage edits.
//
// Column layout with vertical alignment and the drawing of a plain text field are in text_layout.cpp.
#pragma once

#include "model/shape_text.h"
#include "platform/foundation/geometry.h"
#include "platform/text/text_layout_manager.h"
#include "platform/text/text_storage.h"
#include "text/text_container.h"

#include <QUrl>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class KXCanvas;
class KXColumnInfo;
class KXText;

enum KXTextVerticalAlignment : std::uint64_t {
    KXTextVerticalAlignmentTop = 0,
    KXTextVerticalAlignmentMiddle = 1,
    KXTextVerticalAlignmentBottom = 2,
};

// Whether a drawing rectangle is worth drawing into: finite, not null, at least 1 wide and high.
bool isDrawableTextRect(const kx::Rect& rect);

// The not-found location of an empty selection.
inline constexpr qsizetype KXTextNotFound = std::numeric_limits<qint64>::max();

// The view object of one column: frame, typing attributes and selection. It draws nothing and is never
// placed in a window; its interface hooks (ruler, font panel, font menu, colour) do nothing.
class KXTextView {
public:
    KXTextView(const kx::Rect& frame, std::shared_ptr<KXTextContainer> container)
        : m_frame(frame), m_container(std::move(container)) {}

    KXText* text() const { return m_text; }
    void setOwner(KXText* text) { m_text = text; }
    const std::shared_ptr<KXTextContainer>& textContainer() const { return m_container; }
    kx::Rect frame() const { return m_frame; }
    void setFrame(const kx::Rect& frame) { m_frame = frame; }
    const kx::TextAttributes& typingAttributes() const { return m_typingAttributes; }
    void setTypingAttributes(const kx::TextAttributes& attributes) { m_typingAttributes = attributes; }
    kx::TextRange selectedRange() const { return m_selectedRange; }
    void setSelectedRange(kx::TextRange range) { m_selectedRange = range; }
    bool ignoreDisplay() const { return m_ignoreDisplay; }
    void setIgnoreDisplay(bool ignore) { m_ignoreDisplay = ignore; }
    bool isOpaque() const { return false; }
    // Links get no extra attributes from the view.
    std::optional<kx::TextAttributes> linkTextAttributes() const { return std::nullopt; }
    void setLinkTextAttributes(const kx::TextAttributes&) {}
    void updateRuler() {}
    void updateFontPanel() {}
    void updateFontMenu() {}

private:
    KXText* m_text = nullptr;
    kx::Rect m_frame;
    std::shared_ptr<KXTextContainer> m_container;
    kx::TextAttributes m_typingAttributes;
    kx::TextRange m_selectedRange;
    bool m_ignoreDisplay = false;
};

class KXText : public KXShapeText {
public:
    // The state an archive is read into: no storage and no columns yet.
    KXText();
    ~KXText() override;
    // A text field of the owner holding the string (empty for the one-argument form).
    static std::shared_ptr<KXText> initWithOwner(kx::ShapeFieldOwner* owner, const QString& string = {});

    QString className() const override { return QStringLiteral("KXText"); }

    // The default character attributes of a new storage.
    static kx::TextAttributes defaultAttributes();

    // ---- content ----
    kx::TextStorage& textStorage();
    const std::shared_ptr<kx::TextStorage>& textStoragePtr() { textStorage(); return m_textStorage; }
    kx::TextLayoutManager* layoutManter() const { return m_layoutManager.get(); }
    const std::vector<std::shared_ptr<KXTextContainer>>& textContainers() const { return m_textContainers; }
    const std::vector<std::unique_ptr<KXTextView>>& textViews() const { return m_textViews; }
    const std::vector<std::shared_ptr<KXColumnInfo>>& columnInfos() const { return m_columnInfos; }
    // Replaces the column widths and gutters (fractions of the text area's width); the containers and views
    // follow the count.
    void setColumnInfos(std::vector<std::shared_ptr<KXColumnInfo>> infos);
    bool isEmpty() const override;
    bool isEditing() const { return false; }
    kx::TextRange selectedRange() const;
    kx::TextAttributes currentAttributes() const;
    // The key window's text view; these views never are in a window.
    KXTextView* textView() const { return nullptr; }

    // ---- settings ----
    std::int64_t columnCount() const { return m_columnCount; }
    void setColumnCount(std::int64_t count) { m_columnCount = count; }
    bool equalColumnWidth() const { return m_equalColumnWidth; }
    void setEqualColumnWidth(bool equal) { m_equalColumnWidth = equal; }
    std::uint64_t verticalAlignment() const { return m_verticalAlignment; }
    void setVerticalAlignment(std::uint64_t alignment) override;
    // Sets the alignment of every paragraph and the typing alignment of every column.
    void setParagraphAlignment(std::int32_t alignment) override;
    bool isTextMarginEnabled() const override { return m_textMarginEnabled; }
    void setTextMarginEnabled(bool enabled);
    double textMargin() const override { return m_textMargin; }
    void setTextMargin(double margin);
    bool isOutlineEnabled() const { return m_outlineEnabled; }
    void setOutlineEnabled(bool enabled);
    double outlineWidth() const { return m_outlineWidth; }
    void setOutlineWidth(double width);
    std::int64_t outlineColorValue() const { return m_outlineColorValue; }
    void setOutlineColorValue(std::int64_t value);
    bool isGlowEnabled() const { return m_glowEnabled; }
    void setGlowEnabled(bool enabled);
    double glowBlur() const { return m_glowBlur; }
    void setGlowBlur(double blur);
    double glowRadius() const { return m_glowRadius; }
    void setGlowRadius(double radius);
    std::int64_t glowColorValue() const { return m_glowColorValue; }
    void setGlowColorValue(std::int64_t value);
    bool isTextDrawing() const { return m_textDrawing; }
    void setUpdateTextContainerGeometry(bool update) { m_updateTextContainerGeometry = update; }
    bool needsTextContainerGeometryUpdate() const { return m_updateTextContainerGeometry; }
    kx::Point textDrawPoint() const { return m_textDrawPoint; }

    // ---- KXShapeText ----
    void updateWrapRect() override;
    std::vector<KXGraph*> wrapGraphs() const override;
    void updateTextContainerGeometry() override { m_updateTextContainerGeometry = true; }
    // Redraws the owner unless the field is drawing itself.
    void setNeedsDisplay() override;
    void finalizeEditing() {}

    // ---- layout and drawing (text_layout.cpp) ----
    void relayoutText();
    kx::Size usedSizeForTextAtColumn(int column, const kx::Rect& bound, bool relayout);
    kx::Size usedSizeForMidAlignmentTextAtColumn(int column, const kx::Rect& bound, bool relayout);
    kx::Size usedSizeForBottomAlignmentTextAtColumn(int column, const kx::Rect& bound, bool relayout);
    // Sets the container's outline raised by offsetY and answers the bounding rectangle of its glyphs.
    kx::Rect boundingRectForGlyphRang(int column, const kx::BezierPath& path, double offsetY, bool relayout);
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect) override;
    virtual void drawTextInContext(kx::BitmapContext& context, const kx::Rect& rect);
    kx::Rect currentDrawRect() const;
    kx::Rect editableRect() const;

    // One line fragment as the drawing sets it: the column and the characters in it.
    struct DrawnLine {
        int column = 0;
        kx::TextRange characters;
        friend bool operator==(const DrawnLine&, const DrawnLine&) = default;
    };
    // The line fragments of the last drawing, in text order: where the lines broke and which characters
    // were laid out at all (text past the last column is not drawn).
    virtual std::vector<DrawnLine> drawnLines();

    // ---- links and undo ----
    // The link under a point of the page's zoomed coordinates; nullopt when there is none.
    std::optional<QUrl> linkStringAtPoint(const kx::Point& point);
    // Replaces the text with `text` and registers the opposite replacement on the page's undo manager.
    void undoString(const kx::AttributedString& text, const kx::AttributedString& redo);

    // ---- observation ----
    QStringList announcedKeys() const override;
    void addObserver(kx::KeyObserver* observer) override;
    void removeObserver(kx::KeyObserver* observer) override;
    using kx::Observable::addObserver;
    using kx::Observable::removeObserver;
    const kx::PropertyTable& propertyTable() const override;

    // ---- archive ----
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

protected:
    // A new field of class T for the owner, made as the designated initialiser makes it.
    template <class T>
    static std::shared_ptr<T> makeWithOwner(kx::ShapeFieldOwner* owner, const QString& string) {
        auto text = std::make_shared<T>();
        text->setOwner(owner);
        text->initTextStorageWithString(string);
        text->initTextContainers();
        text->initColumnInfo();
        return text;
    }
    // The owner as a shape, its page and the page's zoom (0 without them).
    KXShape* ownerShape() const;
    KXCanvas* ownerCanvas() const;
    double zoom() const;
    void initTextStorageWithString(const QString& string);
    void initTextContainers();
    void initColumnInfo();
    // A new column view on the container, configured as every column view is.
    std::unique_ptr<KXTextView> makeView(const kx::Rect& frame, std::shared_ptr<KXTextContainer> container);
    void attachStorage(std::shared_ptr<kx::TextStorage> storage);
    void textStorageDidProcessEditing();
    // Makes the containers and views as many as the column count asks (stored texts may carry fewer).
    void ensureColumns();
    int containerIndex(int column) const;
    // The width of "M" in the current attributes.
    double singleFontWidth() const;
    // The owner's text area at zoom 1, in page units: its top edge measured down from the top of the owner's
    // drawn rectangle, its width and height, and its left edge.
    struct TextArea {
        double top = 0;
        double width = 0;
        double height = 0;
        double x = 0;
    };
    TextArea textAreaOnPage() const;
    // Lays out the columns in the text area; `drawing` when the drawing runs it (see text_layout.cpp).
    void layoutColumns(double top, double areaWidth, double areaHeight, double x, bool drawing,
                       kx::BitmapContext* context);

    bool m_textDrawing = false;

private:
    std::shared_ptr<kx::TextStorage> m_textStorage;
    int m_storageObserver = 0;
    std::unique_ptr<kx::TextLayoutManager> m_layoutManager;
    std::vector<std::shared_ptr<KXTextContainer>> m_textContainers;
    std::vector<std::unique_ptr<KXTextView>> m_textViews;
    std::vector<std::shared_ptr<KXColumnInfo>> m_columnInfos;
    std::int64_t m_columnCount = 1;
    bool m_equalColumnWidth = true;
    std::uint64_t m_verticalAlignment = KXTextVerticalAlignmentTop;
    bool m_textMarginEnabled = true;
    double m_textMargin = 5.0;
    bool m_outlineEnabled = false;
    double m_outlineWidth = 30.0;
    std::int64_t m_outlineColorValue;
    bool m_glowEnabled = false;
    double m_glowBlur = 10.0;
    double m_glowRadius = 50.0;
    std::int64_t m_glowColorValue;
    kx::Size m_naturalSize;
    bool m_updateTextContainerGeometry = false;
    kx::Point m_textDrawPoint;
    // While the drawing measures a column: the owner's editing rectangle (zoomed, y up), the column's left
    // edge and top (page units) and the zoom, from which each measuring step places the wrap objects.
    struct MeasuredColumn {
        kx::Rect editable;
        double x = 0;
        double top = 0;
        double zoom = 1;
    };
    std::optional<MeasuredColumn> m_measuredColumn;
    // The outcome of each column's last vertical-alignment search, reused while the layout is unchanged
    // since the columns were last laid out (text_layout.cpp).
    struct AlignmentSearch {
        std::uint64_t alignment = 0;
        kx::Size bound;
        bool relayout = false;
        kx::Size used;
    };
    std::vector<std::optional<AlignmentSearch>> m_alignmentSearches;
    std::uint64_t m_layoutsAfterColumns = 0;
};
