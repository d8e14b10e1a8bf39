#include "inspectors/text_view_controller.h"

#include "controls/color_well.h"
#include "controls/control_geometry.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "inspectors/inspector_support.h"
#include "graphics/color_utilities.h"
#include "model/canvas.h"
#include "model/shape.h"
#include "platform/foundation/undo_manager.h"
#include "platform/text/text_storage.h"
#include "text/advanced_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>

#include <algorithm>
#include <cmath>

using kx::controls::KXColorWell;
using kx::controls::KXSegmentedControl;
using kx::controls::KXStepper;
using namespace kx::inspectors;

namespace {

// Under the words, font, size and alignment controls: the fill, then the outline and glow sections, each a
// check box row with its settings under it while on.
constexpr int kOutlineSettingHeight = 2 * kValueRowHeight + 4;
constexpr int kGlowSettingHeight = 3 * kValueRowHeight + 4;
constexpr int kOutlineStrokeWidth = 3;

// The paragraph alignment of an alignment segment (0 left, 1 centre, 2 right, 3 justified) and back.
kx::TextAlignment alignmentOfSegment(int segment) {
    switch (segment) {
    case 1:
        return kx::TextAlignment::Center;
    case 2:
        return kx::TextAlignment::Right;
    case 3:
        return kx::TextAlignment::Justified;
    default:
        return kx::TextAlignment::Left;
    }
}

int segmentOfAlignment(kx::TextAlignment alignment) {
    switch (alignment) {
    case kx::TextAlignment::Center:
        return 1;
    case kx::TextAlignment::Right:
        return 2;
    case kx::TextAlignment::Justified:
        return 3;
    default:
        return 0;
    }
}


KXSegmentedControl* makeSegments(QWidget* parent, const char* name, const QStringList& labels, int y,
                                 KXSegmentedControl::SelectionMode mode) {
    auto* control = new KXSegmentedControl(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setSelectionMode(mode);
    control->setSegmentCount(int(labels.size()));
    for (int i = 0; i < labels.size(); ++i) {
        control->setLabel(i, labels[i]);
        control->setTag(i, i);
        // The segments and the gaps between them fill the control's width.
        control->setWidth(i, (kSectionWidth - 28.0 - kx::controls::kSegmentSpacing * double(labels.size() - 1)) /
                                 double(labels.size()));
    }
    control->setGeometry(8, y, kSectionWidth - 28, 24);
    return control;
}

}  // namespace

KXTextViewController::PageUndoGroup::PageUndoGroup(const KXTextViewController& inspector) {
    KXCanvas* page = inspector.m_graph ? inspector.m_graph->canvas() : nullptr;
    if (page) {
        m_undo = &page->undoManager();
        m_undo->beginUndoGrouping();
    }
}

KXTextViewController::PageUndoGroup::~PageUndoGroup() {
    if (m_undo)
        m_undo->endUndoGrouping();
}

KXTextViewController::KXTextViewController() = default;

KXTextViewController::~KXTextViewController() {
    stopObservingStorage();
}

QStringList KXTextViewController::membersOfFamily(const QString& family) {
    return QFontDatabase::styles(family);
}

std::optional<kx::Font> KXTextViewController::fontWithFamily(const QString& family, bool bold, bool italic,
                                                             double size) {
    // Of the matching faces the plainest: a family's list may hold its condensed or light cuts too, and
    // "Bold Italic" is meant rather than "Condensed Bold Italic".
    std::optional<kx::Font> found;
    for (const QString& style : membersOfFamily(family)) {
        const kx::Font face = kx::Font::withFamily(family, style, size);
        if (face.isBold() == bold && face.isItalic() == italic && (!found || style.size() < found->style().size()))
            found = face;
    }
    return found;
}

QWidget* KXTextViewController::loadView() {
    ObservingOff off(m_isObserving);
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("TextView"));
    view->resize(kSectionWidth, kUpperHeight);

    m_textView = new QPlainTextEdit(view);
    m_textView->setObjectName(QStringLiteral("textView"));
    m_textView->setGeometry(8, 6, kSectionWidth - 16, 60);
    connect(m_textView, &QPlainTextEdit::textChanged, this, &KXTextViewController::wordsChanged);

    m_pubTextFamily = new QComboBox(view);
    m_pubTextFamily->setObjectName(QStringLiteral("pubTextFamily"));
    m_pubTextFamily->setGeometry(8, 72, kSectionWidth - 16, 24);
    for (const QString& family : QFontDatabase::families()) {
        m_pubTextFamily->addItem(family);
        QFont font(family);
        font.setPointSize(12);
        m_pubTextFamily->setItemData(m_pubTextFamily->count() - 1, font, Qt::FontRole);
    }
    connect(m_pubTextFamily, &QComboBox::activated, this, &KXTextViewController::familyChanged);

    m_pubFontStyle = new QComboBox(view);
    m_pubFontStyle->setObjectName(QStringLiteral("pubFontStyle"));
    m_pubFontStyle->setGeometry(8, 100, kSectionWidth - 16, 24);
    connect(m_pubFontStyle, &QComboBox::activated, this, &KXTextViewController::faceChanged);

    m_segmentFontStyle = makeSegments(view, "segmentFontStyle", {QStringLiteral("B"), QStringLiteral("I"),
                                      QStringLiteral("U"), QStringLiteral("S"), QStringLiteral("O")},
                                      128, KXSegmentedControl::SelectionMode::SelectAny);
    connect(m_segmentFontStyle, &KXSegmentedControl::activated, this, &KXTextViewController::styleSegmentsChanged);

    m_tfTextSize = new QLineEdit(view);
    m_tfTextSize->setObjectName(QStringLiteral("tfTextSize"));
    m_tfTextSize->setGeometry(8, 156, 80, 22);
    connect(m_tfTextSize, &QLineEdit::textEdited, this, &KXTextViewController::sizeTyped);
    connect(m_tfTextSize, &QLineEdit::editingFinished, this, &KXTextViewController::sizeEditingEnded);
    m_stTextSize = new KXStepper(view);
    m_stTextSize->setObjectName(QStringLiteral("stTextSize"));
    m_stTextSize->setRange(kMinimumSize, kMaximumSize);
    m_stTextSize->setIncrement(1);
    m_stTextSize->setGeometry(92, 156, 19, 22);
    connect(m_stTextSize, &KXStepper::activated, this, &KXTextViewController::sizeStepped);
    auto* points = new QLabel(localized("pt"), view);
    points->setGeometry(116, 156, 40, 22);

    m_segmentTextAlignment = makeSegments(view, "segmentTextAlignment", {localized("Left"), localized("Center"),
                                          localized("Right"), localized("Justify")},
                                          184, KXSegmentedControl::SelectionMode::SelectOne);
    connect(m_segmentTextAlignment, &KXSegmentedControl::activated, this, &KXTextViewController::alignmentChanged);
    m_scVerticalAlignment = makeSegments(view, "scVerticalAlignment",
                                         {localized("Top"), localized("Middle"), localized("Bottom")}, 210,
                                         KXSegmentedControl::SelectionMode::SelectOne);
    connect(m_scVerticalAlignment, &KXSegmentedControl::activated, this,
            &KXTextViewController::verticalAlignmentChanged);
    buildEffectSections(view);
    return view;
}

void KXTextViewController::buildEffectSections(QWidget* view) {
    m_effectView = new QWidget(view);
    m_effectView->setObjectName(QStringLiteral("effectView"));
    buildFillSection(m_effectView);

    auto makeSwitch = [this](const char* name, const char* title, QWidget*& section, QCheckBox*& box,
                             QWidget*& settings, int settingHeight) {
        section = new QWidget(m_effectView);
        box = new QCheckBox(localized(title), section);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(kValueRowLabelX, 8, kSectionWidth - 2 * kValueRowLabelX, 24);
        settings = new QWidget(section);
        settings->setGeometry(0, kSwitchSectionHeight, kSectionWidth, settingHeight);
    };
    makeSwitch("btOutline", "Outline", m_outlineView, m_btOutline, m_outlineSettingView, kOutlineSettingHeight);
    m_outlineSettingView->setObjectName(QStringLiteral("outlineSettingView"));
    m_cwOutline = new KXColorWell(m_outlineSettingView);
    m_cwOutline->setObjectName(QStringLiteral("cwOutline"));
    m_cwOutline->setGeometry(kValueRowControlX, 0, 60, 22);
    m_outlineWidth = makeValueRow(m_outlineSettingView, kValueRowHeight, localized("Width"), 1, 100);
    connectEffectRow(m_outlineWidth, 1, 100, &KXText::setOutlineWidth);

    makeSwitch("btGlow", "Glow", m_glowView, m_btGlow, m_glowSettingView, kGlowSettingHeight);
    m_glowSettingView->setObjectName(QStringLiteral("glowSettingView"));
    m_cwGlow = new KXColorWell(m_glowSettingView);
    m_cwGlow->setObjectName(QStringLiteral("cwGlow"));
    m_cwGlow->setGeometry(kValueRowControlX, 0, 60, 22);
    m_glowBlur = makeValueRow(m_glowSettingView, kValueRowHeight, localized("Blur"), 1, 50);
    connectEffectRow(m_glowBlur, 1, 50, &KXText::setGlowBlur);
    m_glowRadius = makeValueRow(m_glowSettingView, 2 * kValueRowHeight, localized("Radius"), 1, 100);
    connectEffectRow(m_glowRadius, 1, 100, &KXText::setGlowRadius);

    connect(m_btOutline, &QCheckBox::toggled, this, [this](bool on) {
        updateContentView();
        if (m_isObserving && m_text)
            m_text->setOutlineEnabled(on);
    });
    connect(m_btGlow, &QCheckBox::toggled, this, [this](bool on) {
        updateContentView();
        if (m_isObserving && m_text)
            m_text->setGlowEnabled(on);
    });
    connect(m_cwOutline, &KXColorWell::colorChanged, this, [this](const QColor& color) {
        if (m_isObserving && m_text)
            m_text->setOutlineColorValue(std::int64_t(rgbaFromNSColor(srgbColor(color))));
    });
    connect(m_cwGlow, &KXColorWell::colorChanged, this, [this](const QColor& color) {
        if (m_isObserving && m_text)
            m_text->setGlowColorValue(std::int64_t(rgbaFromNSColor(srgbColor(color))));
    });
    updateContentView();
}

void KXTextViewController::connectEffectRow(const ValueRow& row, int minimum, int maximum,
                                            void (KXText::*setter)(double)) {
    auto apply = [this, row, setter](double value) {
        if (!m_isObserving || !m_text)
            return;
        ObservingOff off(m_isObserving);
        row.show(value);
        (m_text.get()->*setter)(value);
    };
    connect(row.slider, &QSlider::valueChanged, this, [apply](int value) { apply(value); });
    connect(row.stepper, &KXStepper::activated, this, [apply, row] { apply(std::round(row.stepper->value())); });
    // A typed value outside the range is clamped and the field keeps what was typed; one inside it is
    // taken as a whole number and the field rewritten with it.
    connect(row.field, &QLineEdit::textEdited, this, [this, row, minimum, maximum, setter, apply](const QString& typed) {
        if (!m_isObserving || !m_text)
            return;
        bool ok = false;
        const double value = typed.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return;
        if (value < minimum || value > maximum) {
            const double clamped = std::clamp(value, double(minimum), double(maximum));
            ObservingOff off(m_isObserving);
            quietly(row.slider, [&](QSlider* slider) { slider->setValue(int(clamped)); });
            row.stepper->setValue(clamped);
            (m_text.get()->*setter)(clamped);
            return;
        }
        apply(std::trunc(value));
    });
    connect(row.field, &QLineEdit::editingFinished, this, [this, row, minimum, maximum] {
        if (!m_isObserving || !m_text)
            return;
        const double value = row.field->text().toDouble();
        if (value < minimum)
            row.field->setText(QString::number(minimum));
        else if (value > maximum)
            row.field->setText(QString::number(maximum));
    });
}

void KXTextViewController::updateContentView() {
    QWidget* panel = view();
    if (!panel || !m_effectView)
        return;
    const bool outline = m_btOutline->isChecked();
    const bool glow = m_btGlow->isChecked();
    const int outlineHeight = kSwitchSectionHeight + (outline ? kOutlineSettingHeight : 0);
    const int glowHeight = kSwitchSectionHeight + (glow ? kGlowSettingHeight : 0);
    m_outlineSettingView->setVisible(outline);
    m_glowSettingView->setVisible(glow);
    const int fillHeight = layOutFillView();
    m_fillView->setGeometry(0, 0, kSectionWidth, fillHeight);
    m_outlineView->setGeometry(0, fillHeight, kSectionWidth, outlineHeight);
    m_glowView->setGeometry(0, fillHeight + outlineHeight, kSectionWidth, glowHeight);
    const int effects = fillHeight + outlineHeight + glowHeight;
    m_effectView->setGeometry(0, kUpperHeight, kSectionWidth, effects);
    const int total = kUpperHeight + effects;
    if (panel->height() != total) {
        panel->resize(kSectionWidth, total);
        postNeedToUpdateContentView();
    }
}

void KXTextViewController::updateEffectUI() {
    ObservingOff off(m_isObserving);
    updateFillUI();
    m_btOutline->setChecked(m_text->isOutlineEnabled());
    m_outlineWidth.show(m_text->outlineWidth());
    m_cwOutline->setColor(nsColorFromRGBA(KXPackedRGBA(m_text->outlineColorValue())).toQColor());
    m_btGlow->setChecked(m_text->isGlowEnabled());
    m_glowBlur.show(m_text->glowBlur());
    m_glowRadius.show(m_text->glowRadius());
    m_cwGlow->setColor(nsColorFromRGBA(KXPackedRGBA(m_text->glowColorValue())).toQColor());
    updateContentView();
}

void KXTextViewController::stopObservingStorage() {
    if (m_storage && m_storageObserver)
        m_storage->removeEditObserver(m_storageObserver);
    m_storage.reset();
    m_storageObserver = 0;
}

void KXTextViewController::updateUIWithGraph(const std::shared_ptr<KXGraph>& graph) {
    auto* shape = dynamic_cast<KXShape*>(graph.get());
    auto* text = shape ? dynamic_cast<KXAdvancedText*>(shape->text()) : nullptr;
    stopObservingStorage();
    if (!text) {
        m_graph.reset();
        m_text.reset();
        return;
    }
    m_graph = graph;
    m_text = std::static_pointer_cast<KXAdvancedText>(text->shared_from_this());
    view();
    updateTextUI();
    postNeedToUpdateContentView();
    // Edits of the words made elsewhere (undo, the canvas) show in the controls.
    m_storage = m_text->textStoragePtr();
    m_storageObserver = m_storage->addEditObserver([this](const kx::TextEdit&) {
        if (m_isObserving)
            updateTextUI();
    });
}

kx::TextAttributes KXTextViewController::currentAttributes() const {
    return m_text ? m_text->currentAttributes() : kx::TextAttributes();
}

void KXTextViewController::updateTextUI() {
    if (!m_text || !view())
        return;
    ObservingOff off(m_isObserving);
    const QString words = m_text->textStorage().attributedString().string();
    if (m_textView->toPlainText() != words)
        m_textView->setPlainText(words);
    const kx::TextAttributes attributes = currentAttributes();
    m_segmentTextAlignment->setSelectedSegment(segmentOfAlignment(attributes.effectiveParagraphStyle().alignment));
    m_scVerticalAlignment->selectSegmentWithTag(int(m_text->verticalAlignment()));
    const kx::Font font = attributes.effectiveFont();
    m_pubTextFamily->setCurrentIndex(m_pubTextFamily->findText(font.family()));
    updateStyleWithFont(font, attributes);
    const double size = m_text->fontScale() * kSizePerScale;
    m_stTextSize->setValue(size);
    m_tfTextSize->setText(QString::asprintf("%.2f", size));
    updateEffectUI();
}

void KXTextViewController::updateStyleWithFont(const kx::Font& font, const kx::TextAttributes& attributes) {
    ObservingOff off(m_isObserving);
    m_pubFontStyle->clear();
    m_segmentFontStyle->setSegmentEnabled(StyleBold, false);
    m_segmentFontStyle->setSegmentEnabled(StyleItalic, false);
    for (int i = 0; i < m_segmentFontStyle->segmentCount(); ++i)
        m_segmentFontStyle->setSelected(i, false);
    int selected = 0;
    const QStringList members = membersOfFamily(font.family());
    for (int i = 0; i < members.size(); ++i) {
        const kx::Font member = kx::Font::withFamily(font.family(), members[i], 12);
        if (member.isBold())
            m_segmentFontStyle->setSegmentEnabled(StyleBold, true);
        if (member.isItalic())
            m_segmentFontStyle->setSegmentEnabled(StyleItalic, true);
        m_pubFontStyle->addItem(members[i]);
        m_pubFontStyle->setItemData(i, member.qfont(), Qt::FontRole);
        if (members[i] == font.style())
            selected = i;
    }
    if (!members.isEmpty())
        m_pubFontStyle->setCurrentIndex(selected);
    m_styles[StyleBold] = font.isBold();
    m_styles[StyleItalic] = font.isItalic();
    m_styles[StyleUnderline] = attributes.underline.value_or(0) != 0;
    m_styles[StyleStrikethrough] = attributes.strikethrough.value_or(0) != 0;
    m_styles[StyleOutline] = attributes.strokeWidth.value_or(0) != 0;
    for (int i = 0; i < 5; ++i)
        m_segmentFontStyle->setSelected(i, m_styles[i]);
}

void KXTextViewController::registerUndo(const kx::AttributedString& before, const kx::AttributedString& after) {
    KXCanvas* page = m_graph ? m_graph->canvas() : nullptr;
    if (!page || before == after)
        return;
    std::weak_ptr<kx::Object> weak = m_text;
    page->undoManager().registerUndo(m_text.get(), [weak, before, after] {
        if (auto text = std::dynamic_pointer_cast<KXText>(weak.lock()))
            text->undoString(before, after);
    });
}

void KXTextViewController::editText(const std::function<void(kx::TextAttributes&)>& change) {
    if (!m_text)
        return;
    ObservingOff off(m_isObserving);
    const kx::TextRange range = m_text->selectedRange();
    if (range.location == KXTextNotFound) {
        // Nothing to change in an empty text: what is typed next takes the change.
        for (const auto& column : m_text->textViews()) {
            kx::TextAttributes typing = column->typingAttributes();
            change(typing);
            column->setTypingAttributes(typing);
        }
        return;
    }
    PageUndoGroup group(*this);
    kx::TextStorage& storage = m_text->textStorage();
    const kx::AttributedString before = storage.attributedString();
    storage.beginEditing();
    storage.modifyAttributes(range, change);
    registerUndo(before, storage.attributedString());
    storage.endEditing();
    // A wider or taller face may no longer fit a frame sized tightly to the words: the frame grows.
    m_text->fitOwnerToText();
    m_text->setNeedsDisplay();
}

kx::Font KXTextViewController::faceForToggles() const {
    const kx::Font current = currentAttributes().effectiveFont();
    const QStringList members = membersOfFamily(current.family());
    if (members.isEmpty())
        return current;
    const int selected = std::clamp(m_pubFontStyle->currentIndex(), 0, int(members.size()) - 1);
    const bool bold = m_segmentFontStyle->isSelected(StyleBold);
    const bool italic = m_segmentFontStyle->isSelected(StyleItalic);
    auto matches = [&](int i) {
        const kx::Font member = kx::Font::withFamily(current.family(), members[i], 12);
        return member.isBold() == bold && member.isItalic() == italic;
    };
    if (matches(selected))
        return kx::Font::withFamily(current.family(), members[selected], current.pointSize());
    return fontWithFamily(current.family(), bold, italic, current.pointSize())
        .value_or(kx::Font::withFamily(current.family(), members[selected], current.pointSize()));
}

void KXTextViewController::familyChanged() {
    if (!m_isObserving || !m_text)
        return;
    const QString family = m_pubTextFamily->currentText();
    const QStringList members = membersOfFamily(family);
    if (members.isEmpty())
        return;
    editText([&](kx::TextAttributes& run) {
        run.font = kx::Font::withFamily(family, members.front(), run.effectiveFont().pointSize());
    });
    const kx::TextAttributes attributes = currentAttributes();
    updateStyleWithFont(kx::Font::withFamily(family, members.front(), attributes.effectiveFont().pointSize()),
                        attributes);
}

void KXTextViewController::faceChanged() {
    if (!m_isObserving || !m_text)
        return;
    const QString family = currentAttributes().effectiveFont().family();
    const QStringList members = membersOfFamily(family);
    const int index = std::max(0, m_pubFontStyle->currentIndex());
    if (index >= members.size())
        return;
    editText([&](kx::TextAttributes& run) {
        run.font = kx::Font::withFamily(family, members[index], run.effectiveFont().pointSize());
    });
    const kx::TextAttributes attributes = currentAttributes();
    updateStyleWithFont(kx::Font::withFamily(family, members[index], attributes.effectiveFont().pointSize()),
                        attributes);
}

void KXTextViewController::styleSegmentsChanged() {
    if (!m_isObserving || !m_text)
        return;
    bool state[5];
    for (int i = 0; i < 5; ++i)
        state[i] = m_segmentFontStyle->isSelected(i);
    int changed = StyleBold;
    for (int i = 0; i < 5; ++i) {
        if (state[i] != m_styles[i]) {
            changed = i;
            break;
        }
    }
    editText([&](kx::TextAttributes& run) {
        switch (changed) {
        case StyleBold:
        case StyleItalic: {
            // A run whose family has no face with the asked traits keeps its font.
            const kx::Font font = run.effectiveFont();
            const bool bold = changed == StyleBold ? state[StyleBold] : font.isBold();
            const bool italic = changed == StyleItalic ? state[StyleItalic] : font.isItalic();
            if (auto face = fontWithFamily(font.family(), bold, italic, font.pointSize()))
                run.font = *face;
            break;
        }
        case StyleUnderline:
            run.underline = state[StyleUnderline] ? kx::kUnderlineSingle : kx::kUnderlineNone;
            break;
        case StyleStrikethrough:
            run.strikethrough = state[StyleStrikethrough] ? 1 : 0;
            break;
        default:
            run.strokeWidth = state[StyleOutline] ? kOutlineStrokeWidth : 0;
            break;
        }
    });
    updateStyleWithFont(faceForToggles(), currentAttributes());
}

void KXTextViewController::setStyle(int tag, bool on) {
    const int segment = tag - TagStyleBold;
    if (!m_text || segment < StyleBold || segment > StyleOutline || !view())
        return;
    m_segmentFontStyle->setSelected(segment, on);
    const bool underline = m_segmentFontStyle->isSelected(StyleUnderline);
    const bool strikethrough = m_segmentFontStyle->isSelected(StyleStrikethrough);
    const bool outline = m_segmentFontStyle->isSelected(StyleOutline);
    const kx::Font face = faceForToggles();
    editText([&](kx::TextAttributes& run) {
        run.font = face.withSize(run.effectiveFont().pointSize());
        run.underline = underline ? kx::kUnderlineSingle : kx::kUnderlineNone;
        run.strikethrough = strikethrough ? 1 : 0;
        run.strokeWidth = outline ? kOutlineStrokeWidth : 0;
    });
    updateStyleWithFont(face, currentAttributes());
}

void KXTextViewController::alignmentChanged() {
    if (m_isObserving && m_text)
        textAlignChangeWithTag(TagAlignLeft + m_segmentTextAlignment->selectedSegment());
}

void KXTextViewController::textAlignChangeWithTag(int tag) {
    if (!m_text || !view())
        return;
    const int segment = tag >= TagAlignLeft && tag <= TagAlignJustified ? tag - TagAlignLeft : 0;
    {
        ObservingOff off(m_isObserving);
        m_segmentTextAlignment->setSelectedSegment(segment);
    }
    kx::ParagraphStyle style = currentAttributes().effectiveParagraphStyle();
    style.alignment = alignmentOfSegment(segment);
    editText([&](kx::TextAttributes& run) { run.paragraphStyle = style; });
}

void KXTextViewController::verticalAlignmentChanged() {
    if (m_isObserving && m_text)
        m_text->setVerticalAlignment(std::uint64_t(std::max(0, m_scVerticalAlignment->selectedSegment())));
}

void KXTextViewController::setFontScaleFromSize(double size) {
    ObservingOff off(m_isObserving);
    PageUndoGroup group(*this);
    m_text->setFontScale(size / kSizePerScale);
    m_text->fitOwnerToText();
    m_text->setNeedsDisplay();
}

void KXTextViewController::setSize(double size) {
    ObservingOff off(m_isObserving);
    size = std::clamp(size, kMinimumSize, kMaximumSize);
    m_stTextSize->setValue(size);
    m_tfTextSize->setText(QString::asprintf("%.2f", size));
    setFontScaleFromSize(size);
}

void KXTextViewController::sizeStepped() {
    if (m_isObserving && m_text)
        setSize(m_stTextSize->value());
}

void KXTextViewController::sizeTyped(const QString& typed) {
    if (!m_isObserving || !m_text)
        return;
    bool ok = false;
    const double value = typed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return;
    const double size = std::clamp(value, kMinimumSize, kMaximumSize);
    ObservingOff off(m_isObserving);
    m_stTextSize->setValue(size);
    setFontScaleFromSize(size);
}

void KXTextViewController::sizeEditingEnded() {
    if (!m_isObserving || !m_text)
        return;
    ObservingOff off(m_isObserving);
    m_tfTextSize->setText(QString::asprintf("%.2f", m_stTextSize->value()));
}

void KXTextViewController::modifyFont(int tag) {
    if (!m_text || !view() || (m_graph && m_graph->isLocked()))
        return;
    const double step = tag == TagBigger ? 2 : -2;
    setSize(m_text->fontScale() * kSizePerScale + step);
}

void KXTextViewController::wordsChanged() {
    if (!m_isObserving || !m_text)
        return;
    ObservingOff off(m_isObserving);
    PageUndoGroup group(*this);
    const kx::AttributedString before = m_text->textStorage().attributedString();
    m_text->setString(m_textView->toPlainText());
    registerUndo(before, m_text->textStorage().attributedString());
    m_text->fitOwnerToText();
    m_text->setNeedsDisplay();
}

KXTextViewController::MenuItemState KXTextViewController::validateMenuItem(int tag) const {
    MenuItemState state;
    if (!m_text || !m_segmentFontStyle || (m_graph && m_graph->isLocked()))
        return state;
    state.enabled = true;
    if (tag == TagBold)
        state.enabled = m_segmentFontStyle->isSegmentEnabled(StyleBold);
    else if (tag == TagItalic)
        state.enabled = m_segmentFontStyle->isSegmentEnabled(StyleItalic);
    else if (tag == TagUnderline)
        state.enabled = m_segmentFontStyle->isSegmentEnabled(StyleUnderline);
    else if (tag >= TagAlignLeft && tag <= TagAlignJustified)
        state.on = m_segmentTextAlignment->selectedSegment() == tag - TagAlignLeft;
    return state;
}
