// The word-art text field every new shape holds: a KXText whose glyphs are scaled to the owner's frame by a
// font scale and rendered, at each drawing, into an offscreen bitmap in up to three passes: a blurred glow,
// an outline, and a fill that is either the text's own colours or a page-style fill seen through the
// glyphs. The bitmap is drawn centred on the shape and released; nothing is cached between drawings.
#pragma once

#include "text/text.h"

#include "platform/gfx/image.h"

class KXBackground;

class KXAdvancedText : public KXText {
public:
    KXAdvancedText();
    ~KXAdvancedText() override;
    static std::shared_ptr<KXAdvancedText> initWithOwner(kx::ShapeFieldOwner* owner, const QString& string = {});

    QString className() const override { return QStringLiteral("KXAdvancedText"); }

    double fontScale() const { return m_fontScale; }
    // A scale that is zero, negative or not a finite number is refused (the text would vanish or the
    // layout divide by zero).
    void setFontScale(double scale);
    KXBackground* background() const { return m_background.get(); }
    const std::shared_ptr<KXBackground>& backgroundPtr() const { return m_background; }
    void setBackground(std::shared_ptr<KXBackground> background);

    // The size of the whole text laid out without limits.
    kx::Size naturalSize();
    // The size of the text as drawn in the owner's frame (layoutSize), in text units: words that do not all
    // fit there are drawn whole and scaled down into it, and this is their scaled size.
    kx::Size textSize();
    // Fits the font scale to the owner's width; nothing when the text has no width.
    void updateFontScale();
    // Sizes the owner to the text at the font scale, keeping its left and top edges.
    void updateRelativeRect();
    // Grows the owner so that the words it no longer holds fit it again at the font scale: in height for
    // words wrapped at its width, in both directions for words on their own unwrapped lines, whichever shows
    // them larger. The top edge stays, and the left edge, the middle or the right edge as the first paragraph
    // is aligned. False (and nothing changes) when the words fit or the owner is locked. For edits a person
    // makes to the words, their faces or their size; the frame changes through the page, which records it
    // for undo.
    bool fitOwnerToText();
    // Replaces the whole text, keeping the attributes of its first character.
    void setString(const QString& string);

    void drawTextInContext(kx::BitmapContext& context, const kx::Rect& rect) override;
    // The lines of the last pass that set the text (one column).
    std::vector<DrawnLine> drawnLines() override { return m_drawnLines; }

    // ---- the steps of the drawing ----
    // The rendered text, or a null image for an empty text, an empty owner or a bitmap that cannot be made.
    kx::Image image();
    // A bitmap of (w, h) points at the screen's backing scale, scaled so that drawing in points fills it;
    // null when it cannot be made.
    std::unique_ptr<kx::BitmapContext> contextWithSize(kx::Size size) const;
    void drawGlowInContext(kx::BitmapContext& context, kx::Size size);
    void drawTextInContext(kx::BitmapContext& context, const kx::Rect& rect, double strokeWidth,
                           const kx::Color& strokeColor);
    void drawTextStorage(const kx::AttributedString& text, kx::BitmapContext& context, const kx::Rect& rect);
    void fillTextInContext(kx::BitmapContext& context, const kx::Rect& rect);
    kx::Image maskTextImageWithSize(kx::Size size);
    void updateRenderImage(bool flag);
    // The height of "gyqpA" in the current attributes.
    double sampleLineHeight() const;

    void addObserver(kx::KeyObserver* observer) override;
    void removeObserver(kx::KeyObserver* observer) override;
    using kx::Observable::addObserver;
    using kx::Observable::removeObserver;
    const kx::PropertyTable& propertyTable() const override;

    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    static std::shared_ptr<KXBackground> defaultBackground();
    // Half the owner's border width truncated to whole points when its stroke is on, else 0.
    double halfBorderWidth() const;
    // The size the text is set in, in text units: the owner's frame on the page less its border, divided by
    // the font scale. It is taken from the page alone, never from the zoom, so that the text breaks into the
    // same lines on screen at every zoom, in export and in print; the drawing scales those lines.
    kx::Size layoutSize() const;
    // Measures the text in one container of that size with a layout manager of its own.
    kx::Size measuredSize(kx::Size containerSize);

    double m_fontScale = 1.0;
    std::shared_ptr<KXBackground> m_background;
    kx::Image m_renderImage;
    std::vector<DrawnLine> m_drawnLines;
};
