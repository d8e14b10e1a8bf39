// The inspector of a text object, hosted in the style inspector's object section: the words, the font family
// and face, the bold, italic, underline, strikethrough and outline toggles, the size, the paragraphs'
// alignment and the text's vertical alignment.
//
// Every edit covers the whole text. An edit of the attributed words is one undo step on the text's own page
// (a snapshot of the storage before and after); the size and the vertical alignment are properties of the
// text that its page records itself. An empty text takes attribute edits into its typing attributes, which
// the words typed next get.
//
// Below them: the glyphs' fill (one solid colour, a two-colour gradient at an angle, a multi-stop gradient,
// linear or radial, or a pattern image), and the outline and glow sections, whose settings show only while
// they are switched on. The panel's height follows the fill kind and the switches, and a change of it is
// told to the style inspector.
//
// A solid fill is the glyphs' own colour (the fill and stroke colour attributes of the words); every other
// fill lives in the text's background, whose changes the page records as undo steps.
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
#include <vector>

class QCheckBox;
class QComboBox;
class QPushButton;
class QLineEdit;
class QPlainTextEdit;
class KXAdvancedText;
class KXBackground;
class KXText;

namespace kx {
class ImageBrowserView;
class TextStorage;
class UndoManager;
}
namespace kx::controls {
class KXAdGradientView;
class KXColorWell;
class KXPopupWindow;
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

    // The fill menu's items.
    enum FillItem { FillSolidItem = 0, FillGradientItem, FillAdvancedGradientItem, FillPatternItem };
    // Heights of the panel's parts: the words, font, size and alignment controls above; under them the
    // fill (its menu row and the controls of its kind), the outline and the glow sections.
    static constexpr int kUpperHeight = 238;
    static constexpr int kSwitchSectionHeight = 41;
    static constexpr int kSolidFillHeight = 75;
    static constexpr int kGradientFillHeight = 104;
    static constexpr int kFillMenuHeight = 33;

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
    QComboBox* pubFill() const { return m_pubFill; }
    QWidget* fillView() const { return m_fillView; }
    QWidget* colorView() const { return m_colorView; }
    QWidget* adGradientView() const { return m_adGradientView; }
    QWidget* patternView() const { return m_patternView; }
    kx::controls::KXColorWell* cwTextColor1() const { return m_cwTextColor1; }
    kx::controls::KXColorWell* cwTextColor2() const { return m_cwTextColor2; }
    QPushButton* btSwapColor() const { return m_btSwapColor; }
    const ValueRow& gradientAngle() const { return m_gradientAngle; }
    kx::controls::KXAdGradientView* cwAdGradient() const { return m_cwAdGradient; }
    kx::controls::KXSegmentedControl* scAdGradient() const { return m_scAdGradient; }
    const ValueRow& adAngle() const { return m_adAngle; }
    QPushButton* btPattern() const { return m_btPattern; }
    kx::controls::KXPopupWindow* patternWindow() const { return m_patternWindow; }
    kx::ImageBrowserView* ibvPattern() const { return m_ibvPattern; }
    const QStringList& patterns() const { return m_patterns; }
    QCheckBox* btOutline() const { return m_btOutline; }
    QWidget* outlineSettingView() const { return m_outlineSettingView; }
    kx::controls::KXColorWell* cwOutline() const { return m_cwOutline; }
    const ValueRow& outlineWidth() const { return m_outlineWidth; }
    QCheckBox* btGlow() const { return m_btGlow; }
    QWidget* glowSettingView() const { return m_glowSettingView; }
    kx::controls::KXColorWell* cwGlow() const { return m_cwGlow; }
    const ValueRow& glowBlur() const { return m_glowBlur; }
    const ValueRow& glowRadius() const { return m_glowRadius; }

    // Lays the sections out for the fill kind and the switches' states; a change of the panel's height is
    // posted.
    void updateContentView();

    // ---- the fill ----
    // Switches the glyphs' fill to an item of the fill menu; the solid colour of the words is kept.
    void fillTypeChanged(int item);
    // Exchanges the gradient's two colours.
    void swapGradientColors();
    // Opens the pattern chooser under the pattern button.
    void patternFillAction();
    // The person picked pattern `item` of patterns(): the fill takes its image.
    void patternSelected(int item);
    // Sets the multi-stop gradient's stops (eight locations) as one undo step on the text's page; undo and
    // redo exchange the two sets.
    void undoAdGradient(const std::vector<kx::Color>& colors, const std::vector<double>& locations);

    // Switches observing off for as long as it lives.
    class ObservingOff {
    public:
        explicit ObservingOff(bool& flag) : m_flag(flag), m_was(flag) { m_flag = false; }
        ~ObservingOff() { m_flag = m_was; }
        ObservingOff(const ObservingOff&) = delete;
        ObservingOff& operator=(const ObservingOff&) = delete;

    private:
        bool& m_flag;
        bool m_was;
    };

    // One undo group on the text's page for as long as it lives (nothing without a page): an edit of the
    // words and the growth of the frame it may bring are one step.
    class PageUndoGroup {
    public:
        explicit PageUndoGroup(const KXTextViewController& inspector);
        ~PageUndoGroup();
        PageUndoGroup(const PageUndoGroup&) = delete;
        PageUndoGroup& operator=(const PageUndoGroup&) = delete;

    private:
        kx::UndoManager* m_undo = nullptr;
    };

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
    void buildFillSection(QWidget* parent);
    // Shows the sub-view of the fill menu's item and answers the fill section's height.
    int layOutFillView();
    // An angle row of the fill: slider, field and stepper.
    ValueRow makeAngleRow(QWidget* panel, int y, const char* sliderName);
    QWidget* buildColorView();
    QWidget* buildAdGradientView();
    QWidget* buildPatternView();
    void updateFillUI();
    void glyphColorChanged(int which, const QColor& color);
    // An angle from a slider or stepper: -1 is 359 and 360 is 0; the row shows it and the fill takes it.
    void angleStepped(const ValueRow& row, int value);
    // A typed angle is stored as typed; the slider and stepper show its remainder by 360.
    void angleTyped(const ValueRow& row, const QString& typed);
    void adTypeChanged();
    void gradientEdited();
    KXBackground* glyphFill() const;
    // Runs `change` as one undo group on the text's page, then redraws the text.
    void changeFill(const std::function<void(KXBackground&)>& change);

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
    QWidget* m_fillView = nullptr;
    QComboBox* m_pubFill = nullptr;
    QWidget* m_colorView = nullptr;
    kx::controls::KXColorWell* m_cwTextColor1 = nullptr;
    kx::controls::KXColorWell* m_cwTextColor2 = nullptr;
    QPushButton* m_btSwapColor = nullptr;
    ValueRow m_gradientAngle;
    QWidget* m_adGradientView = nullptr;
    kx::controls::KXAdGradientView* m_cwAdGradient = nullptr;
    kx::controls::KXSegmentedControl* m_scAdGradient = nullptr;
    ValueRow m_adAngle;
    QWidget* m_patternView = nullptr;
    QPushButton* m_btPattern = nullptr;
    kx::controls::KXPopupWindow* m_patternWindow = nullptr;
    kx::ImageBrowserView* m_ibvPattern = nullptr;
    QStringList m_patterns;
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
