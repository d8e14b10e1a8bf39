#include "inspectors/fill_section.h"

#include "controls/color_well.h"
#include "controls/gradient_editor.h"
#include "controls/image_browser_view.h"
#include "controls/popup_window.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "controls/stepper_field.h"
#include "controls/thumbnail_maker.h"
#include "graphics/image_file_types.h"
#include "inspectors/inspector_support.h"
#include "inspectors/style_values.h"
#include "model/background.h"
#include "model/canvas.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/undo_manager.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <algorithm>

using namespace kx::inspectors;
using kx::controls::KXAdGradientView;
using kx::controls::KXColorWell;
using kx::controls::KXSegmentedControl;
using kx::controls::KXStepper;

namespace {
constexpr int kPanelWidth = kSectionWidth;


QWidget* makePanel(QWidget* parent, const char* name, int height) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->resize(kPanelWidth, height);
    panel->hide();
    return panel;
}
}  // namespace

QString fillImageNameFilter() {
    QStringList extensions;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        extensions << QString::fromLatin1(format).toLower();
    // What our loaders decode or rasterise themselves.
    extensions << QStringLiteral("pdf") << QStringLiteral("eps") << QStringLiteral("svg") << QStringLiteral("ai")
               << QStringLiteral("jpng");
    extensions.removeDuplicates();
    std::sort(extensions.begin(), extensions.end());
    QStringList patterns;
    for (const QString& extension : extensions)
        patterns << QStringLiteral("*.") + extension << QStringLiteral("*.") + extension.toUpper();
    return QStringLiteral("%1 (%2)").arg(localized("Images"), patterns.join(QLatin1Char(' ')));
}

QStringList patternImagePaths() {
    const QString folder = kx::Bundle::main().resourcePath() + QStringLiteral("/Pattern");
    return imageFilesInDirectory(folder, false);
}

void PatternChooser::select(const QStringList& patterns, const QString& path) const {
    if (!browser)
        return;
    const int item = std::max(0, int(patterns.indexOf(path)));
    browser->selectItem(item);
    browser->scrollToItem(item);
}

PatternChooser makePatternChooser(QWidget* owner, const QStringList& patterns, double zoom) {
    PatternChooser chooser;
    chooser.window = new kx::controls::KXPopupWindow(owner);
    chooser.window->setMovableByBackground(false);
    chooser.browser = new kx::ImageBrowserView;
    chooser.browser->setObjectName(QStringLiteral("ibvPattern"));
    chooser.browser->setFixedSize(260, 200);
    chooser.browser->setZoomValue(zoom);
    std::vector<kx::ImageBrowserItem> items;
    for (const QString& path : patterns) {
        kx::ImageBrowserItem item;
        item.uid = path;
        item.path = path;
        item.title = QFileInfo(path).completeBaseName();
        items.push_back(item);
    }
    chooser.browser->setItems(std::move(items));
    chooser.browser->setAllowsEmptySelection(false);
    // The shipped patterns are not dragged out anywhere.
    chooser.browser->setDragEnabled(false);
    chooser.window->setContentView(chooser.browser);
    return chooser;
}

GradientStops gradientStopsOf(const KXAdGradientView& editor) {
    GradientStops stops;
    for (const QColor& c : editor.colorArray())
        stops.colors.push_back(srgbColor(c));
    stops.locations = editor.colorLocations();
    stops.locations.resize(kx::controls::kMaxGradientStops, 0.0);
    return stops;
}

KXFillSection::KXFillSection(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fillView"));
    m_pubFillType = new QComboBox(this);
    m_pubFillType->setObjectName(QStringLiteral("pubFillType"));
    for (const char* title : {"No Fill", "Solid Fill", "Gradient Fill", "Advanced Gradient Fill", "Image Fill",
                              "Pattern Image Fill"})
        m_pubFillType->addItem(localized(title));
    m_pubFillType->setGeometry(8, 8, kPanelWidth - 16, 26);
    connect(m_pubFillType, &QComboBox::activated, this, &KXFillSection::fillTypeChanged);
    m_patterns = patternImagePaths();
    m_colorFillView = buildColorPanel();
    m_adGradientView = buildAdGradientPanel();
    m_imageFillView = buildImagePanel();
    m_patternView = buildPatternPanel();
    resize(kPanelWidth, kSectionOffHeight);
}

KXFillSection::~KXFillSection() = default;

KXBackground* KXFillSection::fill() const {
    return m_graph ? m_graph->background() : nullptr;
}

QWidget* KXFillSection::buildColorPanel() {
    QWidget* panel = makePanel(this, "colorFillView", 78);
    m_cwFillColor1 = new KXColorWell(panel);
    m_cwFillColor1->setGeometry(kValueRowControlX, 12, 52, 20);
    m_cwFillColor2 = new KXColorWell(panel);
    m_cwFillColor2->setGeometry(144, 12, 52, 20);
    m_btColorSwap = new QPushButton(QStringLiteral("⇄"), panel);
    m_btColorSwap->setObjectName(QStringLiteral("btColorSwap"));
    m_btColorSwap->setGeometry(118, 12, 22, 20);
    connect(m_cwFillColor1, &KXColorWell::colorChanged, this, [this](const QColor& c) { fillColorChanged(1, c); });
    connect(m_cwFillColor2, &KXColorWell::colorChanged, this, [this](const QColor& c) { fillColorChanged(2, c); });
    connect(m_btColorSwap, &QPushButton::clicked, this, &KXFillSection::swapColorAction);
    m_angle = makeValueRow(panel, 44, localized("Angle"), 0, 360);
    connectAngleRow(m_angle);
    return panel;
}

QWidget* KXFillSection::buildAdGradientPanel() {
    QWidget* panel = makePanel(this, "adGradientView", 120);
    m_adGradient = new KXAdGradientView(panel);
    m_adGradient->setGeometry(8, 4, kPanelWidth - 16, 54);
    connect(m_adGradient, &KXAdGradientView::gradientDidChange, this, &KXFillSection::updateGradientGraphBackground);
    m_segGradient = new KXSegmentedControl(panel);
    m_segGradient->setSegmentCount(2);
    m_segGradient->setLabel(0, localized("Linear"));
    m_segGradient->setLabel(1, localized("Radial"));
    m_segGradient->setGeometry((kPanelWidth - 150) / 2, 62, 150, 24);
    connect(m_segGradient, &KXSegmentedControl::activated, this, &KXFillSection::gradientTypeChanged);
    m_angleGradient = makeValueRow(panel, 92, localized("Angle"), 0, 360);
    connectAngleRow(m_angleGradient);
    return panel;
}

QWidget* KXFillSection::buildImagePanel() {
    // The preview with the "Select" button beside it, and the three ways of filling with the image under them.
    QWidget* panel = makePanel(this, "imageFillView", 136);
    m_ivFillImage = new QLabel(panel);
    m_ivFillImage->setObjectName(QStringLiteral("ivFillImage"));
    m_ivFillImage->setGeometry(kValueRowLabelX, 4, 64, 64);
    m_ivFillImage->setAlignment(Qt::AlignCenter);
    m_ivFillImage->setFrameShape(QFrame::StyledPanel);
    m_btFillImageSelect = new QPushButton(localized("Select"), panel);
    m_btFillImageSelect->setGeometry(76, 4, kPanelWidth - 84, 24);
    connect(m_btFillImageSelect, &QPushButton::clicked, this, &KXFillSection::selectCustomFillImageAction);
    m_matrixFillStyle = new QButtonGroup(panel);
    int row = 0;
    for (const char* title : {"Tile", "Stretch", "Stretch and Crop"}) {
        auto* button = new QRadioButton(localized(title), panel);
        button->setGeometry(kValueRowLabelX, 72 + 20 * row, kPanelWidth - 2 * kValueRowLabelX, 20);
        m_matrixFillStyle->addButton(button, row++);
    }
    m_matrixFillStyle->button(0)->setChecked(true);
    connect(m_matrixFillStyle, &QButtonGroup::idClicked, this, &KXFillSection::customImageFillTypeChanged);
    return panel;
}

QWidget* KXFillSection::buildPatternPanel() {
    QWidget* panel = makePanel(this, "patternView", 70);
    m_btPattern = new QPushButton(panel);
    m_btPattern->setObjectName(QStringLiteral("btPattern"));
    m_btPattern->setGeometry(kValueRowControlX, 4, 64, 60);
    m_btPattern->setIconSize(QSize(56, 52));
    connect(m_btPattern, &QPushButton::clicked, this, &KXFillSection::patternAction);
    return panel;
}

void KXFillSection::connectAngleRow(const ValueRow& row) {
    connect(row.slider, &QSlider::valueChanged, this, &KXFillSection::gradientAngleFromSlider);
    connect(row.stepper, &KXStepper::activated, this,
            [this, stepper = row.stepper] { gradientAngleFromStepper(stepper->value()); });
    connect(row.field, &QLineEdit::textEdited, this, &KXFillSection::gradientAngleTyped);
}

void KXFillSection::updateFillUIWithGraph(const std::shared_ptr<KXGraph>& graph) {
    m_graph = graph;
    KXBackground* f = fill();
    if (!f)
        return;
    m_updatingUI = true;
    m_pubFillType->setCurrentIndex(fillMenuIndex(graph->isFillEnabled(), f->fillType(), f->colorType()));
    if (f->imageType() >= 0 && f->imageType() <= 2)
        m_matrixFillStyle->button(f->imageType())->setChecked(true);
    updateImageViewWithPath(f->customImagePath());
    if (!f->color1().isNull())
        m_cwFillColor1->setColor(f->color1().toQColor());
    if (!f->color2().isNull())
        m_cwFillColor2->setColor(f->color2().toQColor());
    const int angle = fillAngleControl(f->fillAngle());
    m_angle.showTurned(fillAngleSlider(angle), angle);
    m_angleGradient.showTurned(fillAngleSlider(angle), angle);
    std::vector<QColor> colors;
    for (const kx::Color& c : f->gradientColorArray())
        colors.push_back(c.toQColor());
    const auto& stored = f->gradientLocations();
    m_adGradient->updateGradientManager(colors, std::vector<double>(stored.begin(), stored.end()));
    m_segGradient->setSelectedSegment(f->gradientType() == 1 ? 1 : 0);
    m_angleGradient.setEnabled(f->gradientType() == 0);
    // The pattern shown is the fill's own, else the first one; the fill itself gets a pattern path only
    // when the person chooses the pattern fill.
    const QString pattern = f->imagePath().isEmpty() && !m_patterns.isEmpty() ? m_patterns.first() : f->imagePath();
    m_btPattern->setIcon(QIcon(pattern));
    selectImageBackgroundWithPath(f->imagePath());
    updateFillView();
    m_updatingUI = false;
}

void KXFillSection::selectImageBackgroundWithPath(const QString& path) {
    PatternChooser{m_patternWindow, m_ibvPatternImageView}.select(m_patterns, path);
}

void KXFillSection::patternAction() {
    if (!m_patternWindow) {
        const PatternChooser chooser = makePatternChooser(this, m_patterns, 0.368);
        m_patternWindow = chooser.window;
        m_ibvPatternImageView = chooser.browser;
        connect(m_ibvPatternImageView, &kx::ImageBrowserView::selectionDidChange, this, [this] {
            const std::vector<int> selected = m_ibvPatternImageView->selectedItems();
            if (!m_updatingUI && !selected.empty())
                patternSelected(selected.front());
        });
        m_updatingUI = true;
        selectImageBackgroundWithPath(fill() ? fill()->imagePath() : QString());
        m_updatingUI = false;
    }
    m_patternWindow->popupAt(QRect(m_btPattern->mapToGlobal(QPoint(0, 0)), m_btPattern->size()));
}

void KXFillSection::patternSelected(int item) {
    KXBackground* f = fill();
    if (m_updatingUI || !f || item < 0 || item >= m_patterns.size())
        return;
    const QString& path = m_patterns.at(item);
    f->setImagePath(path);
    m_btPattern->setIcon(QIcon(path));
    f->refreshBitmap();
    m_graph->setNeedsDisplay();
}

void KXFillSection::updateFillView() {
    KXBackground* f = fill();
    QWidget* chosen = nullptr;
    if (m_graph && m_graph->isFillEnabled() && f) {
        if (f->fillType() == KXFillTypeCustomImage)
            chosen = m_imageFillView;
        else if (f->fillType() != KXFillTypeColor)
            chosen = m_patternView;
        else if (f->colorType() == KXColorTypeAdvancedGradient)
            chosen = m_adGradientView;
        else
            chosen = m_colorFillView;
    }
    if (chosen == m_colorFillView) {
        const bool solid = f->colorType() == KXColorTypeSolid;
        m_cwFillColor2->setHidden(solid);
        m_btColorSwap->setHidden(solid);
        for (QWidget* w : {static_cast<QWidget*>(m_angle.slider), static_cast<QWidget*>(m_angle.stepper),
                           static_cast<QWidget*>(m_angle.field)})
            w->setHidden(solid);
        m_colorFillView->resize(kPanelWidth, solid ? 46 : 78);
    }
    const int height = chosen ? chosen->height() + kSectionMenuExtra : kSectionOffHeight;
    for (QWidget* panel : {m_colorFillView, m_adGradientView, m_imageFillView, m_patternView})
        panel->setVisible(panel == chosen);
    if (chosen)
        chosen->move(0, height - chosen->height());
    if (height != this->height()) {
        resize(kPanelWidth, height);
        emit heightChanged();
    }
}

void KXFillSection::fillTypeChanged(int index) {
    KXBackground* f = fill();
    if (m_updatingUI || !f)
        return;
    m_graph->setFillEnabled(index != FillNone);
    switch (index) {
    case FillNone:
    case FillSolid:
    case FillGradient:
    case FillAdvancedGradient:
        f->setFillType(KXFillTypeColor);
        if (index != FillNone)
            f->setColorType(index - FillSolid);
        break;
    case FillImage:
        f->setFillType(KXFillTypeCustomImage);
        f->setImageType(std::max(0, m_matrixFillStyle->checkedId()));
        break;
    case FillPattern:
        if (f->imagePath().isEmpty() && !m_patterns.isEmpty())
            f->setImagePath(m_patterns.first());
        f->setFillType(KXFillTypeImage);
        f->setImageType(KXImageTypeTile);
        break;
    default:
        break;
    }
    f->refreshBitmap();
    m_graph->setNeedsDisplay();
    updateFillView();
}

void KXFillSection::swapColorAction() {
    KXBackground* f = fill();
    if (!f)
        return;
    m_updatingUI = true;
    const QColor first = m_cwFillColor1->color();
    m_cwFillColor1->setColor(m_cwFillColor2->color());
    m_cwFillColor2->setColor(first);
    m_updatingUI = false;
    KXCanvas* page = m_graph->canvas();
    if (page)
        page->undoManager().beginUndoGrouping();
    f->swapColors();
    if (page)
        page->undoManager().endUndoGrouping();
    m_graph->setNeedsDisplay();
}

void KXFillSection::setAngle(int angle, int sliderValue) {
    m_angle.showTurned(sliderValue, angle);
    m_angleGradient.showTurned(sliderValue, angle);
    if (KXBackground* f = fill()) {
        f->setFillAngle(angle);
        m_graph->setNeedsDisplay();
    }
}

void KXFillSection::gradientAngleFromSlider(int value) {
    if (m_updatingUI)
        return;
    const int angle = fillAngleFromSlider(value);
    setAngle(angle, value);
}

void KXFillSection::gradientAngleFromStepper(double value) {
    if (m_updatingUI)
        return;
    const int angle = fillAngleFromStepper(int(value));
    setAngle(angle, fillAngleSlider(angle));
}

void KXFillSection::gradientAngleTyped(const QString& text) {
    if (m_updatingUI)
        return;
    const auto typed = kx::controls::leadingNumber(text, false);
    if (!typed)
        return;
    const int angle = typedFillAngle(int(*typed));
    setAngle(angle, fillAngleSlider(angle));
    if (m_graph)
        kx::NotificationCenter::defaultCenter().post(KXExitObjectMode, this);
}

void KXFillSection::gradientTypeChanged(int segment) {
    KXBackground* f = fill();
    if (m_updatingUI || !f)
        return;
    f->setGradientType(segment);
    m_angleGradient.setEnabled(segment == 0);
    m_graph->setNeedsDisplay();
}

void KXFillSection::customImageFillTypeChanged(int row) {
    KXBackground* f = fill();
    if (m_updatingUI || !f)
        return;
    f->setImageType(row);
    m_graph->setNeedsDisplay();
}

void KXFillSection::fillColorChanged(int which, const QColor& color) {
    KXBackground* f = fill();
    if (m_updatingUI || !f)
        return;
    if (which == 1)
        f->setColor1(srgbColor(color));
    else
        f->setColor2(srgbColor(color));
    m_graph->setNeedsDisplay();
    kx::NotificationCenter::defaultCenter().post(KXExitObjectMode, this);
}

void KXFillSection::updateGradientGraphBackground() {
    if (m_updatingUI || !m_graph || !m_graph->canvas())
        return;
    GradientStops stops = gradientStopsOf(*m_adGradient);
    for (double& location : stops.locations)
        location = double(float(location));
    m_graph->canvas()->undoAdGradientGraph(m_graph.get(), stops.colors, stops.locations);
    m_graph->setNeedsDisplay();
}

void KXFillSection::chooseCustomFillImage(const QString& path) {
    KXBackground* f = fill();
    if (!f || path.isEmpty())
        return;
    updateImageViewWithPath(path);
    f->setCustomImagePath(path);
    m_graph->setNeedsDisplay();
}

void KXFillSection::selectCustomFillImageAction() {
    const QString path = QFileDialog::getOpenFileName(window(), QString(), QString(), fillImageNameFilter());
    chooseCustomFillImage(path);
}

void KXFillSection::updateImageViewWithPath(const QString& path) {
    // Read as the page reads it (bitmaps, JPNG, SVG, AI, PDF, EPS): a drawing is drawn to fit the preview,
    // a larger bitmap scaled down to fit it, both with their proportions kept; a small bitmap keeps its size.
    const QSize box = m_ivFillImage->contentsRect().size();
    const qreal ratio = m_ivFillImage->devicePixelRatioF();
    kx::ImageBrowserItem item;
    item.path = path;
    const kx::Image image =
        path.isEmpty() ? kx::Image() : kx::makeThumbnail(item, int(std::min(box.width(), box.height()) * ratio));
    if (image.isNull()) {
        m_ivFillImage->clear();
        return;
    }
    QPixmap preview = QPixmap::fromImage(image.qimage());
    preview.setDevicePixelRatio(ratio);
    m_ivFillImage->setPixmap(preview);
}
