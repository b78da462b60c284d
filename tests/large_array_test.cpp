#include "gloam/geometry/large_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "gloam/geometry/vertex.h"

using namespace gloam;

namespace {

#if defined(__linux__)
// A line of the mapping that holds `address` in /proc/self/smaps, by its
// field name ("VmFlags:", "Rss:").
std::string fieldAt(const void* address, const std::string& field) {
    const auto target = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> from >> dash >> to && dash == '-') {
            inside = from <= target && target < to;
        } else if (inside && line.rfind(field, 0) == 0) {
            return line;
        }
    }
    return {};
}

bool advised(const void* address) {
    return fieldAt(address, "VmFlags:").find(" hg") != std::string::npos;
}

// Kilobytes present of the mappings that [data, data + bytes) touches (the
// advice may have split the block's mapping in three).
long residentKilobytes(const char* data, std::size_t bytes) {
    const auto first = reinterpret_cast<std::uintptr_t>(data), last = first + bytes;
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    long total = 0;
    while (std::getline(smaps, line)) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> from >> dash >> to && dash == '-') {
            inside = from < last && first < to;
        } else if (inside && line.rfind("Rss:", 0) == 0) {
            total += std::stol(line.substr(4));
        }
    }
    return total;
}
#endif

TEST(LargeArray, AsksForHugePagesOnlyForTheWholeHugePagesInsideALargeArray) {
#if !defined(__linux__)
    GTEST_SKIP() << "the advice is only given on Linux";
#else
    constexpr std::uintptr_t hugePage = std::uintptr_t{2} << 20;
    const std::size_t count = 3 * hugePage + 4096 + 8;
    const LargeArray<char> large = makeLargeArrayForOverwrite<char>(count);
    const auto start = reinterpret_cast<std::uintptr_t>(large.get());
    const std::uintptr_t first = (start + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t last = (start + count) & ~(hugePage - 1);
    ASSERT_GE(last - first, 2 * hugePage);
    EXPECT_TRUE(advised(reinterpret_cast<void*>(first)));
    EXPECT_TRUE(advised(reinterpret_cast<void*>(last - 1)));
    // The partial pages at either end may share their huge page with other
    // memory, which the advice must not reach.
    if (first != start) {
        EXPECT_FALSE(advised(reinterpret_cast<void*>(first - 1)));
    }
    if (last != start + count) {
        EXPECT_FALSE(advised(reinterpret_cast<void*>(last)));
    }

    // Under two whole huge pages nothing is advised.
    const LargeArray<char> small = makeLargeArrayForOverwrite<char>(hugePage + 4096);
    EXPECT_FALSE(advised(small.get() + hugePage / 2));
#endif
}

TEST(LargeArray, PrefaultMakesTheWholeBlockPresentWithoutTouchingIt) {
#if !defined(__linux__)
    GTEST_SKIP() << "pages are made present ahead only on Linux";
#else
    constexpr std::size_t bytes = std::size_t{8} << 20;
    const LargeArray<char> block = makeLargeArrayForOverwrite<char>(bytes);
    const long before = residentKilobytes(block.get(), bytes);
    large_array::prefault(block.get(), bytes);
    EXPECT_GE(residentKilobytes(block.get(), bytes) - before, long(bytes / 1024) - 8) << before;
#endif
}

TEST(LargeArray, ConstructsLikeNewAndRefusesCountsThatOverflow) {
    Vertex white(1.0f, 2.0f, 3.0f);
    const LargeArray<Vertex> copy = makeLargeArrayCopy(&white, 1);
    EXPECT_EQ(copy[0].getZ(), 3.0f);  // a working vtable: the copy is a constructed Vertex
    EXPECT_EQ(copy[0].red, white.red);
    const LargeArray<Vertex> zeroed = makeLargeArray<Vertex>(2);
    EXPECT_EQ(zeroed[1].getY(), 0.0f);
    EXPECT_EQ(zeroed[1].blue, 0);

    EXPECT_THROW(makeLargeArray<Vertex>(std::size_t(-1) / sizeof(Vertex) + 1),
                 std::bad_array_new_length);
}

}  // namespace
