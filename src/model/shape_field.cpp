#include "model/shape_field.h"

#include "platform/foundation/archive_copy.h"

void KXShapeField::setNeedsDisplay() {
    if (m_owner)
        m_owner->setNeedsDisplay();
}

void KXShapeField::drawInContext(kx::BitmapContext&, const kx::Rect&) {}

void KXShapeField::addObserver(kx::KeyObserver*) {}

void KXShapeField::removeObserver(kx::KeyObserver*) {}

std::shared_ptr<KXShapeField> KXShapeField::copy() const {
    auto field = kx::archiveCopy(*this);
    if (field)
        field->setOwner(nullptr);
    return field;
}

void KXShapeField::encodeWithCoder(kx::KeyedArchiver&) const {}

void KXShapeField::initWithCoder(kx::KeyedUnarchiver&) {}
