// Undo manager: records inverse operations in groups and replays them for undo and redo.
//
// - Groups nest (beginUndoGrouping / endUndoGrouping); a closed top-level group is one undo step, a closed
//   nested group becomes part of its parent and can still be undone alone with undoNestedGroup.
// - Grouping by event (on by default): a registration made while no group is open opens a group that closes
//   by itself when the event loop next runs, so one user gesture makes one step. A group opened explicitly
//   stays open across events until it is ended, as a mouse drag needs.
// - Registration can be disabled; disabling is counted and each disable needs its enable.
// - What is registered while undoing goes to the redo stack, what is registered while redoing to the undo
//   stack; a registration at any other time clears the redo stack.
// - Groups that end up holding no action are dropped instead of becoming empty steps.
// - The notifications below are posted on the default notification centre with the undo manager as sender.
// Everything runs on the main thread.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace kx {

inline const QString UndoManagerCheckpointNotification = QStringLiteral("NSUndoManagerCheckpointNotification");
inline const QString UndoManagerDidOpenUndoGroupNotification =
    QStringLiteral("NSUndoManagerDidOpenUndoGroupNotification");
inline const QString UndoManagerWillCloseUndoGroupNotification =
    QStringLiteral("NSUndoManagerWillCloseUndoGroupNotification");
inline const QString UndoManagerDidCloseUndoGroupNotification =
    QStringLiteral("NSUndoManagerDidCloseUndoGroupNotification");
inline const QString UndoManagerWillUndoChangeNotification = QStringLiteral("NSUndoManagerWillUndoChangeNotification");
inline const QString UndoManagerDidUndoChangeNotification = QStringLiteral("NSUndoManagerDidUndoChangeNotification");
inline const QString UndoManagerWillRedoChangeNotification = QStringLiteral("NSUndoManagerWillRedoChangeNotification");
inline const QString UndoManagerDidRedoChangeNotification = QStringLiteral("NSUndoManagerDidRedoChangeNotification");

class UndoManager {
public:
    UndoManager();
    ~UndoManager();
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    // Records an action that undoes a change; `target` is the object the action works on, kept only to
    // compare with removeAllActions(target). Returns whether it was recorded: nothing is recorded while
    // registration is disabled, nor outside a group when grouping by event is off.
    bool registerUndo(const void* target, std::function<void()> action);

    // Groups.
    void beginUndoGrouping();
    // Closes the innermost open group; does nothing (with a warning) when none is open.
    void endUndoGrouping();
    // Whether the group whose close was announced last held any action (and so was kept, as a step or
    // inside its parent); an observer of the close tells by it whether anything was recorded.
    bool lastClosedGroupWasKept() const { return m_lastClosedGroupKept; }
    // Closes the innermost open group and throws away what was registered in it, as though it had never been
    // opened: no step is made, nothing is replayed and no close is announced (only a checkpoint). For a
    // gesture that ended where it began, whose recorded changes all cancel out. Does nothing (with a
    // warning) when no group is open.
    void discardUndoGrouping();
    int groupingLevel() const { return int(m_open.size()); }
    bool groupsByEvent() const { return m_groupsByEvent; }
    void setGroupsByEvent(bool on) { m_groupsByEvent = on; }

    // Registration.
    void disableUndoRegistration();
    // Balances one disableUndoRegistration; an unbalanced call does nothing (with a warning).
    void enableUndoRegistration();
    bool isUndoRegistrationEnabled() const { return m_disableCount == 0; }

    // Undo closes the open group first when it is the only one; it refuses (with a warning) while nested
    // groups are open, or while an undo or redo is running. Each undone step is recorded as one redo step.
    void undo();
    // Undoes the last closed group inside the innermost open group or, with no group open, the last step.
    // Refuses (with a warning) when actions were registered in the open group after its last nested group.
    void undoNestedGroup();
    void redo();
    bool canUndo() const;
    bool canRedo() const;
    bool isUndoing() const { return m_undoing; }
    bool isRedoing() const { return m_redoing; }

    // Clears both stacks and the actions of the open groups (which stay open) and enables registration.
    void removeAllActions();
    // Removes every action registered with this target, wherever it is; steps left empty disappear.
    void removeAllActions(const void* target);

    // Largest number of undo steps kept (and of redo steps); 0 means no limit. The oldest go first.
    int levelsOfUndo() const { return m_levelsOfUndo; }
    void setLevelsOfUndo(int levels);

    // Names the innermost open group or, with none open, the last undo step. A nested group's name passes to
    // an unnamed parent when it closes; undoing or redoing a step carries its name over to the opposite stack.
    void setActionName(const QString& name);
    QString undoActionName() const;
    QString redoActionName() const;

private:
    struct Group;
    enum class Direction { Undo, Redo };
    void post(const QString& name);
    void openGroup(bool automatic);
    void pushStep(std::vector<std::unique_ptr<Group>>& stack, std::unique_ptr<Group> group);
    void replay(std::unique_ptr<Group> group, Direction direction);
    void scheduleAutomaticClose();
    void closeAutomaticGroup();

    std::vector<std::unique_ptr<Group>> m_undoStack;
    std::vector<std::unique_ptr<Group>> m_redoStack;
    std::vector<std::unique_ptr<Group>> m_open;  // outermost first
    int m_disableCount = 0;
    int m_levelsOfUndo = 0;
    bool m_groupsByEvent = true;
    bool m_undoing = false;
    bool m_lastClosedGroupKept = false;
    bool m_redoing = false;
    bool m_closeScheduled = false;
    // Context of the queued call that closes an automatic group; destroying it cancels the call.
    QObject m_eventContext;
};

// Disables undo registration for its lifetime.
class UndoDisabler {
public:
    explicit UndoDisabler(UndoManager& manager) : m_manager(manager) { m_manager.disableUndoRegistration(); }
    ~UndoDisabler() { m_manager.enableUndoRegistration(); }
    UndoDisabler(const UndoDisabler&) = delete;
    UndoDisabler& operator=(const UndoDisabler&) = delete;

private:
    UndoManager& m_manager;
};

}  // namespace kx
