// Leaving the canvas's editing modes from outside the view: the pen tool always, crop mode through the
// view's own check of whether a photo is being cropped.
#include "canvas/canvas_view.h"

#include <gtest/gtest.h>

namespace {

class ModeRecordingPreview : public KXPreview {
public:
    QStringList calls;

protected:
    void undoNeedExitCropMode() override { calls << QStringLiteral("crop"); }
    void exitDrawMode() override { calls << QStringLiteral("draw"); }
};

TEST(CanvasModes, LeavingFromOutsideEndsThePenToolAndCropMode) {
    ModeRecordingPreview view;
    view.calls.clear();
    view.exitCropAndDrawModes();
    EXPECT_EQ(view.calls, QStringList({QStringLiteral("draw"), QStringLiteral("crop")}));
}

}  // namespace
