// The text inspector's fill section: the fill menu and, under it, the controls of the chosen kind. A solid
// fill is the glyphs' own colour; the gradients and the pattern live in the text's background.
#include "inspectors/text_view_controller.h"

#include "controls/color_well.h"
#include "controls/control_geometry.h"
#include "controls/gradient_editor.h"
#include "controls/image_browser_view.h"
#include "controls/popup_window.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "graphics/color_utilities.h"
#include "inspectors/fill_section.h"
#include "inspectors/inspector_support.h"
#include "inspectors/style_values.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "platform/foundation/undo_manager.h"
#include "text/advanced_text.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

using kx::controls::KXAdGradientView;
using kx::controls::KXColorWell;
using kx::controls::KXSegmentedControl;
using kx::controls::KXStepper;
using namespace kx::inspectors;

namespace {

// The two-colour controls: the colour wells with the swap button between them, the angle row under them.
constexpr int kColorViewHeight = 71;
constexpr int kSolidColorViewHeight = 42;
constexpr int kAdGradientViewHeight = 116;
constexpr int kPatternViewHeight = 70;

QWidget* makeFillPanel(QWidget* parent, const char* name, int height) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->resize(kSectionWidth, height);
    panel->hide();
    return panel;
}

// Sets a text's multi-stop gradient and registers the step back, with the text as target, on its page: undo
// puts the kept stops back through this same function, which registers the redo. The step holds the text
// weakly and outlives the inspector.
void exchangeStops(const std::shared_ptr<KXAdvancedText>& text, KXCanvas* page, const std::vector<kx::Color>& colors,
                   const std::vector<double>& locations) {
    KXBackground* fill = text->background();
    if (!fill || colors.empty() || locations.size() != std::size_t(kMaxGradientStops))
        return;
    const std::vector<kx::Color> keptColors = fill->gradientColorArray();
    const std::vector<double> keptLocations(fill->gradientLocations().begin(), fill->gradientLocations().end());
    std::array<double, kMaxGradientStops> stops{};
    std::transform(locations.begin(), locations.end(), stops.begin(), [](double l) { return double(float(l)); });
    fill->setAdGradientColorArray(colors);
    fill->setLocationsArray(stops);
    if (page) {
        std::weak_ptr<kx::Object> weak = text;
        page->undoManager().registerUndo(text.get(), [weak, page, keptColors, keptLocations] {
            if (auto shown = std::dynamic_pointer_cast<KXAdvancedText>(weak.lock()))
                exchangeStops(shown, page, keptColors, keptLocations);
        });
    }
    text->setNeedsDisplay();
}

}  // namespace

void KXTextViewController::buildFillSection(QWidget* parent) {
    m_fillView = new QWidget(parent);
    m_fillView->setObjectName(QStringLiteral("fillView"));
    m_pubFill = new QComboBox(m_fillView);
    m_pubFill->setObjectName(QStringLiteral("pubFill"));
    for (const char* title : {"Solid Fill", "Gradient Fill", "Advanced Gradient Fill", "Pattern Image Fill"})
        m_pubFill->addItem(localized(title));
    m_pubFill->setGeometry(8, 4, kSectionWidth - 16, 25);
    connect(m_pubFill, &QComboBox::activated, this, &KXTextViewController::fillTypeChanged);
    m_patterns = patternImagePaths();
    m_colorView = buildColorView();
    m_adGradientView = buildAdGradientView();
    m_patternView = buildPatternView();
}

ValueRow KXTextViewController::makeAngleRow(QWidget* panel, int y, const char* sliderName) {
    const ValueRow row = makeValueRow(panel, y, localized("Angle"), 0, 360);
    row.slider->setObjectName(QString::fromLatin1(sliderName));
    // The stepper goes one past each end, and the angle wraps round.
    row.stepper->setRange(-1, 360);
    connect(row.slider, &QSlider::valueChanged, this, [this, row](int v) { angleStepped(row, v); });
    connect(row.stepper, &KXStepper::activated, this, [this, row] { angleStepped(row, int(row.stepper->value())); });
    connect(row.field, &QLineEdit::textEdited, this, [this, row](const QString& typed) { angleTyped(row, typed); });
    return row;
}

QWidget* KXTextViewController::buildColorView() {
    QWidget* panel = makeFillPanel(m_fillView, "colorView", kColorViewHeight);
    m_cwTextColor1 = new KXColorWell(panel);
    m_cwTextColor1->setObjectName(QStringLiteral("cwTextColor1"));
    m_cwTextColor1->setGeometry(kValueRowControlX, 8, 52, 24);
    m_btSwapColor = new QPushButton(QStringLiteral("⇄"), panel);
    m_btSwapColor->setObjectName(QStringLiteral("btSwapColor"));
    m_btSwapColor->setGeometry(118, 8, 22, 24);
    m_cwTextColor2 = new KXColorWell(panel);
    m_cwTextColor2->setObjectName(QStringLiteral("cwTextColor2"));
    m_cwTextColor2->setGeometry(144, 8, 52, 24);
    connect(m_cwTextColor1, &KXColorWell::colorChanged, this, [this](const QColor& c) { glyphColorChanged(1, c); });
    connect(m_cwTextColor2, &KXColorWell::colorChanged, this, [this](const QColor& c) { glyphColorChanged(2, c); });
    connect(m_btSwapColor, &QPushButton::clicked, this, &KXTextViewController::swapGradientColors);
    m_gradientAngle = makeAngleRow(panel, 40, "slGradientAngle");
    return panel;
}

QWidget* KXTextViewController::buildAdGradientView() {
    QWidget* panel = makeFillPanel(m_fillView, "adGradientView", kAdGradientViewHeight);
    m_cwAdGradient = new KXAdGradientView(panel);
    m_cwAdGradient->setObjectName(QStringLiteral("cwAdGradient"));
    m_cwAdGradient->setGeometry(8, 4, kSectionWidth - 16, 54);
    connect(m_cwAdGradient, &KXAdGradientView::gradientDidChange, this, &KXTextViewController::gradientEdited);
    m_scAdGradient = new KXSegmentedControl(panel);
    m_scAdGradient->setObjectName(QStringLiteral("scAdGradient"));
    m_scAdGradient->setSegmentCount(2);
    m_scAdGradient->setLabel(0, localized("Linear"));
    m_scAdGradient->setLabel(1, localized("Radial"));
    for (int i = 0; i < 2; ++i) {
        m_scAdGradient->setTag(i, i);
        m_scAdGradient->setWidth(i, (150 - kx::controls::kSegmentSpacing) / 2);
    }
    m_scAdGradient->setGeometry((kSectionWidth - 150) / 2, 62, 150, 24);
    connect(m_scAdGradient, &KXSegmentedControl::activated, this, &KXTextViewController::adTypeChanged);
    m_adAngle = makeAngleRow(panel, 90, "slAdAngle");
    return panel;
}

QWidget* KXTextViewController::buildPatternView() {
    QWidget* panel = makeFillPanel(m_fillView, "patternView", kPatternViewHeight);
    m_btPattern = new QPushButton(panel);
    m_btPattern->setObjectName(QStringLiteral("btPattern"));
    m_btPattern->setGeometry(kValueRowControlX, 4, 64, 60);
    m_btPattern->setIconSize(QSize(56, 52));
    if (!m_patterns.isEmpty())
        m_btPattern->setIcon(QIcon(m_patterns.first()));
    connect(m_btPattern, &QPushButton::clicked, this, &KXTextViewController::patternFillAction);
    return panel;
}

KXBackground* KXTextViewController::glyphFill() const {
    return m_text ? m_text->background() : nullptr;
}

void KXTextViewController::changeFill(const std::function<void(KXBackground&)>& change) {
    KXBackground* fill = glyphFill();
    if (!fill)
        return;
    {
        PageUndoGroup group(*this);
        change(*fill);
    }
    fill->refreshBitmap();
    m_text->setNeedsDisplay();
}

int KXTextViewController::layOutFillView() {
    const int item = std::max(0, m_pubFill->currentIndex());
    QWidget* shown = m_colorView;
    int height = kSolidFillHeight;
    if (item == FillGradientItem) {
        height = kGradientFillHeight;
    } else if (item == FillAdvancedGradientItem) {
        shown = m_adGradientView;
        height = m_adGradientView->height() + kFillMenuHeight;
    } else if (item == FillPatternItem) {
        shown = m_patternView;
        height = m_patternView->height() + kFillMenuHeight;
    }
    if (shown == m_colorView) {
        const bool solid = item == FillSolidItem;
        m_colorView->resize(kSectionWidth, solid ? kSolidColorViewHeight : kColorViewHeight);
        for (QWidget* w : {static_cast<QWidget*>(m_btSwapColor), static_cast<QWidget*>(m_cwTextColor2),
                           static_cast<QWidget*>(m_gradientAngle.slider), static_cast<QWidget*>(m_gradientAngle.stepper),
                           static_cast<QWidget*>(m_gradientAngle.field)})
            w->setHidden(solid);
    }
    for (QWidget* panel : {m_colorView, m_adGradientView, m_patternView}) {
        panel->setVisible(panel == shown);
        panel->move(0, kFillMenuHeight);
    }
    return height;
}

void KXTextViewController::updateFillUI() {
    KXBackground* fill = glyphFill();
    if (!fill)
        return;
    ObservingOff off(m_isObserving);
    const int angle = int(fill->fillAngle());
    if (fill->fillType() == KXFillTypeImage) {
        m_pubFill->setCurrentIndex(FillPatternItem);
        if (m_patterns.contains(fill->imagePath())) {
            m_btPattern->setIcon(QIcon(fill->imagePath()));
            PatternChooser{m_patternWindow, m_ibvPattern}.select(m_patterns, fill->imagePath());
        }
    } else if (fill->colorType() == KXColorTypeSolid) {
        m_pubFill->setCurrentIndex(FillSolidItem);
        m_cwTextColor1->setColor(currentAttributes().effectiveForegroundColor().toQColor());
    } else if (fill->colorType() == KXColorTypeGradient) {
        m_pubFill->setCurrentIndex(FillGradientItem);
        m_cwTextColor1->setColor(fill->color1().toQColor());
        m_cwTextColor2->setColor(fill->color2().toQColor());
        m_gradientAngle.show(angle % 360);
        m_gradientAngle.field->setText(QString::number(angle));
    } else {
        m_pubFill->setCurrentIndex(FillAdvancedGradientItem);
        std::vector<QColor> colors;
        for (const kx::Color& c : fill->gradientColorArray())
            colors.push_back(c.toQColor());
        const auto& stops = fill->gradientLocations();
        m_cwAdGradient->updateGradientManager(colors, std::vector<double>(stops.begin(), stops.end()));
        m_adAngle.show(angle % 360);
        m_adAngle.field->setText(QString::number(angle));
        m_adAngle.setEnabled(fill->gradientType() == 0);
        m_scAdGradient->selectSegmentWithTag(fill->gradientType() == 1 ? 1 : 0);
    }
}

void KXTextViewController::fillTypeChanged(int item) {
    if (!m_isObserving || !glyphFill())
        return;
    {
        ObservingOff off(m_isObserving);
        changeFill([&](KXBackground& fill) {
            if (item == FillPatternItem) {
                if (fill.imagePath().isEmpty() && !m_patterns.isEmpty())
                    fill.setImagePath(m_patterns.first());
                fill.setFillType(KXFillTypeImage);
                return;
            }
            fill.setFillType(KXFillTypeColor);
            fill.setColorType(std::clamp(item, int(FillSolidItem), int(FillAdvancedGradientItem)));
        });
        updateFillUI();
    }
    updateContentView();
}

void KXTextViewController::glyphColorChanged(int which, const QColor& color) {
    KXBackground* fill = glyphFill();
    if (!m_isObserving || !fill)
        return;
    const kx::Color chosen = srgbColor(color);
    if (which == 1 && fill->fillType() == KXFillTypeColor && fill->colorType() == KXColorTypeSolid) {
        // The glyphs and their stroke take the colour in one undoable edit of the words.
        editText([&](kx::TextAttributes& run) {
            run.foregroundColor = chosen;
            run.strokeColor = chosen;
        });
        return;
    }
    changeFill([&](KXBackground& f) {
        if (which == 1)
            f.setColor1(chosen);
        else
            f.setColor2(chosen);
    });
}

void KXTextViewController::swapGradientColors() {
    if (!glyphFill())
        return;
    {
        ObservingOff off(m_isObserving);
        const QColor first = m_cwTextColor1->color();
        m_cwTextColor1->setColor(m_cwTextColor2->color());
        m_cwTextColor2->setColor(first);
    }
    const kx::Color first = srgbColor(m_cwTextColor1->color());
    const kx::Color second = srgbColor(m_cwTextColor2->color());
    changeFill([&](KXBackground& f) {
        f.setColor1(first);
        f.setColor2(second);
    });
}

void KXTextViewController::angleStepped(const ValueRow& row, int value) {
    if (!m_isObserving || !glyphFill())
        return;
    const int angle = fillAngleFromStepper(value);
    {
        ObservingOff off(m_isObserving);
        row.show(angle);
    }
    changeFill([&](KXBackground& f) { f.setFillAngle(angle); });
}

void KXTextViewController::angleTyped(const ValueRow& row, const QString& typed) {
    if (!m_isObserving || !glyphFill())
        return;
    bool ok = false;
    const double value = typed.toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > 1e6)
        return;
    const int angle = int(value);
    {
        ObservingOff off(m_isObserving);
        // The remainder keeps the typed value's sign, as the controls' range holds it.
        quietly(row.slider, [&](QSlider* slider) { slider->setValue(angle % 360); });
        row.stepper->setValue(angle % 360);
        if (row.field->text() != QString::number(angle))
            row.field->setText(QString::number(angle));
    }
    changeFill([&](KXBackground& f) { f.setFillAngle(angle); });
}

void KXTextViewController::adTypeChanged() {
    if (!m_isObserving || !glyphFill())
        return;
    const int type = m_scAdGradient->selectedSegment() == 1 ? 1 : 0;
    m_adAngle.setEnabled(type == 0);
    changeFill([&](KXBackground& f) { f.setGradientType(type); });
}

void KXTextViewController::gradientEdited() {
    if (!m_isObserving || !glyphFill())
        return;
    const GradientStops stops = gradientStopsOf(*m_cwAdGradient);
    undoAdGradient(stops.colors, stops.locations);
}

void KXTextViewController::undoAdGradient(const std::vector<kx::Color>& colors, const std::vector<double>& locations) {
    if (m_text)
        exchangeStops(m_text, m_graph ? m_graph->canvas() : nullptr, colors, locations);
}

void KXTextViewController::patternFillAction() {
    if (!m_patternWindow) {
        const PatternChooser chooser = makePatternChooser(m_btPattern, m_patterns, 0.365);
        m_patternWindow = chooser.window;
        m_ibvPattern = chooser.browser;
        connect(m_ibvPattern, &kx::ImageBrowserView::selectionDidChange, this, [this] {
            const std::vector<int> selected = m_ibvPattern->selectedItems();
            if (m_isObserving && !selected.empty())
                patternSelected(selected.front());
        });
        ObservingOff off(m_isObserving);
        updateFillUI();
    }
    m_patternWindow->popupAt(QRect(m_btPattern->mapToGlobal(QPoint(0, 0)), m_btPattern->size()));
}

void KXTextViewController::patternSelected(int item) {
    if (!glyphFill() || item < 0 || item >= m_patterns.size())
        return;
    const QString& path = m_patterns.at(item);
    m_btPattern->setIcon(QIcon(path));
    changeFill([&](KXBackground& f) { f.setImagePath(path); });
}
