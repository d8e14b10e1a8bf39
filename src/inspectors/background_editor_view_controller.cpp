#include "inspectors/background_editor_view_controller.h"

#include "controls/color_well.h"
#include "controls/gradient_editor.h"
#include "controls/image_browser_view.h"
#include "controls/popup_view.h"
#include "controls/popup_window.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "graphics/file_utilities.h"
#include "graphics/image_cache.h"
#include "graphics/image_file_types.h"
#include "graphics/image_loading.h"
#include "inspectors/inspector_support.h"
#include "model/background.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using kx::inspectors::localized;
using kx::inspectors::srgbColor;

namespace {

constexpr int kWidth = 260;
// The segmented control and the apply button, and the balloon's arrow band.
constexpr int kHeaderHeight = 64 + kx::controls::KXPopupView::kArrowHeight;
constexpr int kImageSectionHeight = 230;
constexpr int kCustomSectionHeight = 180;
constexpr int kGradientSubViewHeight = 120;
constexpr int kPreviewSide = 96;

QString& packFolderOverride() {
    static QString folder;
    return folder;
}

KXBackgroundViewController::ImageChooser& imageChooser() {
    static KXBackgroundViewController::ImageChooser chooser;
    return chooser;
}

// The supported images of a list of files, sorted without regard to case.
QStringList sortedImages(QStringList files) {
    files.erase(std::remove_if(files.begin(), files.end(), [](const QString& f) { return !isSupportedImageFile(f); }),
                files.end());
    std::sort(files.begin(), files.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return files;
}

// An angle control row: slider, stepper and field.
struct AngleRow {
    QWidget* row;
    QSlider* slider;
    kx::controls::KXStepper* stepper;
    QLineEdit* field;
};

AngleRow makeAngleRow(QWidget* owner, QBoxLayout* into, const char* name) {
    // The row is a widget of its own, so that hiding it hides its title too.
    auto* parent = new QWidget(owner);
    parent->setObjectName(QStringLiteral("row%1").arg(QLatin1String(name)));
    auto* row = new QHBoxLayout(parent);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(localized("Angle"), parent));
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QStringLiteral("sl%1").arg(QLatin1String(name)));
    slider->setRange(0, 359);
    auto* field = new QLineEdit(parent);
    field->setObjectName(QStringLiteral("tf%1").arg(QLatin1String(name)));
    field->setFixedWidth(44);
    auto* stepper = new kx::controls::KXStepper(parent);
    stepper->setObjectName(QStringLiteral("st%1").arg(QLatin1String(name)));
    // One step past either end turns round: -1 reads as 359 and 360 as 0.
    stepper->setRange(-1, 360);
    stepper->setIncrement(1);
    row->addWidget(slider, 1);
    row->addWidget(field);
    row->addWidget(stepper);
    into->addWidget(parent);
    return {parent, slider, stepper, field};
}

int wrapAngle(int value) {
    if (value == 360)
        return 0;
    if (value == -1)
        return 359;
    return value;
}

}  // namespace

void KXBackgroundViewController::setPackFolder(const QString& folder) {
    packFolderOverride() = folder;
}

void KXBackgroundViewController::setImageChooser(ImageChooser chooser) {
    imageChooser() = std::move(chooser);
}

QStringList KXBackgroundViewController::backgroundImages(const QString& category) {
    QStringList images;
    const QString resources = kx::Bundle::main().resourcePath();
    if (!resources.isEmpty())
        images << sortedImages(filesInFolder(resources + QStringLiteral("/Background/") + category, QStringLiteral("*"),
                                             false));
    const QString boxes = packFolderOverride().isEmpty() ? boxesFolder() : packFolderOverride();
    if (!boxes.isEmpty()) {
        for (const QString& pack : subfoldersInFolder(boxes, false)) {
            const QString folder = pack + QStringLiteral("/Background/") + category;
            if (QFileInfo(folder).isDir())
                images << sortedImages(filesInFolder(folder, QStringLiteral("*"), true));
        }
    }
    return images;
}

KXBackgroundViewController::KXBackgroundViewController() = default;

KXBackgroundViewController::~KXBackgroundViewController() {
    m_observers.clear();
    m_delegate = nullptr;
    m_popupWindow.reset();
}

QWidget* KXBackgroundViewController::loadView() {
    // The popover's balloon, with its arrow pointing at the toolbar item.
    auto* view = new kx::controls::KXPopupView;
    view->setObjectName(QStringLiteral("BackgroundView"));
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(4);

    auto* header = new QHBoxLayout;
    m_scBackgroundType = new kx::controls::KXSegmentedControl(view);
    m_scBackgroundType->setObjectName(QStringLiteral("scBackgroundType"));
    m_scBackgroundType->setSegmentCount(3);
    m_scBackgroundType->setLabel(0, localized("BackgroundColor"));
    m_scBackgroundType->setLabel(1, localized("BackgroundImage"));
    m_scBackgroundType->setLabel(2, localized("BackgroundCustom"));
    m_scBackgroundType->setSelectedSegment(0);
    header->addWidget(m_scBackgroundType, 1);
    column->addLayout(header);
    m_btApplyToAll = new QPushButton(localized("ApplyToAll"), view);
    m_btApplyToAll->setObjectName(QStringLiteral("btApplyToAll"));
    column->addWidget(m_btApplyToAll);

    // Colour section.
    m_colorView = new QWidget(view);
    m_colorView->setObjectName(QStringLiteral("colorView"));
    auto* colorColumn = new QVBoxLayout(m_colorView);
    colorColumn->setContentsMargins(0, 0, 0, 0);
    colorColumn->setSpacing(4);
    m_pubColorType = new QComboBox(m_colorView);
    m_pubColorType->setFixedHeight(26);
    m_pubColorType->setObjectName(QStringLiteral("pubColorType"));
    m_pubColorType->addItems({localized("ColorSolid"), localized("ColorGradient"), localized("ColorAdvancedGradient")});
    colorColumn->addWidget(m_pubColorType);
    m_colorSubView = new QWidget(m_colorView);
    m_colorSubView->setObjectName(QStringLiteral("colorSubView"));
    auto* colorRows = new QVBoxLayout(m_colorSubView);
    colorRows->setContentsMargins(0, 0, 0, 0);
    colorRows->setSpacing(4);
    auto* wells = new QHBoxLayout;
    m_cwColor1 = new kx::controls::KXColorWell(m_colorSubView);
    m_cwColor1->setObjectName(QStringLiteral("cwColor1"));
    m_cwColor2 = new kx::controls::KXColorWell(m_colorSubView);
    m_cwColor2->setObjectName(QStringLiteral("cwColor2"));
    m_btColorSwap = new QPushButton(localized("Swap"), m_colorSubView);
    m_btColorSwap->setObjectName(QStringLiteral("btColorSwap"));
    for (kx::controls::KXColorWell* well : {m_cwColor1.data(), m_cwColor2.data()})
        well->setFixedSize(48, 26);
    m_btColorSwap->setFixedHeight(26);
    wells->addWidget(m_cwColor1);
    wells->addWidget(m_btColorSwap);
    wells->addWidget(m_cwColor2);
    wells->addStretch(1);
    colorRows->addLayout(wells);
    const AngleRow colorAngle = makeAngleRow(m_colorSubView, colorRows, "ColorAngle");
    m_slColorAngle = colorAngle.slider;
    m_stColorAngle = colorAngle.stepper;
    m_tfColorAngle = colorAngle.field;
    m_colorAngleRow = colorAngle.row;
    colorRows->addStretch(1);
    colorColumn->addWidget(m_colorSubView);
    m_gradientSubView = new QWidget(m_colorView);
    m_gradientSubView->setObjectName(QStringLiteral("gradientSubView"));
    m_gradientSubView->setFixedHeight(kGradientSubViewHeight);
    auto* gradientRows = new QVBoxLayout(m_gradientSubView);
    gradientRows->setContentsMargins(0, 0, 0, 0);
    m_adGradientView = new kx::controls::KXAdGradientView(m_gradientSubView);
    m_adGradientView->setObjectName(QStringLiteral("adGradientView"));
    m_adGradientView->setMinimumHeight(48);
    gradientRows->addWidget(m_adGradientView, 1);
    m_gradientStyle = new kx::controls::KXSegmentedControl(m_gradientSubView);
    m_gradientStyle->setObjectName(QStringLiteral("gradientStyle"));
    m_gradientStyle->setSegmentCount(2);
    m_gradientStyle->setLabel(0, localized("Linear"));
    m_gradientStyle->setLabel(1, localized("Radial"));
    m_gradientStyle->setSelectedSegment(0);
    gradientRows->addWidget(m_gradientStyle);
    const AngleRow gradientAngle = makeAngleRow(m_gradientSubView, gradientRows, "GradientColorAngle");
    m_slGradientColorAngle = gradientAngle.slider;
    m_stGradientColorAngle = gradientAngle.stepper;
    m_tfGradientColorAngle = gradientAngle.field;
    colorColumn->addWidget(m_gradientSubView);
    colorColumn->addStretch(1);
    column->addWidget(m_colorView);

    // Image section.
    m_imageView = new QWidget(view);
    m_imageView->setObjectName(QStringLiteral("imageView"));
    m_imageView->setFixedHeight(kImageSectionHeight);
    auto* imageColumn = new QVBoxLayout(m_imageView);
    imageColumn->setContentsMargins(0, 0, 0, 0);
    m_pubImageType = new QComboBox(m_imageView);
    m_pubImageType->setObjectName(QStringLiteral("pubImageType"));
    m_pubImageType->addItems({localized("Tile"), localized("Stretch")});
    imageColumn->addWidget(m_pubImageType);
    m_ibvBackground = new kx::ImageBrowserView(m_imageView);
    m_ibvBackground->setObjectName(QStringLiteral("ibvBackground"));
    m_ibvBackground->setAllowsEmptySelection(false);
    m_ibvBackground->setDragEnabled(false);
    m_ibvBackground->setZoomValue(0.15);
    m_ibvBackground->setTitlesShown(false);
    imageColumn->addWidget(m_ibvBackground, 1);
    m_slTileScale = new QSlider(Qt::Horizontal, m_imageView);
    m_slTileScale->setObjectName(QStringLiteral("slTileScale"));
    // The tile's scale in hundredths.
    m_slTileScale->setRange(25, 400);
    imageColumn->addWidget(m_slTileScale);
    column->addWidget(m_imageView);

    // Own image section.
    m_customImageView = new QWidget(view);
    m_customImageView->setObjectName(QStringLiteral("customImageView"));
    m_customImageView->setFixedHeight(kCustomSectionHeight);
    auto* customRow = new QHBoxLayout(m_customImageView);
    customRow->setContentsMargins(0, 0, 0, 0);
    m_ivCustomImage = new QLabel(m_customImageView);
    m_ivCustomImage->setObjectName(QStringLiteral("ivCustomImage"));
    m_ivCustomImage->setFixedSize(kPreviewSide, kPreviewSide);
    m_ivCustomImage->setAlignment(Qt::AlignCenter);
    m_ivCustomImage->setFrameShape(QFrame::StyledPanel);
    customRow->addWidget(m_ivCustomImage);
    auto* styles = new QVBoxLayout;
    m_mCustomFillStyle = new QButtonGroup(m_customImageView);
    const char* const rows[] = {"Tile", "Stretch", "Cover"};
    for (int row = 0; row < 3; ++row) {
        auto* radio = new QRadioButton(localized(rows[row]), m_customImageView);
        radio->setObjectName(QStringLiteral("customFill%1").arg(row));
        m_mCustomFillStyle->addButton(radio, row);
        styles->addWidget(radio);
    }
    m_btCustomSelecte = new QPushButton(localized("Select"), m_customImageView);
    m_btCustomSelecte->setObjectName(QStringLiteral("btCustomSelecte"));
    styles->addWidget(m_btCustomSelecte);
    customRow->addLayout(styles, 1);
    column->addWidget(m_customImageView);
    column->addStretch(1);
    return view;
}

void KXBackgroundViewController::viewDidLoad() {
    using kx::controls::KXSegmentedControl;
    QObject::connect(m_scBackgroundType, &KXSegmentedControl::activated, this, [this](int type) {
        backgroundTypeChanged(type);
        tellDelegate();
    });
    QObject::connect(m_pubColorType, &QComboBox::activated, this, [this](int kind) {
        fillStyleChange(kind);
        tellDelegate();
    });
    QObject::connect(m_gradientStyle, &KXSegmentedControl::activated, this, [this](int type) {
        gradientStyleChange(type);
        tellDelegate();
    });
    for (QSlider* slider : {m_slColorAngle.data(), m_slGradientColorAngle.data()})
        QObject::connect(slider, &QSlider::sliderMoved, this, [this](int v) { colorAngleFromSlider(v); });
    for (kx::controls::KXStepper* stepper : {m_stColorAngle.data(), m_stGradientColorAngle.data()})
        QObject::connect(stepper, &kx::controls::KXStepper::activated, this,
                         [this, stepper] { colorAngleFromStepper(stepper->intValue()); });
    for (QLineEdit* field : {m_tfColorAngle.data(), m_tfGradientColorAngle.data()})
        QObject::connect(field, &QLineEdit::textEdited, this, [this](const QString& text) { colorAngleTyped(text); });
    QObject::connect(m_cwColor1, &kx::controls::KXColorWell::colorChanged, this,
                     [this](const QColor& c) { color1Changed(c); });
    QObject::connect(m_cwColor2, &kx::controls::KXColorWell::colorChanged, this,
                     [this](const QColor& c) { color2Changed(c); });
    QObject::connect(m_btColorSwap, &QPushButton::clicked, this, [this] { swapColorAction(); });
    QObject::connect(m_btApplyToAll, &QPushButton::clicked, this, [this] { applyToAllCanvas(); });
    QObject::connect(m_pubImageType, &QComboBox::activated, this, [this](int category) { imageFillTypeChanged(category); });
    QObject::connect(m_ibvBackground, &kx::ImageBrowserView::selectionDidChange, this,
                     [this] { imageBrowserSelectionDidChange(); });
    QObject::connect(m_slTileScale, &QSlider::valueChanged, this, [this](int v) {
        if (m_observing)
            tileScaleChanged(v / 100.0);
    });
    QObject::connect(m_mCustomFillStyle, &QButtonGroup::idClicked, this, [this](int row) { customFillStyleChanged(row); });
    QObject::connect(m_btCustomSelecte, &QPushButton::clicked, this, [this] { chooseCustomImage(); });
    QObject::connect(m_adGradientView, &kx::controls::KXAdGradientView::gradientDidChange, this,
                     [this] { adGradientDidChange(); });

    m_pubImageType->setCurrentIndex(0);
    imageFillTypeChanged(0);
    showSection(0);
    showColorKind(0);
}

void KXBackgroundViewController::tellDelegate() {
    if (m_delegate)
        m_delegate->backgroundViewControllerDidChangeBackground(this);
}

// ---- popover ----

bool KXBackgroundViewController::isWindowVisible() const {
    return m_popupWindow && m_popupWindow->isVisible();
}

void KXBackgroundViewController::popupAtPosition(const QPoint& point, KXBackground* background) {
    QWidget* content = view();
    if (!m_popupWindow) {
        m_popupWindow = std::make_unique<kx::controls::KXPopupWindow>();
        m_popupWindow->setObjectName(QStringLiteral("backgroundWindow"));
        m_popupWindow->setMovableByBackground(false);
        // The popover stays while a well's colour balloon has the focus.
        m_popupWindow->setKeepOpenWhenResigning([this] {
            return (m_cwColor1 && m_cwColor1->popupWindowIsVisible()) ||
                   (m_cwColor2 && m_cwColor2->popupWindowIsVisible());
        });
        m_popupWindow->setContentView(content);
    }
    m_background = background;
    synchronousBackground();
    if (isWindowVisible()) {
        m_popupWindow->hide();
        return;
    }
    m_anchor = point;
    m_popupWindow->popupAt(QRect(point, QSize(0, 0)), kx::controls::PopoverEdge::Below);
}

void KXBackgroundViewController::hideWindow() {
    if (isWindowVisible())
        m_popupWindow->hide();
}

int KXBackgroundViewController::sectionHeight(int type) const {
    switch (type) {
    case 1: return kImageSectionHeight;
    case 2: return kCustomSectionHeight;
    default: {
        const int kind = m_colorKind;
        const int rows = kind == 0 ? kSolidRowHeight : kind == 1 ? kGradientRowHeight : kGradientSubViewHeight;
        return kColorSectionExtra + rows;
    }
    }
}

void KXBackgroundViewController::changeWindowSize(int dw, int dh) {
    QWidget* content = view();
    if (!content || (dw == 0 && dh == 0))
        return;
    content->setFixedSize(content->width() + dw, content->height() + dh);
    if (m_popupWindow) {
        // The top edge and the horizontal centre stay where they are.
        const QRect frame = m_popupWindow->geometry();
        if (QLayout* layout = m_popupWindow->layout())
            layout->activate();
        if (m_popupWindow->isVisible()) {
            // Placed again under the same anchor, which keeps the top edge and the centre, and gives the
            // balloon its outline at the new size.
            m_popupWindow->popupAt(QRect(m_anchor, QSize(0, 0)), kx::controls::PopoverEdge::Below);
        } else {
            m_popupWindow->setGeometry(frame.x() - dw / 2, frame.y(), frame.width() + dw, frame.height() + dh);
        }
    }
}

void KXBackgroundViewController::showSection(int type) {
    QWidget* content = view();
    const int before = m_shownSection;
    const int oldHeight = content->isVisible() || content->height() > 0 ? sectionHeight(before) : 0;
    m_shownSection = type;
    m_colorView->setVisible(type == 0);
    m_imageView->setVisible(type == 1);
    m_customImageView->setVisible(type == 2);
    if (type == 1)
        m_ibvBackground->show();
    m_colorView->setFixedHeight(sectionHeight(0));
    if (content->minimumWidth() == 0) {
        // First layout: the popover's size for the section shown.
        content->setFixedSize(kWidth + (type == 1 ? kImageSectionExtraWidth : 0), kHeaderHeight + sectionHeight(type));
        return;
    }
    const int dw = (type == 1) == (before == 1) ? 0 : (type == 1 ? kImageSectionExtraWidth : -kImageSectionExtraWidth);
    changeWindowSize(dw, sectionHeight(type) - oldHeight);
}

void KXBackgroundViewController::showColorKind(int kind) {
    const int before = sectionHeight(0);
    m_colorKind = kind;
    m_pubColorType->setCurrentIndex(kind);
    m_colorSubView->setVisible(kind != 2);
    m_gradientSubView->setVisible(kind == 2);
    const bool two = kind == 1;
    for (QWidget* w : {static_cast<QWidget*>(m_cwColor2), static_cast<QWidget*>(m_btColorSwap),
                       static_cast<QWidget*>(m_colorAngleRow)})
        w->setVisible(two);
    m_colorSubView->setFixedHeight(kind == 0 ? kSolidRowHeight : kGradientRowHeight);
    const bool linear = m_gradientStyle->selectedSegment() != 1;
    for (QWidget* w : {static_cast<QWidget*>(m_slGradientColorAngle), static_cast<QWidget*>(m_stGradientColorAngle),
                       static_cast<QWidget*>(m_tfGradientColorAngle)})
        w->setEnabled(linear);
    m_colorView->setFixedHeight(sectionHeight(0));
    if (m_shownSection == 0 && view()->minimumWidth() > 0)
        changeWindowSize(0, sectionHeight(0) - before);
}

// ---- fill type and colour kind ----

void KXBackgroundViewController::backgroundTypeChanged(int type) {
    if (type < 0 || type > 2)
        return;
    m_scBackgroundType->setSelectedSegment(type);
    showSection(type);
    if (!m_background)
        return;
    m_background->setFillType(type);
    if (type == 1) {
        m_ibvBackground->setItems({});
        rebuildImageList(m_pubImageType->currentIndex());
        m_background->setImageType(m_pubImageType->currentIndex() == 1 ? KXImageTypeStretchCrop : KXImageTypeTile);
        if (m_background->imagePath().isEmpty() || m_background->imagePath() == m_background->customImagePath()) {
            const std::vector<int> selected = m_ibvBackground->selectedItems();
            const int index = selected.empty() ? 0 : selected.front();
            if (index >= 0 && index < m_images.size())
                m_background->setImagePath(m_images[index]);
        }
        selectImagePath(m_background->imagePath());
        m_background->refreshBitmap();
    } else if (type == 2) {
        const int row = m_mCustomFillStyle->checkedId();
        m_background->setImageType(row < 0 ? KXImageTypeStretchCrop : row);
        m_background->refreshBitmap();
    }
}

void KXBackgroundViewController::fillStyleChange(int kind) {
    if (kind < 0 || kind > 2)
        return;
    showColorKind(kind);
    if (m_background)
        m_background->setColorType(kind);
}

void KXBackgroundViewController::gradientStyleChange(int type) {
    m_gradientStyle->setSelectedSegment(type);
    if (m_background)
        m_background->setGradientType(type);
    const bool linear = type != 1;
    for (QWidget* w : {static_cast<QWidget*>(m_slGradientColorAngle), static_cast<QWidget*>(m_stGradientColorAngle),
                       static_cast<QWidget*>(m_tfGradientColorAngle)})
        w->setEnabled(linear);
    m_adGradientView->update();
}

// ---- angles ----

void KXBackgroundViewController::showAngle(double angle) {
    const int a = int(angle);
    for (QSlider* slider : {m_slColorAngle.data(), m_slGradientColorAngle.data()}) {
        const QSignalBlocker quiet(slider);
        slider->setValue((a + 90) % 360);
    }
    for (kx::controls::KXStepper* stepper : {m_stColorAngle.data(), m_stGradientColorAngle.data()})
        stepper->setValue(a);
    for (QLineEdit* field : {m_tfColorAngle.data(), m_tfGradientColorAngle.data()})
        field->setText(QString::number(a));
}

void KXBackgroundViewController::setAngle(int angle) {
    showAngle(angle);
    if (m_background)
        m_background->setFillAngle(angle);
    tellDelegate();
}

void KXBackgroundViewController::colorAngleFromSlider(int value) {
    const int v = wrapAngle(value);
    int angle = v - 90;
    if (angle < 0)
        angle += 360;
    setAngle(angle);
}

void KXBackgroundViewController::colorAngleFromStepper(int value) {
    setAngle(((wrapAngle(value) % 360) + 360) % 360);
}

void KXBackgroundViewController::colorAngleTyped(const QString& text) {
    bool ok = false;
    const double typed = text.toDouble(&ok);
    if (!ok || !std::isfinite(typed))
        return;
    const int angle = std::clamp(int(typed), 0, 360);
    if (m_background)
        m_background->setFillAngle(angle);
    for (QLineEdit* field : {m_tfColorAngle.data(), m_tfGradientColorAngle.data()}) {
        if (field->text() != QString::number(angle))
            field->setText(QString::number(angle));
    }
    for (QSlider* slider : {m_slColorAngle.data(), m_slGradientColorAngle.data()}) {
        const QSignalBlocker quiet(slider);
        slider->setValue((angle + 90) % 360);
    }
    for (kx::controls::KXStepper* stepper : {m_stColorAngle.data(), m_stGradientColorAngle.data()})
        stepper->setValue(angle);
    tellDelegate();
}

// ---- colours ----

void KXBackgroundViewController::color1Changed(const QColor& color) {
    if (!m_observing || !m_background)
        return;
    m_background->setColor1(srgbColor(color));
    tellDelegate();
}

void KXBackgroundViewController::color2Changed(const QColor& color) {
    if (!m_observing || !m_background)
        return;
    m_background->setColor2(srgbColor(color));
    tellDelegate();
}

void KXBackgroundViewController::swapColorAction() {
    m_observing = false;
    const QColor first = m_cwColor1->color();
    m_cwColor1->setColor(m_cwColor2->color());
    m_cwColor2->setColor(first);
    m_observing = true;
    if (m_delegate && m_background)
        m_delegate->backgroundSwapColors(m_background);
    tellDelegate();
}

void KXBackgroundViewController::applyToAllCanvas() {
    if (m_delegate && m_background)
        m_delegate->applyToAllCanvasWithBackground(m_background);
    if (QWidget* content = view())
        content->update();
}

void KXBackgroundViewController::adGradientDidChange() {
    if (!m_observing || !m_delegate)
        return;
    std::vector<kx::Color> colors;
    for (const QColor& c : m_adGradientView->colorArray())
        colors.push_back(srgbColor(c));
    std::vector<double> locations = m_adGradientView->colorLocations();
    locations.resize(kx::controls::kMaxGradientStops, 0.0);
    m_delegate->undoAdvanceGradientWithColorArray(colors, locations);
}

// ---- images ----

void KXBackgroundViewController::rebuildImageList(int category) {
    const QString name = category == 1 ? QStringLiteral("Stretch") : QStringLiteral("Tile");
    m_images = backgroundImages(name);
    std::vector<kx::ImageBrowserItem> items;
    items.reserve(std::size_t(m_images.size()));
    for (const QString& path : m_images) {
        kx::ImageBrowserItem item;
        item.uid = path;
        item.path = path;
        item.title = QFileInfo(path).completeBaseName();
        items.push_back(std::move(item));
    }
    const bool observing = std::exchange(m_observing, false);
    m_ibvBackground->setItems(std::move(items));
    m_observing = observing;
}

void KXBackgroundViewController::selectImagePath(const QString& path) {
    const bool observing = std::exchange(m_observing, false);
    const int index = int(m_images.indexOf(path));
    if (index >= 0) {
        m_ibvBackground->selectItem(index);
        m_ibvBackground->scrollToItem(index);
    } else {
        // An image no longer listed (its pack is gone): nothing is selected and the background keeps it.
        m_ibvBackground->clearSelection();
    }
    m_observing = observing;
}

void KXBackgroundViewController::imageFillTypeChanged(int category) {
    if (category < 0 || category > 1 || category == m_imageCategory)
        return;
    m_imageCategory = category;
    m_pubImageType->setCurrentIndex(category);
    if (m_background)
        m_background->setImageType(category == 1 ? KXImageTypeStretchCrop : KXImageTypeTile);
    m_slTileScale->setEnabled(category == 0);
    rebuildImageList(category);
    const int remembered = category == 1 ? m_stretchIndex : m_tileIndex;
    if (remembered >= 0 && remembered < m_images.size()) {
        m_ibvBackground->selectItem(remembered);
        m_ibvBackground->scrollToItem(remembered);
        if (m_observing && m_background)
            m_background->setImagePath(m_images[remembered]);
    }
    if (m_background)
        m_background->refreshBitmap();
    tellDelegate();
}

void KXBackgroundViewController::imageBrowserSelectionDidChange() {
    if (!m_observing)
        return;
    const std::vector<int> selected = m_ibvBackground->selectedItems();
    if (!selected.empty() && selected.front() < m_images.size() && m_background) {
        const int index = selected.front();
        if (m_background->imageType() == KXImageTypeTile)
            m_tileIndex = index;
        else
            m_stretchIndex = index;
        m_background->setImagePath(m_images[index]);
        m_background->refreshBitmap();
    }
    tellDelegate();
}

void KXBackgroundViewController::tileScaleChanged(double scale) {
    if (!m_background)
        return;
    m_background->setImageScale(scale);
    m_background->refreshBitmap();
    tellDelegate();
}

void KXBackgroundViewController::customFillStyleChanged(int row) {
    if (row < 0 || row > 2)
        return;
    if (QAbstractButton* button = m_mCustomFillStyle->button(row))
        button->setChecked(true);
    if (!m_background)
        return;
    m_background->setImageType(row);
    m_background->refreshBitmap();
    tellDelegate();
}

void KXBackgroundViewController::setCustomImagePath(const QString& path) {
    if (path.isEmpty() || !m_background)
        return;
    m_background->setCustomImagePath(path);
    m_background->refreshBitmap();
    updateCustomBackgroundUI();
    tellDelegate();
}

void KXBackgroundViewController::chooseCustomImage() {
    hideWindow();
    QString path;
    if (imageChooser()) {
        path = imageChooser()(view());
    } else {
        QStringList patterns;
        for (const QByteArray& format : QImageReader::supportedImageFormats())
            patterns << QStringLiteral("*.") + QString::fromLatin1(format);
        patterns << QStringLiteral("*.svg") << QStringLiteral("*.SVG") << QStringLiteral("*.ai") << QStringLiteral("*.AI");
        path = QFileDialog::getOpenFileName(nullptr, QString(), QDir::homePath(),
                                            localized("Images") + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    // A cancelled or empty choice leaves the image as it was.
    setCustomImagePath(path);
}

// ---- refreshes ----

void KXBackgroundViewController::synchronousBackground() {
    if (!view() || !m_background)
        return;
    const bool observing = std::exchange(m_observing, false);
    updateColorBackgroundUI();
    updateImageBackgroundUI();
    updateCustomBackgroundUI();
    updateBackgroundUI();
    m_observing = observing;
}

void KXBackgroundViewController::updateColorBackgroundUI() {
    const int kind = std::clamp(int(m_background->colorType()), 0, 2);
    m_gradientStyle->setSelectedSegment(m_background->gradientType() == 1 ? 1 : 0);
    showColorKind(kind);
    m_cwColor1->setColor(m_background->color1().toQColor());
    m_cwColor2->setColor(m_background->color2().toQColor());
    double angle = std::isfinite(m_background->fillAngle()) ? std::trunc(m_background->fillAngle()) : 0;
    if (angle >= 360)
        angle = std::fmod(angle, 360);
    if (angle < 0)
        angle = std::fmod(angle, 360) + 360;
    showAngle(angle);
    std::vector<QColor> colors;
    for (const kx::Color& c : m_background->gradientColorArray())
        colors.push_back(c.toQColor());
    const auto& locations = m_background->gradientLocations();
    m_adGradientView->updateGradientManager(colors, std::vector<double>(locations.begin(), locations.end()));
}

void KXBackgroundViewController::updateImageBackgroundUI() {
    const int category = m_background->imageType() == KXImageTypeTile ? 0 : 1;
    if (m_imageCategory != category || m_images.isEmpty()) {
        m_pubImageType->setCurrentIndex(category);
        rebuildImageList(category);
    }
    m_imageCategory = category;
    m_slTileScale->setEnabled(category == 0);
    {
        const QSignalBlocker quiet(m_slTileScale);
        m_slTileScale->setValue(category == 0 ? int(std::lround(m_background->imageScale() * 100)) : 100);
    }
    selectImagePath(m_background->imagePath());
}

void KXBackgroundViewController::updateCustomBackgroundUI() {
    const int row = m_background->fillType() == KXFillTypeCustomImage
                        ? std::clamp(int(m_background->imageType()), 0, 2)
                        : 2;
    if (QAbstractButton* button = m_mCustomFillStyle->button(row))
        button->setChecked(true);
    const QString path = m_background->customImagePath();
    kx::Image image = path.isEmpty() ? kx::Image() : loadImageThumbnail(path, kPreviewSide * 4);
    if (image.isNull() && !path.isEmpty())
        image = KXCacheManager::cacheManager().imageWithPath(path, {400, 400});
    if (image.isNull()) {
        m_ivCustomImage->clear();
        return;
    }
    m_ivCustomImage->setPixmap(QPixmap::fromImage(image.qimage())
                                   .scaled(m_ivCustomImage->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void KXBackgroundViewController::updateBackgroundUI() {
    const int type = m_background->fillType() == KXFillTypeColor   ? 0
                     : m_background->fillType() == KXFillTypeImage ? 1
                                                                   : 2;
    m_scBackgroundType->setSelectedSegment(type);
    showSection(type);
    if (type == 1)
        selectImagePath(m_background->imagePath());
}
