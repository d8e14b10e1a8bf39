// The canvas view of a document window: the document view of a scroll area that shows one page at a time as
// a layer tree, keeps the list of selected page objects and lays the page out for the chosen zoom.
//
// Layer tree (back to front): the root layer (the tiled workspace texture), the page backdrop (a textured
// sheet with a soft shadow under the page), the page layer of the shown page and the selection overlay. The root layer's bounds are the
// view's size in a y-up space: root point (x, y) is widget point (x, height - y). The view is the host of the
// root layer, so every change anywhere in the tree reports the area it touched and only that part of the
// widget is painted again.
//
// Zoom: the page model keeps a zoom value (preview points per page pixel). The display zoom is that value,
// times dpi / 72 for pages measured in millimetres, inches or centimetres, so that 100 % shows such a page at
// its physical size at 72 points per inch. The zoom control offers the free entry, "fit page", "fit width"
// and fixed levels from 25 % to 400 %; its title always reads the current percentage.
#pragma once

#include "canvas/auxiliary_layer.h"

#include "model/canvas.h"
#include "platform/foundation/notification_center.h"
#include "platform/layers/layer.h"
#include "platform/layers/layer_host.h"

#include <QComboBox>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

class KXCanvasLayer;
class KXGraph;
class QScrollArea;

// Posted with the view as sender whenever its selection list changes.
inline const QString KXGraphSelectionChange = QStringLiteral("KXGraphSelectionChange");
// Posted with the view as sender when the floating panels over the page must go.
inline const QString KXHideAllFloatingPanel = QStringLiteral("KXHideAllFloatingPanel");
// Posted with the view as sender when the floating panels must follow the page (after a pinch).
inline const QString KXFloatingNeedUpdate = QStringLiteral("KXFloatingNeedUpdate");

// Menu tags of the zoom commands, used to enable them.
inline constexpr int KXMenuTagZoomIn = 200;
inline constexpr int KXMenuTagZoomOut = 201;

// Entries of the zoom control.
enum KXZoomEntry : int {
    KXZoomEntryFree = 0,
    KXZoomEntryFitPage = 1,
    KXZoomEntryFitWidth = 2,
    KXZoomEntrySeparator = 3,
    KXZoomEntryFirstLevel = 4,  // "25%"; the levels run to entry 12, "400%"
    KXZoomEntryActualSize = 7,  // "100%"
    KXZoomEntryLastLevel = 12,
};

// The zoom pop-up: a combo box whose closed face shows a title set from outside (the current percentage)
// whatever entry is chosen, and whose chosen entry is marked with a check.
class KXZoomPopUp : public QComboBox {
    Q_OBJECT
public:
    explicit KXZoomPopUp(QWidget* parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString& title);
    // Whether the entry carries the check mark.
    bool isEntryMarked(int index) const;
    void setEntryMarked(int index, bool marked);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
};

class KXPreview : public QWidget, public kx::LayerHost {
    Q_OBJECT
public:
    explicit KXPreview(QWidget* parent = nullptr);
    ~KXPreview() override;

    // Outlets: the scroll area the view is the document view of (the view puts itself into it) and the zoom
    // control. Set both before awakeFromNib().
    void setScrollArea(QScrollArea* scrollArea);
    QScrollArea* scrollArea() const { return m_scrollArea; }
    void setPubZoom(KXZoomPopUp* zoom);
    KXZoomPopUp* pubZoom() const { return m_pubZoom; }

    // Builds the layer tree, fills the zoom control (choosing "fit page") and starts observing.
    void awakeFromNib();

    // ---- the page shown ----
    // Shows another page layer: empties the selection, hands the layer the overlay, lays it out for the
    // chosen zoom entry. The project owns its page layers; the view only refers to the one it shows.
    void switchToCanvasLayer(const std::shared_ptr<KXCanvasLayer>& layer);
    KXCanvasLayer* canvasLayer() const { return m_canvasLayer.get(); }
    KXCanvas* canvas() const { return m_canvas; }

    // ---- selection ----
    KXCanvas::GraphList selectedGraphs() const { return m_mutabSelectedList; }
    void setSelectedGraphs(const KXCanvas::GraphList& graphs);
    void deselectAllGraphs();
    // Removes the selected graphs that are not locked from the page; locked ones stay, unselected.
    void removeSelectedGrpahs();
    // Takes the page's own selection when it differs from the list.
    void checkSelectionChanged();

    // ---- zoom ----
    // The display zoom (1.0 = 100 %) of the shown page; 0 without a page.
    double displayZoom() const;
    // The display zoom as the rounded percentage the control shows.
    int zoomPercentage() const;
    // Level 0 to 8 of the smallest fixed entry at or above the current percentage; 0 outside 25 % to 400 %.
    int currentLevelForZoom() const;
    void updateZoom();
    void updatePreviewNeedsChangeVisible(bool keepVisibleCentre);
    // Chooses an entry of the zoom control as the user does, and lays the page out for it.
    void zoomChanged();
    void zoomInAction();
    void zoomOutAction();
    void actualSizeAction();
    void fitPageSizeAction();
    bool canZoomIn() const;
    bool canZoomOut() const;
    bool validateMenuItem(int tag) const;
    double fixedZoomValue() const { return m_fixedZoomValue; }
    void setFixedZoomValue(double zoom) { m_fixedZoomValue = zoom; }

    // Pinch zoom: one call per magnification step (the step's relative change), then one at the end.
    void magnifyWithEvent(double magnification);
    void endGestureWithEvent();
    bool isPinching() const { return m_thumbLayer != nullptr; }

    // A new frame for the view: with a page shown (and no zoom pass running) the page is laid out again for
    // the chosen entry instead, which sets the frame itself.
    void setFrame(const QRect& frame);

    // ---- geometry ----
    // Conversions between widget points (y down) and page space (the page layer's own points, y up).
    kx::Point pagePointForViewPoint(const QPointF& point) const;
    QPointF viewPointForPagePoint(const kx::Point& point) const;
    // The root layer's rectangle as a widget rectangle, and back.
    QRectF viewRectForRootRect(const kx::Rect& rect) const;
    kx::Rect rootRectForViewRect(const QRectF& rect) const;
    // The part of the view the scroll area shows, in root (y-up) coordinates.
    kx::Rect visibleRootRect() const;
    // The size of the visible document area: the scroll area's contents minus the scrollers it shows.
    QSize visibleDocumentSize() const;
    // The scroll area's contents without any scroller.
    QSize scrollContentSize() const;
    bool hasHorizontalScroller() const { return m_hasHorizontalScroller; }
    bool hasVerticalScroller() const { return m_hasVerticalScroller; }

    // ---- layers ----
    kx::Layer* rootLayer() const { return m_rootLayer.get(); }
    kx::Layer* shadowLayer() const { return m_shadowLayer.get(); }
    KXAuxiliaryLayer* auxiliaryLayer() const { return m_auxilLayer.get(); }
    kx::Layer* thumbLayer() const { return m_thumbLayer.get(); }
    // Makes the page backdrop when there is none.
    void createShadowLayer();
    // Asks the selection overlay to draw itself again.
    void redrawAuxiliaryLayer();

    // The widget area painted by the paint events so far, in pixels (a measure for tests and benchmarks).
    std::int64_t paintedPixelCount() const { return m_paintedPixels; }
    void resetPaintedPixelCount() { m_paintedPixels = 0; }

    // kx::LayerHost: the area of the root layer to paint again.
    void layerNeedsRepaint(const kx::Rect& rect) override;

    // The backdrop's colour under its texture, and the workspace colour under the root layer's texture.
    static kx::Color backdropColor();
    static kx::Color workspaceColor();

protected:
    // The selection overlay: a layer that stays above the page layer for the whole life of the view. The
    // base makes a plain transparent layer; the overlay class replaces it here.
    virtual std::shared_ptr<KXAuxiliaryLayer> createAuxiliaryLayer();
    // Tells the overlay which page layer it draws for (null when none). The base overlay needs nothing.
    virtual void auxiliaryLayerDidChangeCanvasLayer(KXCanvasLayer* layer);
    // Leaves crop mode when a photo is being cropped, and the pen tool; the editing modes override them.
    virtual void undoNeedExitCropMode() {}
    virtual void exitDrawMode() {}

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Hands the overlay from one page layer to the next (either may be null).
    void linkAuxiliaryLayer(KXCanvasLayer* previous, KXCanvasLayer* next);
    void initZoomUI();
    void initNotifications();
    void updateZoomItemState();
    void setScrollers(bool horizontal, bool vertical);
    // Keeps the part of the workspace and of the page backdrop that can be seen drawn.
    void updateWorkspaceArea();
    // Sets the view's size without a zoom pass, and the root layer with it.
    void setViewSize(const QSizeF& size);
    void scrollRootRectToVisible(const kx::Rect& rect);
    kx::Point relativeVisibleCentre() const;
    int scrollerWidth() const;
    int scrollerHeight() const;
    void undoManagerDidChange(const kx::Notification& notification);

    QScrollArea* m_scrollArea = nullptr;
    KXZoomPopUp* m_pubZoom = nullptr;

    std::shared_ptr<kx::Layer> m_rootLayer;
    std::shared_ptr<kx::Layer> m_shadowLayer;
    std::shared_ptr<KXAuxiliaryLayer> m_auxilLayer;
    std::shared_ptr<kx::Layer> m_thumbLayer;
    std::shared_ptr<KXCanvasLayer> m_canvasLayer;
    KXCanvas* m_canvas = nullptr;

    KXCanvas::GraphList m_mutabSelectedList;
    double m_fixedZoomValue = 1.0;
    bool m_lockZoom = false;
    bool m_hasHorizontalScroller = true;
    bool m_hasVerticalScroller = true;
    bool m_awake = false;
    std::int64_t m_paintedPixels = 0;

    std::vector<kx::NotificationToken> m_observers;
};
