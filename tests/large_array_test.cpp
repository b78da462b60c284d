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
