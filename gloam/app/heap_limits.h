#pragma once

// How the engine's own programs set up the C library's heap before they draw
// through Mesa. Not installed: it tunes a process, and a program of yours
// decides that for itself (copy the two calls if you want them).

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace gloam {

// First thing in main(). Mesa's software rasterizer allocates and frees some
// ten megabytes of 64 KiB to 1 MiB blocks every frame. glibc starts by
// mapping such blocks one by one and, each time one is freed, raises the
// size it maps from, so for thousands of frames the program's memory keeps
// changing shape and its resident set creeps up, with page faults in every
// frame. Fixed limits instead keep those blocks in the heap from the first
// frame and the heap at its high-water mark: the memory settles within a few
// frames and stays as it is, with no system calls or page faults per frame.
inline void fixHeapLimits() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

}  // namespace gloam
