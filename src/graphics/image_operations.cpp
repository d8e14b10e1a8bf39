#include "graphics/image_operations.h"

#include "graphics/bitmap_contexts.h"
#include "graphics/geometry_utilities.h"

#include <cstdio>

kx::Image scaleImageToSize(const kx::Image& image, double w, double h) {
    if (image.isNull())
        return {};
    if (w == image.width() && h == image.height())
        return image;
    BitmapContextRef context = createBitmapContext(w, h);
    if (!context)
        return image;
    context->setInterpolationQuality(kx::InterpolationQuality::High);
    context->drawImage(kx::Rect(0, 0, context->width(), context->height()), image);
    kx::Image scaled = context->makeImage();
    releaseBitmapContext(context);
    return scaled;
}

kx::Image rotateImageByDegrees(const kx::Image& image, int angle) {
    if (image.isNull())
        return {};
    if (angle % 90 != 0)
        return image;
    const int r = ((angle % 360) + 360) % 360;
    if (r == 0)
        return image;
    const QImage& src = image.qimage();
    const int w = src.width(), h = src.height();
    const bool quarter = r != 180;
    QImage dst(quarter ? h : w, quarter ? w : h, src.format());
    if (dst.isNull())
        return image;
    const int bytes = src.depth() / 8;  // 4 for colour, 1 for grey and alpha-only images
    for (int row = 0; row < dst.height(); ++row) {
        uchar* out = dst.scanLine(row);
        for (int x = 0; x < dst.width(); ++x, out += bytes) {
            // The input pixel that lands at column x of memory row `row` (row 0 on top).
            int sx = 0, srow = 0;
            switch (r) {
            case 90:  // counter-clockwise: the top row becomes the left column, read upward
                sx = w - 1 - row, srow = x;
                break;
            case 180:
                sx = w - 1 - x, srow = h - 1 - row;
                break;
            default:  // 270, clockwise: the top row becomes the right column, read downward
                sx = row, srow = h - 1 - x;
                break;
            }
            std::copy_n(src.constScanLine(srow) + sx * bytes, bytes, out);
        }
    }
    return kx::Image(dst);
}

kx::Image convertImageToGray(const kx::Image& image) {
    if (image.isNull())
        return {};
    if (image.isGray())
        return image;
    QImage gray(image.width(), image.height(), QImage::Format_Grayscale8);
    if (gray.isNull()) {
        std::fputs("Memory not allocated!\n", stderr);
        return {};
    }
    const QImage rgba = image.format() == kx::Image::Format::RGBA
                            ? image.qimage()
                            : image.qimage().convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    for (int row = 0; row < gray.height(); ++row) {
        const uchar* in = rgba.constScanLine(row);
        uchar* out = gray.scanLine(row);
        // Premultiplied components are the colour composited over black.
        for (int x = 0; x < gray.width(); ++x, in += 4)
            out[x] = uchar((299 * in[0] + 587 * in[1] + 114 * in[2] + 500) / 1000);
    }
    return kx::Image(gray);
}

kx::FilterPtr colorMatrixFilter(std::span<const float, 20> m) {
    kx::FilterPtr matrix = kx::Filter::filterWithName(QStringLiteral("CIColorMatrix"));
    matrix->setDefaults();
    auto vector3 = [](float a, float b, float c) { return kx::ValueArray{double(a), double(b), double(c)}; };
    matrix->setValueForKey(QStringLiteral("inputRVector"), vector3(m[0], m[1], m[2]));
    matrix->setValueForKey(QStringLiteral("inputGVector"), vector3(m[5], m[6], m[7]));
    matrix->setValueForKey(QStringLiteral("inputBVector"), vector3(m[10], m[11], m[12]));
    matrix->setValueForKey(QStringLiteral("inputBiasVector"), vector3(m[4] / 255, m[9] / 255, m[14] / 255));
    return matrix;
}

kx::Image applyColorMatrixAndFilter(const kx::Image& image, const kx::FilterPtr& filter, std::span<const float, 20> m) {
    if (image.isNull())
        return {};
    kx::FilterImage result = colorMatrixFilter(m)->apply(kx::FilterImage(image));
    if (filter && !result.isNull())
        result = filter->apply(result);
    return result.image;
}

kx::Image nsImageFittingSize(const kx::Image& image, double maxWidth, double maxHeight) {
    if (image.isNull())
        return {};
    const kx::Size fitted = aspectFitSize(image.pixelSize(), kx::Size(maxWidth, maxHeight));
    if (!(fitted.width > 0) || !(fitted.height > 0))
        return {};
    BitmapContextRef context = createBitmapContext(fitted.width, fitted.height);
    if (!context)
        return {};
    context->drawImage(kx::Rect(kx::Point(), fitted), image);
    kx::Image fittedImage = context->makeImage().withPointSize(fitted);
    releaseBitmapContext(context);
    return fittedImage;
}
