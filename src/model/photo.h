// The photo content of a shape: an image file and the part of it that shows (the crop rectangle, in
// fractions of the whole image), a rotation in degrees, rounded corners (drawn only with a border), a
// grey mask, a picture frame, a named colour effect and a colour filter. It holds one use of the image
// cache's entry for its path while the path is set, keeps the image it draws (the render image: the
// smallest cache level that covers the drawn size, turned and colour-processed once per change) and
// draws itself into its shape's rectangle (photo_drawing.cpp).
//
// The shape, its page and the page's undo manager are reached through the owner (a KXGraph). Changes of
// the frame's scale and of the filter's values are recorded on the page's undo manager by the photo
// itself; every other change goes through the announced keys, which the page turns into undo steps.
//
// Photos read while a DeferredDecoding is alive (a project being opened) decode nothing: they hold their
// cache entry, made from the file's header, and get their image when they are first drawn. Drawn on screen
// (inside a ScreenDrawing), such a photo shows the placeholder and has its image decoded on
// KXCache::decodePool; the result is handed to the main thread, which keeps it only when the photo still
// shows the same file through the same entry, and redraws the photo. Larger versions for a bigger drawing
// arrive the same way. Drawn anywhere else (export, print, page images), it decodes what it needs at once,
// so that output never shows a placeholder.
//
// Drawing and hit testing never change the photo: when no crop is chosen yet they work with the centred
// crop the next model change will choose, so renders on worker threads record no undo step.
#pragma once

#include "model/shape_field.h"
#include "platform/foundation/notification_center.h"
#include "platform/gfx/image.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class KXCache;
class KXFrame;
class KXGraph;
class KXPhotoFilter;

inline const QString KXPhotoPathChanged = QStringLiteral("KXPhotoPathChanged");

enum KXPhotoRenderMode : std::int32_t {
    KXPhotoRenderModeNormal = 0,
};

class KXPhoto : public KXShapeField, public kx::KeyObserver {
public:
    // While one is alive on a thread, photos given an image path on that thread decode nothing (see above).
    class DeferredDecoding {
    public:
        DeferredDecoding();
        ~DeferredDecoding();
        DeferredDecoding(const DeferredDecoding&) = delete;
        DeferredDecoding& operator=(const DeferredDecoding&) = delete;
    };
    // Alive on a thread while it draws for the screen: photos without their image yet then ask for it in the
    // background instead of decoding it in the drawing.
    class ScreenDrawing {
    public:
        ScreenDrawing();
        ~ScreenDrawing();
        ScreenDrawing(const ScreenDrawing&) = delete;
        ScreenDrawing& operator=(const ScreenDrawing&) = delete;
    };

    // The state an archive is read into: no frame, no filter, nothing set.
    KXPhoto();
    ~KXPhoto() override;
    // A new photo of a shape: frame and mask enabled, an empty expandable frame (scale 1), a neutral filter.
    static std::shared_ptr<KXPhoto> photoWithOwner(kx::ShapeFieldOwner* owner);

    QString className() const override { return QStringLiteral("KXPhoto"); }

    // ---- observation ----
    // "imagePath", "cropRect", "frame", "frameEnabled", "maskEnabled", "maskName", "effectName",
    // "photoRotation", "roundCornerRadius".
    QStringList announcedKeys() const override;
    void addObserver(kx::KeyObserver* observer) override;
    void removeObserver(kx::KeyObserver* observer) override;
    using kx::Observable::addObserver;
    using kx::Observable::removeObserver;
    const kx::PropertyTable& propertyTable() const override;
    // The frame's "scale" and the filter's values: one undo step per change (none for a filter value that
    // is the same at single precision), then a filter change rebuilds the render image.
    void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                      const kx::Value& newValue) override;
    // The action of those undo steps: sets the value on the object by key.
    void changeKeyPath(const QString& key, kx::Observable* object, const kx::Value& value);

    // ---- fields ----
    const QString& imagePath() const { return m_imagePath; }
    // Moves the cache use to the new path, rebuilds the render image, fits the crop and posts
    // KXPhotoPathChanged.
    void setImagePath(const QString& path);
    const QString& maskName() const { return m_maskName; }
    // Loads the mask file whole (grey; other images converted); nil or an unreadable file leaves no mask.
    void setMaskName(const QString& path);
    const QString& effectName() const { return m_effectName; }
    void setEffectName(const QString& name);
    std::int64_t photoRotation() const { return m_photoRotation; }
    // Clears the crop (without an undo step), rebuilds the render image and fits a new centred crop.
    void setPhotoRotation(std::int64_t degrees);
    kx::Rect cropRect() const { return m_cropRect; }
    // A rectangle with a component that is not a finite number is stored as the zero rectangle.
    void setCropRect(const kx::Rect& rect);
    std::int64_t roundCornerRadius() const { return m_roundCornerRadius; }
    void setRoundCornerRadius(std::int64_t radius);
    bool isFrameEnabled() const { return m_frameEnabled; }
    void setFrameEnabled(bool enabled);
    bool isMaskEnabled() const { return m_maskEnabled; }
    void setMaskEnabled(bool enabled);
    std::int32_t renderMode() const { return m_renderMode; }
    void setRenderMode(std::int32_t mode) { m_renderMode = mode; }
    const std::shared_ptr<KXFrame>& frame() const { return m_frame; }
    // Observes the new frame's scale; a single-image frame fits the crop.
    void setFrame(std::shared_ptr<KXFrame> frame);
    const std::shared_ptr<KXPhotoFilter>& variableFilter() const { return m_variableFilter; }
    void setVariableFilter(std::shared_ptr<KXPhotoFilter> filter);
    const kx::Image& renderImage() const { return m_renderImage; }
    const kx::Image& maskImage() const { return m_maskImage; }
    void setMaskImage(const kx::Image& image) { m_maskImage = image; }
    kx::Size maskImageSize() const;

    // No image path and no render image. Drawing shows the grey placeholder for any photo without a render
    // image, an empty one as well as one whose image file is missing.
    bool isEmpty() const;
    // Whether the image path is clip-art: inside a "/Clipart/" folder of the application's resources, of
    // the user's custom resources, or of a content pack under the caches folder.
    bool isClipart() const;

    // ---- geometry ----
    // The visible area in preview points: the owner's frame less half the border, or less the frame margins.
    kx::Rect visisbleRect() const;
    // The whole image placed so that the crop falls on the visible area of `rect`. With no crop chosen yet
    // this chooses the centred crop that covers the area and stores it (an observed change).
    kx::Rect fullImageRectWithFrame(const kx::Rect& rect);
    // The same without storing anything: what drawing and hit tests use.
    kx::Rect fullImageRectForDrawing(const kx::Rect& rect) const;
    // Fits the crop to the aspect of the owner's visible area in page pixels (an observed change).
    void updateCropRect();

    // ---- drawing (photo_drawing.cpp) ----
    void updateRenderImage();
    // The pixel size of the cache level that serves a drawing of that size.
    kx::Size imageSizeForBoundSize(const kx::Size& size) const;
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect) override;
    // The decode that drawing the photo in `rect` would ask the image cache for (a larger image than the one
    // it holds), as a task that touches nothing but the cache entry, so that another thread can make it
    // ahead of the drawing; an empty function when the drawing needs nothing new.
    std::function<void()> sourceLoadForRect(const kx::Rect& rect) const;
    void drawBlankInContext(kx::BitmapContext& context, const kx::Rect& rect) const;
    // Whether the photo gets its images by background decodes when drawn on screen, and whether one of
    // them is under way.
    bool decodesInBackground() const { return m_decodesInBackground; }
    bool isWaitingForImage() const { return m_requestInFlight; }
    void drawCropRect(const kx::Rect& rect, kx::BitmapContext& context) const;
    // Redraws the owner, and its selection while the crop is being edited.
    void setNeedsDisplay() override;

    // ---- archive ----
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;
    std::shared_ptr<KXPhoto> copy() const;

    // The owner as a graph (the shape); null without an owner.
    KXGraph* ownerGraph() const;

    // Where an archived path is found in this application's resources (see photo.cpp).
    static QString resolveArchivedImagePath(const QString& stored);
    static QString resolveArchivedMaskPath(const QString& stored);
    static std::shared_ptr<KXFrame> resolveArchivedFrame(const QString& stored, double scale);

private:
    // The rectangle reduced by half the border (reference: the shorter side of `referenceSize`) or by
    // the frame margins.
    kx::Rect reducedRect(const kx::Rect& rect, const kx::Size& referenceSize) const;
    // The rectangle reduced by the frame margins, scaled from frame-image pixels.
    kx::Rect marginRect(const kx::Rect& rect) const;
    bool hasUsableMargins() const;
    kx::Rect fullImageRect(const kx::Rect& rect, bool storeCrop);
    // The cache's image of the path for drawing the whole picture at `size` (as shown, before turning):
    // a cache level, and above the large level the original or, when `covering`, a decode that covers
    // the size.
    kx::Image sourceImageForSize(const kx::Size& size, bool covering) const;
    // The size `size` takes in the file's own orientation: a quarter turn swaps width and height.
    kx::Size sizeInFileOrientation(const kx::Size& size) const;
    // The source image turned and colour-processed.
    kx::Image processedImage(const kx::Image& source) const;
    // Makes the render image from a source image and remembers what it was made from.
    void setRenderImageFromSource(const kx::Image& source);
    // The pixel size of the source that serves a drawing of the whole picture at `size` (as shown).
    kx::Size sourceSizeForBoundSize(const kx::Size& size) const;
    // Whether the render image is a reduced version too small for drawing the whole image in `imageRect`.
    bool needsLargerSourceForRect(const kx::Rect& imageRect) const;
    void takeCacheUse();
    void giveUpCacheUse();
    void cacheDidLoadingInternetImage(const void* sender);
    void drawImageAndFrame(kx::BitmapContext& context, const kx::Rect& rect, const kx::Rect& imageRect);
    // The render image of a photo that decoded nothing when it was read, for a drawing of `drawnSize`: asked
    // for in the background when drawn on screen, made at once otherwise.
    void obtainDeferredRenderImage(const kx::Size& drawnSize);
    // A decode of the cache image for `size` (covering: imageCoveringSize of the size as shown) on the
    // decode pool, one at a time; its result reaches sourceArrived on the main thread.
    void requestSourceInBackground(const kx::Size& size, bool covering);
    void sourceArrived(const std::shared_ptr<KXCache>& cache, const kx::Image& image, std::uint64_t ticket);

    std::int64_t m_photoRotation = 0;
    bool m_frameEnabled = false;
    bool m_maskEnabled = false;
    bool m_holdsImageUse = false;
    bool m_decodesInBackground = false;
    bool m_requestInFlight = false;
    bool m_backgroundDecodeFailed = false;  // asked for no more until the render image is rebuilt
    // Counts the rebuilds of the render image: a background result made for an earlier one is dropped.
    std::uint64_t m_renderTicket = 0;
    kx::Rect m_cropRect;
    std::int64_t m_roundCornerRadius = 0;
    kx::Image m_renderImage;
    // The size of the cache image the render image was made from, and whether that was a reduced version of
    // the file (one a larger drawing replaces by a larger version).
    kx::Size m_renderSourceSize;
    bool m_renderImageReduced = false;
    kx::Image m_maskImage;
    std::shared_ptr<KXPhotoFilter> m_variableFilter;
    QString m_imagePath;
    QString m_maskName;
    QString m_effectName;
    std::int32_t m_renderMode = KXPhotoRenderModeNormal;
    std::shared_ptr<KXFrame> m_frame;
    kx::NotificationToken m_internetImageToken;
};
