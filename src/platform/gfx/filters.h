// Image filters looked up by name, with named inputs: the colour, tone and blur filters that photo effects,
// photo adjustments, word-art glow and contact shadows use.
//
// A filter holds its input values (numbers, or arrays of numbers for vectors) under keys such as "inputEV";
// they can be read and written by key, observed like any observable property, and copied. Applying a filter
// never changes it, so one filter object may render many images, from several threads at once.
//
// Images pass between filters as FilterImage values: the pixels plus the place they cover in an unbounded
// plane (y up, one unit per pixel). Colour filters keep the place; blurs spread pixels outward and return a
// larger image whose origin lies below and left of the input's. Pixels outside an image are transparent.
//
// Colour filters work on un-premultiplied values in 0..1 of the stored (sRGB-encoded) components, unless a
// formula says otherwise, and clamp every result to 0..1; alpha passes through unless a formula changes it.
// Filters and their formulas (s = the input pixel, c = its red, green and blue):
//
//   "CIColorMatrix"    inputRVector, inputGVector, inputBVector, inputAVector (4 numbers, defaults the rows of
//                      the identity), inputBiasVector (4 numbers, default 0): out.r = R·s + bias.r, out.g = G·s
//                      + bias.g, out.b = B·s + bias.b, out.a = A·s + bias.a, where s = (r, g, b, a). A vector
//                      given with fewer numbers reads the missing ones as 0.
//   "CIExposureAdjust" inputEV (default 0.5): exposure in stops, done in linear light: each component is
//                      decoded from sRGB, multiplied by 2^EV and encoded again.
//   "CIColorControls"  inputSaturation (1), inputBrightness (0), inputContrast (1): c += brightness, then
//                      c = (c − 0.5) × contrast + 0.5, then c = L + (c − L) × saturation with the luma
//                      L = 0.2125 r + 0.7154 g + 0.0721 b of the contrasted colour.
//   "CIHueAdjust"      inputAngle (0, radians): rotates c about the grey axis (1, 1, 1) by the angle
//                      (Rodrigues' rotation), which turns the hue and keeps r + g + b.
//   "CIGammaAdjust"    inputPower (0.75): c = c^power.
//   "CISepiaTone"      inputIntensity (1): the sepia colour
//                          S = (0.393 r + 0.769 g + 0.189 b, 0.349 r + 0.686 g + 0.168 b, 0.272 r + 0.534 g + 0.131 b)
//                      mixed in: c = c + (S − c) × intensity.
//   "CIColorPosterize" inputLevels (6): c = round(c × (n − 1)) ÷ (n − 1) with n = max(levels, 2), so each
//                      component takes n evenly spaced values from 0 to 1.
//   "CIBloom"          inputRadius (10), inputIntensity (0.5): b = the Gaussian blur of the image with that
//                      radius (un-premultiplied); c = c + i·b − i·b·c (the blur screened over the image with
//                      weight i = intensity); alpha and the image's place stay those of the input.
//   "CIBoxBlur"        inputRadius (10): every output pixel is the plain average of the (2r + 1) × (2r + 1)
//                      square around it (r = the radius rounded to a whole number), computed separably with
//                      running sums; the image grows by r on every side.
//   "CIGaussianBlur"   inputRadius (10): a Gaussian of standard deviation σ = radius; the image grows by
//                      ceil(3σ) on every side. For σ < 4 the sampled kernel (half-width ceil(3σ)) is applied
//                      row then column; from 4 on, three box blurs whose widths give the same variance (the
//                      usual fast approximation, within a few levels of the true Gaussian) keep the cost
//                      independent of the radius.
//
// Blurs average premultiplied values, so transparent pixels contribute no colour. Blur radii are clamped to
// 0..500; a blur whose result would exceed Image::maximumPixelCount gives a null image. Inputs that are not
// numbers (NaN) read as the input's default.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/foundation/observable.h"
#include "platform/foundation/value.h"
#include "platform/gfx/image.h"

#include <QString>
#include <QStringList>

#include <map>
#include <memory>

namespace kx {

// An image placed in the filters' plane.
struct FilterImage {
    Image image;
    Point origin;  // where the image's bottom-left corner lies

    FilterImage() = default;
    explicit FilterImage(const Image& i, Point o = {}) : image(i), origin(o) {}

    bool isNull() const { return image.isNull(); }
    // The rectangle the pixels cover; the null rectangle for a null image.
    Rect extent() const;
};

class Filter;
using FilterPtr = std::shared_ptr<Filter>;

class Filter : public Observable {
public:
    // A new filter of that name with its default inputs; null for a name that is not one of ours.
    static FilterPtr filterWithName(const QString& name);
    // Every filter name, in the order of the table above.
    static QStringList filterNames();

    QString className() const override { return QStringLiteral("CIFilter"); }
    const QString& name() const { return m_name; }

    // The filter's input keys other than "inputImage", in a fixed order.
    QStringList inputKeys() const;
    // Sets every input to its default (observers hear each key), the input image excepted.
    void setDefaults();
    // The current input values by key.
    const std::map<QString, Value>& inputValues() const { return m_inputs; }
    // Stores an input value and tells the key's observers (the same as setValueForKey); false for a key the
    // filter does not have.
    bool setInputValue(const QString& key, const Value& value);
    // Numeric input `key` read as a double (NaN reads as the default; a missing key as 0).
    double numberForKey(const QString& key) const;

    // Key-value coding and observation of the inputs go through the property table ("inputEV"...).
    const PropertyTable& propertyTable() const override;
    QStringList announcedKeys() const override;

    // The image the filter works on ("inputImage").
    const FilterImage& inputImage() const { return m_inputImage; }
    void setInputImage(const FilterImage& image) { m_inputImage = image; }
    void setInputImage(const Image& image) { m_inputImage = FilterImage(image); }

    // The result for the input image; null when there is none.
    FilterImage outputImage() const { return apply(m_inputImage); }
    // The result of running the filter, with its current inputs, on `input`; the filter is not changed.
    FilterImage apply(const FilterImage& input) const;

    // A filter of the same name and inputs (the input image included), without observers.
    FilterPtr copy() const;

    struct Definition;
    explicit Filter(const Definition& definition);

private:

    const Definition* m_definition;
    QString m_name;
    std::map<QString, Value> m_inputs;
    FilterImage m_inputImage;
};

// Runs the named filter with `inputs` (other keys keep their defaults) on an image placed at the origin and
// returns the result's pixels. Null for an unknown name or a null image.
Image applyFilter(const QString& name, const Image& image, const std::map<QString, Value>& inputs = {});

}  // namespace kx
