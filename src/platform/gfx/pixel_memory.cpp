#include "platform/gfx/pixel_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

namespace kx {

namespace {

// From this size on, buffers are mapped from the system; below it the general allocator serves them.
constexpr std::size_t kMappedFrom = std::size_t(2) << 20;
constexpr std::size_t kLargePage = std::size_t(2) << 20;

struct Block {
    void* data = nullptr;
    std::size_t mapped = 0;  // 0: from the general allocator
};

// Mapped blocks given back, kept for the next buffers (a page render makes the same few sizes each time), up
// to kKeptBytes in all, the most recently given back first. A block serves a request of at least half its
// size and is cleared before it is handed out again.
constexpr std::size_t kKeptBytes = std::size_t(160) << 20;

class KeptBlocks {
public:
    Block take(std::size_t length) {
        std::lock_guard lock(m_mutex);
        auto best = m_blocks.end();
        for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it)
            if (it->mapped >= length && it->mapped / 2 <= length && (best == m_blocks.end() || it->mapped < best->mapped))
                best = it;
        if (best == m_blocks.end())
            return {};
        const Block block = *best;
        m_blocks.erase(best);
        m_bytes -= block.mapped;
        return block;
    }

    // Keeps the block, or answers false when it is not kept (too large for what is kept).
    bool keep(const Block& block) {
        if (block.mapped > kKeptBytes / 2)
            return false;
        std::vector<Block> released;
        {
            std::lock_guard lock(m_mutex);
            while (m_bytes + block.mapped > kKeptBytes && !m_blocks.empty()) {
                released.push_back(m_blocks.back());
                m_bytes -= m_blocks.back().mapped;
                m_blocks.pop_back();
            }
            m_blocks.insert(m_blocks.begin(), block);
            m_bytes += block.mapped;
        }
        for (const Block& b : released)
            munmap(b.data, b.mapped);
        return true;
    }

private:
    std::mutex m_mutex;
    std::vector<Block> m_blocks;
    std::size_t m_bytes = 0;
};

KeptBlocks& keptBlocks() {
    static KeptBlocks* kept = new KeptBlocks;  // lives for the whole process: buffers go back to it until the end
    return *kept;
}

// Zero-filled memory of `bytes` bytes: a kept block cleared, or one mapped at a large-page boundary in whole
// large pages, asked to be backed by large pages and faulted in at once. Either step may be refused by the
// system; the memory is zero-filled all the same.
Block allocateZeroed(std::size_t bytes) {
    if (bytes == 0)
        return {};
    if (bytes < kMappedFrom) {
        void* p = std::calloc(1, bytes);
        return {p, 0};
    }
    if (bytes > std::numeric_limits<std::size_t>::max() / 2)
        return {};
    const std::size_t length = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    if (const Block kept = keptBlocks().take(length); kept.data) {
        std::memset(kept.data, 0, bytes);
        return kept;
    }
    // One large page more than needed, so that the part kept can start on a large-page boundary.
    void* raw = mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return {};
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kLargePage - 1) / kLargePage * kLargePage;
    const std::size_t head = aligned - start, tail = kLargePage - head;
    if (head > 0)
        munmap(raw, head);
    if (tail > 0)
        munmap(reinterpret_cast<void*>(aligned + length), tail);
    void* data = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    madvise(data, length, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
    madvise(data, length, MADV_POPULATE_WRITE);
#endif
    return {data, length};
}

void releaseBlock(const Block& block) {
    if (!block.data)
        return;
    if (block.mapped > 0) {
        if (!keptBlocks().keep(block))
            munmap(block.data, block.mapped);
    }
    else
        std::free(block.data);
}

void releaseImageBlock(void* info) {
    auto* block = static_cast<Block*>(info);
    releaseBlock(*block);
    delete block;
}

}  // namespace

QImage zeroedImage(int width, int height, QImage::Format format) {
    if (width <= 0 || height <= 0 || format == QImage::Format_Invalid)
        return {};
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    // Rows padded to 32 bits, as QImage lays out its own.
    const qint64 rowBytes = (qint64(width) * depth + 31) / 32 * 4;
    const qint64 bytes = rowBytes * height;
    if (depth <= 0 || rowBytes > std::numeric_limits<int>::max() || bytes / height != rowBytes)
        return {};
    if (std::size_t(bytes) < kMappedFrom) {
        QImage image(width, height, format);
        if (!image.isNull())
            image.fill(0);
        return image;
    }
    auto* block = new Block(allocateZeroed(std::size_t(bytes)));
    if (!block->data) {
        delete block;
        return {};
    }
    QImage image(static_cast<uchar*>(block->data), width, height, rowBytes, format, releaseImageBlock, block);
    if (image.isNull())
        releaseImageBlock(block);
    return image;
}

LargeBuffer::LargeBuffer(std::size_t bytes) { reserve(bytes); }

LargeBuffer::~LargeBuffer() { release(); }

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_mapped(std::exchange(other.m_mapped, 0)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_mapped = std::exchange(other.m_mapped, 0);
    }
    return *this;
}

bool LargeBuffer::reserve(std::size_t bytes) {
    if (bytes <= m_size)
        return true;
    release();
    const Block block = allocateZeroed(bytes);
    if (!block.data)
        return false;
    m_data = block.data;
    m_size = bytes;
    m_mapped = block.mapped;
    return true;
}

void LargeBuffer::release() {
    releaseBlock({m_data, m_mapped});
    m_data = nullptr;
    m_size = 0;
    m_mapped = 0;
}

}  // namespace kx
