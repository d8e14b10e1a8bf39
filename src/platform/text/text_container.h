// A text container: the region one column of text is set in, in the text system's downward axis
// (origin at the container's top-left corner, y growing downward, points).
//
// The layout manager asks the container, line by line, where a line may go: lineFragmentRect answers a
// proposed rectangle with the rectangle the line is set in, and may add a remaining rectangle (the part
// of the same line beyond an obstacle), which the layout manager proposes next for the following text.
// Subclasses override it to flow text inside outlines and around objects: they may answer a lower y
// (the line moves down), a narrower rectangle, a remaining rectangle, or an empty rectangle (the text
// goes on in the next container). Text is inset by the line-fragment padding at both ends of every
// fragment.
#pragma once

#include "platform/foundation/geometry.h"

#include <vector>

namespace kx {

class TextLayoutManager;

class TextContainer {
public:
    static constexpr double kDefaultLineFragmentPadding = 5.0;

    explicit TextContainer(Size size = Size(10000000, 10000000)) : m_size(size) {}
    virtual ~TextContainer() = default;
    TextContainer(const TextContainer&) = delete;
    TextContainer& operator=(const TextContainer&) = delete;

    // A new size or padding lays the text out again in the layout managers that hold the container.
    Size size() const { return m_size; }
    void setSize(Size size);
    double lineFragmentPadding() const { return m_padding; }
    void setLineFragmentPadding(double padding);

    // The rectangle in which a line proposed at `proposed` is set. `remaining`, when not null, holds the
    // zero rectangle on entry and may be set to the rest of the line. The base container answers the
    // proposed rectangle cut to its width, and the zero rectangle when the line would reach below its
    // bottom edge (by more than a 64th of a point, which is rounding).
    virtual Rect lineFragmentRect(const Rect& proposed, Rect* remaining) const;

protected:
    // Subclasses call this when their answers change: the layout managers that hold the container lay its
    // text out again at their next query.
    void geometryChanged();

private:
    friend class TextLayoutManager;
    Size m_size;
    double m_padding = kDefaultLineFragmentPadding;
    // The layout managers that hold the container; each adds and removes itself.
    std::vector<TextLayoutManager*> m_layoutManagers;
};

}  // namespace kx
