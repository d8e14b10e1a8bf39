// Page output: the page re-fitted to an output size and drawn with every graph's rotation, flips, opacity,
// drop shadow and reflection into a bitmap or a caller's context. Everything here runs on an output copy of
// the page (see KXCanvas::outputCopy), so the page being shown and edited never changes during a render.
#include "graphics/geometry_utilities.h"
#include "graphics/image_loading.h"
#include "graphics/photo_filter.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/graph.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/reflection_geometry.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "platform/gfx/bitmap_context.h"

#include <QThread>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// The image's pixel size centred on a point, rounded as the page rounds rectangles.
kx::Rect imageRectCentredOn(const kx::Image& image, const kx::Point& centre) {
    const double w = image.width();
    const double h = image.height();
    return roundRectComponents({centre.x - w / 2, centre.y - h / 2, w, h});
}

// Turns the context by `angle` about `centre`.
void rotateAbout(kx::BitmapContext& context, const kx::Point& centre, double angle) {
    context.translate(centre.x, centre.y);
    context.rotate(angle);
    context.translate(-centre.x, -centre.y);
}

// The blur of a graph's shadow in an output drawn at the zoom.
double outputShadowBlur(const KXShadow& shadow, double zoom) {
    return std::sqrt(zoom) * shadow.blur();
}

// Whether drawGraph renders the graph through an image of its own (see there) when it is fully opaque and
// not reflected: a shadowed graph whose image is not out of all proportion to the output.
bool graphImageFits(const kx::Size& frame, const kx::Size& output) {
    return frame.width * frame.height <= 4 * output.width * output.height + 4e6;
}

// A graph's image made ahead of the render, and for a shadowed graph the same image already turned as the
// render draws it into a fresh page bitmap (identity transform, `pageHeight` rows), with its shadow: drawn
// at `turnedRect` (user space, whole pixels) it lands on the pixels the turned drawing would, so the render
// only composites the shadow and the turned image.
struct MadeImage {
    kx::Image image;
    kx::Image turned;
    kx::Image shadow;  // see kx::castShadow
    kx::Rect turnedRect;
    double pageHeight = 0;
};

// The image turned by `angle` about the centre of the frame `f`, as drawn into a page with the identity
// transform, rendered alone into the whole pixels it covers with room around for the shadow, and the
// shadow it casts.
void turnImage(MadeImage& made, const kx::Rect& f, double angle, double shadowBlur, const kx::Color& shadowColor) {
    const kx::Rect drawn = transformRectAboutCenter(f.center(), angle, 1, 1, imageRectCentredOn(made.image, f.center()));
    // Whole pixels with a margin for the smoothed edges and the shadow.
    const double margin = kx::shadowSpread(shadowBlur) + 2;
    const double x0 = std::floor(drawn.minX()) - margin, y0 = std::floor(drawn.minY()) - margin;
    const kx::Rect pixels(x0, y0, std::ceil(drawn.maxX()) + margin - x0, std::ceil(drawn.maxY()) + margin - y0);
    kx::BitmapContext turned(int(pixels.size.width), int(pixels.size.height));
    if (!turned.isValid())
        return;
    turned.setInterpolationQuality(kx::InterpolationQuality::High);
    // The page's y-up pixel space moved so that the pixels' corner is the origin.
    turned.translate(-pixels.origin.x, -pixels.origin.y);
    rotateAbout(turned, f.center(), angle);
    turned.drawImage(imageRectCentredOn(made.image, f.center()), made.image);
    made.turned = turned.makeImage();
    made.shadow = kx::castShadow(made.turned, shadowBlur, shadowColor);
    made.turnedRect = pixels;
}

// Work started on other threads before a page render draws, so that it overlaps the drawing: the decodes its
// photos will ask the image cache for, and the images of shadowed photo shapes, which touch nothing but
// their own shape and photo and the locked caches. A few threads of the render's own take the jobs in the
// order of the graphs, which is the order the drawing needs them in. Waited for before the render ends: a
// render leaves nothing running behind it.
class OutputWork {
public:
    // Collects and starts the work of the page, drawn at its current zoom and preview size. With
    // `intoFreshBitmap` the render draws into a bitmap of its own of the preview size, and the images of
    // shadowed photos are turned and their shadows cast ahead too (see MadeImage).
    explicit OutputWork(const KXCanvas& page, bool intoFreshBitmap = false)
        : m_page(&page), m_intoFreshBitmap(intoFreshBitmap) {
        addGraphs(page, page.graphs(), true);
        start();
    }
    OutputWork(const OutputWork&) = delete;
    OutputWork& operator=(const OutputWork&) = delete;
    ~OutputWork() { wait(); }

    const KXCanvas* page() const { return m_page; }

    void wait() {
        for (std::thread& thread : m_threads)
            thread.join();
        m_threads.clear();
    }

    // The image of the graph made on another thread, once it is made; made here when no thread has taken
    // it up yet. Null when none was asked for, or when making it failed (the caller then makes it itself).
    MadeImage takeImage(const KXGraph* graph) {
        const auto found = m_imageJobs.find(graph);
        if (found == m_imageJobs.end())
            return {};
        const std::size_t job = found->second;
        std::unique_lock lock(m_mutex);
        if (m_states[job] == State::Waiting) {
            m_states[job] = State::Running;
            lock.unlock();
            runJob(job);
            lock.lock();
        }
        m_changed.wait(lock, [&] { return m_states[job] == State::Done; });
        return std::exchange(m_results[job], MadeImage());
    }

private:
    // Collects the work for the graphs (and the decodes of their groups' children).
    void addGraphs(const KXCanvas& page, const std::vector<std::shared_ptr<KXGraph>>& graphs, bool topLevel) {
        const double zoom = page.zoomValue();
        for (const auto& graph : graphs) {
            if (graph->graphType() == KXGraphTypeGroup) {
                addGraphs(page, graph->graphs(), false);
                continue;
            }
            auto* shape = dynamic_cast<KXShape*>(graph.get());
            if (!shape || shape->graphType() != KXGraphTypePhoto || !shape->photo())
                continue;
            if (topLevel && drawsImageAlone(page, *shape)) {
                m_imageJobs.emplace(shape, m_jobs.size());
                const double angle = shape->angle();
                const bool turn = m_intoFreshBitmap && std::isfinite(angle);
                const kx::Rect f = roundRectComponents(page.frameRectOfGraph(shape));
                const double pageHeight = page.previewSize().height;
                const double shadowBlur = outputShadowBlur(*shape->shadow(), zoom);
                const kx::Color shadowColor = shape->shadow()->color();
                m_jobs.push_back([shape, zoom, turn, f, angle, pageHeight, shadowBlur, shadowColor] {
                    MadeImage made;
                    made.image = shape->graphImageWithZoom(zoom);
                    if (turn && !made.image.isNull()) {
                        turnImage(made, f, angle, shadowBlur, shadowColor);
                        made.pageHeight = pageHeight;
                    }
                    return made;
                });
                continue;
            }
            // A photo shape draws its photo in (0, 0) and the shape's size, whether it draws through its
            // image or straight onto the page.
            const kx::Size size = shape->graphImageContentSize(zoom);
            if (!(size.width >= 1) || !(size.height >= 1))
                continue;
            if (std::function<void()> load = shape->photo()->sourceLoadForRect({0, 0, size.width, size.height}))
                m_jobs.push_back([load = std::move(load)] {
                    load();
                    return MadeImage();
                });
        }
    }

    // Starts the threads on the jobs collected, up to one per job and leaving two cores to the render and
    // the rest of the system. Threads the system refuses are done without: the images are then made when
    // they are asked for.
    void start() {
        m_results.assign(m_jobs.size(), MadeImage());
        m_states.assign(m_jobs.size(), State::Waiting);
        const int threads = int(std::min<std::size_t>(m_jobs.size(), std::max(2, QThread::idealThreadCount() - 2)));
        try {
            for (int i = 0; i < threads; ++i)
                m_threads.emplace_back([this] { run(); });
        } catch (const std::system_error&) {
        }
    }

    // Takes up the waiting jobs in order until none is left.
    void run() {
        for (;;) {
            std::size_t job = 0;
            {
                std::lock_guard lock(m_mutex);
                while (m_next < m_jobs.size() && m_states[m_next] != State::Waiting)
                    ++m_next;
                if (m_next >= m_jobs.size())
                    return;
                job = m_next;
                m_states[job] = State::Running;
            }
            runJob(job);
        }
    }

    void runJob(std::size_t job) {
        MadeImage result;
        try {
            result = m_jobs[job]();
        } catch (...) {
            // Left to the render, which makes the image itself and meets the failure there.
        }
        {
            std::lock_guard lock(m_mutex);
            m_results[job] = std::move(result);
            m_states[job] = State::Done;
        }
        m_changed.notify_all();
    }

    // Whether the shape's image can be made on another thread: drawGraph draws it through its image as it
    // is (shadowed, fully opaque, not reflected, of a fitting size), and making it reads nothing shared
    // but the locked caches (no photo effect or filter, no frame drawn around the shape).
    static bool drawsImageAlone(const KXCanvas& page, const KXShape& shape) {
        const KXPhoto& photo = *shape.photo();
        const bool shadowed = shape.isShadowEnabled() && shape.shadow();
        const bool plainPhoto = photo.effectName().isEmpty() &&
                                (!photo.variableFilter() || photo.variableFilter()->isDefault()) &&
                                (!photo.frame() || photo.frame()->style() != KXFrameStyleExpandable);
        return shadowed && plainPhoto && shape.opacity() == 1 && !shape.isReflectionEnabled() &&
               graphImageFits(page.frameRectOfGraph(&shape).size, page.previewSize());
    }

    const KXCanvas* m_page;
    bool m_intoFreshBitmap = false;
    std::vector<std::function<MadeImage()>> m_jobs;  // fixed once the threads start
    std::unordered_map<const KXGraph*, std::size_t> m_imageJobs;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;  // guards the fields below
    std::condition_variable m_changed;
    std::size_t m_next = 0;  // no job before it is waiting
    std::vector<MadeImage> m_results;
    enum class State { Waiting, Running, Done };
    std::vector<State> m_states;
};

// The work of the render under way on this thread, for drawGraph.
thread_local OutputWork* t_outputWork = nullptr;

void linkGraphs(const std::vector<std::shared_ptr<KXGraph>>& graphs, KXCanvas* canvas) {
    for (const auto& graph : graphs) {
        graph->setCanvas(canvas);
        linkGraphs(graph->graphs(), canvas);
    }
}

// The page fitted into an output size, in whole pixels. Once the picture has a pixel along one side it has
// at least one along the other, so a page of extreme proportions (a long banner in a small thumbnail) still
// renders; a size smaller than a pixel either way stays refused.
kx::Size outputPixelSize(const kx::Size& fitted) {
    kx::Size pixels(std::round(fitted.width), std::round(fitted.height));
    if (fitted.width > 0 && fitted.height > 0 && (pixels.width >= 1 || pixels.height >= 1))
        pixels = kx::Size(std::max(1.0, pixels.width), std::max(1.0, pixels.height));
    return pixels;
}

}  // namespace

std::shared_ptr<KXCanvas> KXCanvas::outputCopy() const {
    std::shared_ptr<KXCanvas> page = copy();
    if (!page)
        return nullptr;
    page->m_outputCopy = true;
    page->m_previewSize = m_previewSize;
    page->m_zoomValue = m_zoomValue;
    page->m_renderIntent = KXRenderIntentPreview;
    linkGraphs(page->m_graphs, page.get());
    return page;
}

bool KXCanvas::canRenderOutputSize(const kx::Size& size) const {
    if (!(size.width > 0) || !(size.height > 0) || !std::isfinite(size.width) || !std::isfinite(size.height))
        return false;
    const kx::Size fitted = aspectFitSize(pixelSize(), size);
    const kx::Size pixels = outputPixelSize(fitted);
    const double w = pixels.width;
    const double h = pixels.height;
    return w >= 1 && h >= 1 && w * h <= double(kx::Image::maximumPixelCount);
}

kx::Image KXCanvas::outputImageWithSize(const kx::Size& size) const {
    if (!canRenderOutputSize(size))
        return {};
    if (m_outputCopy)
        return const_cast<KXCanvas*>(this)->renderOutputImage(size);
    const std::shared_ptr<KXCanvas> page = outputCopy();
    return page ? page->renderOutputImage(size) : kx::Image();
}

void KXCanvas::drawOutputImageInContext(kx::BitmapContext& context, const kx::Size& size) const {
    if (!canRenderOutputSize(size))
        return;
    if (m_outputCopy) {
        const_cast<KXCanvas*>(this)->renderOutputInContext(context, size);
        return;
    }
    if (const std::shared_ptr<KXCanvas> page = outputCopy())
        page->renderOutputInContext(context, size);
}

kx::Image KXCanvas::renderOutputImage(const kx::Size& size) {
    if (!canRenderOutputSize(size))
        return {};
    const kx::Size remembered = m_previewSize;
    const double rememberedZoom = m_zoomValue;
    zoomToFitOutputSize(size);
    kx::Image image;
    {
        // The work on other threads starts before the bitmap is made, which takes a while at print sizes.
        OutputWork work(*this, true);
        OutputWork* const outer = std::exchange(t_outputWork, &work);
        kx::BitmapContext bitmap(int(m_previewSize.width), int(m_previewSize.height));
        if (bitmap.isValid()) {
            drawOutputImageInContext(bitmap, kx::Rect({0, 0}, m_previewSize));
            image = bitmap.makeImage();
        }
        t_outputWork = outer;
    }
    fitBackAfterOutput(remembered, rememberedZoom);
    return image;
}

void KXCanvas::renderOutputInContext(kx::BitmapContext& context, const kx::Size& size) {
    if (!canRenderOutputSize(size))
        return;
    const kx::Size remembered = m_previewSize;
    const double rememberedZoom = m_zoomValue;
    zoomToFitOutputSize(size);
    drawOutputImageInContext(context, kx::Rect({0, 0}, m_previewSize));
    fitBackAfterOutput(remembered, rememberedZoom);
}

void KXCanvas::fitBackAfterOutput(const kx::Size& previewSize, double zoom) {
    zoomToFitOutputSize(previewSize);
    // A page that was never fitted (no preview size) fits back to nothing and would keep the output zoom.
    m_previewSize = previewSize;
    m_zoomValue = zoom;
}

void KXCanvas::zoomToFitOutputSize(const kx::Size& size) {
    const kx::Size pixels = pixelSize();
    const kx::Size fitted = aspectFitSize(pixels, size);
    const kx::Size preview = outputPixelSize(fitted);
    if (!std::isfinite(preview.width) || !std::isfinite(preview.height))
        return;
    m_previewSize = preview;
    // A page without width keeps its zoom rather than divide by nothing.
    const double zoom = preview.width / pixels.width;
    if (pixels.width > 0 && preview.width > 0 && std::isfinite(zoom))
        m_zoomValue = zoom;
    kx::UndoDisabler noUndo(*m_undoManager);
    for (const auto& graph : m_graphs) {
        if (graph->graphType() == KXGraphTypeGroup)
            updateShapePathInGroup(graph.get());
        else if (auto* shape = dynamic_cast<KXShape*>(graph.get()))
            updateOutputPathOfShape(shape);
    }
}

void KXCanvas::updateShapePathInGroup(KXGraph* group) {
    for (const auto& child : group->graphs()) {
        if (auto* shape = dynamic_cast<KXShape*>(child.get()))
            updateOutputPathOfShape(shape);
        if (child->graphType() == KXGraphTypeGroup)
            updateShapePathInGroup(child.get());
    }
}

void KXCanvas::updateOutputPathOfShape(KXShape* shape) {
    const bool wasLocked = shape->isDisplayLocked();
    shape->lockDisplay();
    shape->updatePath();
    if (!wasLocked)
        shape->unlockDisplay();
}

kx::Rect KXCanvas::frameRectOfGraph(const KXGraph* graph) const {
    const kx::Size container = graph->group() ? frameRectOfGraph(graph->group()).size : m_previewSize;
    const kx::Rect relative = graph->relativeRect();
    return roundRectComponents({relative.origin.x * container.width, relative.origin.y * container.height,
                                relative.size.width * container.width, relative.size.height * container.height});
}

void KXCanvas::drawOutputImageInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    m_renderIntent = KXRenderIntentOutput;
    context.saveGState();
    if (m_clipMargin) {
        context.setFillColor(kx::Color::srgb(1, 1, 1, 1));
        context.fillRect(rect);
        context.clipToRect(previewMarginRect());
    }
    context.setInterpolationQuality(kx::InterpolationQuality::High);
    // Photo decodes and the images of shadowed photos are made on other threads while the page draws; each
    // graph then finds its image made or being made (the image cache makes each decode once).
    // A render that did not start the page's work (see renderOutputImage) starts it here.
    std::optional<OutputWork> own;
    OutputWork* work = t_outputWork && t_outputWork->page() == this ? t_outputWork : &own.emplace(*this);
    OutputWork* const outer = std::exchange(t_outputWork, work);
    drawInContext(context);
    for (const auto& graph : m_graphs)
        drawGraph(graph.get(), context);
    t_outputWork = outer;
    work->wait();
    context.restoreGState();
    m_renderIntent = KXRenderIntentPreview;
}

void KXCanvas::drawGraph(KXGraph* graph, kx::BitmapContext& context) {
    const kx::Rect r = graphRectOfGraph(graph);
    const kx::Point c = r.center();
    const double angle = graph->angle();

    if (graph->graphType() == KXGraphTypeGroup) {
        const kx::Rect f = frameRectOfGraph(graph);
        context.saveGState();
        rotateAbout(context, c, angle);
        context.setAlpha(graph->opacity());
        context.translate(f.origin.x, f.origin.y);
        if (graph->flipX() == -1)
            context.translate(f.size.width, 0);
        if (graph->flipY() == -1)
            context.translate(0, f.size.height);
        context.scale(graph->flipX(), graph->flipY());
        // A group casts neither shadow nor reflection of its own; each child draws its own.
        for (const auto& child : graph->graphs())
            drawGraph(child.get(), context);
        context.restoreGState();
        return;
    }

    // Graphs that are not fully opaque, or that are reflected, are rendered alone once: the image is blended
    // at the graph's opacity in one piece and serves the reflection too.
    kx::Image image;
    // A graph far larger than the output (mostly off the page) is drawn directly instead: its image could
    // take gigabytes for a few visible pixels.
    const kx::Size fs = frameRectOfGraph(graph).size;
    const bool imageFits = graphImageFits(fs, m_previewSize);
    if ((graph->opacity() < 1 || graph->isReflectionEnabled()) && imageFits) {
        kx::UndoDisabler noUndo(*m_undoManager);
        const double opacity = graph->opacity();
        graph->setOpacity(1);
        image = graph->graphImageWithZoom(m_zoomValue);
        graph->setOpacity(opacity);
    }

    if (graph->isReflectionEnabled()) {
        const kx::Rect bounds = reflectionSourceBounds(*graph, r, m_previewSize);
        const kx::Rect band = reflectionBand(bounds, reflectionGap(m_zoomValue), true);
        if (band.size.width > 0 && band.size.height > 0) {
            context.saveGState();
            context.setAlpha(graph->opacity() * graph->reflectionAlpha());
            // Without its mask resource the band still shows the reflection, unfaded.
            const kx::Image mask = reflectionMaskImage();
            if (mask.isNull())
                context.clipToRect(band);
            else
                context.clipToMask(band, mask);
            context.translate(0, band.maxY());
            context.scale(1, -1);
            context.translate(c.x - fs.width / 2, (c.y - bounds.origin.y) - fs.height / 2);
            rotateAbout(context, {fs.width / 2, fs.height / 2}, angle);
            if (!image.isNull())
                context.drawImage(imageRectCentredOn(image, {fs.width / 2, fs.height / 2}), image);
            else
                graph->drawInContext(context, {0, 0, fs.width, fs.height});
            context.restoreGState();
        }
    }

    const kx::Rect f = roundRectComponents(frameRectOfGraph(graph));
    const bool shadowed = graph->isShadowEnabled() && graph->shadow();
    // A shadowed graph goes through its image too: the image's extent bounds what the graph and its shadow
    // can cover, so the shadow is worked out over that area rather than the whole output.
    MadeImage made;
    if (shadowed && image.isNull() && imageFits && t_outputWork) {
        made = t_outputWork->takeImage(graph);
        image = made.image;
    }
    if (shadowed && image.isNull() && imageFits) {
        kx::UndoDisabler noUndo(*m_undoManager);
        const double opacity = graph->opacity();
        graph->setOpacity(1);
        image = graph->graphImageWithZoom(m_zoomValue);
        graph->setOpacity(opacity);
    }
    context.saveGState();
    kx::Point shadowOffset;
    double shadowBlur = 0;
    if (shadowed) {
        const float reference = float(std::min(m_previewSize.width, m_previewSize.height)) / 10.0f;
        shadowOffset = graph->shadow()->offsetWithReference(reference, -angle);
        shadowBlur = outputShadowBlur(*graph->shadow(), m_zoomValue);
        const kx::AffineTransform ctm = context.ctm();
        if (!image.isNull() && ctm.b == 0 && ctm.c == 0) {
            // In device pixels, as the shadow's offset and blur are; the blur reaches 3 sigma (blur / 2).
            const kx::Rect drawn = ctm.apply(
                transformRectAboutCenter(f.center(), angle, 1, 1, imageRectCentredOn(image, f.center())));
            const double reach = 1.5 * shadowBlur + 4;
            const kx::Rect area = drawn.united(drawn.offsetBy(shadowOffset.x, shadowOffset.y)).insetBy(-reach, -reach);
            // Widened to whole device pixels: a clip along pixel edges is a plain rectangle, where a
            // fractional one would cost a coverage mask of the whole output.
            const double x0 = std::floor(area.minX()), y0 = std::floor(area.minY());
            const kx::Rect pixels(x0, y0, std::ceil(area.maxX()) - x0, std::ceil(area.maxY()) - y0);
            context.clipToRect(ctm.inverted().apply(pixels));
        }
    }
    // The image turned ahead applies where the render draws into its own bitmap untransformed.
    const bool turnedAhead = !made.turned.isNull() && context.ctm().isIdentity() && made.pageHeight == context.height();
    if (!turnedAhead)
        rotateAbout(context, f.center(), angle);
    if (shadowed)
        context.setShadow({shadowOffset.x, shadowOffset.y}, shadowBlur, graph->shadow()->color());
    if (turnedAhead) {
        context.setAlpha(graph->opacity());
        context.drawImageWithCastShadow(made.turnedRect, made.turned, made.shadow);
    } else if (!image.isNull()) {
        context.setAlpha(graph->opacity());
        context.drawImage(imageRectCentredOn(image, f.center()), image);
    } else {
        // The shadow falls from the graph's drawing as a whole, not from each of its parts.
        if (shadowed)
            context.beginTransparencyLayer();
        graph->drawInContext(context, f);
        if (shadowed)
            context.endTransparencyLayer();
    }
    context.restoreGState();
}
