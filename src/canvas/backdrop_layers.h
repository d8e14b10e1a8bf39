// Layers around the page: the backdrop under the page (a textured sheet the canvas view sizes to the page
// and gives a layer shadow), the canvas view's root layer (the textured workspace), and the section header
// of the template chooser (a line of text with a white rule under it).
//
// The two textures are images of the application's resources, "canvasBK.jpg" and "previewBK.jpg", loaded on
// first drawing and kept for the life of the process.
#pragma once

#include "platform/gfx/color.h"
#include "platform/gfx/image.h"
#include "platform/layers/layer.h"

#include <QString>

// The page backdrop.
class KXShadowLayer : public kx::Layer {
public:
    // Draws itself when first shown and whenever its size changes.
    KXShadowLayer();
    // The "canvasBK" texture tiled over the bounds inset by one point, tiles of the image's pixel size
    // laid from the top-left corner, upright.
    void drawInContext(kx::BitmapContext& context) override;
    // The texture; null when the resource is missing.
    static kx::Image texture();
};

// The workspace: the canvas view's root layer.
class KXPreviewLayer : public kx::Layer {
public:
    KXPreviewLayer();
    // The "previewBK" texture tiled over the whole layer from the top-left corner, upright.
    void drawInContext(kx::BitmapContext& context) override;
    static kx::Image texture();
};

// A one-line text layer: the text drawn from the top-left corner of the bounds in the layer's font and
// colour (the defaults of a platform text layer: 36 points, white).
class KXTextLayer : public kx::Layer {
public:
    KXTextLayer();
    const QString& string() const { return m_string; }
    void setString(const QString& string);
    const QString& fontName() const { return m_fontName; }
    void setFontName(const QString& name);
    double fontSize() const { return m_fontSize; }
    void setFontSize(double size);
    const kx::Color& foregroundColor() const { return m_foregroundColor; }
    void setForegroundColor(const kx::Color& color);
    void drawInContext(kx::BitmapContext& context) override;

private:
    QString m_string;
    QString m_fontName;
    double m_fontSize = 36;
    kx::Color m_foregroundColor;
};

// The template chooser's section header.
class KXTemplateHeaderLayer : public KXTextLayer {
public:
    // A white rule one point high along the bottom edge, stopping 20 points short of the right edge; then
    // the text.
    void drawInContext(kx::BitmapContext& context) override;
};
