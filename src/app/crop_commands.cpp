#include "app/crop_commands.h"

#include "app/window_panels.h"
#include "canvas/canvas_view.h"
#include "canvas/floating_panels.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/undo_manager.h"
#include "platform/layers/layer_transaction.h"

#include <QAction>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

KXPhoto* photoOf(KXGraph* graph) {
    auto* shape = dynamic_cast<KXShape*>(graph);
    return shape ? shape->photo() : nullptr;
}

bool isFinite(const kx::Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

// Tracker nodes of the two corners the reset moves: 6 at (minX, minY), 2 at (maxX, maxY).
constexpr std::uint32_t kLowerLeftNode = 6;
constexpr std::uint32_t kUpperRightNode = 2;

}  // namespace

float currentValueForCrop(const kx::Rect& crop) {
    return float(1 - crop.size.width);
}

float minValueForCrop(const kx::Rect& crop) {
    const float x = float(crop.origin.x), y = float(crop.origin.y);
    const float width = float(crop.size.width), height = float(crop.size.height);
    if (!(height > 0) || !std::isfinite(width / height))
        return currentValueForCrop(crop);
    const float a = std::min(2 * x, 2 * (1 - x - width));
    const float b = std::min(2 * y, 2 * (1 - y - height));
    return 1 - std::min(a + width, (b + height) * width / height);
}

kx::Rect cropForSliderValue(const kx::Rect& crop, float value) {
    const float oldWidth = float(crop.size.width), oldHeight = float(crop.size.height);
    if (!isFinite(crop) || !(oldWidth > 0) || !(oldHeight > 0) || !std::isfinite(value))
        return crop;
    const float ratio = oldWidth / oldHeight;
    const float width = 1 - value;
    const float height = width / ratio;
    if (!(width > 0) || !(height > 0) || !std::isfinite(height))
        return crop;
    const float dx = (oldWidth - width) * 0.5f;
    const float dy = (oldHeight - height) * 0.5f;
    return {crop.origin.x + dx, crop.origin.y + dy, width, height};
}

void updateCropValueWithPhoto(KXCropWindowController& panel, const KXPhoto* photo) {
    const kx::Rect c = photo ? photo->cropRect() : kx::Rect();
    const float current = currentValueForCrop(c);
    float minimum = current;
    const bool touchesNoEdge = c.origin.x != 0 && c.origin.y != 0 && float(c.origin.x + c.size.width) != 1.0f &&
                               float(c.origin.y + c.size.height) != 1.0f;
    if (touchesNoEdge)
        minimum = minValueForCrop(c);
    panel.setCropMinValue(minimum);
    panel.setCropCurrentValue(current);
}

// ---------------------------------------------------------------------------------------------------------

KXCropCommands::KXCropCommands(KXWindowPanels* panels, KXPreview* preview)
    : QObject(panels), m_panels(panels), m_preview(preview) {
    KXCropWindowController* panel = panels->cropFloatingPanel();
    connect(panel, &KXCropWindowController::cropValueChanged, this, &KXCropCommands::cropRectChanged);
    connect(panel->slCropImage(), &QSlider::sliderPressed, this, &KXCropCommands::sliderPressed);
    connect(panel->slCropImage(), &QSlider::sliderReleased, this, &KXCropCommands::sliderReleased);
    connect(panel->btMinCrop(), &QPushButton::clicked, this, &KXCropCommands::minCropRect);
    connect(panel->btMaxCrop(), &QPushButton::clicked, this, &KXCropCommands::maxCropRect);
    connect(panel->btResetCrop(), &QPushButton::clicked, this, &KXCropCommands::resetCrop);
    connect(panel->btQuitCrop(), &QPushButton::clicked, this, &KXCropCommands::cropDone);
    connect(panels->normalFloatingPanel()->btCrop(), &QPushButton::clicked, this, &KXCropCommands::beginCrop);

    m_cropAction = new QAction(kx::Bundle::main().localizedString(QStringLiteral("Crop")), this);
    m_cropAction->setObjectName(QStringLiteral("CropAction"));
    connect(m_cropAction, &QAction::triggered, this, &KXCropCommands::beginCrop);
    validateCropAction();
}

KXGraph* KXCropCommands::singleSelectedPhotoGraph() const {
    const KXCanvas::GraphList selected = m_preview->selectedGraphs();
    if (selected.size() != 1 || selected.front()->graphType() != KXGraphTypePhoto || !photoOf(selected.front().get()))
        return nullptr;
    return selected.front().get();
}

void KXCropCommands::validateCropAction() {
    KXGraph* graph = singleSelectedPhotoGraph();
    m_cropAction->setEnabled(graph && !graph->isLocked() && !photoOf(graph)->isEmpty());
}

void KXCropCommands::beginCrop() {
    for (const std::shared_ptr<KXGraph>& graph : m_preview->selectedGraphs()) {
        KXPhoto* photo = graph->graphType() == KXGraphTypePhoto ? photoOf(graph.get()) : nullptr;
        if (!photo)
            continue;
        // A locked object is not edited, and an empty frame has no image to crop.
        if (!graph->isLocked() && !photo->isEmpty()) {
            m_preview->beginCropPhoto(photo);
            m_panels->updateFloatingPanel();
        }
        return;
    }
}

void KXCropCommands::cropDone() {
    m_preview->exitCropMode();
    m_panels->updateFloatingPanel();
}

void KXCropCommands::resetCrop() {
    KXGraph* graph = singleSelectedPhotoGraph();
    KXCanvas* page = m_preview->canvas();
    if (!graph || !page)
        return;
    KXPhoto* photo = photoOf(graph);
    kx::Rect c = photo->cropRect();
    const kx::Size frame = graph->frameRect().size;
    // The whole image's size at the graph's scale; a crop or frame without area has none.
    const kx::Size s{frame.width / c.size.width, frame.height / c.size.height};
    if (!isFinite(c) || !(c.size.width > 0) || !(c.size.height > 0) || !std::isfinite(s.width) ||
        !std::isfinite(s.height) || !(s.width > 0) || !(s.height > 0))
        return;
    {
        kx::LayerTransaction transaction;
        kx::UndoManager& undo = page->undoManager();
        undo.beginUndoGrouping();
        // The graph is drawn mirrored: the crop's sides swap with it.
        if (graph->flipX() == -1)
            c.origin.x = 1 - (c.origin.x + c.size.width);
        if (graph->flipY() == -1)
            c.origin.y = 1 - (c.origin.y + c.size.height);
        const kx::Point left{c.origin.x * s.width, c.origin.y * s.height};
        const kx::Point right{(1 - (c.origin.x + c.size.width)) * s.width,
                              (1 - (c.origin.y + c.size.height)) * s.height};
        if (left.x != 0 || left.y != 0)
            graph->resizeGraphToOffsetX(-left.x, -left.y, kLowerLeftNode);
        if (right.x != 0 || right.y != 0)
            graph->resizeGraphToOffsetX(right.x, right.y, kUpperRightNode);
        graph->resetAnchor();
        graph->setAspectRatio(s.width / s.height);
        photo->setCropRect({0, 0, 1, 1});
        m_preview->exitCropMode();
        undo.endUndoGrouping();
    }
    m_panels->updateFloatingPanel();
}

void KXCropCommands::sliderPressed() {
    KXCanvas* page = m_preview->canvas();
    if (!page || m_dragUndo)
        return;
    m_dragUndo = &page->undoManager();
    m_dragUndo->beginUndoGrouping();
}

void KXCropCommands::sliderReleased() {
    kx::UndoManager* undo = std::exchange(m_dragUndo, nullptr);
    KXCanvas* page = m_preview->canvas();
    // The page cannot change under a held mouse button; should it have, its group is not this page's.
    if (undo && page && undo == &page->undoManager() && undo->groupingLevel() > 0)
        undo->endUndoGrouping();
}

void KXCropCommands::minCropRect() {
    KXCropWindowController* panel = m_panels->cropFloatingPanel();
    panel->setCropCurrentValue(panel->minCropValue());
    cropRectChanged();
}

void KXCropCommands::maxCropRect() {
    m_panels->cropFloatingPanel()->setCropCurrentValue(kMaxCropValue);
    cropRectChanged();
}

void KXCropCommands::cropRectChanged() {
    KXGraph* graph = singleSelectedPhotoGraph();
    if (!graph)
        return;
    KXPhoto* photo = photoOf(graph);
    const kx::Rect crop = photo->cropRect();
    const kx::Rect changed = cropForSliderValue(crop, m_panels->cropFloatingPanel()->cropValue());
    if (changed == crop)
        return;
    photo->setCropRect(changed);
    photo->setNeedsDisplay();
    m_preview->redrawAuxiliaryLayer();
}
