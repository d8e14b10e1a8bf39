// Work handed to a QThreadPool travels through the pool's queue, whose lock is inside Qt. In a build with
// ThreadSanitizer, Qt itself is not instrumented, so the sanitizer cannot see that the job's captured values
// were handed over under that lock and reports them as shared. The sending thread announces the hand-over
// before it starts the job, and the job takes it over first thing; elsewhere both do nothing.
#pragma once

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KX_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define KX_THREAD_SANITIZER 1
#endif

#ifdef KX_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace kx {

// The address both sides name: one for every hand-over to a pool.
inline char& poolHandOverTag() {
    static char tag;
    return tag;
}

// On the sending thread, just before QThreadPool::start.
inline void announcePoolHandOver() {
#ifdef KX_THREAD_SANITIZER
    __tsan_release(&poolHandOverTag());
#endif
}

// First thing in the job, before it reads anything it captured.
inline void takePoolHandOver() {
#ifdef KX_THREAD_SANITIZER
    __tsan_acquire(&poolHandOverTag());
#endif
}

}  // namespace kx
