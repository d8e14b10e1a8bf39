// A picture read from an SVG file: its styled paths in drawing order, its size (the viewBox's width
// and height) and a drawing scale. The picture draws itself at its own size, stretched into a
// rectangle, or into a new image.
//
// The viewBox's origin is not applied: user-space (0, 0) of the file lands on the top-left corner of
// where the picture is drawn, which the application's own files rely on.
#pragma once

#include "graphics/svg_styled_bezier_path.h"
#include "platform/foundation/geometry.h"
#include "platform/gfx/image.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace kx {
class BitmapContext;
}

class KXSVGImage {
public:
    // Pictures made from files and data: never null. A file that cannot be read or parsed gives a
    // picture with the paths read before the error (or none) and the size (0, 0).
    static std::shared_ptr<KXSVGImage> imageWithContentsOfFile(const QString& path);
    static std::shared_ptr<KXSVGImage> imageWithSVGData(const QByteArray& data);
    // The application's resource `name` of the type "svg"; an empty picture when there is none.
    static std::shared_ptr<KXSVGImage> imageNamed(const QString& name);

    // Draws every element at the picture's own size times scale() in the context's current user
    // space (y running as the context's does).
    void drawInContext(kx::BitmapContext& context) const;
    // Draws the picture stretched into `rect` of the context's y-up user space, upright: the file's
    // y axis runs downward from the rectangle's top edge. A picture with a side of zero, or a rectangle
    // or size that is not finite, draws nothing.
    void drawInRect(kx::BitmapContext& context, const kx::Rect& rect) const;
    // drawInRect with the rectangle (point, size()).
    void drawAtPoint(kx::BitmapContext& context, const kx::Point& point) const;
    // A new image of size() times scale() (whole pixels, rounded up) with the picture upright; the
    // null image when that size is empty, not finite or beyond what an image may hold.
    kx::Image image() const;

    kx::Size size() const { return m_size; }
    void setSize(const kx::Size& size) { m_size = size; }
    double scale() const { return m_scale; }
    void setScale(double scale) { m_scale = scale; }
    const std::vector<std::shared_ptr<KXStyledBezierPath>>& styledPaths() const { return m_styledPaths; }
    void setStyledPaths(std::vector<std::shared_ptr<KXStyledBezierPath>> paths) { m_styledPaths = std::move(paths); }

private:
    std::vector<std::shared_ptr<KXStyledBezierPath>> m_styledPaths;
    kx::Size m_size;
    double m_scale = 1;
};
