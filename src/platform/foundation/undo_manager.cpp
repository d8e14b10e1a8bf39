#include "platform/foundation/undo_manager.h"

#include "platform/foundation/notification_center.h"

#include <QTimer>
#include <QtDebug>

#include <algorithm>

namespace kx {

// A group holds, in registration order, actions and the nested groups closed inside it. Closed groups never
// hold an empty nested group, so a group has actions exactly when it has items.
struct UndoManager::Group {
    struct Item {
        const void* target = nullptr;
        std::function<void()> action;  // empty for a nested group
        std::unique_ptr<Group> child;
    };
    std::vector<Item> items;
    QString actionName;
    bool automatic = false;  // opened by a registration outside any group

    bool hasActions() const { return !items.empty(); }

    // Runs the actions newest first, so each undoes its change against the state the later ones left.
    void perform() {
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            if (it->child)
                it->child->perform();
            else
                it->action();
        }
    }

    // Moves the actions of the target (and nested groups left empty) into `removed`.
    void removeTarget(const void* target, std::vector<Item>& removed) {
        std::vector<Item> kept;
        for (Item& item : items) {
            if (item.child)
                item.child->removeTarget(target, removed);
            const bool drop = item.child ? !item.child->hasActions() : item.target == target;
            (drop ? removed : kept).push_back(std::move(item));
        }
        items = std::move(kept);
    }
};

namespace {

// Steps and actions hold captured objects whose destruction may call back into the undo manager; they are
// destroyed only after the manager's own state is consistent again.
template <class T>
void destroyLater(std::vector<T>& graveyard, std::vector<T>& from) {
    for (T& t : from)
        graveyard.push_back(std::move(t));
    from.clear();
}

}  // namespace

UndoManager::UndoManager() = default;

UndoManager::~UndoManager() {
    std::vector<std::unique_ptr<Group>> dropped;
    destroyLater(dropped, m_undoStack);
    destroyLater(dropped, m_redoStack);
    destroyLater(dropped, m_open);
}

void UndoManager::post(const QString& name) {
    NotificationCenter::defaultCenter().post(name, this);
}

void UndoManager::openGroup(bool automatic) {
    if (!m_undoing)
        post(UndoManagerCheckpointNotification);
    auto group = std::make_unique<Group>();
    group->automatic = automatic;
    m_open.push_back(std::move(group));
    post(UndoManagerDidOpenUndoGroupNotification);
}

void UndoManager::beginUndoGrouping() {
    openGroup(false);
}

void UndoManager::endUndoGrouping() {
    if (m_open.empty()) {
        qWarning("UndoManager: endUndoGrouping without an open group");
        return;
    }
    post(UndoManagerCheckpointNotification);
    post(UndoManagerWillCloseUndoGroupNotification);
    if (m_open.empty())  // an observer removed the group meanwhile
        return;
    std::unique_ptr<Group> group = std::move(m_open.back());
    m_open.pop_back();
    m_lastClosedGroupKept = group->hasActions();
    if (m_lastClosedGroupKept) {
        if (m_open.empty()) {
            pushStep(m_undoing ? m_redoStack : m_undoStack, std::move(group));
        } else {
            Group& parent = *m_open.back();
            if (parent.actionName.isEmpty())
                parent.actionName = group->actionName;
            parent.items.push_back({nullptr, {}, std::move(group)});
        }
    }
    post(UndoManagerDidCloseUndoGroupNotification);
    scheduleAutomaticClose();
}

void UndoManager::discardUndoGrouping() {
    if (m_open.empty()) {
        qWarning("UndoManager: discardUndoGrouping without an open group");
        return;
    }
    post(UndoManagerCheckpointNotification);
    if (m_open.empty())  // an observer removed the group meanwhile
        return;
    std::vector<std::unique_ptr<Group>> dropped;
    dropped.push_back(std::move(m_open.back()));
    m_open.pop_back();
    scheduleAutomaticClose();
}

void UndoManager::pushStep(std::vector<std::unique_ptr<Group>>& stack, std::unique_ptr<Group> group) {
    stack.push_back(std::move(group));
    if (m_levelsOfUndo > 0 && int(stack.size()) > m_levelsOfUndo) {
        std::vector<std::unique_ptr<Group>> oldest;
        for (int i = 0, n = int(stack.size()) - m_levelsOfUndo; i < n; ++i)
            oldest.push_back(std::move(stack[i]));
        stack.erase(stack.begin(), stack.begin() + (int(stack.size()) - m_levelsOfUndo));
    }
}

bool UndoManager::registerUndo(const void* target, std::function<void()> action) {
    if (m_disableCount > 0 || !action)
        return false;
    if (m_open.empty()) {
        if (!m_groupsByEvent) {
            qWarning("UndoManager: registration outside a group while grouping by event is off; ignored");
            return false;
        }
        openGroup(true);
        scheduleAutomaticClose();
    }
    m_open.back()->items.push_back({target, std::move(action), nullptr});
    if (!m_undoing && !m_redoing) {
        std::vector<std::unique_ptr<Group>> dropped;
        destroyLater(dropped, m_redoStack);
    }
    return true;
}

void UndoManager::disableUndoRegistration() {
    ++m_disableCount;
}

void UndoManager::enableUndoRegistration() {
    if (m_disableCount == 0) {
        qWarning("UndoManager: enableUndoRegistration without a matching disable");
        return;
    }
    --m_disableCount;
}

void UndoManager::undo() {
    if (m_undoing || m_redoing) {
        qWarning("UndoManager: undo while undoing or redoing; ignored");
        return;
    }
    if (m_open.size() == 1)
        endUndoGrouping();
    if (!m_open.empty()) {
        qWarning("UndoManager: undo with nested groups open; ignored");
        return;
    }
    undoNestedGroup();
}

void UndoManager::undoNestedGroup() {
    if (m_undoing || m_redoing) {
        qWarning("UndoManager: undoNestedGroup while undoing or redoing; ignored");
        return;
    }
    post(UndoManagerCheckpointNotification);
    // The step to undo: the last nested group of the innermost open group, or the last closed step.
    auto available = [this]() -> bool {
        if (m_open.empty())
            return !m_undoStack.empty();
        const Group& inner = *m_open.back();
        return !inner.items.empty() && inner.items.back().child;
    };
    if (!m_open.empty() && !m_open.back()->items.empty() && !m_open.back()->items.back().child) {
        qWarning("UndoManager: undoNestedGroup with actions registered since the last group closed; ignored");
        return;
    }
    if (!available())
        return;
    post(UndoManagerWillUndoChangeNotification);
    if (!available())
        return;
    std::unique_ptr<Group> step;
    if (m_open.empty()) {
        step = std::move(m_undoStack.back());
        m_undoStack.pop_back();
    } else {
        Group& inner = *m_open.back();
        step = std::move(inner.items.back().child);
        inner.items.pop_back();
    }
    replay(std::move(step), Direction::Undo);
}

void UndoManager::redo() {
    if (m_undoing || m_redoing) {
        qWarning("UndoManager: redo while undoing or redoing; ignored");
        return;
    }
    post(UndoManagerCheckpointNotification);
    if (m_redoStack.empty())
        return;
    post(UndoManagerWillRedoChangeNotification);
    if (m_redoStack.empty())
        return;
    std::unique_ptr<Group> step = std::move(m_redoStack.back());
    m_redoStack.pop_back();
    replay(std::move(step), Direction::Redo);
}

void UndoManager::replay(std::unique_ptr<Group> step, Direction direction) {
    // The open groups are set aside: what the actions register goes into one fresh group, which becomes a
    // step of the opposite stack.
    std::vector<std::unique_ptr<Group>> setAside = std::move(m_open);
    m_open.clear();
    bool& running = direction == Direction::Undo ? m_undoing : m_redoing;
    running = true;
    openGroup(false);
    step->perform();
    // Actions that left groups open get them closed here, so the step stays whole.
    while (m_open.size() > 1)
        endUndoGrouping();
    if (!m_open.empty()) {
        if (m_open.front()->actionName.isEmpty())
            m_open.front()->actionName = step->actionName;
        endUndoGrouping();
    }
    running = false;
    m_open = std::move(setAside);
    step.reset();
    post(direction == Direction::Undo ? UndoManagerDidUndoChangeNotification : UndoManagerDidRedoChangeNotification);
    scheduleAutomaticClose();
}

bool UndoManager::canUndo() const {
    return !m_undoStack.empty() ||
           std::any_of(m_open.begin(), m_open.end(), [](const auto& g) { return g->hasActions(); });
}

bool UndoManager::canRedo() const {
    return !m_redoStack.empty();
}

void UndoManager::removeAllActions() {
    std::vector<std::unique_ptr<Group>> droppedSteps;
    destroyLater(droppedSteps, m_undoStack);
    destroyLater(droppedSteps, m_redoStack);
    std::vector<Group::Item> droppedItems;
    for (auto& group : m_open)
        destroyLater(droppedItems, group->items);
    m_disableCount = 0;
}

void UndoManager::removeAllActions(const void* target) {
    std::vector<Group::Item> removed;
    std::vector<std::unique_ptr<Group>> emptied;
    for (auto* stack : {&m_undoStack, &m_redoStack}) {
        std::vector<std::unique_ptr<Group>> kept;
        for (auto& group : *stack) {
            group->removeTarget(target, removed);
            (group->hasActions() ? kept : emptied).push_back(std::move(group));
        }
        *stack = std::move(kept);
    }
    for (auto& group : m_open)
        group->removeTarget(target, removed);
}

void UndoManager::setLevelsOfUndo(int levels) {
    m_levelsOfUndo = std::max(0, levels);
    if (m_levelsOfUndo == 0)
        return;
    std::vector<std::unique_ptr<Group>> oldest;
    for (auto* stack : {&m_undoStack, &m_redoStack}) {
        while (int(stack->size()) > m_levelsOfUndo) {
            oldest.push_back(std::move(stack->front()));
            stack->erase(stack->begin());
        }
    }
}

void UndoManager::setActionName(const QString& name) {
    if (!m_open.empty())
        m_open.back()->actionName = name;
    else if (!m_undoStack.empty())
        m_undoStack.back()->actionName = name;
}

QString UndoManager::undoActionName() const {
    if (m_open.size() == 1 && m_open.front()->hasActions())
        return m_open.front()->actionName;
    return m_undoStack.empty() ? QString() : m_undoStack.back()->actionName;
}

QString UndoManager::redoActionName() const {
    return m_redoStack.empty() ? QString() : m_redoStack.back()->actionName;
}

void UndoManager::scheduleAutomaticClose() {
    if (m_closeScheduled || m_open.size() != 1 || !m_open.front()->automatic)
        return;
    m_closeScheduled = true;
    QTimer::singleShot(0, &m_eventContext, [this]() { closeAutomaticGroup(); });
}

void UndoManager::closeAutomaticGroup() {
    m_closeScheduled = false;
    // Inside an undo or redo the set-aside groups come back afterwards and are rescheduled then; with a
    // nested group still open, closing that one reschedules.
    if (m_undoing || m_redoing)
        return;
    if (m_open.size() == 1 && m_open.front()->automatic)
        endUndoGrouping();
}

}  // namespace kx
