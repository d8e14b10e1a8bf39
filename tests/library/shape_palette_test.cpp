#include "library/shape_palette.h"
#include "platform/foundation/bundle.h"

#include <QApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <vector>

namespace {

struct BuiltInResources {
    BuiltInResources() { kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources")); }
    ~BuiltInResources() { kx::Bundle::setMainResourcePath({}); }
};

// The picker reports an index; the program turns it into a shape type. The images must sort into the
// order of the types they show, or a click inserts another shape than the one pictured.
TEST(ShapePalette, ImageOrderMatchesTheShapeTypes) {
    BuiltInResources resources;
    const std::vector<std::pair<const char*, std::uint32_t>> expected = {
        {"00_line", 13},          {"01_curve", 14},          {"02_arrow_line", 15},      {"03_rectangle", 1},
        {"04_rounded_rectangle", 4}, {"05_triangle", 2},     {"06_right_triangle", 3},   {"07_arrow", 5},
        {"08_double_arrow", 6},   {"09_oval", 7},            {"10_speech_bubble", 8},    {"11_lozenge", 9},
        {"12_polygon", 10},       {"13_star", 11}};
    const QStringList paths = KXShapeWindowController::shapeImagePaths();
    ASSERT_EQ(paths.size(), qsizetype(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(QFileInfo(paths[qsizetype(i)]).completeBaseName(), expected[i].first) << i;
        EXPECT_EQ(shapeTypeForPickerIndex(std::int64_t(i)), expected[i].second) << i;
    }
    EXPECT_EQ(shapeTypeForPickerIndex(14), 13u);
    EXPECT_EQ(shapeTypeForPickerIndex(-1), 13u);
}

struct PickRecorder : KXShapeWindowControllerDelegate {
    void chooseShapeAtIndex(std::int64_t index) override { picks.push_back(index); }
    std::vector<std::int64_t> picks;
};

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::LeftButton, held, {});
    QApplication::sendEvent(widget, &event);
}

TEST(ShapePalette, APickIsReportedThenThePickerCloses) {
    BuiltInResources resources;
    PickRecorder recorder;
    KXShapeWindowController picker(&recorder);
    picker.showShapeWindowWithFrame(QPoint(300, 500));
    QWidget* window = picker.window();
    QApplication::processEvents();
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(picker.shapes().size(), 14u);

    KXShapeImageBroserView* view = picker.ibvShapes();
    const QPoint inside = view->cellRect(3).center();
    sendMouse(view->viewport(), QEvent::MouseButtonPress, inside);
    EXPECT_EQ(recorder.picks, std::vector<std::int64_t>({3}));
    EXPECT_TRUE(window->isVisible());
    sendMouse(view->viewport(), QEvent::MouseButtonRelease, inside);
    EXPECT_FALSE(window->isVisible());
    // Clearing the selection reported nothing more.
    EXPECT_EQ(recorder.picks.size(), 1u);
    EXPECT_TRUE(view->selectedItems().empty());
}

TEST(ShapePalette, AClickBetweenItemsReportsNothingAndKeepsThePickerOpen) {
    BuiltInResources resources;
    PickRecorder recorder;
    KXShapeWindowController picker(&recorder);
    picker.showShapeWindowWithFrame(QPoint(300, 500));
    QApplication::processEvents();
    KXShapeImageBroserView* view = picker.ibvShapes();
    const QPoint empty(view->viewport()->width() - 2, view->viewport()->height() - 2);
    ASSERT_EQ(view->itemAt(empty), -1);
    sendMouse(view->viewport(), QEvent::MouseButtonPress, empty);
    sendMouse(view->viewport(), QEvent::MouseButtonRelease, empty);
    EXPECT_TRUE(recorder.picks.empty());
    EXPECT_TRUE(picker.window()->isVisible());
}

TEST(ShapePalette, HangsFromThePointAndClosesWhenAnotherWindowIsActive) {
    BuiltInResources resources;
    KXShapeWindowController picker;
    picker.window()->resize(200, 150);
    picker.showShapeWindowWithFrame(QPoint(300, 500));
    EXPECT_EQ(picker.window()->pos(), QPoint(200, 500));
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(picker.window(), &deactivate);
    EXPECT_FALSE(picker.window()->isVisible());
}

}  // namespace
