#include "platform/foundation/undo_manager.h"

#include "platform/foundation/notification_center.h"
#include "support/qt_message_check.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace kx;

namespace {

// A value whose setter registers its own inverse, so undoing registers the redo and the other way round.
struct Counter {
    UndoManager& undo;
    int value = 0;
    void set(int v) {
        const int old = value;
        value = v;
        undo.registerUndo(this, [this, old] { set(old); });
    }
};

// The undo manager's notifications, in the order they came.
class NotificationLog {
public:
    explicit NotificationLog(const UndoManager& manager) {
        for (const QString& name :
             {UndoManagerCheckpointNotification, UndoManagerDidOpenUndoGroupNotification,
              UndoManagerWillCloseUndoGroupNotification, UndoManagerDidCloseUndoGroupNotification,
              UndoManagerWillUndoChangeNotification, UndoManagerDidUndoChangeNotification,
              UndoManagerWillRedoChangeNotification, UndoManagerDidRedoChangeNotification}) {
            m_tokens.push_back(NotificationCenter::defaultCenter().addObserver(
                name, &manager, [this](const Notification& n) { names.push_back(shortName(n.name)); }));
        }
    }
    static QString shortName(QString name) {
        return name.remove("NSUndoManager").remove("Notification");
    }
    QStringList names;

private:
    std::vector<NotificationToken> m_tokens;
};

}  // namespace

TEST(UndoManager, ChangeGroupUndoRedoAndChangeAgain) {
    UndoManager undo;
    Counter c{undo};
    undo.beginUndoGrouping();
    c.set(1);
    c.set(2);
    undo.endUndoGrouping();
    undo.beginUndoGrouping();
    c.set(3);
    undo.endUndoGrouping();
    EXPECT_TRUE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());

    undo.undo();
    EXPECT_EQ(c.value, 2);
    undo.undo();  // one group, one step: both changes go
    EXPECT_EQ(c.value, 0);
    EXPECT_FALSE(undo.canUndo());
    EXPECT_TRUE(undo.canRedo());
    undo.undo();  // nothing left: harmless
    EXPECT_EQ(c.value, 0);

    undo.redo();
    EXPECT_EQ(c.value, 2);
    EXPECT_TRUE(undo.canRedo());

    undo.beginUndoGrouping();
    c.set(5);  // a new change outside undo and redo forgets what could be redone
    undo.endUndoGrouping();
    EXPECT_FALSE(undo.canRedo());
    undo.undo();
    EXPECT_EQ(c.value, 2);
    undo.undo();
    EXPECT_EQ(c.value, 0);
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManager, RegistrationsOfOneEventMakeOneStep) {
    UndoManager undo;
    Counter c{undo};
    c.set(1);
    c.set(2);
    EXPECT_EQ(undo.groupingLevel(), 1);  // opened by the first registration
    EXPECT_TRUE(undo.canUndo());
    QCoreApplication::processEvents();   // the loop went round: the group closed
    EXPECT_EQ(undo.groupingLevel(), 0);
    c.set(3);
    QCoreApplication::processEvents();
    EXPECT_EQ(undo.groupingLevel(), 0);

    undo.undo();
    EXPECT_EQ(c.value, 2);
    undo.undo();
    EXPECT_EQ(c.value, 0);

    c.set(7);
    undo.undo();  // in the same event: undo closes the open group first
    EXPECT_EQ(c.value, 0);
    EXPECT_EQ(undo.groupingLevel(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(undo.groupingLevel(), 0);
}

TEST(UndoManager, ExplicitGroupSpansEventsLikeADrag) {
    UndoManager undo;
    Counter c{undo};
    undo.beginUndoGrouping();  // first drag event
    c.set(1);
    QCoreApplication::processEvents();
    c.set(2);
    QCoreApplication::processEvents();
    c.set(3);
    EXPECT_EQ(undo.groupingLevel(), 1);
    undo.endUndoGrouping();    // mouse up
    undo.undo();
    EXPECT_EQ(c.value, 0);
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManager, EventGroupWaitsForANestedGroupOpenAcrossEvents) {
    UndoManager undo;
    Counter c{undo};
    c.set(1);                  // opens the event group
    undo.beginUndoGrouping();  // a drag starts in the same event
    c.set(2);
    QCoreApplication::processEvents();
    EXPECT_EQ(undo.groupingLevel(), 2);
    c.set(3);
    undo.endUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(undo.groupingLevel(), 0);
    undo.undo();
    EXPECT_EQ(c.value, 0);
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManager, DisablingInsideANestedGroupIsCountedAndLeavesNoStep) {
    UndoManager undo;
    Counter c{undo};
    undo.beginUndoGrouping();
    c.set(1);
    undo.disableUndoRegistration();
    undo.beginUndoGrouping();
    {
        UndoDisabler again(undo);  // disabling nests
        c.set(2);
    }
    EXPECT_FALSE(undo.isUndoRegistrationEnabled());
    c.set(3);
    undo.endUndoGrouping();
    undo.enableUndoRegistration();
    EXPECT_TRUE(undo.isUndoRegistrationEnabled());
    c.set(4);
    undo.endUndoGrouping();

    undo.undo();  // undoes 4 -> 3 and 1 -> 0; the unrecorded changes are not replayed
    EXPECT_EQ(c.value, 0);
    EXPECT_FALSE(undo.canUndo());
    undo.redo();
    EXPECT_EQ(c.value, 4);
}

TEST(UndoManager, RegistrationWhileUndoingGoesToRedoAndWhileRedoingToUndo) {
    UndoManager undo;
    Counter c{undo};
    int other = 0;
    undo.beginUndoGrouping();
    c.set(1);
    // An undo action that registers something else besides its own inverse.
    undo.registerUndo(&other, [&] {
        EXPECT_TRUE(undo.isUndoing());
        other = 10;
        undo.registerUndo(&other, [&] { other = 20; });
    });
    undo.endUndoGrouping();
    undo.beginUndoGrouping();
    c.set(2);
    undo.endUndoGrouping();

    undo.undo();
    undo.undo();
    EXPECT_EQ(c.value, 0);
    EXPECT_EQ(other, 10);
    EXPECT_FALSE(undo.canUndo());  // nothing registered during undo went to the undo stack

    undo.redo();  // the redo step holds both registrations made while undoing
    EXPECT_EQ(c.value, 1);
    EXPECT_EQ(other, 20);
    EXPECT_TRUE(undo.canRedo());   // registrations while redoing do not clear the redo stack
    EXPECT_TRUE(undo.canUndo());
    undo.redo();
    EXPECT_EQ(c.value, 2);
    undo.undo();
    undo.undo();
    EXPECT_EQ(c.value, 0);
}

TEST(UndoManager, UndoNestedGroupUndoesTheInnermostClosedGroup) {
    kxtest::ExpectedQtWarning refused(QStringLiteral("^UndoManager: undoNestedGroup with actions registered since the last group closed; ignored$"));
    UndoManager undo;
    Counter c{undo};
    undo.beginUndoGrouping();
    c.set(1);
    undo.beginUndoGrouping();
    c.set(2);
    undo.endUndoGrouping();
    undo.beginUndoGrouping();
    c.set(3);
    undo.endUndoGrouping();

    undo.undoNestedGroup();
    EXPECT_EQ(c.value, 2);
    EXPECT_EQ(undo.groupingLevel(), 1);  // the outer group stays open
    undo.undoNestedGroup();
    EXPECT_EQ(c.value, 1);
    EXPECT_TRUE(undo.canRedo());
    undo.undoNestedGroup();  // an action was registered after the last nested group: refused
    EXPECT_EQ(c.value, 1);
    undo.endUndoGrouping();

    undo.redo();             // the last nested group undone is redone first
    EXPECT_EQ(c.value, 2);
    undo.undoNestedGroup();  // no group open: the last step
    EXPECT_EQ(c.value, 1);
    undo.undo();
    EXPECT_EQ(c.value, 0);
}

TEST(UndoManager, UndoRefusesWhileNestedGroupsAreOpen) {
    kxtest::ExpectedQtWarning refused(QStringLiteral("^UndoManager: undo with nested groups open; ignored$"));
    UndoManager undo;
    Counter c{undo};
    undo.beginUndoGrouping();
    c.set(1);
    undo.beginUndoGrouping();
    c.set(2);
    undo.undo();
    EXPECT_EQ(c.value, 2);
    EXPECT_EQ(undo.groupingLevel(), 2);
    undo.endUndoGrouping();
    undo.undo();  // one level open: closed, then undone
    EXPECT_EQ(c.value, 0);
    EXPECT_EQ(undo.groupingLevel(), 0);
}

TEST(UndoManager, RemoveActionsOfOneTarget) {
    UndoManager undo;
    Counter a{undo}, b{undo};
    undo.beginUndoGrouping();
    a.set(1);
    b.set(1);
    undo.endUndoGrouping();
    undo.beginUndoGrouping();
    a.set(2);
    undo.endUndoGrouping();
    undo.beginUndoGrouping();
    a.set(3);
    b.set(3);
    undo.endUndoGrouping();
    undo.undo();  // b 3 -> 1, a 3 -> 2; the redo step holds both targets
    EXPECT_EQ(a.value, 2);

    undo.removeAllActions(&a);
    EXPECT_TRUE(undo.canRedo());
    undo.redo();
    EXPECT_EQ(a.value, 2);
    EXPECT_EQ(b.value, 3);
    undo.undo();
    EXPECT_EQ(b.value, 1);
    undo.undo();  // the step that held only a's change is gone: this is the first step
    EXPECT_EQ(b.value, 0);
    EXPECT_EQ(a.value, 2);
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManager, RemoveAllActionsClearsBothStacksAndEnablesRegistration) {
    UndoManager undo;
    Counter c{undo};
    undo.beginUndoGrouping();
    c.set(1);
    undo.endUndoGrouping();
    undo.beginUndoGrouping();
    c.set(2);
    undo.endUndoGrouping();
    undo.undo();
    undo.beginUndoGrouping();
    c.set(3);
    undo.disableUndoRegistration();
    undo.removeAllActions();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_TRUE(undo.isUndoRegistrationEnabled());
    EXPECT_EQ(undo.groupingLevel(), 1);  // the caller's group stays open for its end
    c.set(4);
    undo.endUndoGrouping();
    undo.undo();
    EXPECT_EQ(c.value, 3);
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManager, LevelsOfUndoDropTheOldestSteps) {
    UndoManager undo;
    Counter c{undo};
    for (int i = 1; i <= 4; ++i) {
        undo.beginUndoGrouping();
        c.set(i);
        undo.endUndoGrouping();
    }
    undo.setLevelsOfUndo(3);  // trims what is there: 0 -> 1 goes
    undo.beginUndoGrouping();
    c.set(5);                 // and 1 -> 2 goes now
    undo.endUndoGrouping();
    int steps = 0;
    while (undo.canUndo() && steps < 10) {  // bounded: a broken manager must fail, not hang
        undo.undo();
        ++steps;
    }
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(c.value, 2);
    undo.setLevelsOfUndo(2);  // the redo stack is held to the same limit
    int redone = 0;
    while (undo.canRedo() && redone < 10) {
        undo.redo();
        ++redone;
    }
    EXPECT_EQ(redone, 2);
    EXPECT_EQ(c.value, 4);
}

TEST(UndoManager, ActionNamesFollowTheirSteps) {
    UndoManager undo;
    Counter c{undo};
    undo.beginUndoGrouping();
    c.set(1);
    undo.setActionName("Move");
    EXPECT_EQ(undo.undoActionName(), "Move");
    undo.endUndoGrouping();
    undo.beginUndoGrouping();
    undo.beginUndoGrouping();
    c.set(2);
    undo.setActionName("Rotate");  // the nested group's name reaches the unnamed step
    undo.endUndoGrouping();
    undo.endUndoGrouping();
    EXPECT_EQ(undo.undoActionName(), "Rotate");

    undo.undo();
    EXPECT_EQ(undo.redoActionName(), "Rotate");
    EXPECT_EQ(undo.undoActionName(), "Move");
    undo.undo();
    EXPECT_EQ(undo.redoActionName(), "Move");
    EXPECT_EQ(undo.undoActionName(), "");
    undo.redo();
    EXPECT_EQ(undo.undoActionName(), "Move");
    EXPECT_EQ(undo.redoActionName(), "Rotate");
}

TEST(UndoManager, PostsItsNotificationsWithItselfAsSender) {
    UndoManager undo;
    UndoManager other;
    Counter c{undo};
    NotificationLog log(undo);
    int valueSeenBeforeUndo = -1, valueSeenAfterUndo = -1;
    auto will = NotificationCenter::defaultCenter().addObserver(
        UndoManagerWillUndoChangeNotification, &undo, [&](const Notification&) { valueSeenBeforeUndo = c.value; });
    auto did = NotificationCenter::defaultCenter().addObserver(
        UndoManagerDidUndoChangeNotification, &undo, [&](const Notification&) { valueSeenAfterUndo = c.value; });

    undo.beginUndoGrouping();
    c.set(1);
    undo.endUndoGrouping();
    EXPECT_EQ(log.names, QStringList({"Checkpoint", "DidOpenUndoGroup", "Checkpoint", "WillCloseUndoGroup",
                                      "DidCloseUndoGroup"}));
    log.names.clear();
    other.beginUndoGrouping();  // another manager's notifications are not ours
    other.endUndoGrouping();
    EXPECT_TRUE(log.names.isEmpty());

    undo.undo();
    EXPECT_EQ(log.names, QStringList({"Checkpoint", "WillUndoChange", "DidOpenUndoGroup", "Checkpoint",
                                      "WillCloseUndoGroup", "DidCloseUndoGroup", "DidUndoChange"}));
    EXPECT_EQ(valueSeenBeforeUndo, 1);
    EXPECT_EQ(valueSeenAfterUndo, 0);
    log.names.clear();
    undo.redo();
    EXPECT_EQ(log.names.first(), "Checkpoint");
    EXPECT_EQ(log.names.at(1), "WillRedoChange");
    EXPECT_EQ(log.names.last(), "DidRedoChange");
    log.names.clear();
    undo.redo();  // nothing to redo: no change announced
    EXPECT_FALSE(log.names.contains("WillRedoChange"));
    EXPECT_FALSE(log.names.contains("DidRedoChange"));
}

TEST(UndoManager, UnbalancedCallsAreHarmless) {
    kxtest::ExpectedQtWarning extraEnd(QStringLiteral("^UndoManager: endUndoGrouping without an open group$"));
    kxtest::ExpectedQtWarning extraEnable(QStringLiteral("^UndoManager: enableUndoRegistration without a matching disable$"));
    kxtest::ExpectedQtWarning outsideGroup(QStringLiteral("^UndoManager: registration outside a group while grouping by event is off; ignored$"));
    UndoManager undo;
    Counter c{undo};
    undo.endUndoGrouping();
    undo.enableUndoRegistration();
    EXPECT_TRUE(undo.isUndoRegistrationEnabled());
    undo.disableUndoRegistration();
    EXPECT_FALSE(undo.isUndoRegistrationEnabled());  // the extra enable did not count ahead
    undo.enableUndoRegistration();
    EXPECT_EQ(undo.groupingLevel(), 0);

    undo.setGroupsByEvent(false);
    EXPECT_FALSE(undo.registerUndo(&c, [] {}));  // no group open and none opened for us
    EXPECT_FALSE(undo.canUndo());
    undo.beginUndoGrouping();
    EXPECT_TRUE(undo.registerUndo(&c, [] {}));
    undo.endUndoGrouping();
    EXPECT_TRUE(undo.canUndo());
}

TEST(UndoManager, EmptyGroupsLeaveNoStep) {
    UndoManager undo;
    Counter c{undo};
    undo.beginUndoGrouping();
    undo.beginUndoGrouping();
    undo.endUndoGrouping();
    undo.endUndoGrouping();
    EXPECT_FALSE(undo.canUndo());
    undo.beginUndoGrouping();
    {
        UndoDisabler off(undo);
        c.set(1);
    }
    undo.endUndoGrouping();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.lastClosedGroupWasKept());
    // An earlier step does not make a later empty group count as kept.
    undo.beginUndoGrouping();
    c.set(2);
    undo.endUndoGrouping();
    EXPECT_TRUE(undo.lastClosedGroupWasKept());
    undo.beginUndoGrouping();
    undo.endUndoGrouping();
    EXPECT_FALSE(undo.lastClosedGroupWasKept());
    EXPECT_TRUE(undo.canUndo());
}

TEST(UndoManager, DestroyedWithAnEventGroupPendingIsSafe) {
    int value = 0;
    {
        UndoManager undo;
        undo.registerUndo(&value, [&value] { value = 1; });
        EXPECT_EQ(undo.groupingLevel(), 1);
    }
    QCoreApplication::processEvents();  // the pending close must not reach the destroyed manager
    EXPECT_EQ(value, 0);
}

// A discarded group leaves no step, keeps the steps before it, announces no close, and inside another group
// takes only its own actions away.
TEST(UndoManager, DiscardedGroupLeavesNoStep) {
    kxtest::ExpectedQtWarning extraDiscard(QStringLiteral("^UndoManager: discardUndoGrouping without an open group$"));
    UndoManager undo;
    Counter c{undo};
    undo.beginUndoGrouping();
    c.set(1);
    undo.endUndoGrouping();
    NotificationLog log(undo);
    undo.beginUndoGrouping();
    c.set(2);
    c.set(1);
    undo.discardUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 0);
    EXPECT_FALSE(log.names.contains(QStringLiteral("DidCloseUndoGroup")));
    EXPECT_EQ(c.value, 1);
    undo.undo();
    EXPECT_EQ(c.value, 0);
    EXPECT_FALSE(undo.canUndo());

    undo.beginUndoGrouping();
    c.set(5);
    undo.beginUndoGrouping();
    c.set(6);
    undo.discardUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 1);
    undo.endUndoGrouping();
    undo.undo();
    EXPECT_EQ(c.value, 0);  // only the outer group's action (back to 0) was kept
    undo.discardUndoGrouping();  // none open: harmless
    EXPECT_EQ(undo.groupingLevel(), 0);
}
