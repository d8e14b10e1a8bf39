// Memory for large bitmaps: zero-filled, mapped in one step and, where the system offers it, in large pages.
//
// A bitmap of several megabytes taken from the general allocator is mapped page by page as it is first
// written, one page fault per 4 KiB: on a page of the size of an A4 sheet at 300 dpi that is thousands of
// faults, which cost more than the drawing. Buffers from here are mapped whole when they are made (in 2 MiB
// pages when the system has them) and come zero-filled. When the last user lets go, a buffer is kept for the
// next ones (up to 160 MiB in all, the most recently used; a page render makes the same few sizes again) and
// otherwise goes back to the system. Small sizes come from the general allocator. Thread-safe.
#pragma once

#include <QImage>

#include <cstddef>

namespace kx {

// A zero-filled image of the size and format, its pixels in memory of this kind when it is large; copies
// share the pixels as QImage copies do. Null when the size is not positive or the memory cannot be had.
QImage zeroedImage(int width, int height, QImage::Format format);

// Zero-filled working memory of at least `bytes` bytes, released by the destructor. Move-only.
class LargeBuffer {
public:
    LargeBuffer() = default;
    explicit LargeBuffer(std::size_t bytes);
    ~LargeBuffer();
    LargeBuffer(LargeBuffer&& other) noexcept;
    LargeBuffer& operator=(LargeBuffer&& other) noexcept;
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    void* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    // Makes room for `bytes` bytes, keeping the memory when it is large enough (its contents are then kept
    // too) and otherwise replacing it by zero-filled memory. Answers whether the room is there.
    bool reserve(std::size_t bytes);

private:
    void release();
    void* m_data = nullptr;
    std::size_t m_size = 0;     // usable bytes
    std::size_t m_mapped = 0;   // bytes mapped from the system, 0 for the general allocator
};

}  // namespace kx
