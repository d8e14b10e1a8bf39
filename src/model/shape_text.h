// What a shape needs of its text field. The text library implements it (its text field class derives from
// this) and installs a factory, so that new shapes get a text field; without a factory a shape is made
// without one, which is a valid state (a shape with neither field is a plain shape).
#pragma once

#include "model/shape_field.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class KXGraph;
class KXShape;

class KXShapeText : public KXShapeField {
public:
    QString className() const override { return QStringLiteral("KXShapeText"); }

    // Extra space between the border and the text, used when isTextMarginEnabled().
    virtual bool isTextMarginEnabled() const { return false; }
    virtual double textMargin() const { return 0; }
    // The shape's rectangle changed: the text recomputes the rectangle it is laid out in.
    virtual void updateWrapRect() {}
    // The graphs the text of the first container flows around.
    virtual std::vector<KXGraph*> wrapGraphs() const { return {}; }
    // The text recomputes the outline it flows in at its next drawing.
    virtual void updateTextContainerGeometry() {}
    // Whether the text holds no characters.
    virtual bool isEmpty() const { return true; }
    // Vertical placement of the text in its columns: 0 top, 1 middle, 2 bottom.
    virtual void setVerticalAlignment(std::uint64_t) {}
    // Paragraph alignment (0 left, 1 right, 2 centred, 3 justified, 4 natural) over the whole text and as the
    // typing alignment of every column.
    virtual void setParagraphAlignment(std::int32_t) {}
};

// Makes the text field of a new shape; `string` is the initial text (null for none).
using KXShapeTextFactory = std::function<std::shared_ptr<KXShapeText>(KXShape* owner, const QString* string)>;

// Installs the factory (an empty function removes it). Call before shapes are made.
void setShapeTextFactory(KXShapeTextFactory factory);
// The new text field of a shape, or null when no factory is installed.
std::shared_ptr<KXShapeText> makeShapeText(KXShape* owner, const QString* string);
