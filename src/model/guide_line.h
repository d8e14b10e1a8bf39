// A straight segment, used by the canvas for its alignment guides. Not archived.
#pragma once

class KXLine {
public:
    KXLine() = default;
    KXLine(double beginX, double beginY, double endX, double endY)
        : m_beginX(beginX), m_beginY(beginY), m_endX(endX), m_endY(endY) {}

    double beginX() const { return m_beginX; }
    double beginY() const { return m_beginY; }
    double endX() const { return m_endX; }
    double endY() const { return m_endY; }
    void setBeginX(double v) { m_beginX = v; }
    void setBeginY(double v) { m_beginY = v; }
    void setEndX(double v) { m_endX = v; }
    void setEndY(double v) { m_endY = v; }

    // The two end points differ in x or in y.
    bool isValid() const { return m_beginX != m_endX || m_beginY != m_endY; }
    // A valid line whose ends share their y.
    bool isHorizon() const { return isValid() && m_endY == m_beginY; }

    double minX() const { return m_beginX < m_endX ? m_beginX : m_endX; }
    double minY() const { return m_beginY < m_endY ? m_beginY : m_endY; }
    double maxX() const { return m_beginX > m_endX ? m_beginX : m_endX; }
    double maxY() const { return m_beginY > m_endY ? m_beginY : m_endY; }
    double centerX() const { return (m_beginX + m_endX) * 0.5; }
    double centerY() const { return (m_beginY + m_endY) * 0.5; }

    friend bool operator==(const KXLine&, const KXLine&) = default;

private:
    double m_beginX = 0, m_beginY = 0, m_endX = 0, m_endY = 0;
};
