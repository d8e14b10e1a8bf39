// The border of a page object: dash style, width and colour. Every graph owns one for its whole life;
// taking over another border copies its settings in (setStroke), so observers of the owned object
// stay registered. The colour is kept twice: as a drawing colour and packed for archives and undo.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/observable.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/color.h"
#include "platform/gfx/path.h"

#include <cstdint>
#include <memory>

enum KXStrokeStyle : unsigned {
    KXStrokeStyleSolid = 0,
    KXStrokeStyleDash = 1,
    KXStrokeStyleLongDash = 2,
    KXStrokeStyleLongerDash = 3,
    KXStrokeStyleDot = 4,
};

// How callers read `width`: points times the zoom, or hundredths of the shorter preview side.
enum KXStrokeWidthType : unsigned {
    KXStrokeWidthAbsolute = 0,
    KXStrokeWidthRelative = 1,
};

class KXStroke : public kx::Observable, public kx::Coding {
public:
    KXStroke();

    QString className() const override { return QStringLiteral("KXStroke"); }
    QStringList announcedKeys() const override;
    const kx::PropertyTable& propertyTable() const override;

    const kx::Color& color() const { return m_color; }
    void setColor(const kx::Color& color);
    std::int64_t t_color() const { return m_tColor; }
    // Keeps the packed colour's low 32 bits (sign-extended), the part that names a colour.
    void setT_color(std::int64_t packed);

    unsigned style() const { return m_style; }
    void setStyle(unsigned style);
    unsigned type() const { return m_type; }
    void setType(unsigned type) { m_type = type; }
    double width() const { return m_width; }
    void setWidth(double width);

    // Copies style, width and colour through their setters; the width type stays. Null does nothing.
    void setStroke(const KXStroke* other);

    // width / 100 × factor × reference.
    double borderWidthWithReference(double reference, double factor) const;
    // Line width width × zoom, the stroke colour and the dash of the style.
    void configContext(kx::BitmapContext& context, double zoom) const;
    void drawInContext(kx::BitmapContext& context, const kx::Path& path, double zoom) const;
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect, double zoom) const;

    // An independent copy made by archiving (observers are not copied).
    std::shared_ptr<KXStroke> copy() const;

    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    kx::Color m_color;
    unsigned m_style = KXStrokeStyleSolid;
    unsigned m_type = KXStrokeWidthAbsolute;
    double m_width = 0.5;
    std::int64_t m_tColor = 0;
};
