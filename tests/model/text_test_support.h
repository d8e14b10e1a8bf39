// Pieces the text tests share: shapes with oval and star outlines, text shapes on a page, a font that is
// installed everywhere the tests run, and the check that laid-out fragments lie inside an outline.
#pragma once

#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "platform/gfx/bitmap_context.h"
#include "text/advanced_text.h"
#include "text/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace kxtest {

// A shape whose outline is an oval or a five-pointed star of its rectangle.
class OutlineShape : public KXShape {
public:
    enum class Kind { Rectangle, Oval, Star };
    explicit OutlineShape(Kind kind = Kind::Rectangle) : kind(kind) {}
    kx::BezierPath shapePathWithRect(const kx::Rect& rect) const override { return outline(kind, rect); }
    static kx::BezierPath outline(Kind kind, const kx::Rect& rect) {
        if (kind == Kind::Oval)
            return kx::BezierPath::withOvalInRect(rect);
        if (kind == Kind::Star) {
            kx::BezierPath star;
            const kx::Point c = rect.center();
            for (int i = 0; i < 10; ++i) {
                const double radius = (i % 2 ? 0.45 : 1.0) * 0.5;
                const double a = std::numbers::pi / 2 + i * std::numbers::pi / 5;
                const kx::Point p{c.x + radius * rect.size.width * std::cos(a), c.y + radius * rect.size.height * std::sin(a)};
                if (i == 0)
                    star.moveTo(p);
                else
                    star.lineTo(p);
            }
            star.closePath();
            return star;
        }
        return kx::BezierPath::withRect(rect);
    }
    Kind kind;
};

inline kx::TextAttributes dejaVu(double size) {
    kx::TextAttributes a = KXText::defaultAttributes();
    a.font = kx::Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), size);
    return a;
}

inline std::shared_ptr<KXCanvas> textPage(double width, double height) {
    registerModelClasses();
    auto page = std::make_shared<KXCanvas>();
    const KXSize size(width, height, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    page->zoomToFitSize(page->pixelSize());
    return page;
}

// A text shape (no photo) on the page at the frame in page pixels, with the text field given (or the one
// new shapes get) holding the string in `attributes`.
inline std::shared_ptr<OutlineShape> textShape(KXCanvas& page, const kx::Rect& frame, const QString& string,
                                               const kx::TextAttributes& attributes,
                                               OutlineShape::Kind kind = OutlineShape::Kind::Rectangle,
                                               bool plain = false) {
    auto shape = std::make_shared<OutlineShape>(kind);
    shape->setPhoto(nullptr);
    shape->setText(plain ? KXText::initWithOwner(shape.get()) : KXAdvancedText::initWithOwner(shape.get()));
    page.addGraph(shape);
    const kx::Size pixels = page.pixelSize();
    shape->setRelativeRect({frame.origin.x / pixels.width, frame.origin.y / pixels.height,
                            frame.size.width / pixels.width, frame.size.height / pixels.height});
    auto* text = static_cast<KXText*>(shape->text());
    text->textStorage().setAttributedString(kx::AttributedString(string, attributes));
    return shape;
}

inline KXText& textOf(KXShape& shape) {
    return *static_cast<KXText*>(shape.text());
}

// Every fragment lies inside the outline, given in the container's upward axis: its corners, moved a pixel
// (and the strip's fraction of a point) inward, are inside the path.
inline void expectFragmentsInside(const std::vector<kx::LineFragment>& fragments, const kx::BezierPath& outline,
                                  double containerHeight, int container = 0,
                                  int minimum = 3) {
    int checked = 0;
    for (const kx::LineFragment& f : fragments) {
        if (f.container != container || f.rect.size.width <= 0)
            continue;
        // The scan works on whole pixels of a strip whole points high: allow a pixel at each edge.
        const kx::Rect r = f.rect.insetBy(1, 1.5);
        for (const kx::Point p : {r.origin, kx::Point(r.maxX(), r.minY()), kx::Point(r.minX(), r.maxY()),
                                  kx::Point(r.maxX(), r.maxY())})
            EXPECT_TRUE(outline.containsPoint({p.x, containerHeight - p.y}))
                << "fragment " << f.rect.origin.x << "," << f.rect.origin.y << " " << f.rect.size.width << "x"
                << f.rect.size.height << " leaves the outline at " << p.x << "," << p.y;
        ++checked;
    }
    EXPECT_GE(checked, minimum);
}

}  // namespace kxtest
