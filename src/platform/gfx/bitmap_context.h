// An offscreen drawing context over a bitmap it owns: the only way the program draws offscreen.
//
// The user space has its origin at the bottom-left corner and y growing upward; one unit is one pixel
// until the transform is changed. Memory holds 8-bit RGBA premultiplied pixels (R, G, B, A in memory),
// row 0 being the top row, so a unit square filled at (0, 0) lands in the last memory row. Grey contexts
// hold one grey byte per pixel without alpha and start black; alpha-only contexts hold one coverage byte.
//
// The drawing state follows the usual vector-graphics model: a stack of graphics states (transform, clip,
// colours, line style, alpha, shadow, interpolation and antialiasing), a current path that lives outside
// the state, and transparency layers. Defaults: black fill and stroke, line width 1, butt caps, miter joins,
// miter limit 10, no dash, alpha 1, no shadow, high interpolation, antialiasing on.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/color.h"
#include "platform/gfx/image.h"
#include "platform/gfx/path.h"

#include <QImage>
#include <QPainter>

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace kx {

enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };
enum class PathDrawingMode { Fill, EvenOddFill, Stroke, FillStroke, EvenOddFillStroke };
enum class InterpolationQuality { Default, None, Low, Medium, High };

// Colour stops of a gradient. Colours are interpolated component by component (not premultiplied)
// between neighbouring locations; locations run from 0 to 1 in increasing order. With no locations given
// the colours are spread evenly from 0 to 1.
struct Gradient {
    std::vector<Color> colors;
    std::vector<double> locations;

    Gradient() = default;
    Gradient(std::vector<Color> c, std::vector<double> l = {}) : colors(std::move(c)), locations(std::move(l)) {}
    bool isValid() const { return !colors.empty(); }
};

// Whether a gradient continues with its end colours before its start and after its end.
enum GradientDrawingOption : unsigned {
    GradientDrawsBeforeStart = 1u << 0,
    GradientDrawsAfterEnd = 1u << 1,
};

class BitmapContext {
public:
    enum class Kind {
        RGBA,       // 8-bit RGBA premultiplied, starts transparent
        Gray,       // 8-bit grey without alpha, starts black
        AlphaOnly,  // 8-bit coverage, starts 0
    };

    // A context of width x height pixels. A non-positive size, or one beyond Image::maximumPixelCount or
    // whose byte count overflows, makes an invalid context that ignores every call.
    BitmapContext(int width, int height, Kind kind = Kind::RGBA);
    ~BitmapContext();
    BitmapContext(const BitmapContext&) = delete;
    BitmapContext& operator=(const BitmapContext&) = delete;

    bool isValid() const;
    Kind kind() const { return m_kind; }
    int width() const;
    int height() const;

    // Pixel memory (row 0 on top). Pending transparency layers are not part of it until they end.
    uchar* data();
    const uchar* constData() const;
    int bytesPerRow() const;
    // A snapshot of the current pixels; the context can go on drawing without changing it.
    Image makeImage() const;

    // Graphics state.
    void saveGState();
    void restoreGState();  // unmatched restores are ignored

    void translate(double tx, double ty);
    void scale(double sx, double sy);
    void rotate(double radians);  // counter-clockwise in the y-up space
    // Applies `transform` to user-space points before the current transform.
    void concat(const AffineTransform& transform);
    // The transform from user space to the context's y-up pixel space.
    AffineTransform ctm() const;

    // Current path. Points are taken through the transform in force when they are added;
    // drawing and clipping with the path consume it.
    void beginPath();
    bool isPathEmpty() const;
    Point pathCurrentPoint() const;  // in user space
    void addPath(const Path& path);
    void moveTo(const Point& p);
    void lineTo(const Point& p);
    void curveTo(const Point& control1, const Point& control2, const Point& end);
    void quadTo(const Point& control, const Point& end);
    void addArc(const Point& center, double radius, double startAngle, double endAngle, bool clockwise);
    void addRect(const Rect& rect);
    void addEllipseInRect(const Rect& rect);
    void closePath();

    void fillPath(FillRule rule = FillRule::Winding);
    void strokePath();
    void drawPath(PathDrawingMode mode);
    void fillRect(const Rect& rect);
    void strokeRect(const Rect& rect);
    void fillEllipseInRect(const Rect& rect);
    // Makes the pixels under the rectangle fully transparent (black in a grey context), ignoring alpha,
    // shadow and mask but inside the clip.
    void clearRect(const Rect& rect);

    void setFillColor(const Color& color);  // a null colour draws nothing
    void setStrokeColor(const Color& color);
    Color fillColor() const;
    Color strokeColor() const;
    void setLineWidth(double width);
    void setLineCap(LineCap cap);
    void setLineJoin(LineJoin join);
    void setMiterLimit(double limit);
    // Dash lengths in user-space units, starting `phase` units into the pattern; no lengths = solid.
    void setLineDash(double phase, const std::vector<double>& lengths);
    double lineWidth() const;
    void setAlpha(double alpha);
    double alpha() const;

    // Clipping: the clip only ever shrinks until the state is restored.
    void clip(FillRule rule = FillRule::Winding);  // to the current path, which it consumes
    void clipToRect(const Rect& rect);
    // Grey values of `mask`, stretched over `rect` (upright), scale what is drawn afterwards (255 shows,
    // 0 hides); nothing shows outside the rectangle. Alpha-only masks act by their alpha; colour masks by
    // their luminance over black.
    void clipToMask(const Rect& rect, const Image& mask);
    // Bounding box of the clip in user space (the whole context when unclipped).
    Rect clipBoundingBox() const;

    // Gradients fill the whole clip area (extended ends as chosen by the options).
    void drawLinearGradient(const Gradient& gradient, const Point& start, const Point& end, unsigned options);
    void drawRadialGradient(const Gradient& gradient, const Point& startCenter, double startRadius,
                            const Point& endCenter, double endRadius, unsigned options);

    // Transparency layers: drawing until the matching end goes to a transparent layer, which is then
    // composited once with the alpha, shadow, clip and mask in force at the beginning. Inside the layer the
    // alpha starts at 1 and the shadow off. The layer saves and restores the graphics state.
    void beginTransparencyLayer();
    void endTransparencyLayer();

    // A shadow under everything drawn afterwards. Offset and blur are in the context's pixel space (y up)
    // and ignore the transform. A null colour, or zero offset and blur with a transparent colour, turns it off.
    void setShadow(const Size& offset, double blur, const Color& color = Color::srgb(0, 0, 0, 1.0 / 3.0));
    void clearShadow();

    // Draws the whole image stretched into `rect`, upright (its top row along the rectangle's top edge).
    void drawImage(const Rect& rect, const Image& image);
    // Draws the image like drawImage under the shadow in force, with that shadow made ahead by castShadow
    // (of the same image and the same blur and colour): only its compositing is left. Falls back on drawImage
    // where the image is not drawn unscaled onto whole pixels at full alpha without a mask.
    void drawImageWithCastShadow(const Rect& rect, const Image& image, const Image& shadow);
    // Tiles the image from the origin of user space with tiles of the size of `rect`, anchored at its origin.
    void drawTiledImage(const Rect& rect, const Image& image);
    void setInterpolationQuality(InterpolationQuality quality);
    InterpolationQuality interpolationQuality() const;
    void setShouldAntialias(bool on);
    void setAllowsAntialiasing(bool allowed);

    // Draws with a QPainter already set to the current user space (y up; text and images drawn directly
    // through it come out mirrored, so flip locally). Clip, mask, alpha and shadow apply as for any drawing.
    void drawWithPainter(const std::function<void(QPainter&)>& paint);

private:
    struct Impl;
    Kind m_kind = Kind::RGBA;
    std::unique_ptr<Impl> d;
};

// The shadow setShadow(offset, blur, color) casts from an image, not yet moved by the offset, on pixels of
// the image's own size: the image needs a transparent border shadowSpread(blur) pixels wide for the shadow
// to be whole. Made without a context, so on any thread. Null when the colour is null or memory is short.
Image castShadow(const Image& image, double blur, const Color& color);
// How far a shadow of `blur` spreads beyond what casts it, in pixels.
int shadowSpread(double blur);
// The radii of the three box passes, along each axis, by which the shadow of `blur` is blurred: code that works
// out a shadow without a context (a rectangle's, axis by axis) blurs as the context does.
std::array<int, 3> shadowBlurRadii(double blur);

}  // namespace kx
