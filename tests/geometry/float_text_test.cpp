// The writers' short road to "%g" must land on the standard formatter's
// bytes for every float, the awkward ones most of all.

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "gloam/geometry/float_text.h"

namespace {

std::string written(float value) {
    char text[gloam::floatTextRoom];
    return {text, gloam::writeFloat(text, value)};
}

std::string standard(float value) {
    char text[32];
    return {text,
            std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr};
}

TEST(FloatText, WritesWhatTheStandardFormatterWrites) {
    // Ties and near-ties of the sixth digit, the edges of fixed notation,
    // carries into a new digit, and the ends of the float range.
    for (const float value : {0.0f,
                              -0.0f,
                              0.5f,
                              1.0f,
                              0.25f,
                              0.125f,
                              1.5f,
                              2.5f,
                              100000.5f,
                              999999.5f,
                              999999.4f,
                              9.999995e-5f,
                              1e-4f,
                              9.99999e-5f,
                              1e-5f,
                              123456.5f,
                              1234567.0f,
                              999999.0f,
                              1e6f,
                              3.14159265f,
                              -2.7182818f,
                              1e22f,
                              1e-17f,
                              1e-18f,
                              1e23f,
                              std::numeric_limits<float>::max(),
                              std::numeric_limits<float>::min(),
                              std::numeric_limits<float>::denorm_min(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(written(value), standard(value)) << standard(value);
    // And a spread of every kind of bit pattern.
    std::uint32_t bits = 12345;
    for (int i = 0; i < 1 << 20; ++i) {
        bits = bits * 1664525u + 1013904223u;
        float value;
        std::memcpy(&value, &bits, sizeof value);
        ASSERT_EQ(written(value), standard(value)) << std::hex << bits;
    }
}

}  // namespace
