#include "platform/gfx/filters.h"

#include "platform/gfx/filter_kernels.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kx {

using filterkernels::Pixel;

struct Filter::Definition {
    QString name;
    std::vector<std::pair<QString, Value>> defaults;  // input keys in order, with their default values
    FilterImage (*run)(const Filter& filter, const FilterImage& input);
    PropertyTable properties;
};

namespace {

constexpr double kMaximumBlurRadius = 500;

// The input image as 8-bit RGBA premultiplied pixels.
QImage rgbaPixels(const FilterImage& input) {
    const QImage& q = input.image.qimage();
    return q.format() == QImage::Format_RGBA8888_Premultiplied
               ? q
               : q.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

FilterImage sameplace(const FilterImage& input, const QImage& pixels) {
    if (pixels.isNull())
        return {};
    return FilterImage(Image(pixels), input.origin);
}

// Component i of a vector input; missing components read as 0.
float vectorComponent(const Filter& f, const QString& key, size_t i) {
    const ValueArray& a = f.inputValues().at(key).toArray();
    if (i >= a.size())
        return 0.f;
    const double v = a[i].toDouble();
    return std::isfinite(v) ? float(v) : 0.f;
}

FilterImage runColorMatrix(const Filter& f, const FilterImage& input) {
    filterkernels::ColorMatrix m{};
    const QString rows[4] = {QStringLiteral("inputRVector"), QStringLiteral("inputGVector"),
                             QStringLiteral("inputBVector"), QStringLiteral("inputAVector")};
    for (size_t row = 0; row < 4; ++row) {
        for (size_t column = 0; column < 4; ++column)
            m[row][column] = vectorComponent(f, rows[row], column);
        m[row][4] = vectorComponent(f, QStringLiteral("inputBiasVector"), row);
    }
    return sameplace(input, filterkernels::colorMatrix(rgbaPixels(input), m));
}

inline float srgbToLinear(float c) {
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}
inline float linearToSrgb(float c) {
    if (!(c > 0.0031308f))
        return std::max(0.f, c * 12.92f);
    return 1.055f * std::pow(c, 1.f / 2.4f) - 0.055f;
}

FilterImage runExposure(const Filter& f, const FilterImage& input) {
    const float gain = float(std::exp2(f.numberForKey(QStringLiteral("inputEV"))));
    return sameplace(input, filterkernels::mapPixels(rgbaPixels(input), [gain](Pixel& p) {
        p.r = linearToSrgb(srgbToLinear(p.r) * gain);
        p.g = linearToSrgb(srgbToLinear(p.g) * gain);
        p.b = linearToSrgb(srgbToLinear(p.b) * gain);
    }));
}

FilterImage runColorControls(const Filter& f, const FilterImage& input) {
    const float saturation = float(f.numberForKey(QStringLiteral("inputSaturation")));
    const float brightness = float(f.numberForKey(QStringLiteral("inputBrightness")));
    const float contrast = float(f.numberForKey(QStringLiteral("inputContrast")));
    return sameplace(input, filterkernels::mapPixels(rgbaPixels(input), [=](Pixel& p) {
        float c[3] = {p.r, p.g, p.b};
        for (float& v : c)
            v = (v + brightness - 0.5f) * contrast + 0.5f;
        const float luma = 0.2125f * c[0] + 0.7154f * c[1] + 0.0721f * c[2];
        p.r = luma + (c[0] - luma) * saturation;
        p.g = luma + (c[1] - luma) * saturation;
        p.b = luma + (c[2] - luma) * saturation;
    }));
}

FilterImage runHue(const Filter& f, const FilterImage& input) {
    const double angle = f.numberForKey(QStringLiteral("inputAngle"));
    const float cs = float(std::cos(angle)), sn = float(std::sin(angle));
    // Rotation about the unit grey axis k: R = cos I + sin [k]x + (1 - cos) k k^T.
    const float diagonal = cs + (1.f - cs) / 3.f;
    const float offA = (1.f - cs) / 3.f - sn / std::sqrt(3.f);
    const float offB = (1.f - cs) / 3.f + sn / std::sqrt(3.f);
    return sameplace(input, filterkernels::mapPixels(rgbaPixels(input), [=](Pixel& p) {
        const float r = p.r, g = p.g, b = p.b;
        p.r = diagonal * r + offA * g + offB * b;
        p.g = offB * r + diagonal * g + offA * b;
        p.b = offA * r + offB * g + diagonal * b;
    }));
}

FilterImage runGamma(const Filter& f, const FilterImage& input) {
    const float power = float(f.numberForKey(QStringLiteral("inputPower")));
    return sameplace(input, filterkernels::mapPixels(rgbaPixels(input), [power](Pixel& p) {
        p.r = std::pow(p.r, power);
        p.g = std::pow(p.g, power);
        p.b = std::pow(p.b, power);
    }));
}

FilterImage runSepia(const Filter& f, const FilterImage& input) {
    const float intensity = float(f.numberForKey(QStringLiteral("inputIntensity")));
    return sameplace(input, filterkernels::mapPixels(rgbaPixels(input), [intensity](Pixel& p) {
        const float sr = 0.393f * p.r + 0.769f * p.g + 0.189f * p.b;
        const float sg = 0.349f * p.r + 0.686f * p.g + 0.168f * p.b;
        const float sb = 0.272f * p.r + 0.534f * p.g + 0.131f * p.b;
        p.r += (sr - p.r) * intensity;
        p.g += (sg - p.g) * intensity;
        p.b += (sb - p.b) * intensity;
    }));
}

FilterImage runPosterize(const Filter& f, const FilterImage& input) {
    const float steps = float(std::max(f.numberForKey(QStringLiteral("inputLevels")), 2.0) - 1.0);
    return sameplace(input, filterkernels::mapPixels(rgbaPixels(input), [steps](Pixel& p) {
        p.r = std::round(p.r * steps) / steps;
        p.g = std::round(p.g * steps) / steps;
        p.b = std::round(p.b * steps) / steps;
    }));
}

double blurRadius(const Filter& f) {
    return std::clamp(f.numberForKey(QStringLiteral("inputRadius")), 0.0, kMaximumBlurRadius);
}

FilterImage runBloom(const Filter& f, const FilterImage& input) {
    const QImage source = rgbaPixels(input);
    const double sigma = blurRadius(f);
    // The blur is larger than the image by the spread on every side; each pixel pairs with the blur under it.
    const QImage blurred = filterkernels::gaussianBlur(source, sigma);
    if (blurred.isNull())
        return {};
    const float intensity = float(f.numberForKey(QStringLiteral("inputIntensity")));
    return sameplace(input,
                     filterkernels::screenGlow(source, blurred, filterkernels::gaussianSpread(sigma), intensity));
}

FilterImage runBoxBlur(const Filter& f, const FilterImage& input) {
    const int r = int(std::lround(blurRadius(f)));
    const QImage blurred = filterkernels::boxBlur(rgbaPixels(input), r);
    if (blurred.isNull())
        return {};
    return FilterImage(Image(blurred), input.origin - Point(r, r));
}

FilterImage runGaussianBlur(const Filter& f, const FilterImage& input) {
    const double sigma = blurRadius(f);
    const int spread = filterkernels::gaussianSpread(sigma);
    const QImage blurred = filterkernels::gaussianBlur(rgbaPixels(input), sigma);
    if (blurred.isNull())
        return {};
    return FilterImage(Image(blurred), input.origin - Point(spread, spread));
}

Value vector4(double x, double y, double z, double w) { return ValueArray{Value(x), Value(y), Value(z), Value(w)}; }

std::vector<Filter::Definition>& definitions() {
    static std::vector<Filter::Definition> table = [] {
        using D = Filter::Definition;
        std::vector<D> t;
        t.push_back(D{"CIColorMatrix",
                      {{"inputRVector", vector4(1, 0, 0, 0)},
                       {"inputGVector", vector4(0, 1, 0, 0)},
                       {"inputBVector", vector4(0, 0, 1, 0)},
                       {"inputAVector", vector4(0, 0, 0, 1)},
                       {"inputBiasVector", vector4(0, 0, 0, 0)}},
                      runColorMatrix, PropertyTable()});
        t.push_back(D{"CIExposureAdjust", {{"inputEV", Value(0.5)}}, runExposure, PropertyTable()});
        t.push_back(D{"CIColorControls",
                      {{"inputSaturation", Value(1.0)}, {"inputBrightness", Value(0.0)}, {"inputContrast", Value(1.0)}},
                      runColorControls, PropertyTable()});
        t.push_back(D{"CIHueAdjust", {{"inputAngle", Value(0.0)}}, runHue, PropertyTable()});
        t.push_back(D{"CIGammaAdjust", {{"inputPower", Value(0.75)}}, runGamma, PropertyTable()});
        t.push_back(D{"CISepiaTone", {{"inputIntensity", Value(1.0)}}, runSepia, PropertyTable()});
        t.push_back(D{"CIColorPosterize", {{"inputLevels", Value(6.0)}}, runPosterize, PropertyTable()});
        t.push_back(D{"CIBloom", {{"inputRadius", Value(10.0)}, {"inputIntensity", Value(0.5)}}, runBloom,
                      PropertyTable()});
        t.push_back(D{"CIBoxBlur", {{"inputRadius", Value(10.0)}}, runBoxBlur, PropertyTable()});
        t.push_back(D{"CIGaussianBlur", {{"inputRadius", Value(10.0)}}, runGaussianBlur, PropertyTable()});
        // Each input key is readable, writable and observable through key-value coding.
        for (D& d : t) {
            for (const auto& [key, unused] : d.defaults) {
                const QString k = key;
                d.properties.add<Filter>(
                    k, [k](const Filter& f) { return f.inputValues().at(k); },
                    [k](Filter& f, const Value& v) { f.setInputValue(k, v); });
            }
        }
        return t;
    }();
    return table;
}

}  // namespace

Rect FilterImage::extent() const {
    if (image.isNull())
        return Rect::null();
    return Rect(origin, Size(image.width(), image.height()));
}

Filter::Filter(const Definition& definition) : m_definition(&definition), m_name(definition.name) {
    for (const auto& [key, value] : definition.defaults)
        m_inputs[key] = value;
}

FilterPtr Filter::filterWithName(const QString& name) {
    for (const Definition& d : definitions())
        if (d.name == name)
            return std::make_shared<Filter>(d);
    return nullptr;
}

QStringList Filter::filterNames() {
    QStringList names;
    for (const Definition& d : definitions())
        names << d.name;
    return names;
}

QStringList Filter::inputKeys() const {
    QStringList keys;
    for (const auto& [key, unused] : m_definition->defaults)
        keys << key;
    return keys;
}

void Filter::setDefaults() {
    for (const auto& [key, value] : m_definition->defaults)
        setInputValue(key, value);
}

double Filter::numberForKey(const QString& key) const {
    const auto it = m_inputs.find(key);
    if (it == m_inputs.end())
        return 0;
    const double v = it->second.toDouble();
    if (!std::isnan(v))
        return v;
    for (const auto& [k, value] : m_definition->defaults)
        if (k == key)
            return value.toDouble();
    return 0;
}

const PropertyTable& Filter::propertyTable() const { return m_definition->properties; }

QStringList Filter::announcedKeys() const { return inputKeys(); }

bool Filter::setInputValue(const QString& key, const Value& value) {
    auto it = m_inputs.find(key);
    if (it == m_inputs.end())
        return false;
    const Value old = it->second;
    it->second = value;
    didChangeValue(key, old, value);
    return true;
}

FilterImage Filter::apply(const FilterImage& input) const {
    if (input.isNull())
        return {};
    return m_definition->run(*this, input);
}

FilterPtr Filter::copy() const {
    auto twin = std::make_shared<Filter>(*m_definition);
    twin->m_inputs = m_inputs;
    twin->m_inputImage = m_inputImage;
    return twin;
}

Image applyFilter(const QString& name, const Image& image, const std::map<QString, Value>& inputs) {
    FilterPtr filter = Filter::filterWithName(name);
    if (!filter || image.isNull())
        return {};
    for (const auto& [key, value] : inputs)
        filter->setValueForKey(key, value);
    return filter->apply(FilterImage(image)).image;
}

}  // namespace kx
