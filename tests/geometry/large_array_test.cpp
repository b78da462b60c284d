#include "gloam/geometry/large_array.h"

#include <gtest/gtest.h>

#include "gloam/geometry/vertex.h"

using namespace gloam;

namespace {

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
