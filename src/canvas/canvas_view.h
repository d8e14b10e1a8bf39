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
#include "canvas/snapping.h"

#include "model/canvas.h"
#include "platform/foundation/notification_center.h"
#include "platform/layers/layer.h"
#include "platform/layers/layer_host.h"

#include <QComboBox>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class KXCache;
class KXCanvasLayer;
class KXCropLayer;
class KXCustomLayer;
class KXGoogleImage;
class KXGraph;
class KXPhoto;
class KXShape;
class QContextMenuEvent;
class QFocusEvent;
class QKeyEvent;
class QMenu;
class KXShapeLayer;
struct KXDropContents;
class QMouseEvent;
class QScrollArea;

// Posted with the view as sender whenever its selection list changes.
inline const QString KXGraphSelectionChange = QStringLiteral("KXGraphSelectionChange");
// Posted with the view as sender when the floating panels over the page must go.
inline const QString KXHideAllFloatingPanel = QStringLiteral("KXHideAllFloatingPanel");
// Posted with the view as sender when the floating panels must follow the page (after a pinch).
inline const QString KXFloatingNeedUpdate = QStringLiteral("KXFloatingNeedUpdate");

// Menu tags of the context menu's photo commands, shown only while exactly one photo is selected.
inline constexpr int KXMenuTagPhotoCommand = 100;
inline constexpr int KXMenuTagUnlockedPhoto = 21;
inline constexpr int KXMenuTagPhoto = 22;

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

    // ---- mouse (canvas_mouse.cpp) ----
    // The mouse road of the normal mode. A left press selects (a click on a selected object keeps a multiple
    // selection, on an unselected one selects it alone, on empty page clears it; with Shift or the Option
    // role, Alt or Ctrl, it toggles the object under the mouse); a drag then moves the selection by an
    // object's body, resizes it by a handle keeping the aspect, turns it by the rotate handle, or draws a
    // rubber band from empty page or a locked object. Moves and resizes snap to the page and to other
    // objects (see KXSnapping) unless the Option role is held; guides show either way. Every drag that
    // changes something is one undo step on the page's undo manager; a drag that changes nothing leaves
    // none.
    void mouseSingleClickAtPoint(const kx::Point& point);
    void singleClickWithNormalAtPoint(const kx::Point& point);
    // A click on a link of the one selected text object opens the link (web and mail links only); true
    // when the click fell on a link, whether or not it could be opened.
    bool checkSelectTextIsLinkAtPoint(const kx::Point& point);
    // Rubber band from the press point to the point: the selection becomes what the band meets (lines only
    // where their stroke lies inside it).
    void selectGraphsWithMousePoint(const kx::Point& point);
    void selectGraphsWithFrame(const kx::Rect& rect);
    // Moves the pressed object by the mouse (snapping when asked), then every other unlocked selected
    // object by the same amount.
    void moveGraphsWithMousePoint(const kx::Point& point, bool absorption);
    // Moves one object by (dx, dy) and snaps it; the offset actually applied comes back in dx, dy.
    void moveGraph(KXGraph* graph, double& dx, double& dy, bool absorption, const KXCanvas::GraphList& unselected);
    // Resizes the pressed object at the pressed handle, measured in its own unturned axes, keeping its
    // aspect, then the other unlocked selected objects by the same amount at the same handle.
    void resizeGraphsWithMousePoint(const kx::Point& point, bool absorption);
    // Resizes one object and snaps it; the offset applied (with the snap correction) comes back in dx, dy,
    // and `absorption` is cleared when nothing snapped. True when a snap correction was applied.
    bool resizeGraph(KXGraph* graph, double& dx, double& dy, bool& absorption,
                     const KXCanvas::GraphList& unselectedGraphs);
    // Turns the pressed object by the mouse's turn about its centre, landing on right angles when snapping,
    // then the other unlocked selected objects by the same change.
    void rotateGraphsWithMousePoint(const kx::Point& point, bool absorption);
    // Turns one object; true when a right-angle snap took effect.
    bool rotateGraph(KXGraph* graph, const kx::Point& point, bool absorption);
    // The mirrored handle number (see trackerNodeFlip).
    static KXTrackerNode trackerNode(KXTrackerNode node, std::int32_t flipX, std::int32_t flipY);
    // Opens one undo group for a drag (when none is open) and closes it; a group whose normal move, resize
    // or turn left every object where it was is dropped instead of becoming a step.
    void beginEdit();
    void endEdit();
    bool isEditing() const { return m_isEditing; }
    // Tells the layers of the selected objects that they are being edited (companions hide meanwhile).
    void setGraphsEditing(bool editing);
    // Leaves the pen tool and, when a photo is being cropped, crop mode (after an edit in an inspector).
    void exitCropAndDrawModes();

    // Tracking state, for inspection.
    bool isMouseDown() const { return m_isMouseDown; }
    std::optional<kx::Point> mouseDownPoint() const { return m_mouseDownPoint; }
    KXTrackerNode mouseDownNode() const { return m_mouseDownNode; }
    KXGraph* mouseDownGraph() const { return m_mouseDownGraph.get(); }
    const KXSnapping& snapping() const { return m_snapping; }

    // What opens a link: the desktop's handler by default; tests put a recorder in its place. The failure
    // report shows an alert by default.
    using LinkOpener = std::function<bool(const QUrl&)>;
    void setLinkOpener(LinkOpener opener) { m_linkOpener = std::move(opener); }
    using LinkFailureReporter = std::function<void(const QUrl&)>;
    void setLinkFailureReporter(LinkFailureReporter reporter) { m_linkFailureReporter = std::move(reporter); }

    // ---- crop mode and shape-node editing (crop_mode.cpp) ----
    // Crop mode re-frames the image of one photo: its shape keeps its frame (the crop window) while the whole
    // image shows faintly around it; a drag pans the image under the window or scales it from one of the
    // eight handles of the whole image. The photo's render mode is 1 while it is cropped, 0 otherwise.
    // Toggles crop mode for the photo: enters from render mode 0, leaves from any other.
    void beginCropPhoto(KXPhoto* photo);
    void changePhoto(KXPhoto* photo, std::int32_t renderMode);
    // Leaves crop mode: the layers leave their editing state, then the crop ghost goes.
    void exitCropMode();
    void removeCropLayer();
    // Leaves crop mode when a photo is being cropped (after undo, redo, zoom passes, page switches).
    void undoNeedExitCropMode();
    KXCropLayer* cropLayer() const { return m_cropLayer.get(); }
    // Pans the image under the fixed crop window by the mouse's movement since the anchor; the image always
    // covers the window.
    void movePhotoCropWithMousePoint(const kx::Point& point);
    // Scales the image from the pressed crop handle, keeping its aspect and the opposite corner or edge, and
    // never letting an image edge inside the window.
    void resizePhotoCrop1WithMousePoint(const kx::Point& point);

    // ---- pen tool (pen_tool.cpp) ----
    // The pen tool draws a free outline node by node: a click with the tool active starts a drawing, each
    // further click adds a node joined by a curve, a drag pulls the handles of the segment under way, and a
    // click on the start point, a double click, a character key or the mouse leaving the view finishes it
    // into one pen shape on the page (one undo step). "z" and "Z" undo and redo nodes while drawing. The
    // drawing runs in the view's own event handlers; menu commands, window deactivation, page switches and
    // zoom passes finish it first.
    void enterDrawMode();
    bool isCustomDrawMode() const { return m_isDrawMode; }
    // Finishes a drawing under way, then leaves the tool; the cursor becomes the arrow.
    void exitDrawMode();
    // Whether a drawing is under way.
    bool isDrawingPath() const { return m_customLayer != nullptr; }
    KXCustomLayer* customLayer() const { return m_customLayer.get(); }
    void beginDrawPathAtPoint(const kx::Point& point);

    // ---- cursor feedback, context menu and keys (canvas_cursors.cpp, canvas_keys.cpp) ----
    // The pointer over the view shows what a press or drag would do.
    enum class CursorKind { Arrow, PointingHand, ClosedHand, UpDown, LeftRight, Pen, Drag, Rotate, TrToBl, TlToBr };
    CursorKind cursorKind() const { return m_cursorKind; }
    // The resize cursor for a handle direction in radians (see canvas_cursors.cpp).
    static CursorKind cursorOfAngle(double angle);
    // Shows the cursor over the whole view unless it already shows it. An image cursor whose image is
    // missing leaves the cursor as it was.
    void resetCursorRects(CursorKind kind);
    void mouseMovedWithCropToPoint(const kx::Point& point);
    void mouseMovedWithNormalToPoint(const kx::Point& point);
    // The view's context menu; its actions are adjusted to the selection before it pops up. The view does
    // not own it.
    void setContextMenu(QMenu* menu) { m_contextMenu = menu; }
    QMenu* contextMenu() const { return m_contextMenu; }
    // A right press: selects as a click does and opens the context menu at the point of the view.
    void rightMouseDown(const QPointF& viewPoint);
    // The arrow-key step in page points: one page pixel, or 0.01 inch or 0.3 mm on pages in those units.
    double moveIncrement() const;
    // Moves the unlocked selected objects (or the active path node) by the offset, one undo step per object,
    // and shows the guides of the moved objects.
    void nudgeSelection(double dx, double dy);
    // ---- drag and drop (canvas_drop.cpp) ----
    // Image files, internet search results and text dropped on the page; each drop is one undo step.
    // The answer to a drag hovering at a widget point (copy or none); the photo under it is highlighted.
    Qt::DropAction draggingUpdated(const KXDropContents& contents, const QPointF& viewPoint);
    // The overlay forgets the drop target.
    void draggingEnded();
    // Files, else search results, else text; false when nothing could be placed (nothing changes then).
    bool performDragOperation(const KXDropContents& contents, const QPointF& viewPoint);
    bool performDragFiles(const KXDropContents& contents, const QPointF& viewPoint);
    bool performDragInternetImages(const KXDropContents& contents, const QPointF& viewPoint);
    bool performDragString(const KXDropContents& contents, const QPointF& viewPoint);
    // New photos from image files (resource type: photo, mask or frame) cascading from the point (the
    // origin of the first, in page layer points), each fitted into maxSize; files that give no picture are
    // left out and named in *unplaced.
    KXCanvas::GraphList addPhotosWithPaths(const QStringList& paths, kx::Point point, const kx::Size& maxSize,
                                           int resourceType, QStringList* unplaced = nullptr);
    // The target's picture, mask or frame from the file; false when the file gives none.
    bool replacePhotoWithPath(const QString& path, KXShapeLayer* target, int resourceType);
    KXCanvas::GraphList addPhotosWithInternetImages(const std::vector<std::shared_ptr<KXGoogleImage>>& images,
                                                    const KXDropContents& contents, kx::Point point,
                                                    const kx::Size& maxSize, QStringList* unplaced = nullptr);
    bool replacePhotoWithGoogleImage(const KXGoogleImage& image, const KXDropContents& contents,
                                     KXShapeLayer* target);
    // The source notice of dropped search results, unless the user turned it off.
    void alertForImages(const std::vector<std::shared_ptr<KXGoogleImage>>& images);
    // The selection becomes the graphs (after the document window inserted images).
    void addPhotoGraphToPreview(const KXCanvas::GraphList& graphs);
    // How files that could not be placed are reported (an alert by default); tests record them.
    using DropFailureReporter = std::function<void(const QStringList& names)>;
    static void setDropFailureReporter(DropFailureReporter reporter);
    // Shows the source notice of dropped search results and returns once it is dismissed; installed by the
    // content library (none: no notice).
    using SearchImageNoticePresenter = std::function<void(QWidget* view, const QString& sourceURL)>;
    static void setSearchImageNoticePresenter(SearchImageNoticePresenter presenter);

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

public:
    // ---- the editing modes' entries into the mouse road (crop mode, shape handles, pen tool, cursor) ----
    // Whether a photo is being cropped: clicks and drags then go to the crop routes.
    bool isCroppingPhoto() const;
    // A press in crop mode: a crop handle, the cropped photo, or a click outside that leaves crop mode.
    void singleClickWithCropAtPoint(const kx::Point& point);
    // A drag in crop mode: pans the image under the crop window, or scales it from a crop handle.
    void dragCropToPoint(const kx::Point& point, QMouseEvent* event);
    // Whether the pen tool is active: a press then starts or continues a path.
    bool isDrawMode() const { return m_isDrawMode; }
    // A double click: switches an active path node between corner and smooth, or crops the one photo.
    void mouseDoubleClickAtPoint(const kx::Point& point);
    // Whether a press hits one of the shape's own handles; sets the handle info for the drag and the
    // overlay's mode.
    bool hitShape(KXShape* shape, const kx::Point& point);
    // A drag of the shape handle or path node in the handle info.
    void dragSpecialNodeToPoint(QMouseEvent* event, const kx::Point& point);
    // The mouse moved with no button held, or a drag ended: the cursor follows what lies under it.
    void mouseMoved(QMouseEvent* event);
    // The handle info of the press (a shape handle or path node), none when the press hit none.
    const std::optional<kx::ValueDictionary>& handerInfo() const { return m_handerInfo; }
    void setHanderInfo(std::optional<kx::ValueDictionary> info) { m_handerInfo = std::move(info); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    // The left-button steps of the road.
    void mouseDown(QMouseEvent* event);
    void mouseDragged(QMouseEvent* event);
    void mouseUp(QMouseEvent* event);

    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

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
    // The point in the overlay's space; the tracker of a graph set up as the overlay draws it, and the
    // handle of it under an overlay point.
    kx::Point overlayPointForPagePoint(const kx::Point& point) const;
    KXTrackerNode trackerNodeOfGraph(KXGraph* graph, const kx::Point& overlayPoint) const;
    // Ends a press under way (closing its undo group) before the page changes or the view goes.
    void endMouseTracking();
    bool graphIsOnShownPage(const KXGraph* graph) const;
    // One step of a crop drag: the cropped photo and its shape, the mouse's movement since the anchor in the
    // photo's own axes, the crop window and the whole image; none without a usable window and image.
    struct CropStep {
        KXPhoto* photo;
        KXGraph* owner;
        double dx, dy;
        kx::Rect window, image;
    };
    std::optional<CropStep> cropStepToPoint(const kx::Point& point);
    // Pen tool steps (pen_tool.cpp).
    void drawClickAtPoint(const kx::Point& point, Qt::KeyboardModifiers modifiers);
    void drawDragToPoint(const kx::Point& point);
    // Handles a key while drawing; true when the key was consumed.
    bool drawKey(QKeyEvent* event);
    void finishDrawing(bool close);
    void abandonDrawing();
    void stopWatchingApplication();
    // Whether an application event elsewhere must finish the drawing (a shortcut, a menu opening).
    bool drawingInterruptedBy(QObject* watched, QEvent* event) const;
    // The page-space point of a mouse event, nothing when not finite.
    std::optional<kx::Point> pagePointOfEvent(const QPointF& viewPoint) const;
    void openLink(const QUrl& url);
    // The link of a text object's text under a page point, if any.
    std::optional<QUrl> linkOfTextAtPoint(KXShape* shape, const kx::Point& point) const;
    // Drop helpers (canvas_drop.cpp).
    std::shared_ptr<KXShape> newPhotoShape();
    void placeNewPhoto(const std::shared_ptr<KXShape>& shape, const kx::Size& natural, const kx::Point& point,
                       const kx::Size& maxSize);
    std::shared_ptr<KXCache> cacheForGoogleImage(const KXGoogleImage& image, const KXDropContents& contents);
    void reportUnplacedFiles(const QStringList& names);

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

    // ---- mouse tracking ----
    bool m_isMouseDown = false;
    // The drag anchor in page space; none when no left press is under way (every point of the page,
    // its corner included, can be an anchor).
    std::optional<kx::Point> m_mouseDownPoint;
    KXTrackerNode m_mouseDownNode = KXTrackerNodeNone;
    std::shared_ptr<KXGraph> m_mouseDownGraph;
    std::optional<kx::ValueDictionary> m_handerInfo;
    bool m_needUpdateAnchorPoint = false;
    // The angle the turned object had when the mouse stood at the anchor; kept while a right-angle snap
    // holds the anchor, none otherwise.
    std::optional<double> m_rotateBaseAngle;
    bool m_isEditing = false;
    // The undo manager the drag's group is open on, and how every object stood when it opened.
    kx::UndoManager* m_editingUndoManager = nullptr;
    struct GraphPlacement {
        std::shared_ptr<KXGraph> graph;
        kx::Rect relativeRect;
        double angle;
    };
    std::vector<GraphPlacement> m_editStart;
    // A crop or handle drag happened in the open group: it changes more than placements and always counts.
    bool m_editBeyondPlacement = false;
    KXSnapping m_snapping{nullptr, nullptr};
    // ---- editing modes ----
    std::shared_ptr<KXCropLayer> m_cropLayer;
    bool m_isDrawMode = false;
    std::shared_ptr<KXCustomLayer> m_customLayer;
    // The page a drawing records its steps on, its start point and the page's preview size at the start.
    KXCanvas* m_drawCanvas = nullptr;
    kx::Point m_drawStart;
    kx::Size m_drawPreviewSize;
    // While a drawing is under way, the application's events are watched for what must finish it.
    bool m_watchingApplication = false;
    CursorKind m_cursorKind = CursorKind::Arrow;
    QMenu* m_contextMenu = nullptr;
    // Whether the guides of an arrow-key nudge are showing (cleared when the key is really released).
    bool m_nudgeGuides = false;
    LinkOpener m_linkOpener;
    LinkFailureReporter m_linkFailureReporter;
};
