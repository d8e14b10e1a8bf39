#include "app/menu_validation.h"

#include "inspectors/arrangement.h"
#include "model/graph.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/bundle.h"

#include <QAction>

#include <algorithm>

namespace {

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

KXCanvas::GraphList selectionOf(const KXCanvas* page) {
    return page ? page->selectedGraphs() : KXCanvas::GraphList();
}

bool anyUnlocked(const KXCanvas::GraphList& graphs) {
    return std::any_of(graphs.begin(), graphs.end(), [](const auto& graph) { return graph && !graph->isLocked(); });
}

}  // namespace

bool canCopyObject(const KXCanvas* page) {
    return anyUnlocked(selectionOf(page));
}

bool canGroupSelectedGraph(const KXCanvas* page) {
    return kx::inspectors::canGroupGraphs(selectionOf(page));
}

bool canUpgroupSelectedGraph(const KXCanvas* page) {
    return kx::inspectors::canUngroupGraphs(selectionOf(page));
}

bool canLockGraph(const KXCanvas* page) {
    return kx::inspectors::canLockGraphs(selectionOf(page));
}

bool canUnlockGraph(const KXCanvas* page) {
    return kx::inspectors::canUnlockGraphs(selectionOf(page));
}

bool canGoForward(const KXCanvas* page, bool toolbarAllowsForward) {
    const KXCanvas::GraphList selected = selectionOf(page);
    if (selected.empty() || page->graphs().empty() || !anyUnlocked(selected))
        return false;
    return selected.back() != page->graphs().back() && toolbarAllowsForward;
}

bool canGoBack(const KXCanvas* page, bool toolbarAllowsBackward) {
    const KXCanvas::GraphList selected = selectionOf(page);
    if (selected.empty() || page->graphs().empty() || !anyUnlocked(selected))
        return false;
    return selected.front() != page->graphs().front() && toolbarAllowsBackward;
}

bool singlePhotoWithPicture(const KXCanvas* page, bool unlocked) {
    const KXCanvas::GraphList selected = selectionOf(page);
    if (selected.size() != 1 || !selected.front() || selected.front()->graphType() != KXGraphTypePhoto)
        return false;
    const auto* shape = dynamic_cast<const KXShape*>(selected.front().get());
    const KXPhoto* photo = shape ? shape->photo() : nullptr;
    if (!photo || photo->isEmpty())
        return false;
    return !unlocked || !selected.front()->isLocked();
}

int shareTypeForTag(int tag) {
    return tag >= KXMenuTagShareBase && tag <= KXMenuTagShareLast ? tag - KXMenuTagShareBase : -1;
}

KXMenuItemValidation validateMenuTag(int tag, const KXMenuState& state) {
    const KXCanvas* page = state.page;
    switch (tag) {
    case KXMenuTagBringForward:
        return {page && page->selectedGraphsCanGoForward(), {}};
    case KXMenuTagSendBackward:
        return {page && page->selectedGraphsCanGoBack(), {}};
    case KXMenuTagUnlockedSelection:
    case KXMenuTagCopy:
    case KXMenuTagDelete:
    case KXMenuTagDuplicate:
        return {canCopyObject(page), {}};
    case KXMenuTagPaste:
        return {state.canPaste, {}};
    case KXMenuTagUnlockedPhoto:
        return {singlePhotoWithPicture(page, true), {}};
    case KXMenuTagPhoto:
        return {singlePhotoWithPicture(page, false), {}};
    case KXMenuTagPageHasGraphs:
        return {page && !page->graphs().empty(), {}};
    case KXMenuTagNextPage:
        return {state.nextPageEnabled, {}};
    case KXMenuTagPreviousPage:
        return {state.previousPageEnabled, {}};
    case KXMenuTagFloatingPanel:
        return {true, localized(state.showFloatingPanel ? "Hide Floating Panel" : "Show Floating Panel")};
    case KXMenuTagZoomIn:
        return {state.canZoomIn, {}};
    case KXMenuTagZoomOut:
        return {state.canZoomOut, {}};
    case KXMenuTagResourceInspector:
        return {true, localized(state.resourcePanelHidden ? "Show Resource Inspector" : "Hide Resource Inspector")};
    case KXMenuTagSettingInspector:
        return {true, localized(state.settingPanelHidden ? "Show Setting Inspector" : "Hide Setting Inspector")};
    default:
        return {true, {}};
    }
}

bool validateArrangeTag(int tag, const KXCanvas* page) {
    const KXCanvas::GraphList selected = selectionOf(page);
    // Every arrange command needs something to act on.
    if (selected.empty())
        return false;
    switch (tag) {
    case KXArrangeMenuGroup:
    case KXArrangeMenuUngroup:
    case KXArrangeMenuLock:
    case KXArrangeMenuUnlock:
        return kx::inspectors::validateArrangeMenuItem(selected, tag);
    case KXFlipHorizontal:
    case KXFlipVertical:
        return kx::inspectors::canFlipGraphs(selected);
    default:
        // The page alignments move unlocked objects only.
        return anyUnlocked(selected);
    }
}

void validateAction(QAction* action, const KXMenuState& state) {
    bool ok = false;
    if (const int tag = action->property(kMenuTagProperty).toInt(&ok); ok) {
        const KXMenuItemValidation answer = validateMenuTag(tag, state);
        action->setEnabled(answer.enabled);
        if (!answer.title.isEmpty())
            action->setText(answer.title);
        return;
    }
    if (const int tag = action->property(kArrangeTagProperty).toInt(&ok); ok)
        action->setEnabled(validateArrangeTag(tag, state.page));
}
