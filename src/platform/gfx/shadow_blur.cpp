#include "platform/gfx/shadow_blur.h"

#include "platform/foundation/thread_handover.h"
#include "platform/gfx/pixel_memory.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

namespace kx {

namespace {

// Each thread blurs strips of whole columns: every row of the strip is summed along the row (with the columns
// the windows reach on either side), and the rows then run down a pipeline of column passes. Nothing the size
// of the image is needed, and each strip stays in the thread's cache. Strips are at most this wide...
constexpr int kWidestStrip = 512;
// ... and at least this wide, or as wide as the blur reaches on both sides, so that the columns summed twice
// (by neighbouring strips) stay few.
constexpr int kNarrowestStrip = 16;
// On several threads: pieces of work per thread, and the fewest rows in one.
constexpr int kPiecesPerThread = 8;
constexpr int kShortestBand = 64;
// How many rows ahead a strip asks for the drawing's pixels.
constexpr int kRowsAhead = 4;
// Below this many pixels per thread, handing work to another thread costs more than it saves (automatic
// thread count only).
constexpr qint64 kPixelsPerThread = 32 * 1024;
// Working memory kept between shadows; anything beyond goes back to the system.
constexpr std::size_t kIdleBufferBytes = std::size_t(64) << 20;

// The window sums of radius r at the positions [outStart, outEnd) of a row, from samples known at
// [inStart, inEnd): that range holds every position the windows reach inside the row (outside the row the
// samples count as 0).
template <typename Sum>
void boxSumSpan(const Sum* in, int inStart, int inEnd, Sum* out, int outStart, int outEnd, int r) {
    Sum sum = 0;
    for (int j = std::max(inStart, outStart - r); j < std::min(inEnd, outStart + r + 1); ++j)
        sum += in[j];
    // Where both ends of the window stay inside the known samples, nothing needs checking.
    const int safeStart = std::clamp(inStart + r, outStart, outEnd);
    const int safeEnd = std::clamp(inEnd - r - 1, safeStart, outEnd);
    auto checked = [&](int i) {
        out[i] = sum;
        if (i + r + 1 < inEnd)
            sum += in[i + r + 1];
        if (i - r >= inStart)
            sum -= in[i - r];
    };
    int i = outStart;
    for (; i < safeStart; ++i)
        checked(i);
    for (; i < safeEnd; ++i) {
        out[i] = sum;
        sum += in[i + r + 1] - in[i - r];
    }
    for (; i < outEnd; ++i)
        checked(i);
}

// Along the rows, the three box passes are one step: a box sum of radius r is a difference of prefix sums,
// P[i + r] - P[i - r - 1], and the passes together are a signed sum of 2^passes terms of the prefix sums of the
// prefix sums of the prefix sums, each term a shift of one array: vector adds over the row. Only away from the
// row's ends, though: each pass gives nothing outside the row, whereas the prefix sums carry on there; near
// the ends the passes are run one after another.
struct Term {
    int offset;  // from the position summed
    bool add;
};

// Working memory of one blur: each worker's rows and column windows.
struct BlurMemory {
    std::vector<LargeBuffer> workers;

    std::size_t bytes() const {
        std::size_t total = 0;
        for (const LargeBuffer& b : workers)
            total += b.size();
        return total;
    }
};
// Blur memory kept from one shadow to the next, shared by every context and thread.
class MemoryStore {
public:
    std::unique_ptr<BlurMemory> take() {
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_idle.empty())
            return std::make_unique<BlurMemory>();
        std::unique_ptr<BlurMemory> memory = std::move(m_idle.back());
        m_idle.pop_back();
        m_idleBytes -= memory->bytes();
        return memory;
    }

    void give(std::unique_ptr<BlurMemory> memory) {
        const std::size_t bytes = memory->bytes();
        const std::lock_guard<std::mutex> guard(m_lock);
        if (m_idleBytes + bytes > kIdleBufferBytes)
            return;  // freed on the way out
        m_idleBytes += bytes;
        m_idle.push_back(std::move(memory));
    }

private:
    std::mutex m_lock;
    std::vector<std::unique_ptr<BlurMemory>> m_idle;
    std::size_t m_idleBytes = 0;
};

MemoryStore& memoryStore() {
    static MemoryStore store;
    return store;
}

// The threads that share blurs with the thread asking for one. Its own pool, so that a blur asked for on a
// thread of another pool never waits for that pool's threads.
QThreadPool& blurPool() {
    static QThreadPool* const pool = [] {
        static QThreadPool threads;
        threads.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        threads.setExpiryTimeout(1000);
        return &threads;
    }();
    return *pool;
}

// Runs work(worker, chunk) for every chunk 0 .. chunks - 1 on up to `workers` threads, the calling thread
// being worker 0; each worker takes the next chunk left. Returns when every chunk is done.
template <typename Work>
void runChunks(int workers, int chunks, const Work& work) {
    std::atomic<int> next{0};
    auto drain = [&](int worker) {
        for (int chunk = next.fetch_add(1); chunk < chunks; chunk = next.fetch_add(1))
            work(worker, chunk);
    };
    workers = std::clamp(workers, 1, std::max(chunks, 1));
    if (workers == 1) {
        drain(0);
        return;
    }
    std::mutex lock;
    std::condition_variable finished;
    int running = workers - 1;
    for (int worker = 1; worker < workers; ++worker) {
        std::function<void()> job = [&, worker] {
            takePoolHandOver();
            drain(worker);
            const std::lock_guard<std::mutex> guard(lock);
            if (--running == 0)
                finished.notify_one();
        };
        // Announced once the job is made.
        announcePoolHandOver();
        blurPool().start(std::move(job));
    }
    drain(0);
    std::unique_lock<std::mutex> guard(lock);
    finished.wait(guard, [&] { return running == 0; });
}

std::size_t alignedBytes(std::size_t bytes) { return (bytes + 63) / 64 * 64; }

// One blur of a w x h area: rows summed into `Row` values, then columns into `Column` values (each wide
// enough for the largest sum it can hold).
template <typename Row, typename Column>
class ShadowBlur {
public:
    ShadowBlur(const QImage& source, const QRect& part, int w, int h, const std::array<int, 3>& radii,
               const std::array<double, 4>& premultiplied, QImage& shadow)
        : m_w(w), m_h(h), m_cw(std::min(w, part.width())), m_ch(std::min(h, part.height())),
          m_sourceStride(std::size_t(source.bytesPerLine())), m_shadowStride(std::size_t(shadow.bytesPerLine())) {
        for (const int r : radii)
            if (r > 0) {
                m_radii.push_back(r);
                m_reach += r;
            }
        // Each pass adds its window's right end (+r) or takes away the position before its left end (-r-1).
        for (unsigned mask = 0; mask < (1u << m_radii.size()); ++mask) {
            Term term{0, true};
            for (std::size_t k = 0; k < m_radii.size(); ++k) {
                const bool right = (mask >> k) & 1u;
                term.offset += right ? m_radii[k] : -m_radii[k] - 1;
                term.add = term.add == right;
            }
            m_terms.push_back(term);
        }
        // The alpha bytes of the part; the shadow's pixels are taken once here, so that no worker detaches it.
        if (m_ch > 0 && m_cw > 0)
            m_alpha = source.constScanLine(part.y()) + 4 * std::size_t(part.x()) + 3;
        m_shadow = shadow.bits();
        // The sums hold the coverage (0 to 255) times the product of the window lengths: `full` where the
        // blurred coverage is whole, which then gives the colour exactly.
        double product = 1;
        for (const int r : radii)
            product *= double(2 * r + 1) * double(2 * r + 1);
        m_full = Column(255 * product);
        m_toFraction = 1 / (255 * product);
        // Components scaled to bytes once; each pixel then takes its share of them.
        for (std::size_t c = 0; c < 4; ++c)
            m_scaled[c] = std::clamp(premultiplied[c], 0.0, 1.0) * 255;
    }

    bool run(int threads, BlurMemory& memory) {
        // A couple of strips per thread, so that a thread held up does not hold up the blur.
        const int lowest = std::min(kWidestStrip, std::max(kNarrowestStrip, 2 * m_reach));
        m_stripWidth = std::clamp((m_w + 2 * threads - 1) / (2 * threads), lowest, kWidestStrip);
        // The prefix sums of a strip's row run from as far left as its windows reach to as far right.
        const std::size_t span = std::size_t(m_stripWidth) + 3 * std::size_t(m_reach) + m_radii.size();
        std::size_t windowRows = 0;
        for (const int r : m_radii)
            windowRows += std::size_t(2 * r + 1);
        const std::size_t rowBytes = alignedBytes(span * sizeof(Row));
        const std::size_t windowBytes = alignedBytes(windowRows * std::size_t(m_stripWidth) * sizeof(Column));
        const std::size_t sumsBytes = alignedBytes(std::size_t(m_stripWidth) * sizeof(Column));
        const int strips = (m_w + m_stripWidth - 1) / m_stripWidth;
        // On several threads, the strips are cut into bands of rows too, so that there are many pieces of work
        // to share out (a thread the system holds up then holds up only a small one). Each band starts its
        // column passes as far above its first row as they reach: short bands would sum those rows often.
        int bands = 1;
        if (threads > 1) {
            const int shortest = std::max(kShortestBand, 4 * m_reach);
            bands = std::clamp((kPiecesPerThread * threads + strips - 1) / strips, 1, std::max(1, m_h / shortest));
        }
        const int bandHeight = (m_h + bands - 1) / bands;
        bands = (m_h + bandHeight - 1) / bandHeight;
        threads = std::min(threads, strips * bands);
        if (memory.workers.size() < std::size_t(threads))
            memory.workers.resize(std::size_t(threads));
        m_workers.assign(std::size_t(threads), Worker());
        for (std::size_t k = 0; k < std::size_t(threads); ++k) {
            LargeBuffer& buffer = memory.workers[k];
            if (!buffer.reserve(3 * rowBytes + windowBytes + m_radii.size() * sumsBytes))
                return false;
            auto* base = static_cast<unsigned char*>(buffer.data());
            Worker& worker = m_workers[k];
            worker.rowA = reinterpret_cast<Row*>(base);
            worker.rowB = reinterpret_cast<Row*>(base + rowBytes);
            worker.rowC = reinterpret_cast<Row*>(base + 2 * rowBytes);
            auto* window = reinterpret_cast<Column*>(base + 3 * rowBytes);
            unsigned char* sums = base + 3 * rowBytes + windowBytes;
            for (const int r : m_radii) {
                worker.passes.push_back({r, window, reinterpret_cast<Column*>(sums)});
                window += std::size_t(2 * r + 1) * std::size_t(m_stripWidth);
                sums += sumsBytes;
            }
        }
        runChunks(threads, strips * bands, [&](int worker, int chunk) {
            const int x0 = (chunk % strips) * m_stripWidth, y0 = (chunk / strips) * bandHeight;
            const Tile tile{x0, std::min(m_w, x0 + m_stripWidth) - x0, std::max(0, y0 - m_reach), y0,
                            std::min(m_h, y0 + bandHeight)};
            blurTile(tile, m_workers[std::size_t(worker)]);
        });
        return true;
    }

private:
    // One column pass of a strip: the input rows inside its window (a ring of 2r + 1 rows) and their sums.
    struct ColumnPass {
        int r;
        Column* window;
        Column* sums;
    };
    struct Worker {
        Row *rowA = nullptr, *rowB = nullptr, *rowC = nullptr;
        std::vector<ColumnPass> passes;
    };

    // The part of the shadow one chunk of work gives: columns x0 .. x0 + width - 1 of rows y0 .. y1 - 1, for
    // which the column passes start at row `first`, as far above y0 as they reach.
    struct Tile {
        int x0, width, first, y0, y1;
    };

    void blurTile(const Tile& tile, const Worker& worker) const {
        for (const ColumnPass& pass : worker.passes)
            std::fill(pass.sums, pass.sums + tile.width, Column(0));
        // The row sums cover the tile and the columns the row windows reach beyond it; positions in the row
        // buffers count from `lo`.
        const int x1 = tile.x0 + tile.width;
        const int lo = std::max(0, tile.x0 - m_reach), hi = std::min(m_w, x1 + m_reach);
        // Below the last row the column passes take zeros, until the last one has given the tile's last row.
        for (int y = tile.first; y < tile.y1 + m_reach; ++y)
            feedColumns(worker, 0, y, y < m_h ? sumRow(y, tile.x0, x1, lo, hi, worker) : nullptr, tile);
    }

    // Row y at the columns x0 .. x1 - 1, summed along the row by every pass.
    const Row* sumRow(int y, int x0, int x1, int lo, int hi, const Worker& worker) const {
        const int known = y < m_ch ? std::clamp(m_cw - lo, 0, hi - lo) : 0;
        const uchar* alpha = known > 0 ? m_alpha + std::size_t(y) * m_sourceStride + 4 * std::size_t(lo) : nullptr;
        // A strip reads a short piece of each row, too short for the processor to see it coming.
        if (y + kRowsAhead < m_ch)
            for (int x = 0; x < known; x += 16)
                __builtin_prefetch(alpha + kRowsAhead * m_sourceStride + 4 * std::size_t(x));
        Row* out = worker.rowB;
        const int width = x1 - x0;
        if (m_radii.empty() || known == 0) {
            // No pass, or nothing to sum: the samples themselves.
            for (int x = 0; x < width; ++x)
                out[x] = x0 + x - lo < known ? Row(alpha[4 * (x0 + x - lo)]) : Row(0);
            return out;
        }
        // The passes' prefix sums, from `lo` (the samples before it count as 0; the windows of the strip never
        // reach them) to as far as the last window reaches, after `pad` zeros for the windows' left ends.
        Row* prefix = worker.rowA;
        const int pad = m_reach + int(m_radii.size());
        std::fill(prefix, prefix + pad, Row(0));
        const int total = x1 + m_reach - lo;
        switch (m_radii.size()) {
        case 1: prefixSums<1>(alpha, known, total, prefix + pad); break;
        case 2: prefixSums<2>(alpha, known, total, prefix + pad); break;
        default: prefixSums<3>(alpha, known, total, prefix + pad); break;
        }
        const Row* at = prefix + pad + (x0 - lo);
        std::fill(out, out + width, Row(0));
        for (const Term& term : m_terms) {
            const Row* from = at + term.offset;
            if (term.add)
                for (int x = 0; x < width; ++x)
                    out[x] += from[x];
            else
                for (int x = 0; x < width; ++x)
                    out[x] -= from[x];
        }
        // Within `margin` of the row's ends a later pass's window reaches past them.
        const int margin = m_reach - m_radii.front();
        const int leftEnd = std::min(x1, margin), rightStart = std::max(x0, m_w - margin);
        const uchar* rowAlpha = alpha - 4 * std::size_t(lo);
        const int knownEnd = lo + known;
        if (leftEnd >= rightStart) {
            sumRowByPasses(rowAlpha, knownEnd, x0, x1, out, worker);
        } else {
            if (x0 < leftEnd)
                sumRowByPasses(rowAlpha, knownEnd, x0, leftEnd, out, worker);
            if (rightStart < x1)
                sumRowByPasses(rowAlpha, knownEnd, rightStart, x1, out + (rightStart - x0), worker);
        }
        return out;
    }

    // The positions a .. b - 1 of a row (alpha bytes `rowAlpha` known before `knownEnd`, zeros after) summed
    // by the passes one after another into `out`, each pass giving only what lies inside the row.
    void sumRowByPasses(const uchar* rowAlpha, int knownEnd, int a, int b, Row* out, const Worker& worker) const {
        const int lo = std::max(0, a - m_reach), hi = std::min(m_w, b + m_reach);
        Row* samples = worker.rowA;
        for (int x = lo; x < hi; ++x)
            samples[x - lo] = x < knownEnd ? Row(rowAlpha[4 * std::size_t(x)]) : Row(0);
        // Each pass gives what the passes after it still reach.
        int after = m_reach;
        int inStart = 0, inEnd = hi - lo;
        const Row* in = samples;
        for (const int r : m_radii) {
            after -= r;
            const int outStart = std::max(0, a - after) - lo, outEnd = std::min(m_w, b + after) - lo;
            Row* into = in == worker.rowA ? worker.rowC : worker.rowA;
            boxSumSpan(in, inStart, inEnd, into, outStart, outEnd, r);
            in = into;
            inStart = outStart;
            inEnd = outEnd;
        }
        std::copy(in + (a - lo), in + (b - lo), out);
    }

    // `total` prefix sums of K levels of the samples (`known` alpha bytes, then zeros) into `into`. They
    // wrap around once they outgrow Row; the differences taken of them are exact all the same, as the true
    // window sums fit.
    template <int K>
    static void prefixSums(const uchar* alpha, int known, int total, Row* into) {
        Row level[K] = {};
        auto add = [&](Row v) {
            for (int k = 0; k < K; ++k) {
                level[k] += v;
                v = level[k];
            }
            return v;
        };
        int t = 0;
        for (; t < known; ++t)
            into[t] = add(Row(alpha[4 * t]));
        for (; t < total; ++t)
            into[t] = add(Row(0));
    }

    // Row `y` of the input of column pass `p` (null: zeros below the area). Rows before the tile's first are
    // never given: the passes' sums for the rows just after it lack them, but only rows above the tile depend
    // on those, and they are not written.
    template <typename In>
    void feedColumns(const Worker& worker, std::size_t p, int y, const In* row, const Tile& tile) const {
        if (p == worker.passes.size()) {
            if (row && y >= tile.y0 && y < tile.y1)
                writeColourRow(y, row, tile.x0, tile.width);
            return;
        }
        const ColumnPass& pass = worker.passes[p];
        const int span = 2 * pass.r + 1;
        const std::size_t width = std::size_t(tile.width);
        Column* slot = pass.window + std::size_t(y % span) * width;
        Column* sums = pass.sums;
        // The row leaving the window held the slot.
        const int leaving = y - span;
        if (leaving >= tile.first && leaving < m_h)
            for (std::size_t x = 0; x < width; ++x)
                sums[x] -= slot[x];
        if (row)
            for (std::size_t x = 0; x < width; ++x) {
                slot[x] = Column(row[x]);
                sums[x] += Column(row[x]);
            }
        // The window now covers rows y - 2r .. y: the sum for row y - r.
        const int out = y - pass.r;
        if (out >= tile.first)
            feedColumns(worker, p + 1, out, out < m_h ? static_cast<const Column*>(sums) : nullptr, tile);
    }

    // Row y of the shadow from the blurred coverage of its columns x0 .. x0 + width - 1: each pixel takes its
    // share of the colour, rounded half up (the values are never negative); two components at a time.
    template <typename Value>
    void writeColourRow(int y, const Value* values, int x0, int width) const {
        using Pair = double __attribute__((vector_size(16)));
        using WholePair = std::int32_t __attribute__((vector_size(8)));
        using Bytes = std::uint8_t __attribute__((vector_size(4)));
        const Pair redGreen{m_scaled[0], m_scaled[1]}, blueAlpha{m_scaled[2], m_scaled[3]}, half{0.5, 0.5};
        const auto pixelFor = [&](double f) {
            const WholePair rg = __builtin_convertvector(redGreen * f + half, WholePair);
            const WholePair ba = __builtin_convertvector(blueAlpha * f + half, WholePair);
            return __builtin_convertvector(__builtin_shufflevector(rg, ba, 0, 1, 2, 3), Bytes);
        };
        // Most of a shadow is either empty or whole: those pixels are the same every time, made once here.
        const Bytes whole = pixelFor(1.0);
        const Bytes empty = pixelFor(0.0);
        uchar* row = m_shadow + std::size_t(y) * m_shadowStride + 4 * std::size_t(x0);
        for (int x = 0; x < width; ++x, row += 4) {
            const Column sum = Column(values[x]);
            const Bytes pixel = sum == 0 ? empty : sum >= m_full ? whole : pixelFor(double(sum) * m_toFraction);
            std::memcpy(row, &pixel, 4);
        }
    }

    const int m_w, m_h, m_cw, m_ch;
    const std::size_t m_sourceStride, m_shadowStride;
    std::vector<int> m_radii;  // the passes that sum anything
    std::vector<Term> m_terms;
    int m_reach = 0;           // how far they reach in all, along a row or down a column
    int m_stripWidth = kWidestStrip;
    const uchar* m_alpha = nullptr;
    uchar* m_shadow = nullptr;
    Column m_full = 0;
    double m_toFraction = 0;
    double m_scaled[4] = {};
    std::vector<Worker> m_workers;
};

// The largest sum of a blur whose passes have these radii, over one direction or both.
double largestSum(const std::array<int, 3>& radii, int directions) {
    double largest = 255;
    for (const int r : radii)
        largest *= std::pow(double(2 * r + 1), directions);
    return largest;
}

template <typename Row, typename Column>
bool runBlur(const QImage& source, const QRect& part, int w, int h, const std::array<int, 3>& radii,
             const std::array<double, 4>& premultiplied, QImage& shadow, int threads, BlurMemory& memory) {
    return ShadowBlur<Row, Column>(source, part, w, h, radii, premultiplied, shadow).run(threads, memory);
}

}  // namespace

std::array<int, 3> shadowBoxRadii(double sigma) {
    const double ideal = std::sqrt(12 * sigma * sigma / 3 + 1);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const int countLower = int(std::lround((12 * sigma * sigma - 3.0 * lower * lower - 12.0 * lower - 9) /
                                           (-4.0 * lower - 4)));
    std::array<int, 3> radii{};
    for (int pass = 0; pass < 3; ++pass)
        radii[std::size_t(pass)] = std::max(0, ((pass < countLower ? lower : upper) - 1) / 2);
    return radii;
}

bool blurShadow(const QImage& source, const QRect& part, int w, int h, const std::array<int, 3>& radii,
                const std::array<double, 4>& premultiplied, QImage& shadow, int threads) {
    if (w <= 0 || h <= 0)
        return true;
    if (shadow.width() < w || shadow.height() < h || shadow.depth() != 32 || source.depth() != 32)
        return false;
    if (threads <= 0) {
        const qint64 byWork = std::max<qint64>(1, qint64(w) * h / kPixelsPerThread);
        threads = int(std::min<qint64>(std::max(1, QThread::idealThreadCount()), byWork));
    }
    std::unique_ptr<BlurMemory> memory = memoryStore().take();
    constexpr double kLargest32 = double(std::numeric_limits<std::uint32_t>::max());
    bool done;
    if (largestSum(radii, 2) <= kLargest32)
        done = runBlur<std::uint32_t, std::uint32_t>(source, part, w, h, radii, premultiplied, shadow, threads, *memory);
    else if (largestSum(radii, 1) <= kLargest32)
        done = runBlur<std::uint32_t, std::uint64_t>(source, part, w, h, radii, premultiplied, shadow, threads, *memory);
    else
        done = runBlur<std::uint64_t, std::uint64_t>(source, part, w, h, radii, premultiplied, shadow, threads, *memory);
    memoryStore().give(std::move(memory));
    return done;
}

}  // namespace kx
