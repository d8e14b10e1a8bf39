// The fill of a page or a page object: a solid colour, a two-colour linear gradient, a gradient of up to
// eight stops drawn linearly or radially, or an image (a resource or the user's own) tiled, stretched, or
// scaled to cover the area. Each image path the fill refers to holds one use of the shared image cache
// while it is set.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/observable.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/color.h"
#include "platform/gfx/image.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

enum KXFillType : std::int32_t {
    KXFillTypeColor = 0,
    KXFillTypeImage = 1,
    KXFillTypeCustomImage = 2,  // and any other value
};

enum KXColorType : std::int32_t {
    KXColorTypeSolid = 0,
    KXColorTypeGradient = 1,
    KXColorTypeAdvancedGradient = 2,  // and any other value
};

enum KXGradientType : std::int32_t {
    KXGradientTypeLinear = 0,
    KXGradientTypeRadial = 1,
};

enum KXImageType : std::int32_t {
    KXImageTypeTile = 0,
    KXImageTypeStretch = 1,
    KXImageTypeStretchCrop = 2,
};

// A multi-stop gradient has at most this many stops.
inline constexpr int kMaxGradientStops = 8;

// The application's placeholder for the user's own image ("bk_custom.png", else "bk_custom.jpg" among the
// resources). Once found it is kept; while neither exists the answer is empty and the next call looks again.
QString defaultCustomBackgroundPath();

class KXBackground : public kx::Observable, public kx::Coding {
public:
    KXBackground();
    ~KXBackground() override;

    QString className() const override { return QStringLiteral("KXBackground"); }
    QStringList announcedKeys() const override;
    const kx::PropertyTable& propertyTable() const override;

    // ---- colours ----
    const kx::Color& color1() const { return m_color1; }
    const kx::Color& color2() const { return m_color2; }
    void setColor1(const kx::Color& color);
    void setColor2(const kx::Color& color);
    std::int64_t t_color1() const { return m_tColor1; }
    std::int64_t t_color2() const { return m_tColor2; }
    // Keep the packed colour's low 32 bits (sign-extended), the part that names a colour.
    void setT_color1(std::int64_t packed);
    void setT_color2(std::int64_t packed);
    void swapColors();

    // ---- kinds ----
    std::int32_t fillType() const { return m_fillType; }
    void setFillType(std::int32_t type);
    std::int32_t colorType() const { return m_colorType; }
    void setColorType(std::int32_t type);
    std::int32_t imageType() const { return m_imageType; }
    void setImageType(std::int32_t type);
    std::int32_t gradientType() const { return m_gradientType; }
    void setGradientType(std::int32_t type);
    // Gradient direction in degrees; any value is kept and read modulo 360 when drawing.
    double fillAngle() const { return m_fillAngle; }
    void setFillAngle(double angle);

    // ---- images ----
    const QString& imagePath() const { return m_imagePath; }
    // Setting the current path again changes nothing.
    void setImagePath(const QString& path);
    const QString& customImagePath() const { return m_customImagePath; }
    void setCustomImagePath(const QString& path);
    double imageScale() const { return m_imageScale; }
    void setImageScale(double scale);
    // Rebuilds the pre-scaled tile of an image fill in tile mode from the cache's thumbnail; whether
    // there is one.
    bool refreshBitmap();
    const kx::Image& renderTexture() const { return m_renderTexture; }

    // ---- gradients ----
    // color1 to color2 at 0 and 1.
    kx::Gradient gradient() const;
    // The gradient colours at the first stop locations, ordered by location for drawing.
    kx::Gradient advancedGradient() const;
    const std::vector<kx::Color>& gradientColorArray() const { return m_gradientColors; }
    const std::array<double, kMaxGradientStops>& gradientLocations() const { return m_gradientLocations; }
    // Replaces the gradient colours (the first eight of them); an empty array is ignored.
    void setAdGradientColorArray(const std::vector<kx::Color>& colors);
    void setLocationsArray(const std::array<double, kMaxGradientStops>& locations);
    void clearGradientColorArray();

    // Where the ray from the centre of a rectangle at the origin, heading (cos a, −sin a) for the angle a
    // in degrees, leaves the rectangle.
    kx::Point endPointOfRect(const kx::Rect& rect, double angle) const;

    // Fills the rectangle (image tiles scaled by the zoom), clipped to it.
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect, double zoom) const;

    // Takes over every setting of another fill through the setters, then its gradient stops. Null does nothing.
    void setBackground(const KXBackground* other);

    // The holder (page or graph), not owned.
    kx::Object* owner() const { return m_owner; }
    void setOwner(kx::Object* owner) { m_owner = owner; }

    // An independent copy with its own cache uses, made by archiving.
    std::shared_ptr<KXBackground> copy() const;

    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

    // Where a stored resource image is found on this machine: a content-pack path as it is, else the same
    // path below this application's resource folder (tried as "jpng", "jpg", "png"), else a content pack's
    // background of the same folder and name. Empty when none exists. Never a path outside the resource
    // folder or the content packs.
    static QString resolveStoredImagePath(const QString& stored);

private:
    void setStringProperty(const QString& key, QString& field, const QString& value);
    void takeCacheUse(const QString& path, bool& holdsUse);
    void giveUpCacheUse(const QString& path, bool& holdsUse);
    kx::Image imageForDrawing(const kx::Size& areaSize) const;

    std::array<double, kMaxGradientStops> m_gradientLocations{0, 1, 0, 0, 0, 0, 0, 0};
    std::vector<kx::Color> m_gradientColors;
    kx::Color m_color1;
    kx::Color m_color2;
    kx::Image m_renderTexture;
    std::int32_t m_fillType = KXFillTypeColor;
    std::int32_t m_colorType = KXColorTypeSolid;
    std::int32_t m_imageType = KXImageTypeTile;
    std::int32_t m_gradientType = KXGradientTypeLinear;
    kx::Object* m_owner = nullptr;
    std::int64_t m_tColor1 = 0;
    std::int64_t m_tColor2 = 0;
    double m_fillAngle = 0;
    QString m_imagePath;
    double m_imageScale = 1;
    QString m_customImagePath;
    bool m_holdsImageUse = false;
    bool m_holdsCustomUse = false;
};
