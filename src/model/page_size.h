// The size of a page: a width and a height in one of four units, the resolution that turns physical units
// into pixels, an orientation flag and the description shown in lists. Every page holds one and works in
// pixels through it; the page-size catalogue holds the sizes offered to the user.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/geometry.h"
#include "platform/foundation/observable.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

enum KXSizeUnit : std::int64_t {
    KXSizeUnitPixel = 0,
    KXSizeUnitMillimeter = 1,
    KXSizeUnitInch = 2,
    KXSizeUnitCentimeter = 3,
};

class KXSize : public kx::Observable, public kx::Coding {
public:
    // All zero, portrait, no description: the state an archive is read into.
    KXSize();
    // Landscape when width >= height, so a square size is landscape. A side that is not a finite number,
    // and a dpi beyond 32 bits, is taken as 0.
    KXSize(double width, double height, std::int64_t unit, std::int64_t dpi);
    static std::shared_ptr<KXSize> sizeWithWith(double width, double height, std::int64_t unit, std::int64_t dpi);

    QString className() const override { return QStringLiteral("KXSize"); }
    // "isLandscape", "width", "height".
    QStringList announcedKeys() const override;
    const kx::PropertyTable& propertyTable() const override;

    bool isLandscape() const { return m_landscape; }
    // A change of the flag swaps the stored width and height and announces "isLandscape" only, so that
    // putting the old flag back by key swaps them back. The same value does nothing.
    void setLandscape(bool landscape);
    std::int64_t dpi() const { return m_dpi; }
    // Archives hold the resolution in 32 bits: one beyond them is refused (the old one stays).
    void setDpi(std::int64_t dpi);
    std::int64_t unit() const { return m_unit; }
    // Width and height become sizeWithUnit(unit) (ordered by the flag); then the unit is recorded.
    void setUnit(std::int64_t unit);
    QString desc() const { return m_desc; }
    void setDesc(const QString& desc) { m_desc = desc; }
    QString description() const { return m_desc; }
    double width() const { return m_width; }
    // Stores the number as it is; the flag stays. A number that is not finite is refused.
    void setWidth(double width);
    double height() const { return m_height; }
    void setHeight(double height);

    // Width and height in pixels, in the stored order. Millimetres and centimetres convert through single-
    // precision factors; any unit other than the three physical ones is taken as pixels.
    kx::Size pixelSize() const;
    // The pixel size expressed in the unit, ordered by the flag: landscape (larger, smaller), portrait
    // (smaller, larger).
    kx::Size sizeWithUnit(std::int64_t unit) const;
    // Takes over another size's dimensions in its own unit, its unit and its dpi; keeps this size's
    // orientation (the sides are stored in its order) and description. Null does nothing.
    void setSize(const KXSize* other);
    // Whether both sizes, in pixels and each ordered by its own flag, agree within one pixel on each side;
    // with ignoreOrientation also when they agree with one of them turned. Null answers false.
    bool isEqualToPagesize(const KXSize* other, bool ignoreOrientation) const;

    // An independent copy made by archiving, so its width and height carry single precision.
    std::shared_ptr<KXSize> copy() const;

    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    // The resolution the conversions use: a size without a positive dpi is read at 72 dpi, so that no
    // conversion divides by zero or turns a page into nothing.
    double conversionDpi() const;

    bool m_landscape = false;
    std::int64_t m_dpi = 0;
    std::int64_t m_unit = KXSizeUnitPixel;
    QString m_desc;
    double m_width = 0;
    double m_height = 0;
};

// Makes the archived classes of page sizes (KXSize, KXColumnInfo) known to the shared class registry.
// Call once at start-up (repeating is harmless).
void registerPageSizeClasses();
