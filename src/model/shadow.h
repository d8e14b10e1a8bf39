// The drop shadow of a page object: colour, blur, direction in degrees and distance in hundredths
// of a reference length. Every graph owns one for its whole life; setShadow copies another's values in.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/observable.h"
#include "platform/gfx/color.h"

#include <cstdint>
#include <memory>

class KXShadow : public kx::Observable, public kx::Coding {
public:
    KXShadow();
    KXShadow(const kx::Color& color, double blur, double angle, double offset);
    static std::shared_ptr<KXShadow> shadowWithColor(const kx::Color& color, double blur, double angle,
                                                     double offset);

    QString className() const override { return QStringLiteral("KXShadow"); }
    QStringList announcedKeys() const override;
    const kx::PropertyTable& propertyTable() const override;

    const kx::Color& color() const { return m_color; }
    void setColor(const kx::Color& color);
    std::int64_t t_color() const { return m_tColor; }
    // Keeps the packed colour's low 32 bits (sign-extended), the part that names a colour.
    void setT_color(std::int64_t packed);

    unsigned type() const { return m_type; }
    void setType(unsigned type) { m_type = type; }
    double blur() const { return m_blur; }
    void setBlur(double blur);
    double angle() const { return m_angle; }
    void setAngle(double angle);
    double offset() const { return m_offset; }
    void setOffset(double offset);

    // Copies the colour through its setter and blur, angle and offset silently; the type stays.
    // Meant for graphs that are not observed yet. Null does nothing.
    void setShadow(const KXShadow* other);

    // The shadow's displacement for a reference length: (cos a × d, −sin a × d) with
    // d = reference × offset / 100, the trigonometry in single precision.
    kx::Point offsetWithReference(double reference) const;
    // The same with an extra angle in radians added, all in single precision.
    kx::Point offsetWithReference(double reference, double radiansOffset) const;

    std::shared_ptr<KXShadow> copy() const;

    // Blur, angle and offset are stored as whole numbers (truncated toward zero).
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    unsigned m_type = 0;
    std::int64_t m_tColor = 0;
    kx::Color m_color;
    double m_blur = 5;
    double m_angle = 30;
    double m_offset = 5;
};
