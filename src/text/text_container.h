// The container of one text column. Lines are clipped to the inside of an outline, tested on pixels (the
// outline is filled into a one-line-high alpha bitmap and the first run of fully covered columns is taken),
// and cut around the rectangles of the graphs the text flows around.
//
// The outline lives in an upward y axis whose origin is the container's bottom-left corner; the layout
// manager works downward from the top-left corner. The text field sets the outline, size, scales, the
// width of one "M" and the wrap objects before each layout, and the object rectangle when it draws.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/gfx/bezier_path.h"
#include "platform/gfx/path.h"
#include "platform/text/text_container.h"

#include <memory>
#include <optional>
#include <vector>

class KXGraph;

// The first run of columns of `strip` (x, y, w, h in the path's space) that lies wholly inside the closed
// path, starting at column `start`: (start, y, width, h) with width one less than the number of inside
// columns; (0, y, 0, h) when there is none. A strip of width or height 1 or less is answered unchanged.
kx::Rect firstInsideRunInStrip(const kx::Path& path, int start, const kx::Rect& strip);

class KXTextContainer : public kx::TextContainer, public kx::Object, public kx::Coding {
public:
    KXTextContainer() = default;
    explicit KXTextContainer(kx::Size size) : kx::TextContainer(size) {}
    static std::shared_ptr<KXTextContainer> initWithContainerSize(kx::Size size) {
        return std::make_shared<KXTextContainer>(size);
    }

    QString className() const override { return QStringLiteral("KXTextContainer"); }

    // Each setter that changes the lines the container answers lays its text out again; setting what it
    // already holds changes nothing. Setting the wrap objects (even the same ones) looks at where they
    // are now, so that a moved object is flowed around anew.
    const std::optional<kx::BezierPath>& path() const { return m_path; }
    void setPath(std::optional<kx::BezierPath> path);
    const std::vector<std::shared_ptr<KXGraph>>& wrapObjects() const { return m_wrapObjects; }
    void setWrapObjects(std::vector<std::shared_ptr<KXGraph>> objects);
    kx::Rect objectRect() const { return m_objectRect; }
    void setObjectRect(const kx::Rect& rect);
    float scaleWidth() const { return m_scaleWidth; }
    void setScaleWidth(float scale);
    float scaleHeight() const { return m_scaleHeight; }
    void setScaleHeight(float scale);
    float singleFontWidth() const { return m_singleFontWidth; }
    void setSingleFontWidth(float width);
    bool isSimpleRectangularTextContainer() const { return true; }

    // The base container's answer, clipped to the outline and cut around the wrap objects when there is
    // an outline.
    kx::Rect lineFragmentRect(const kx::Rect& proposed, kx::Rect* remaining) const override;
    kx::Rect clipLineFragmentRect(const kx::Rect& fragment, kx::Rect* remaining) const;
    kx::Rect adjustFragmentRectForHoleRect(kx::Rect fragment, const kx::Rect& hole, kx::Rect* remaining) const;
    // The transform extended by the rotations of the groups that hold the graph, outermost first.
    static kx::AffineTransform affineTransRect(const kx::AffineTransform& transform, const KXGraph* graph);
    // The hole one wrap graph cuts, in container units; nullopt when it makes none.
    std::optional<kx::Rect> holeRectForGraph(const KXGraph& graph) const;
    // The holes of all wrap graphs, ordered by their left edges.
    std::vector<kx::Rect> holesLeftToRight() const;

    // A copy by archive round trip.
    std::shared_ptr<KXTextContainer> copy() const;

    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    // Tells the layout managers when the holes differ from those the text was last laid out around.
    void holesMayHaveChanged();

    std::optional<kx::BezierPath> m_path;
    std::vector<std::shared_ptr<KXGraph>> m_wrapObjects;
    kx::Rect m_objectRect;
    float m_scaleWidth = 0;
    float m_scaleHeight = 0;
    float m_singleFontWidth = 0;
    std::vector<kx::Rect> m_knownHoles;
};
