#include "canvas/canvas_view.h"

#include "canvas/backdrop_layers.h"
#include "canvas/canvas_layer.h"
#include "graphics/geometry_utilities.h"
#include "model/graph.h"
#include "model/page_size.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/undo_manager.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/path.h"
#include "platform/layers/layer_transaction.h"

#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStylePainter>
#include <QAbstractItemView>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// Display zooms of the fixed entries 4 to 12.
constexpr double kZoomLevels[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};
constexpr int kLevelCount = int(std::size(kZoomLevels));
constexpr double kMinimumZoom = 0.25;
constexpr double kMaximumZoom = 4.0;
// Device rows of a band: Qt's raster engine hands a fill of 96 rows or more to other threads, and what a
// band draws may reach a little beyond it (guide lines reach 4 pixels past the painted area).
constexpr int kSingleThreadedRows = 80;
// Device pixels up to which a repaint is painted in single-threaded bands; larger ones use Qt's threads.
constexpr std::int64_t kBandedPaintPixels = 400 * 400;

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

bool isPixelUnit(const KXCanvas& canvas) {
    return !canvas.pageSize() || canvas.pageSize()->unit() == KXSizeUnitPixel;
}

// Display zoom per zoom value: 1 for pixel pages, dpi / 72 for pages in physical units.
double displayFactor(const KXCanvas& canvas) {
    if (isPixelUnit(canvas))
        return 1.0;
    const double dpi = double(canvas.pageSize()->dpi());
    return dpi > 0 ? dpi / 72.0 : 1.0;
}

// A textured layer of which only the part that can be seen is kept drawn. At a high zoom the workspace and
// the page backdrop are many times the size of the screen; they keep the visible part, with a margin for
// scrolling, and show their background colour elsewhere until it is scrolled into view.
template <class Textured>
class VisiblePartLayer : public Textured {
public:
    kx::Rect displayArea() const override { return m_area.isNull() ? this->bounds() : m_area; }

    // Keeps the visible rectangle (in the layer's coordinates) drawn; the layer draws again only when that
    // rectangle leaves the drawn area or the layer's size changes.
    void keepVisible(const kx::Rect& visible) {
        const kx::Rect bounds = this->bounds();
        const kx::Rect wanted = visible.intersected(bounds);
        if (!m_area.isNull() && m_areaBounds == bounds && (wanted.isNull() || m_area.contains(wanted)))
            return;
        m_areaBounds = bounds;
        m_area = visible.insetBy(-kMargin, -kMargin).intersected(bounds);
        this->setNeedsDisplay();
    }

private:
    static constexpr double kMargin = 512;
    kx::Rect m_area = kx::Rect::null();
    kx::Rect m_areaBounds = kx::Rect::null();
};

using KXWorkspaceLayer = VisiblePartLayer<KXPreviewLayer>;
using KXPageBackdropLayer = VisiblePartLayer<KXShadowLayer>;

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// KXZoomPopUp

KXZoomPopUp::KXZoomPopUp(QWidget* parent) : QComboBox(parent) {
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setMinimumContentsLength(6);
}

void KXZoomPopUp::setTitle(const QString& title) {
    if (m_title == title)
        return;
    m_title = title;
    update();
}

bool KXZoomPopUp::isEntryMarked(int index) const {
    return itemData(index, Qt::CheckStateRole).toInt() == Qt::Checked;
}

void KXZoomPopUp::setEntryMarked(int index, bool marked) {
    if (index < 0 || index >= count())
        return;
    // Only the chosen entry shows a mark; the others show no box at all.
    setItemData(index, marked ? QVariant(Qt::Checked) : QVariant(), Qt::CheckStateRole);
}

void KXZoomPopUp::paintEvent(QPaintEvent*) {
    // The face shows the title, not the chosen entry's text.
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = m_title;
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

// ---------------------------------------------------------------------------------------------------------
// KXPreview: set-up

KXPreview::KXPreview(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_AcceptTouchEvents);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Image files, search results and text can be dropped on the page (canvas_drop.cpp).
    setAcceptDrops(true);
}

KXPreview::~KXPreview() {
    endMouseTracking();
    m_observers.clear();
    undoNeedExitCropMode();
    // A drawing still under way when the view goes leaves nothing behind.
    abandonDrawing();
    m_isDrawMode = false;
    if (m_canvasLayer) {
        linkAuxiliaryLayer(m_canvasLayer.get(), nullptr);
        m_canvasLayer->removeFromSuperlayer();
    }
    if (m_rootLayer)
        m_rootLayer->setHost(nullptr);
    kx::LayerTransaction::forgetHost(this);
    if (m_scrollArea)
        m_scrollArea->removeEventFilter(this);
}

void KXPreview::setScrollArea(QScrollArea* scrollArea) {
    if (m_scrollArea)
        m_scrollArea->removeEventFilter(this);
    m_scrollArea = scrollArea;
    if (!m_scrollArea)
        return;
    m_scrollArea->setWidgetResizable(false);
    m_scrollArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_scrollArea->setWidget(this);
    m_scrollArea->installEventFilter(this);
    // The drawn part of the workspace follows the scrolling.
    for (QScrollBar* bar : {m_scrollArea->horizontalScrollBar(), m_scrollArea->verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [this] { updateWorkspaceArea(); });
}

void KXPreview::updateWorkspaceArea() {
    const kx::Rect visible = visibleRootRect();
    if (auto* workspace = dynamic_cast<KXWorkspaceLayer*>(m_rootLayer.get()))
        workspace->keepVisible(visible);
    if (auto* backdrop = dynamic_cast<KXPageBackdropLayer*>(m_shadowLayer.get()))
        backdrop->keepVisible(backdrop->convertRectFromLayer(visible, m_rootLayer.get()));
}

void KXPreview::setPubZoom(KXZoomPopUp* zoom) {
    if (m_pubZoom)
        disconnect(m_pubZoom, nullptr, this, nullptr);
    m_pubZoom = zoom;
    if (m_pubZoom)
        connect(m_pubZoom, qOverload<int>(&QComboBox::activated), this, [this](int) { zoomChanged(); });
}

// ---- The selection overlay: the only code that knows what kind of layer it is. ----

std::shared_ptr<KXAuxiliaryLayer> KXPreview::createAuxiliaryLayer() {
    return std::make_shared<KXAuxiliaryLayer>();
}

void KXPreview::auxiliaryLayerDidChangeCanvasLayer(KXCanvasLayer*) {}

void KXPreview::linkAuxiliaryLayer(KXCanvasLayer* previous, KXCanvasLayer* next) {
    if (previous && previous != next)
        previous->setAuxiliaryLayer(nullptr);
    if (m_auxilLayer)
        m_auxilLayer->setCanvasLayer(next);
    auxiliaryLayerDidChangeCanvasLayer(next);
    if (next)
        next->setAuxiliaryLayer(m_auxilLayer.get());
}

kx::Color KXPreview::backdropColor() {
    return kx::Color::srgb(0.5686274509803921, 0.5529411764705883, 0.48627450980392156, 1.0);
}

kx::Color KXPreview::workspaceColor() {
    return kx::Color::srgb(0.28, 0.29, 0.31, 1.0);
}

void KXPreview::awakeFromNib() {
    if (m_awake)
        return;
    m_awake = true;
    // 1. The root layer: the workspace texture behind the page, on the workspace colour (which shows only
    // when the texture cannot be loaded).
    m_rootLayer = std::make_shared<KXWorkspaceLayer>();
    m_rootLayer->setBackgroundColor(workspaceColor());
    m_rootLayer->setNeedsDisplayOnBoundsChange(true);
    m_rootLayer->setFrame({0, 0, double(width()), double(height())});
    m_rootLayer->setHost(this);
    updateWorkspaceArea();
    // 2. An initial backdrop without size; the first zoom pass replaces it.
    createShadowLayer();
    // 3. The overlay on top.
    m_auxilLayer = createAuxiliaryLayer();
    if (m_auxilLayer)
        m_rootLayer->addSublayer(m_auxilLayer);
    // 4. The zoom control.
    initZoomUI();
    // 5. The scrollers never hide on their own.
    setScrollers(m_hasHorizontalScroller, m_hasVerticalScroller);
    // 6. Observers.
    initNotifications();
    update();
}

void KXPreview::initZoomUI() {
    if (!m_pubZoom) {
        updateZoom();
        return;
    }
    QSignalBlocker blocker(m_pubZoom);
    m_pubZoom->clear();
    m_pubZoom->addItem(QString());
    m_pubZoom->addItem(localized("FitPage"));
    m_pubZoom->addItem(localized("FitWidth"));
    m_pubZoom->insertSeparator(KXZoomEntrySeparator);
    for (double level : kZoomLevels)
        m_pubZoom->addItem(QStringLiteral("%1%").arg(int(std::lround(level * 100))));
    m_pubZoom->setCurrentIndex(KXZoomEntryFitPage);
    updateZoomItemState();
    // The list is as wide as its longest entry, whatever the width of the closed control.
    m_pubZoom->view()->setMinimumWidth(m_pubZoom->view()->sizeHintForColumn(0) + 48);
    updateZoom();
}

void KXPreview::initNotifications() {
    auto& center = kx::NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver(kx::UndoManagerDidUndoChangeNotification, nullptr,
                                             [this](const kx::Notification& n) { undoManagerDidChange(n); }));
    m_observers.push_back(center.addObserver(kx::UndoManagerDidRedoChangeNotification, nullptr,
                                             [this](const kx::Notification& n) { undoManagerDidChange(n); }));
    m_observers.push_back(center.addObserver(KXCanvasAddGraph, nullptr, [this](const kx::Notification& n) {
        if (m_canvasLayer && n.sender == static_cast<const void*>(m_canvasLayer.get()))
            checkSelectionChanged();
    }));
}

void KXPreview::undoManagerDidChange(const kx::Notification& notification) {
    // Only the shown page's undo manager concerns this view.
    if (!m_canvas || notification.sender != static_cast<const void*>(&m_canvas->undoManager()))
        return;
    undoNeedExitCropMode();
    checkSelectionChanged();
    redrawAuxiliaryLayer();
}

void KXPreview::redrawAuxiliaryLayer() {
    if (m_auxilLayer)
        m_auxilLayer->setNeedsDisplay();
}

// ---------------------------------------------------------------------------------------------------------
// Page switching

void KXPreview::switchToCanvasLayer(const std::shared_ptr<KXCanvasLayer>& layer) {
    // A drawing under way becomes an object of the page it was drawn on.
    if (isDrawingPath())
        finishDrawing(false);
    endMouseTracking();
    undoNeedExitCropMode();
    setSelectedGraphs({});
    linkAuxiliaryLayer(m_canvasLayer.get(), layer.get());
    if (m_canvasLayer)
        m_canvasLayer->removeFromSuperlayer();
    m_canvasLayer = layer;
    m_canvas = layer ? layer->canvas() : nullptr;
    updatePreviewNeedsChangeVisible(false);
    if (m_canvasLayer && m_rootLayer) {
        if (m_auxilLayer && m_auxilLayer->superlayer() == m_rootLayer.get())
            m_rootLayer->insertSublayerBelow(m_canvasLayer, m_auxilLayer.get());
        else
            m_rootLayer->addSublayer(m_canvasLayer);
    }
    redrawAuxiliaryLayer();
    update();
}

// ---------------------------------------------------------------------------------------------------------
// Selection

void KXPreview::setSelectedGraphs(const KXCanvas::GraphList& graphs) {
    if (graphs == m_mutabSelectedList)
        return;
    for (auto it = m_mutabSelectedList.size(); it-- > 0;) {
        const auto graph = m_mutabSelectedList[it];
        if (std::find(graphs.begin(), graphs.end(), graph) == graphs.end()) {
            graph->setSelected(false);
            m_mutabSelectedList.erase(m_mutabSelectedList.begin() + std::ptrdiff_t(it));
        }
    }
    for (const auto& graph : graphs) {
        if (!graph)
            continue;
        if (std::find(m_mutabSelectedList.begin(), m_mutabSelectedList.end(), graph) == m_mutabSelectedList.end()) {
            graph->setSelected(true);
            m_mutabSelectedList.push_back(graph);
        }
    }
    redrawAuxiliaryLayer();
    kx::NotificationCenter::defaultCenter().post(KXGraphSelectionChange, this);
}

void KXPreview::deselectAllGraphs() {
    if (m_mutabSelectedList.empty())
        return;
    for (const auto& graph : m_mutabSelectedList)
        graph->setSelected(false);
    m_mutabSelectedList.clear();
    redrawAuxiliaryLayer();
    kx::NotificationCenter::defaultCenter().post(KXGraphSelectionChange, this);
}

void KXPreview::removeSelectedGrpahs() {
    if (m_mutabSelectedList.empty())
        return;
    undoNeedExitCropMode();
    const KXCanvas::GraphList graphs = m_mutabSelectedList;
    for (const auto& graph : graphs) {
        graph->setSelected(false);
        if (!graph->isLocked() && m_canvas)
            m_canvas->removeGraph(graph.get());
    }
    m_mutabSelectedList.clear();
    redrawAuxiliaryLayer();
    auto& center = kx::NotificationCenter::defaultCenter();
    center.post(KXGraphSelectionChange, this);
    center.post(KXHideAllFloatingPanel, this);
}

void KXPreview::checkSelectionChanged() {
    if (!m_canvas)
        return;
    const KXCanvas::GraphList selected = m_canvas->selectedGraphs();
    bool differs = selected.size() != m_mutabSelectedList.size();
    for (std::size_t i = 0; !differs && i < m_mutabSelectedList.size(); ++i)
        differs = !m_mutabSelectedList[i]->isSelected();
    if (!differs)
        return;
    undoNeedExitCropMode();
    setSelectedGraphs(selected);
}

// ---------------------------------------------------------------------------------------------------------
// Zoom

double KXPreview::displayZoom() const {
    if (!m_canvas)
        return 0.0;
    return m_canvas->zoomValue() * displayFactor(*m_canvas);
}

int KXPreview::zoomPercentage() const {
    const double percent = displayZoom() * 100.0;
    return std::isfinite(percent) ? int(std::lround(std::clamp(percent, -1e9, 1e9))) : 0;
}

int KXPreview::currentLevelForZoom() const {
    const int p = zoomPercentage();
    if (p < 25 || p > 400)
        return 0;
    for (int level = 0; level < kLevelCount; ++level) {
        if (p <= int(std::lround(kZoomLevels[level] * 100)))
            return level;
    }
    return 0;
}

bool KXPreview::canZoomIn() const {
    return currentLevelForZoom() != kLevelCount - 1;
}

bool KXPreview::canZoomOut() const {
    return currentLevelForZoom() != 0;
}

bool KXPreview::validateMenuItem(int tag) const {
    if (tag == KXMenuTagZoomIn)
        return canZoomIn();
    if (tag == KXMenuTagZoomOut)
        return canZoomOut();
    return true;
}

void KXPreview::updateZoomItemState() {
    if (!m_pubZoom)
        return;
    const int chosen = m_pubZoom->currentIndex();
    for (int i = 0; i < m_pubZoom->count(); ++i)
        m_pubZoom->setEntryMarked(i, i == chosen);
}

void KXPreview::zoomChanged() {
    updateZoomItemState();
    updatePreviewNeedsChangeVisible(true);
}

void KXPreview::zoomInAction() {
    const int level = currentLevelForZoom();
    if (level == kLevelCount - 1 || !m_pubZoom)
        return;
    m_pubZoom->setCurrentIndex(level + KXZoomEntryFirstLevel + 1);
    updateZoomItemState();
    updateZoom();
}

void KXPreview::zoomOutAction() {
    const int level = currentLevelForZoom();
    if (level == 0 || !m_pubZoom)
        return;
    m_pubZoom->setCurrentIndex(level + KXZoomEntryFirstLevel - 1);
    updateZoomItemState();
    updateZoom();
}

void KXPreview::actualSizeAction() {
    if (!m_pubZoom)
        return;
    m_pubZoom->setCurrentIndex(KXZoomEntryActualSize);
    updateZoomItemState();
    updateZoom();
}

void KXPreview::fitPageSizeAction() {
    if (!m_pubZoom)
        return;
    m_pubZoom->setCurrentIndex(KXZoomEntryFitPage);
    updateZoomItemState();
    // The list is as wide as its longest entry, whatever the width of the closed control.
    m_pubZoom->view()->setMinimumWidth(m_pubZoom->view()->sizeHintForColumn(0) + 48);
    updateZoom();
}

int KXPreview::scrollerWidth() const {
    return m_scrollArea ? m_scrollArea->verticalScrollBar()->sizeHint().width() : 0;
}

int KXPreview::scrollerHeight() const {
    return m_scrollArea ? m_scrollArea->horizontalScrollBar()->sizeHint().height() : 0;
}

QSize KXPreview::scrollContentSize() const {
    if (!m_scrollArea)
        return size();
    return m_scrollArea->contentsRect().size();
}

QSize KXPreview::visibleDocumentSize() const {
    QSize size = scrollContentSize();
    if (m_scrollArea) {
        if (m_hasVerticalScroller)
            size.rwidth() -= scrollerWidth();
        if (m_hasHorizontalScroller)
            size.rheight() -= scrollerHeight();
    }
    return size.expandedTo(QSize(0, 0));
}

void KXPreview::setScrollers(bool horizontal, bool vertical) {
    m_hasHorizontalScroller = horizontal;
    m_hasVerticalScroller = vertical;
    if (!m_scrollArea)
        return;
    const auto policy = [](bool on) { return on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff; };
    if (m_scrollArea->horizontalScrollBarPolicy() != policy(horizontal))
        m_scrollArea->setHorizontalScrollBarPolicy(policy(horizontal));
    if (m_scrollArea->verticalScrollBarPolicy() != policy(vertical))
        m_scrollArea->setVerticalScrollBarPolicy(policy(vertical));
}

void KXPreview::setViewSize(const QSizeF& size) {
    const QSize pixels(std::max(0, int(std::ceil(size.width() - 1e-6))), std::max(0, int(std::ceil(size.height() - 1e-6))));
    if (this->size() != pixels)
        resize(pixels);
    if (m_rootLayer)
        m_rootLayer->setFrame({0, 0, double(pixels.width()), double(pixels.height())});
    updateWorkspaceArea();
}

void KXPreview::updateZoom() {
    if (!m_canvasLayer || !m_canvas)
        return;
    // The drawing's points are page points of the zoom it began at.
    if (isDrawingPath())
        finishDrawing(false);
    m_lockZoom = true;
    {
        kx::LayerTransaction transaction;
        if (m_shadowLayer) {
            m_shadowLayer->removeFromSuperlayer();
            m_shadowLayer.reset();
        }
    }
    const kx::Size pixelSize = m_canvas->pixelSize();
    if (!(pixelSize.width > 0) || !(pixelSize.height > 0) || !std::isfinite(pixelSize.width) ||
        !std::isfinite(pixelSize.height)) {
        m_lockZoom = false;
        return;
    }
    const int entry = m_pubZoom ? m_pubZoom->currentIndex() : KXZoomEntryFitPage;
    kx::Rect pageFrame;
    QSizeF viewSize;
    if (entry == KXZoomEntryFitPage) {
        setScrollers(false, false);
        const QSize content = scrollContentSize();
        viewSize = QSizeF(content);
        pageFrame = aspectFitRect({0, 0, pixelSize.width, pixelSize.height},
                                  {0, 0, double(content.width()), double(content.height())});
    } else if (entry == KXZoomEntryFitWidth) {
        setScrollers(false, m_hasVerticalScroller);
        const QSize visible = visibleDocumentSize();
        const QSize bounds = scrollContentSize();
        double w = visible.width();
        double h = w * pixelSize.height / pixelSize.width;
        double viewHeight = visible.height();
        if (visible.height() > h) {
            // The page is shorter than the view: no scroller at all, the full width.
            setScrollers(false, false);
            w = bounds.width();
            h = w * pixelSize.height / pixelSize.width;
            viewHeight = bounds.height();
        } else if (visible.height() < h) {
            setScrollers(false, true);
            w = bounds.width() - scrollerWidth();
            h = w * pixelSize.height / pixelSize.width;
            viewHeight = h;
        }
        viewSize = QSizeF(w, viewHeight);
        pageFrame = {0, (viewHeight - h) / 2.0, w, h};
    } else {
        double z = m_fixedZoomValue;
        if (entry >= KXZoomEntryFirstLevel && entry <= KXZoomEntryLastLevel)
            z = kZoomLevels[entry - KXZoomEntryFirstLevel];
        z /= displayFactor(*m_canvas);
        const kx::Size scaled{z * pixelSize.width, z * pixelSize.height};
        QSize visible = visibleDocumentSize();
        setScrollers(scaled.width > visible.width(), scaled.height > visible.height());
        visible = visibleDocumentSize();
        viewSize = QSizeF(std::max<double>(visible.width(), scaled.width),
                          std::max<double>(visible.height(), scaled.height));
        const double x = visible.width() > scaled.width ? (visible.width() - scaled.width) / 2.0 : 0.0;
        const double y = visible.height() > scaled.height ? (visible.height() - scaled.height) / 2.0 : 0.0;
        pageFrame = {x, y, scaled.width, scaled.height};
    }
    setViewSize(viewSize);
    m_canvasLayer->setFrame(pageFrame);

    undoNeedExitCropMode();
    // Only the part of the page that can be seen is drawn again now.
    m_canvasLayer->layoutIfNeeded();
    const kx::Rect visibleInPage =
        m_canvasLayer->convertRectFromLayer(visibleRootRect(), m_rootLayer.get()).intersected(m_canvasLayer->bounds());
    if (!visibleInPage.isNull() && !visibleInPage.isEmpty())
        m_canvasLayer->setNeedsDisplayInRect(visibleInPage);
    {
        kx::LayerTransaction transaction;
        createShadowLayer();
        if (m_auxilLayer)
            m_auxilLayer->setFrame({0, 0, double(width()), double(height())});
    }
    if (m_pubZoom)
        m_pubZoom->setTitle(QStringLiteral("%1%").arg(zoomPercentage()));
    m_canvas->receateAllText();
    m_lockZoom = false;
    update();
}

kx::Point KXPreview::relativeVisibleCentre() const {
    kx::Point centre{0.5, 0.5};
    if (!m_canvasLayer)
        return centre;
    const kx::Rect visible = visibleRootRect();
    const kx::Rect frame = m_canvasLayer->frame();
    if (m_hasHorizontalScroller && frame.size.width > 0)
        centre.x = (visible.origin.x + visible.size.width / 2.0) / frame.size.width;
    if (m_hasVerticalScroller && frame.size.height > 0)
        centre.y = (visible.origin.y + visible.size.height / 2.0) / frame.size.height;
    return centre;
}

void KXPreview::updatePreviewNeedsChangeVisible(bool keepVisibleCentre) {
    if (!keepVisibleCentre) {
        updateZoom();
        return;
    }
    const kx::Point centre = relativeVisibleCentre();
    updateZoom();
    if (!m_canvasLayer)
        return;
    const kx::Rect visible = visibleRootRect();
    const kx::Rect frame = m_canvasLayer->frame();
    if (visible.contains(frame))
        return;
    scrollRootRectToVisible({centre.x * frame.size.width - visible.size.width / 2.0,
                             centre.y * frame.size.height - visible.size.height / 2.0, visible.size.width,
                             visible.size.height});
}

void KXPreview::scrollRootRectToVisible(const kx::Rect& rect) {
    if (!m_scrollArea)
        return;
    const QRectF target = viewRectForRootRect(rect);
    QScrollBar* h = m_scrollArea->horizontalScrollBar();
    QScrollBar* v = m_scrollArea->verticalScrollBar();
    // Make sure the ranges know the view's current size before scrolling.
    const QSize visible = visibleDocumentSize();
    h->setRange(0, std::max(0, width() - visible.width()));
    v->setRange(0, std::max(0, height() - visible.height()));
    h->setValue(int(std::lround(target.x())));
    v->setValue(int(std::lround(target.y())));
}

kx::Rect KXPreview::visibleRootRect() const {
    const QSize visible = visibleDocumentSize();
    QRectF rect(0, 0, visible.width(), visible.height());
    if (m_scrollArea)
        rect.moveTo(m_scrollArea->horizontalScrollBar()->value(), m_scrollArea->verticalScrollBar()->value());
    rect = rect.intersected(QRectF(0, 0, width(), height()));
    return rootRectForViewRect(rect);
}

void KXPreview::setFrame(const QRect& frame) {
    if (m_canvasLayer && !m_lockZoom)
        updateZoom();
    else
        setGeometry(frame);
    redrawAuxiliaryLayer();
}

void KXPreview::exitCropAndDrawModes() {
    exitDrawMode();
    undoNeedExitCropMode();
}

// ---------------------------------------------------------------------------------------------------------
// Pinch zoom

void KXPreview::magnifyWithEvent(double magnification) {
    if (!m_canvasLayer || !m_canvas || !m_rootLayer || !std::isfinite(magnification))
        return;
    undoNeedExitCropMode();
    exitDrawMode();
    const double current = displayZoom();
    if (!(current > 0))
        return;
    double factor = 1.0 + magnification;
    if (factor * current < kMinimumZoom)
        factor = kMinimumZoom / current;
    if (factor * current > kMaximumZoom)
        factor = kMaximumZoom / current;

    m_canvasLayer->lockDisplay();
    if (!m_thumbLayer) {
        kx::LayerTransaction transaction;
        m_thumbLayer = std::make_shared<kx::Layer>();
        m_thumbLayer->setFrame(m_canvasLayer->frame());
        m_thumbLayer->setContents(m_canvas->outputImageWithSize(m_canvas->previewSize()));
        m_rootLayer->insertSublayerAbove(m_thumbLayer, m_canvasLayer.get());
        m_canvasLayer->setHidden(true);
        if (m_auxilLayer)
            m_auxilLayer->setHidden(true);
    }
    if (m_pubZoom) {
        QSignalBlocker blocker(m_pubZoom);
        m_pubZoom->setCurrentIndex(-1);
    }
    const kx::Point centre = relativeVisibleCentre();
    const QSize bounds = scrollContentSize();
    const kx::Rect frame = m_canvasLayer->frame();
    const kx::Size scaled{factor * frame.size.width, factor * frame.size.height};
    setScrollers(scaled.width > bounds.width(), scaled.height > bounds.height());
    setViewSize(QSizeF(std::max<double>(bounds.width(), scaled.width), std::max<double>(bounds.height(), scaled.height)));
    kx::Point origin = frame.origin;
    if (bounds.width() > scaled.width)
        origin.x = (bounds.width() - scaled.width) / 2.0;
    if (bounds.height() > scaled.height)
        origin.y = (bounds.height() - scaled.height) / 2.0;
    {
        kx::LayerTransaction transaction;
        if (m_shadowLayer) {
            m_shadowLayer->removeFromSuperlayer();
            m_shadowLayer.reset();
        }
        const kx::Rect newFrame{origin.x, origin.y, scaled.width, scaled.height};
        m_thumbLayer->setFrame(newFrame);
        m_canvasLayer->setFrame(newFrame);
    }
    const kx::Rect visible = visibleRootRect();
    const kx::Rect newFrame = m_canvasLayer->frame();
    if (!visible.contains(newFrame)) {
        scrollRootRectToVisible({centre.x * newFrame.size.width - visible.size.width / 2.0,
                                 centre.y * newFrame.size.height - visible.size.height / 2.0, visible.size.width,
                                 visible.size.height});
    }
    m_fixedZoomValue = displayZoom();
    if (m_pubZoom)
        m_pubZoom->setTitle(QStringLiteral("%1%").arg(zoomPercentage()));
    update();
}

void KXPreview::endGestureWithEvent() {
    kx::NotificationCenter::defaultCenter().post(KXFloatingNeedUpdate, this);
    if (!m_thumbLayer)
        return;
    if (m_canvasLayer)
        m_canvasLayer->unlockDisplay();
    {
        kx::LayerTransaction transaction;
        if (m_canvasLayer)
            m_canvasLayer->setFrame(m_thumbLayer->frame());
        if (m_auxilLayer) {
            m_auxilLayer->setFrame({0, 0, double(width()), double(height())});
            m_auxilLayer->setHidden(false);
        }
        createShadowLayer();
        if (m_canvasLayer) {
            m_canvasLayer->setHidden(false);
            m_canvasLayer->setNeedsDisplay();
            m_canvasLayer->displayIfNeeded();
        }
        m_thumbLayer->removeFromSuperlayer();
        m_thumbLayer.reset();
    }
    if (m_canvas)
        m_canvas->receateAllText();
    redrawAuxiliaryLayer();
    update();
}

// ---------------------------------------------------------------------------------------------------------
// Backdrop

void KXPreview::createShadowLayer() {
    if (m_shadowLayer || !m_rootLayer)
        return;
    m_shadowLayer = std::make_shared<KXPageBackdropLayer>();
    m_shadowLayer->setNeedsDisplayOnBoundsChange(true);
    m_shadowLayer->setBackgroundColor(backdropColor());
    m_shadowLayer->setShadowOpacity(0.5);
    m_shadowLayer->setShadowRadius(2);
    m_shadowLayer->setShadowOffset({0, 0});
    const kx::Rect frame = m_canvasLayer ? m_canvasLayer->frame() : kx::Rect{};
    m_shadowLayer->setFrame(frame);
    kx::Path path;
    path.addRect(m_shadowLayer->bounds());
    m_shadowLayer->setShadowPath(path);
    m_rootLayer->insertSublayer(m_shadowLayer, 0);
    updateWorkspaceArea();
}

// ---------------------------------------------------------------------------------------------------------
// Geometry

kx::Rect KXPreview::rootRectForViewRect(const QRectF& rect) const {
    return {rect.x(), double(height()) - rect.y() - rect.height(), rect.width(), rect.height()};
}

QRectF KXPreview::viewRectForRootRect(const kx::Rect& rect) const {
    return {rect.origin.x, double(height()) - rect.origin.y - rect.size.height, rect.size.width, rect.size.height};
}

kx::Point KXPreview::pagePointForViewPoint(const QPointF& point) const {
    const kx::Point root{point.x(), double(height()) - point.y()};
    if (!m_canvasLayer)
        return root;
    return m_canvasLayer->convertPointFromLayer(root, m_rootLayer.get());
}

QPointF KXPreview::viewPointForPagePoint(const kx::Point& point) const {
    kx::Point root = point;
    if (m_canvasLayer)
        root = m_canvasLayer->convertPointToLayer(point, m_rootLayer.get());
    return {root.x, double(height()) - root.y};
}

// ---------------------------------------------------------------------------------------------------------
// Painting and events

void KXPreview::layerNeedsRepaint(const kx::Rect& rect) {
    if (rect.isNull() || rect.isEmpty())
        return;
    const QRectF area = viewRectForRootRect(rect);
    const QRect pixels = area.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(QRect(QPoint(0, 0), size()));
    if (!pixels.isEmpty())
        update(pixels);
}

void KXPreview::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (!m_rootLayer) {
        painter.fillRect(event->rect(), workspaceColor().toQColor());
        return;
    }
    const qreal scale = devicePixelRatioF();
    const QRegion region = event->region();
    const auto paintBand = [&](const QRect& rect) {
        kx::BitmapContext context(int(std::ceil(rect.width() * scale)), int(std::ceil(rect.height() * scale)));
        if (!context.isValid())
            return;
        context.scale(scale, scale);
        context.translate(-rect.x(), -(double(height()) - rect.y() - rect.height()));
        m_rootLayer->renderInContext(context);
        // The overlay keeps no bitmap: it is drawn anew above the page, in its own coordinates.
        if (m_auxilLayer && !m_auxilLayer->isHidden() && m_auxilLayer->superlayer() == m_rootLayer.get()) {
            context.saveGState();
            context.translate(m_auxilLayer->frame().origin.x, m_auxilLayer->frame().origin.y);
            m_auxilLayer->paint(context);
            context.restoreGState();
        }
        // The context's pixels, drawn without a copy (8-bit RGBA, premultiplied, row 0 on top).
        QImage image(context.constData(), context.width(), context.height(), context.bytesPerRow(),
                     QImage::Format_RGBA8888_Premultiplied);
        image.setDevicePixelRatio(scale);
        painter.drawImage(rect.topLeft(), image);
    };
    // Qt's raster engine splits every fill taller than about a hundred rows across its thread pool and waits
    // for the pieces; for the small areas a drag repaints, waking the threads costs far more than the fill.
    // Such areas are painted in bands short enough to stay on this thread; large repaints keep the threads.
    const auto paintRect = [&](const QRect& rect) {
        if (rect.isEmpty())
            return;
        m_paintedPixels += std::int64_t(rect.width()) * rect.height();
        const int bandRows = std::max(1, int(kSingleThreadedRows / scale));
        if (std::int64_t(rect.width()) * rect.height() * scale * scale > kBandedPaintPixels ||
            rect.height() <= bandRows) {
            paintBand(rect);
            return;
        }
        for (int y = rect.top(); y <= rect.bottom(); y += bandRows)
            paintBand(QRect(rect.left(), y, rect.width(), std::min(bandRows, rect.bottom() + 1 - y)));
    };
    // Many small pieces cost more set-up than their union does, unless the union is mostly unchanged
    // page: thin strips far apart (guide lines, the handles at both ends of a drag) are painted one by one.
    const QRect bound = region.boundingRect();
    std::int64_t pieces = 0;
    for (const QRect& rect : region)
        pieces += std::int64_t(rect.width()) * rect.height();
    const bool apart = region.rectCount() <= 64 && pieces * 2 < std::int64_t(bound.width()) * bound.height();
    if (region.rectCount() > 8 && !apart) {
        paintRect(bound);
    } else {
        for (const QRect& rect : region)
            paintRect(rect);
    }
}

void KXPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_rootLayer)
        m_rootLayer->setFrame({0, 0, double(width()), double(height())});
    updateWorkspaceArea();
}

bool KXPreview::eventFilter(QObject* watched, QEvent* event) {
    if (m_watchingApplication && isDrawingPath() && drawingInterruptedBy(watched, event))
        finishDrawing(false);
    if (watched == m_scrollArea && event->type() == QEvent::Resize && m_awake) {
        setFrame(geometry());
        updateWorkspaceArea();
    }
    return QWidget::eventFilter(watched, event);
}

bool KXPreview::event(QEvent* event) {
    // While a pen drawing is under way every key comes to the view, shortcuts included ("z" undoes a node,
    // any other key finishes the drawing).
    if (event->type() == QEvent::ShortcutOverride && isDrawingPath()) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        switch (gesture->gestureType()) {
        case Qt::ZoomNativeGesture:
            magnifyWithEvent(gesture->value());
            return true;
        case Qt::EndNativeGesture:
            endGestureWithEvent();
            return true;
        case Qt::BeginNativeGesture:
            return true;
        default:
            break;
        }
    }
    return QWidget::event(event);
}

void KXPreview::wheelEvent(QWheelEvent* event) {
    // The wheel neither scrolls nor zooms under a pen drawing.
    if (isDrawingPath()) {
        event->accept();
        return;
    }
    // Ctrl with the wheel steps through the fixed zoom levels; the plain wheel scrolls.
    if (event->modifiers() & Qt::ControlModifier) {
        const int delta = event->angleDelta().y();
        if (delta > 0)
            zoomInAction();
        else if (delta < 0)
            zoomOutAction();
        event->accept();
        return;
    }
    QWidget::wheelEvent(event);
}
