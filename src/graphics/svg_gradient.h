// Gradient definitions of an SVG document: the colour stops and geometry of linearGradient and
// radialGradient elements, positions in the user space of the shapes that use them.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/color.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class KXSVGGradientColorStop {
public:
    KXSVGGradientColorStop(const kx::Color& color, double position) : m_color(color), m_position(position) {}

    // A null colour when the stop's style gave none.
    const kx::Color& color() const { return m_color; }
    void setColor(const kx::Color& color) { m_color = color; }
    double position() const { return m_position; }
    void setPosition(double position) { m_position = position; }

private:
    kx::Color m_color;
    double m_position = 0;
};

class KXSVGGradient {
public:
    explicit KXSVGGradient(QString identifier = QString()) : m_identifier(std::move(identifier)) {}
    virtual ~KXSVGGradient() = default;

    const QString& identifier() const { return m_identifier; }
    void setIdentifier(const QString& identifier) { m_identifier = identifier; }
    std::vector<std::shared_ptr<KXSVGGradientColorStop>>& colorStops() { return m_colorStops; }
    const std::vector<std::shared_ptr<KXSVGGradientColorStop>>& colorStops() const { return m_colorStops; }
    const std::optional<kx::AffineTransform>& gradientTransform() const { return m_gradientTransform; }
    void setGradientTransform(const std::optional<kx::AffineTransform>& t) { m_gradientTransform = t; }

    // A short readable form for logs.
    virtual QString description() const;

private:
    QString m_identifier;
    std::vector<std::shared_ptr<KXSVGGradientColorStop>> m_colorStops;
    std::optional<kx::AffineTransform> m_gradientTransform;
};

class KXSVGLinearGradient : public KXSVGGradient {
public:
    using KXSVGGradient::KXSVGGradient;

    kx::Point startPosition() const { return m_startPosition; }
    void setStartPosition(const kx::Point& p) { m_startPosition = p; }
    kx::Point endPosition() const { return m_endPosition; }
    void setEndPosition(const kx::Point& p) { m_endPosition = p; }

    QString description() const override;

private:
    kx::Point m_startPosition;
    kx::Point m_endPosition;
};

class KXSVGRadialGradient : public KXSVGGradient {
public:
    using KXSVGGradient::KXSVGGradient;

    kx::Point position() const { return m_position; }
    void setPosition(const kx::Point& p) { m_position = p; }
    double radius() const { return m_radius; }
    void setRadius(double radius) { m_radius = radius; }

    QString description() const override;

private:
    kx::Point m_position;
    double m_radius = 0;
};
