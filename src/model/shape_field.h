// The base of the content fields a shape holds (its photo and its text). A field knows the shape
// that holds it, without owning it, so that a change inside the field can redraw the whole shape.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/geometry.h"
#include "platform/foundation/observable.h"

#include <memory>

namespace kx {
class BitmapContext;

// What a field needs of the shape that holds it. The shape implements it and clears the back-pointer
// of its fields before it goes away.
class ShapeFieldOwner {
public:
    virtual void setNeedsDisplay() = 0;

protected:
    ~ShapeFieldOwner() = default;
};
}  // namespace kx

class KXShapeField : public kx::Observable, public kx::Coding {
public:
    KXShapeField() = default;
    explicit KXShapeField(kx::ShapeFieldOwner* owner) { setOwner(owner); }
    ~KXShapeField() override { setOwner(nullptr); }

    QString className() const override { return QStringLiteral("KXShapeField"); }

    kx::ShapeFieldOwner* owner() const { return m_owner; }
    void setOwner(kx::ShapeFieldOwner* owner) { m_owner = owner; }

    // Redraws the owning shape; nothing without an owner.
    virtual void setNeedsDisplay();
    // The base draws nothing.
    virtual void drawInContext(kx::BitmapContext& context, const kx::Rect& rect);

    // The base announces no keys; each field announces its own.
    void addObserver(kx::KeyObserver* observer) override;
    void removeObserver(kx::KeyObserver* observer) override;

    // A copy by archive round trip: it has no owner.
    std::shared_ptr<KXShapeField> copy() const;

    // The base stores nothing; each field archives its own state.
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;

private:
    kx::ShapeFieldOwner* m_owner = nullptr;
};
