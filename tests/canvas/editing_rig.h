// A canvas view showing a page of 400 x 300 pixels at 100 % in a 600 x 400 view (page points are page pixels),
// with helpers that send clicks, drags and keys at page points and let the event loop close each event's undo
// group, as a person's separate gestures do.
#pragma once

#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "model/page_size.h"
#include "platform/foundation/undo_manager.h"
#include "platform/foundation/user_defaults.h"
#include "view_events.h"

#include "model/page_test_support.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

#include <memory>

namespace kxtest {

class EditingRig : public ::testing::Test {
protected:
    void SetUp() override {
        registerPageClasses();
        rig = std::make_unique<ViewRig>(QSize(600, 400));
        page = KXCanvasLayer::create();
        const KXSize size(400, 300, KXSizeUnitPixel, 72);
        page->canvas()->setPageSize(&size);
        rig->view->switchToCanvasLayer(page);
        rig->view->actualSizeAction();
        ASSERT_EQ(canvas()->previewSize(), kx::Size(400, 300));
        kx::UserDefaults::standard().setValue(KXAutoSnap, false);
        kx::UserDefaults::standard().setValue(KXAutoObjectSnap, false);
        settle();
    }
    void TearDown() override {
        rig.reset();
        kx::UserDefaults::standard().removeValue(KXAutoSnap);
        kx::UserDefaults::standard().removeValue(KXAutoObjectSnap);
    }
    KXPreview* view() { return rig->view; }
    KXCanvas* canvas() { return page->canvas(); }
    kx::UndoManager& undo() { return canvas()->undoManager(); }

    static kx::Rect relative(const kx::Rect& frame) {
        return {frame.origin.x / 400, frame.origin.y / 300, frame.size.width / 400, frame.size.height / 300};
    }
    // Ends the event and forgets every undo step so far.
    void settle() {
        endEvent();
        undo().removeAllActions();
    }
    int undoSteps() {
        int steps = 0;
        while (undo().canUndo()) {
            undo().undo();
            ++steps;
        }
        for (int i = 0; i < steps; ++i)
            undo().redo();
        return steps;
    }

    void press(const kx::Point& p, Qt::KeyboardModifiers modifiers = {}) {
        sendMouseAtPagePoint(*view(), QEvent::MouseButtonPress, p, Qt::LeftButton, modifiers);
    }
    void move(const kx::Point& p, Qt::KeyboardModifiers modifiers = {}) {
        sendMouseAtPagePoint(*view(), QEvent::MouseMove, p, Qt::LeftButton, modifiers);
    }
    void hover(const kx::Point& p) {
        const QPointF local = view()->viewPointForPagePoint(p);
        QMouseEvent event(QEvent::MouseMove, local, view()->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(view(), &event);
    }
    void release(const kx::Point& p, Qt::KeyboardModifiers modifiers = {}) {
        sendMouseAtPagePoint(*view(), QEvent::MouseButtonRelease, p, Qt::LeftButton, modifiers);
        endEvent();
    }
    void click(const kx::Point& p, Qt::KeyboardModifiers modifiers = {}) {
        press(p, modifiers);
        release(p, modifiers);
    }
    void doubleClick(const kx::Point& p) {
        click(p);
        sendMouseAtPagePoint(*view(), QEvent::MouseButtonDblClick, p);
        release(p);
    }
    void drag(const kx::Point& from, const kx::Point& to, Qt::KeyboardModifiers modifiers = {}) {
        sendDragAtPagePoints(*view(), from, to, 4, modifiers);
        endEvent();
    }
    void key(int code, Qt::KeyboardModifiers modifiers = {}, const QString& text = {}, bool autoRepeat = false) {
        QKeyEvent down(QEvent::KeyPress, code, modifiers, text, autoRepeat);
        QApplication::sendEvent(view(), &down);
        endEvent();
    }
    void keyUp(int code, bool autoRepeat = false) {
        QKeyEvent up(QEvent::KeyRelease, code, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(view(), &up);
        endEvent();
    }

    std::unique_ptr<ViewRig> rig;
    std::shared_ptr<KXCanvasLayer> page;
};

}  // namespace kxtest
