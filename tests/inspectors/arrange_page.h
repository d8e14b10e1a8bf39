// A page with its page layer, for the arrange tests: the graph layers post "KXGrapPropertyChanged" after
// each change, as on screen. The page is 1000 by 800 pixels at zoom 1 (its unit and resolution chosen by
// the test); objects are plain shapes, empty photos, lines and groups placed by relative rectangles. The
// user settings go to a scratch file for the test's lifetime.
#pragma once

#include "canvas/canvas_layer.h"
#include "model/canvas.h"
#include "model/group.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/undo_manager.h"
#include "platform/foundation/user_defaults.h"
#include "shapes/symbol_shape.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace kxtest {

class ScratchDefaults {
public:
    ScratchDefaults() { kx::UserDefaults::setStandardFilePath(m_dir.filePath(QStringLiteral("settings.conf"))); }
    ~ScratchDefaults() { kx::UserDefaults::setStandardFilePath({}); }

private:
    QTemporaryDir m_dir;
};

// Counts one notification from one sender.
struct Posts {
    Posts(const QString& name, const void* sender)
        : token(kx::NotificationCenter::defaultCenter().addObserver(name, sender,
                                                                    [this](const kx::Notification&) { ++count; })) {}
    int count = 0;
    kx::NotificationToken token;
};

struct ArrangePage {
    explicit ArrangePage(std::int64_t unit = KXSizeUnitPixel, std::int64_t dpi = 72) {
        registerModelClasses();
        page = std::make_shared<KXCanvas>();
        const KXSize size(1000, 800, KXSizeUnitPixel, dpi);
        page->setPageSize(&size);
        page->pageSize()->setUnit(unit);
        page->zoomToFitSize(page->pixelSize());
        layer = KXCanvasLayer::create(page);
    }
    static void settle() { QCoreApplication::processEvents(); }
    // Drops the steps of setting the page up.
    void clearUndo() {
        settle();
        page->undoManager().removeAllActions();
    }
    template <class T>
    std::shared_ptr<T> add(std::shared_ptr<T> graph, const kx::Rect& relative) {
        page->addGraph(graph);
        graph->setRelativeRect(relative);
        return graph;
    }
    std::shared_ptr<KXShape> shape(const kx::Rect& relative) {
        auto s = std::make_shared<KXShape>();
        s->setText(nullptr);
        s->setPhoto(nullptr);
        return add(s, relative);
    }
    // A shape holding an empty photo (graph type 3).
    std::shared_ptr<KXShape> photo(const kx::Rect& relative) {
        auto s = std::make_shared<KXShape>();
        s->setText(nullptr);
        return add(s, relative);
    }
    std::shared_ptr<KXSymbolShape> line(const kx::Rect& relative) {
        auto l = KXSymbolShape::symbolShapeWithType(KXShapeTypeLine, relative);
        l->setText(nullptr);
        l->setPhoto(nullptr);
        return add(l, relative);
    }
    // The page's objects grouped; null when they could not be.
    std::shared_ptr<KXGraph> group(const KXCanvas::GraphList& members) { return page->groupGraphs(members); }
    // Undoes the last step, expecting exactly one.
    void undoOneStep() {
        settle();
        kx::UndoManager& undo = page->undoManager();
        ASSERT_TRUE(undo.canUndo());
        undo.undo();
        settle();
        EXPECT_FALSE(undo.canUndo());
    }

    ScratchDefaults defaults;
    std::shared_ptr<KXCanvas> page;
    std::shared_ptr<KXCanvasLayer> layer;
};

}  // namespace kxtest
