#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

namespace gloam {

// Arrays sized by a mesh or a file: a million-vertex mesh keeps about 250 MB
// of them. Memory that large comes fresh from the system, and on Linux the
// first touch of every 4 KiB page of it is a fault; loading such a mesh spent
// more time there than parsing it. These arrays ask for transparent huge
// pages instead (2 MiB, so 512 times fewer faults and fewer TLB misses when
// the arrays are walked every frame). The request is only advice: where it
// is not granted, or not available, the memory is ordinary memory.
namespace large_array {

// The advice, for the whole 2 MiB pages inside [data, data + bytes); it must
// come before the memory is first touched. Does nothing for small blocks or
// off Linux.
void adviseHugePages(void* data, std::size_t bytes) noexcept;

// Makes the pages of [data, data + bytes) present and writable now, with
// one call instead of a fault for every page at its first touch: where huge
// pages are not granted, a large array's pages fault one 4 KiB page at a
// time, and each fault costs more than clearing its page. Only for memory
// that is about to be written in full, since every page is taken at once.
// Does nothing for small blocks, off Linux, or where the system cannot.
void prefault(void* data, std::size_t bytes) noexcept;

// Every block starts on a cache line, so that the vector paths can write
// whole lines (a vertex block of eight is exactly seven of them).
inline constexpr std::size_t alignment = 64;

// Raw storage with that advice taken; throws std::bad_alloc like new.
void* allocate(std::size_t bytes);

struct Free {
    void operator()(void* data) const noexcept {
        ::operator delete (data, std::align_val_t{alignment});
    }
};

}  // namespace large_array

// Owns an array of trivially destructible elements made by one of the two
// functions below; it indexes and converts to a pointer like unique_ptr<T[]>.
template <class T>
using LargeArray = std::unique_ptr<T[], large_array::Free>;

namespace large_array {

// Room for count elements, not yet constructed.
template <class T>
T* storage(std::size_t count) {
    static_assert(std::is_trivially_destructible_v<T>,
                  "elements are released without running destructors");
    if (count > std::size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(allocate(count * sizeof(T)));
}

}  // namespace large_array

// Like make_unique<T[]>(count): every element value-initialised.
template <class T>
LargeArray<T> makeLargeArray(std::size_t count) {
    T* data = large_array::storage<T>(count);
    large_array::prefault(data, count * sizeof(T));
    std::uninitialized_value_construct_n(data, count);
    return LargeArray<T>(data);
}

// Like make_unique_for_overwrite<T[]>(count): elements of trivial types are
// left for the caller to write before reading.
template <class T>
LargeArray<T> makeLargeArrayForOverwrite(std::size_t count) {
    T* data = large_array::storage<T>(count);
    std::uninitialized_default_construct_n(data, count);
    return LargeArray<T>(data);
}

// A copy of count elements, constructed in place rather than constructed and
// then assigned over.
template <class T>
LargeArray<T> makeLargeArrayCopy(const T* from, std::size_t count) {
    T* data = large_array::storage<T>(count);
    large_array::prefault(data, count * sizeof(T));
    std::uninitialized_copy_n(from, count, data);
    return LargeArray<T>(data);
}

}  // namespace gloam
