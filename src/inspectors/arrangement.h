// What the arrange commands of the property tab and the arrange inspector do to page objects, as plain
// functions over the page model so that every rule is a table in the tests: aligning objects to the first
// one or to the page, giving them the first one's size, flipping, locking, which menu items can act, and
// how the arrange inspector shows and reads positions, sizes, rotations and text wrap.
//
// Rectangles are relativeRect values: fractions of the page (0 to 1 each way), origin at the page's
// bottom-left corner, y upwards, so "top" is the larger y. Locked objects never move or resize.
#pragma once

#include "model/canvas.h"

#include <QString>

#include <cstdint>
#include <memory>

class KXGraph;

// The user setting that makes the arrange inspector change width and height together (a group always does).
inline const QString KXConnectWidthAndHeight = QStringLiteral("KXConnectWidthAndHeight");
// Posted by an arrange inspector after lock or unlock, for the property tab that hosts it.
inline const QString KXUpdateArrangeUI = QStringLiteral("KXUpdateArrangeUI");
// Posted by an arrange inspector after it toggled KXConnectWidthAndHeight, for every open arrange inspector.
inline const QString KXWidthHeightConnectionChanged = QStringLiteral("KXWidthHeightConnectionChanged");

// The alignment controls of the multi-selection view: edges (type 0 left, 1 right, 2 top, 3 bottom),
// centres (0 on one horizontal line, 1 on one vertical line) and sizes (0 width, 1 height, 2 both).
enum KXAlignmentStyle : int {
    KXAlignmentStyleNone = 0,
    KXAlignmentStyleEdges = 1,
    KXAlignmentStyleCenters = 2,
    KXAlignmentStyleSizes = 3,
};

// Tags of the arrange menu items: the six page alignments, group, ungroup, lock, unlock and the flips.
enum KXArrangeMenuTag : int {
    KXAlignPageLeft = 0,
    KXAlignPageHorizontalCenter = 1,
    KXAlignPageRight = 2,
    KXAlignPageTop = 3,
    KXAlignPageVerticalCenter = 4,
    KXAlignPageBottom = 5,
    KXArrangeMenuGroup = 10,
    KXArrangeMenuUngroup = 11,
    KXArrangeMenuLock = 12,
    KXArrangeMenuUnlock = 13,
    KXFlipHorizontal = 100,
    KXFlipVertical = 111,
};

namespace kx::inspectors {

using GraphList = KXCanvas::GraphList;

// One undo group on the page of an object for the lifetime of the scope, so that a command writing several
// values is one step even where no event loop closes the page's automatic group. No page: nothing.
class PageUndoGroup {
public:
    explicit PageUndoGroup(const KXGraph* graph);
    ~PageUndoGroup();
    PageUndoGroup(const PageUndoGroup&) = delete;
    PageUndoGroup& operator=(const PageUndoGroup&) = delete;

private:
    kx::UndoManager* m_undo = nullptr;
};

// ---- the multi-selection view and the arrange menu ----

// Rewrites every unlocked listed object against the first listed one (locked or not): its edges, its
// centre line or its size; sizes leave groups alone and renew each resized object's aspect ratio. One undo
// step on the first object's page. Unknown styles and types change nothing.
void updateGraphAlignmentWithStyle(const GraphList& graphs, int style, int type);
// Moves every unlocked listed object to an edge of the page's margin rectangle (the page's edge when the
// margin rectangle is empty) or to the page's centre line, by the KXAlignPage... tag. One undo step.
void updateGraphAlignmentForPageWith(const GraphList& graphs, int tag);
// Negates flipX (KXFlipHorizontal) or flipY (KXFlipVertical) of the listed objects in order, lines
// excepted, locked ones included. It stops at a photo being cropped and answers it (the caller ends the
// crop); the objects before it stay flipped. One undo step.
std::shared_ptr<KXGraph> flipGraphs(const GraphList& graphs, int tag);
// Sets the lock of every listed object, as one undo step.
void setGraphsLocked(const GraphList& graphs, bool locked);

bool canGroupGraphs(const GraphList& graphs);     // at least two unlocked
bool canUngroupGraphs(const GraphList& graphs);   // an unlocked group
bool canLockGraphs(const GraphList& graphs);      // one unlocked
bool canUnlockGraphs(const GraphList& graphs);    // one locked
bool canFlipGraphs(const GraphList& graphs);      // one unlocked that is not a line
// Whether the arrange menu item with the tag can act on the listed objects; any other tag can.
bool validateArrangeMenuItem(const GraphList& graphs, int tag);

// ---- the arrange inspector ----

// Lengths in a page's unit: pixels, millimetres (pixels / dpi x 25.4), inches (pixels / dpi) and
// centimetres (pixels / dpi x 2.54). A resolution that is not positive reads as 72.
double pixelsToUnit(double pixels, std::int64_t unit, double dpi);
double unitToPixels(double value, std::int64_t unit, double dpi);
// "12 px", "3.50 mm", "1.25 in", "0.35 cm": whole pixels, two decimals otherwise.
QString lengthText(double value, std::int64_t unit);
// The position steppers' range (4000 pixels either way, in the unit) and the step of the position and
// size steppers.
struct StepperLimits {
    double minimum = 0;
    double maximum = 0;
    double increment = 1;
};
StepperLimits positionLimits(std::int64_t unit, double dpi);
// The size steppers: from one pixel to 40000 pixels, in the unit, with the position step.
StepperLimits sizeLimits(std::int64_t unit, double dpi);
inline constexpr double kPositionLimitPixels = 4000;

// The rotation control (whole degrees 0 to 359, counted the other way round from the stored angle):
// shown as 360 - degrees(angle), truncated and brought into 0 ..< 360. A stored angle that is a control
// value written back reads as that value again, whatever the rounding of the radians.
int rotationControl(double angle);
double angleFromRotationControl(int value);
// The stepper runs one past each end: 360 is 0 and -1 is 359.
int wrappedRotationStepper(int value);
// A typed rotation: held to 0 ... 360, where 360 is 0.
int typedRotation(int typed);

// Whether width and height change together for the object: always for a group, else by the setting.
bool isWidthHeightChained(const KXGraph& graph);

// The object's new rectangle for a position typed in the page's unit (each coordinate held to 4000 pixels
// either way); the size stays.
kx::Rect rectWithPosition(const KXGraph& graph, double x, double y);
// The object's new rectangle for a width (or height) typed in the page's unit; with the chain the other
// side follows the object's aspect ratio (the frame's own when no usable ratio is stored).
kx::Rect rectWithWidth(const KXGraph& graph, double width, bool chained);
kx::Rect rectWithHeight(const KXGraph& graph, double height, bool chained);

// Text wrap passed on into an object: one that is neither a group nor a line takes the value, a group passes
// it on to each of its members, a line takes nothing. (The inspector sets its own object's value itself.)
void updateTextWrapEnable(bool enabled, KXGraph& graph);
void updateTextWrapType(std::int32_t type, KXGraph& graph);
void updateTextWrapSpaceValue(std::int64_t space, KXGraph& graph);
inline constexpr int kMaxTextWrapSpace = 800;

}  // namespace kx::inspectors
