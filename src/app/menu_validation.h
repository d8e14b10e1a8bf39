// Which of the document window's menu items can act, by the tag each item carries: the page's selection,
// the clipboard, the canvas view's zoom, the page buttons and the panels decide. Kept apart from the
// window as plain functions over a snapshot of that state, so that every rule is a row of a table in the
// tests. The window applies the answers to its actions whenever that state changes and before a menu
// opens, so that keyboard shortcuts obey the same rules as the open menu.
#pragma once

#include "canvas/canvas_view.h"
#include "model/canvas.h"

#include <QString>

class QAction;

// Tags of the main menu's items (KXMenuTagUnlockedPhoto 21, KXMenuTagPhoto 22 and the zoom tags 200 and 201
// come with the canvas view). A tag that is not listed here is always enabled.
inline constexpr int KXMenuTagBringForward = 14;
inline constexpr int KXMenuTagSendBackward = 15;
// Cut 16, copy 17, delete 19 and duplicate 20 all need an unlocked object in the selection.
inline constexpr int KXMenuTagUnlockedSelection = 16;
inline constexpr int KXMenuTagCopy = 17;
inline constexpr int KXMenuTagPaste = 18;
inline constexpr int KXMenuTagDelete = 19;
inline constexpr int KXMenuTagDuplicate = 20;
inline constexpr int KXMenuTagPageHasGraphs = 23;
inline constexpr int KXMenuTagNextPage = 80;
inline constexpr int KXMenuTagPreviousPage = 81;
inline constexpr int KXMenuTagFloatingPanel = 111;
inline constexpr int KXMenuTagShareBase = 500;
inline constexpr int KXMenuTagShareLast = 505;
inline constexpr int KXMenuTagResourceInspector = 600;
inline constexpr int KXMenuTagSettingInspector = 601;

// The dynamic properties of a QAction that name its tags: "menuTag" for the tags above, "arrangeTag" for
// the Arrange menu's items (KXArrangeMenuTag, validated against the selection as the arrange inspector
// does). The two tag sets overlap, hence two properties.
inline constexpr const char* kMenuTagProperty = "menuTag";
inline constexpr const char* kArrangeTagProperty = "arrangeTag";

// What the window knows when it validates its items.
struct KXMenuState {
    const KXCanvas* page = nullptr;
    bool canPaste = false;
    bool canZoomIn = false;
    bool canZoomOut = false;
    bool nextPageEnabled = false;
    bool previousPageEnabled = false;
    bool showFloatingPanel = true;
    bool resourcePanelHidden = false;
    bool settingPanelHidden = false;
};

struct KXMenuItemValidation {
    bool enabled = true;
    // The item's new title; empty keeps the title it has.
    QString title;
};

// The answer for the item with the tag.
KXMenuItemValidation validateMenuTag(int tag, const KXMenuState& state);
// The answer for an Arrange menu item (group, ungroup, lock, unlock, page alignments, flips).
bool validateArrangeTag(int tag, const KXCanvas* page);
// Applies validateMenuTag or validateArrangeTag to an action carrying one of the two properties; actions
// without either are left alone.
void validateAction(QAction* action, const KXMenuState& state);

// ---- enablement queries over the current page ----
// Some selected object is unlocked.
bool canCopyObject(const KXCanvas* page);
// More than one selected object is unlocked.
bool canGroupSelectedGraph(const KXCanvas* page);
// Some selected, unlocked object is a group.
bool canUpgroupSelectedGraph(const KXCanvas* page);
bool canLockGraph(const KXCanvas* page);
bool canUnlockGraph(const KXCanvas* page);
// The selection is not empty, its last object is not the page's topmost one, an object of it is unlocked,
// and the floating toolbar's forward button allows it.
bool canGoForward(const KXCanvas* page, bool toolbarAllowsForward);
// The same towards the back: the first selected object is not the page's bottom one.
bool canGoBack(const KXCanvas* page, bool toolbarAllowsBackward);
// Exactly one photo object is selected and its photo holds a picture; `unlocked` also asks it be unlocked.
bool singlePhotoWithPicture(const KXCanvas* page, bool unlocked);

// The share type of a share menu tag (tag - 500: 0 e-mail ... 5 the last), or -1 for any other tag.
int shareTypeForTag(int tag);
