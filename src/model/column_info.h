// The width of one text column and the gutter after it, both as fractions of the width of the text
// field's frame (one full-width column is width 1, gutter 0).
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/value.h"

#include <memory>

class KXColumnInfo : public kx::Object, public kx::Coding {
public:
    KXColumnInfo() = default;
    KXColumnInfo(double width, double gutter) : m_width(width), m_gutter(gutter) {}
    static std::shared_ptr<KXColumnInfo> columnInfoWithWidth(double width, double gutter);

    QString className() const override { return QStringLiteral("KXColumnInfo"); }

    double width() const { return m_width; }
    void setWidth(double width) { m_width = width; }
    double gutter() const { return m_gutter; }
    void setGutter(double gutter) { m_gutter = gutter; }

    // An independent copy made by archiving, so both numbers carry single precision.
    std::shared_ptr<KXColumnInfo> copy() const;

    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    double m_width = 0;
    double m_gutter = 0;
};
