#include "gloam/geometry/large_array.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace gloam {

namespace large_array {

void adviseHugePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) noexcept {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t hugePage = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t last = (start + bytes) & ~(hugePage - 1);
    // Below two whole huge pages the faults saved are not worth a system call.
    if (last <= first || last - first < 2 * hugePage) return;
    // A refusal (no transparent huge pages in this kernel) leaves ordinary
    // pages, which is all the caller needs.
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

void prefault([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) noexcept {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    // Below a few pages the call costs more than the faults it saves.
    if (bytes < (std::size_t{1} << 20)) return;
    constexpr std::uintptr_t page = 4096;
    const auto start = reinterpret_cast<std::uintptr_t>(data) & ~(page - 1);
    const auto stop = (reinterpret_cast<std::uintptr_t>(data) + bytes + page - 1) & ~(page - 1);
    // A kernel without the call (before Linux 5.14) refuses it; the pages
    // then fault in as they are touched.
    madvise(reinterpret_cast<void*>(start), stop - start, MADV_POPULATE_WRITE);
#endif
}

void* allocate(std::size_t bytes) {
    void* data = ::operator new (bytes, std::align_val_t{alignment});
    adviseHugePages(data, bytes);
    return data;
}

}  // namespace large_array

}  // namespace gloam
