// Picture frames of photos. Two styles:
// - single image (style 1): one frame image stretched over the photo's rectangle, with either a grey mask
//   beside it (same name, extension "jpg": white shows the photo) or a margins file (extension "frm") that
//   says how far the picture opening lies from the image's edges, in frame-image pixels;
// - expandable (style 0): four corner and four edge pieces from a frame folder of the resources
//   ("Frame/<name>/Material/lb", ...), laid around the photo's rectangle and grown outward by the
//   expansion that the folder's description ("Frame/<name>/<name>.xml") gives.
// A new photo holds an empty expandable frame (no name), which loads and draws nothing.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/geometry.h"
#include "platform/foundation/observable.h"
#include "platform/gfx/image.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace kx {
class BitmapContext;
}

enum KXFrameStyle : std::int32_t {
    KXFrameStyleExpandable = 0,
    KXFrameStyleSingleImage = 1,
};

// The four margins of a single-image frame, in pixels of the frame image.
class KXFrameMargin : public kx::Object, public kx::Coding {
public:
    KXFrameMargin() = default;
    // Reads the margins file: every element's "MarginLeft", "MarginRight", "MarginTop" and "MarginBottom"
    // attributes, read as integers (a missing one reads 0), so the last element wins. A missing, unreadable,
    // oversized or malformed file leaves what was read before the fault (all 0 when nothing was).
    explicit KXFrameMargin(const QString& path);
    // The margins of a margins file's bytes, by the same rules (bytes past maximumFileSize are not read).
    static std::shared_ptr<KXFrameMargin> marginWithData(const QByteArray& data);

    QString className() const override { return QStringLiteral("KXFrameMargin"); }

    float left() const { return m_left; }
    float right() const { return m_right; }
    float top() const { return m_top; }
    float bottom() const { return m_bottom; }
    void setLeft(float v) { m_left = v; }
    void setRight(float v) { m_right = v; }
    void setTop(float v) { m_top = v; }
    void setBottom(float v) { m_bottom = v; }

    // "left", "right", "top", "bottom" as 32-bit integers (the values truncated).
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;
    std::shared_ptr<KXFrameMargin> copy() const;

    // Largest margins file read, in bytes.
    static constexpr qint64 maximumFileSize = 64 * 1024;

private:
    void readMargins(const QByteArray& data);

    float m_left = 0;
    float m_right = 0;
    float m_top = 0;
    float m_bottom = 0;
};

class KXFrame : public kx::Observable, public kx::Coding {
public:
    // What archive reading starts from: style 0, width, expansion and scale 0, nothing loaded.
    KXFrame() = default;
    // The style, no margins, width 10, scale 1, expansion 0, no images.
    explicit KXFrame(std::int32_t style);

    // An expandable frame with the scale, then named (which loads its pieces and description).
    static std::shared_ptr<KXFrame> frameWithName(const QString& name, double scale);
    // A single-image frame named by the path of its image (which loads the image and its mask or margins).
    static std::shared_ptr<KXFrame> frameWithName(const QString& name);

    QString className() const override { return QStringLiteral("KXFrame"); }

    // "scale" only, and only for a non-null observer.
    QStringList announcedKeys() const override;
    void addObserver(kx::KeyObserver* observer) override;
    void removeObserver(kx::KeyObserver* observer) override;
    using kx::Observable::addObserver;
    using kx::Observable::removeObserver;
    const kx::PropertyTable& propertyTable() const override;

    std::int32_t style() const { return m_style; }
    void setStyle(std::int32_t style) { m_style = style; }
    const QString& name() const { return m_name; }
    // Stores the name and loads the frame's files by style (other styles load nothing).
    void setName(const QString& name);
    double scale() const { return m_scale; }
    // Announces "scale" only when the value changes at single precision (the precision it is archived in).
    void setScale(double scale);
    double width() const { return m_width; }
    void setWidth(double width) { m_width = width; }
    double expansion() const { return m_expansion; }
    void setExpansion(double expansion) { m_expansion = expansion; }
    QString type() const;
    void setType(const QString& type);
    bool hasMargin() const { return m_hasMargin; }
    void setHasMargin(bool has) { m_hasMargin = has; }
    std::shared_ptr<KXFrameMargin> margin() const;
    void setMargin(std::shared_ptr<KXFrameMargin> margin);

    const kx::Image& frameImage() const { return m_frameImage; }
    const kx::Image& frameMaskImage() const { return m_frameMaskImage; }
    const kx::Image& leftBottomImage() const { return m_leftBottomImage; }
    const kx::Image& leftTopImage() const { return m_leftTopImage; }
    const kx::Image& rightTopImage() const { return m_rightTopImage; }
    const kx::Image& rightBottomImage() const { return m_rightBottomImage; }
    const kx::Image& bottomImage() const { return m_bottomImage; }
    const kx::Image& topImage() const { return m_topImage; }
    const kx::Image& leftImage() const { return m_leftImage; }
    const kx::Image& rightImage() const { return m_rightImage; }

    // The frame's folder name for an expandable frame: the name's last path component without extension.
    // Empty when that cannot name a folder inside the frames ("", ".", ".." or "/").
    QString folderName() const;

    // Style 0: the eight pieces around `rect` grown by expansion x scale x zoom; nothing for a frame without
    // a name or of another style (a single-image frame is drawn by its photo).
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect, double zoom) const;
    void drawShrinkFrameInContext(kx::BitmapContext& context, const kx::Rect& rect, double zoom) const;
    // The rectangle of each piece, in drawing order LB, LT, RT, RB, left, top, right, bottom (rounded).
    std::array<kx::Rect, 8> expandPieceRects(const kx::Rect& rect, double zoom) const;

    void loadExpandFrame();
    // Takes type, expansion and width from an expandable frame's description (a property-list dictionary
    // with "type", "expansion" and "width"); what is missing, of the wrong kind or not finite reads as empty
    // or 0, and so does all of a description that is not such a dictionary.
    void readDescription(const QByteArray& description);
    void loadShrinkFrame();

    // "style", "name", "scale" (single precision).
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;
    std::shared_ptr<KXFrame> copy() const;

private:
    void releaseImages();

    kx::Image m_leftBottomImage, m_leftTopImage, m_rightTopImage, m_rightBottomImage;
    kx::Image m_bottomImage, m_topImage, m_leftImage, m_rightImage;
    kx::Image m_frameImage;
    kx::Image m_frameMaskImage;
    bool m_hasMargin = false;
    std::int32_t m_style = KXFrameStyleExpandable;
    QString m_name;
    mutable std::mutex m_mutex;  // guards the margin and the type, read by renders on other threads
    std::shared_ptr<KXFrameMargin> m_margin;
    QString m_type;
    double m_width = 0;
    double m_expansion = 0;
    double m_scale = 0;
};
