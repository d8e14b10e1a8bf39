// The inspector of a text object, hosted in the style inspector's object section: the words, the font family
// and face, the bold, italic, underline, strikethrough and outline toggles, the size, the paragraphs'
// alignment and the text's vertical alignment.
//
// Every edit covers the whole text. An edit of the attributed words is one undo step on the text's own page
// (a snapshot of the storage before and after); the size and the vertical alignment are properties of the
// text that its page records itself. An empty text takes attribute edits into its typing attributes, which
// the words typed next get.
//
// Below them: the glyphs' solid colour, and the outline and glow sections, whose settings show only while
// they are switched on (the panel then grows and tells the style inspector).
//
// Faces are found by family and style name: the members of a family are its styles as the font database
// lists them.
#pragma once

#include "inspectors/graph_view_controller.h"
#include "inspectors/value_row.h"
#include "platform/text/text_attributes.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class KXAdvancedText;
class KXText;

namespace kx {
class TextStorage;
}
namespace kx::controls {
class KXColorWell;
class KXSegmentedControl;
class KXStepper;
}  // namespace kx::controls

class KXTextViewController : public KXObjectInspector {
    Q_OBJECT
public:
    // The size shown is the font scale times this; the size field and stepper hold sizes within the limits.
    static constexpr double kSizePerScale = 17.0;
    static constexpr double kMinimumSize = 0.1;
    static constexpr double kMaximumSize = 3000.0;

    // Segments of the style toggles and the Format menu's tags.
    enum StyleSegment { StyleBold = 0, StyleItalic, StyleUnderline, StyleStrikethrough, StyleOutline };
    enum MenuTag {
        TagItalic = 1,
        TagBold = 2,
        TagUnderline = 0,
        TagBigger = 3,
        TagSmaller = 4,
        TagAlignLeft = 200,
        TagAlignCenter = 201,
        TagAlignRight = 202,
        TagAlignJustified = 203,
        TagStyleBold = 300,  // 300 to 304: bold, italic, underline, strikethrough, outline
    };

    KXTextViewController();
    ~KXTextViewController() override;

    // Shows the text of a text object; with null or another kind of object it lets go of its text and the
    // controls keep what they showed.
    void updateUIWithGraph(const std::shared_ptr<KXGraph>& graph) override;
    KXAdvancedText* text() const { return m_text.get(); }
    // Refreshes every control from the text.
    void updateTextUI();

    // ---- Format menu commands ----
    // Aligns every paragraph: 200 left, 201 centre, 202 right, 203 justified, any other tag left.
    void textAlignChangeWithTag(int tag);
    // Switches one style (tags 300 to 304) on or off for the whole text.
    void setStyle(int tag, bool on);
    // Tag 3 makes the text 2 points bigger, any other tag 2 points smaller; nothing for a locked object.
    void modifyFont(int tag);
    struct MenuItemState {
        bool enabled = false;
        bool on = false;
    };
    MenuItemState validateMenuItem(int tag) const;

    // The face that is `bold` and `italic` among the styles of a family, in that size: of the styles with
    // both traits the one with the shortest name (the first in the font database's order on a tie);
    // nullopt when the family has no such face.
    static std::optional<kx::Font> fontWithFamily(const QString& family, bool bold, bool italic, double size);
    static QStringList membersOfFamily(const QString& family);

    // ---- the controls ----
    QPlainTextEdit* textView() const { return m_textView; }
    QComboBox* pubTextFamily() const { return m_pubTextFamily; }
    QComboBox* pubFontStyle() const { return m_pubFontStyle; }
    kx::controls::KXSegmentedControl* segmentFontStyle() const { return m_segmentFontStyle; }
    QLineEdit* tfTextSize() const { return m_tfTextSize; }
    kx::controls::KXStepper* stTextSize() const { return m_stTextSize; }
    kx::controls::KXSegmentedControl* segmentTextAlignment() const { return m_segmentTextAlignment; }
    kx::controls::KXSegmentedControl* scVerticalAlignment() const { return m_scVerticalAlignment; }
    kx::controls::KXColorWell* cwTextColor1() const { return m_cwTextColor1; }
    QCheckBox* btOutline() const { return m_btOutline; }
    QWidget* outlineSettingView() const { return m_outlineSettingView; }
    kx::controls::KXColorWell* cwOutline() const { return m_cwOutline; }
    const ValueRow& outlineWidth() const { return m_outlineWidth; }
    QCheckBox* btGlow() const { return m_btGlow; }
    QWidget* glowSettingView() const { return m_glowSettingView; }
    kx::controls::KXColorWell* cwGlow() const { return m_cwGlow; }
    const ValueRow& glowBlur() const { return m_glowBlur; }
    const ValueRow& glowRadius() const { return m_glowRadius; }

    // Lays the sections out for the switches' states; a change of the panel's height is posted.
    void updateContentView();

protected:
    QWidget* loadView() override;

private:
    void familyChanged();
    void faceChanged();
    void styleSegmentsChanged();
    void alignmentChanged();
    void verticalAlignmentChanged();
    void sizeStepped();
    void sizeTyped(const QString& typed);
    void sizeEditingEnded();
    void wordsChanged();

    // One undoable edit of the attributed words: `change` is applied to every attribute run of the text
    // (to the typing attributes of an empty text); the storage before and after are one undo step on the
    // text's page.
    void editText(const std::function<void(kx::TextAttributes&)>& change);
    // Registers the step back to `before` (and forward to `after`) on the text's page.
    void registerUndo(const kx::AttributedString& before, const kx::AttributedString& after);
    kx::TextAttributes currentAttributes() const;
    // The face the toggles ask for among the members of the current font's family: the selected face when
    // it matches the bold and italic toggles, else the plainest member that does, else the selected face.
    kx::Font faceForToggles() const;
    // Rebuilds the face popup and the toggles from a font and the attributes of the text.
    void updateStyleWithFont(const kx::Font& font, const kx::TextAttributes& attributes);
    void setSize(double size);
    void setFontScaleFromSize(double size);
    void stopObservingStorage();
    void buildEffectSections(QWidget* view);
    // Connects a row of the outline or glow: slider and stepper set the property to their whole value;
    // a typed value is clamped into minimum .. maximum.
    void connectEffectRow(const ValueRow& row, int minimum, int maximum, void (KXText::*setter)(double));
    void updateEffectUI();

    std::shared_ptr<KXGraph> m_graph;
    std::shared_ptr<KXAdvancedText> m_text;
    std::shared_ptr<kx::TextStorage> m_storage;
    int m_storageObserver = 0;
    // False while the inspector fills its controls or edits the text itself: the controls' and the
    // storage's reports are then ignored.
    bool m_isObserving = true;
    bool m_styles[5] = {};

    QPlainTextEdit* m_textView = nullptr;
    QComboBox* m_pubTextFamily = nullptr;
    QComboBox* m_pubFontStyle = nullptr;
    kx::controls::KXSegmentedControl* m_segmentFontStyle = nullptr;
    QLineEdit* m_tfTextSize = nullptr;
    kx::controls::KXStepper* m_stTextSize = nullptr;
    kx::controls::KXSegmentedControl* m_segmentTextAlignment = nullptr;
    kx::controls::KXSegmentedControl* m_scVerticalAlignment = nullptr;
    QWidget* m_effectView = nullptr;
    kx::controls::KXColorWell* m_cwTextColor1 = nullptr;
    QWidget* m_outlineView = nullptr;
    QCheckBox* m_btOutline = nullptr;
    QWidget* m_outlineSettingView = nullptr;
    kx::controls::KXColorWell* m_cwOutline = nullptr;
    ValueRow m_outlineWidth;
    QWidget* m_glowView = nullptr;
    QCheckBox* m_btGlow = nullptr;
    QWidget* m_glowSettingView = nullptr;
    kx::controls::KXColorWell* m_cwGlow = nullptr;
    ValueRow m_glowBlur, m_glowRadius;
};
