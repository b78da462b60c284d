#pragma once

// A recording stand-in for the OpenGL and GLU entry points the engine calls.
// Test programs link `fake_gl` instead of the real libraries; every entry
// point appends one Call, with its arguments as raw bits, to a log, and does
// nothing else (see answer). Recording formats nothing, so a test can drive
// whole frames.
//
// How tests use it:
//   fakegl::reset();                                  // in SetUp: empty log
//   uploadTexture(textureTable[5]);                   // code under test
//   namespace gl = fakegl::call;
//   EXPECT_TRUE(fakegl::callsAre({
//       gl::glBindTexture(GL_TEXTURE_2D, 5), ...}));
// fakegl::call::glXxx takes exactly the arguments of glXxx and returns the
// Call that glXxx records. Calls compare bit for bit (floats and doubles
// included); a failed comparison lists both streams around the first mismatch.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "gloam/platform/gl_calls.h"

namespace fakegl {

#define FAKEGL_ENUMERATOR(ret, name, ...) name,
enum class Fn : std::uint8_t { GLOAM_GL_CALLS(FAKEGL_ENUMERATOR) };
#undef FAKEGL_ENUMERATOR

enum class Kind : std::uint8_t { Hex, Int, Float, Double };  // how an argument prints

struct Call {
    static constexpr std::size_t maxArgs = 9;

    Fn fn{};
    std::uint8_t argCount = 0;
    Kind kinds[maxArgs]{};
    // Floats and doubles as their bit patterns, integers widened (signed
    // ones with their sign), pointers as addresses.
    std::uint64_t bits[maxArgs]{};

    std::int64_t intArg(std::size_t i) const { return static_cast<std::int64_t>(bits[i]); }
    float floatArg(std::size_t i) const;
    double doubleArg(std::size_t i) const;
    const void* pointerArg(std::size_t i) const;

    friend bool operator==(const Call& a, const Call& b);
};

// "glTexParameterf(0xde1, 0x2801, 9729f)".
std::string format(const Call& call);
std::ostream& operator<<(std::ostream& out, const Call& call);
void PrintTo(const Call& call, std::ostream* out);  // for GoogleTest

// Called with each call as it is logged, for a test that follows GL state.
inline void (*observer)(const Call& call) = nullptr;
void logCall(const Call& call);  // what every entry point does

// The log since the last reset, in call order.
const std::vector<Call>& calls();
void reset();

// What each entry point returns: 0, but glGenLists names 1, 2, ... as a GL
// with room does (from 1 again after reset()). Nothing is written back.
inline GLuint nextListName = 1;
template <typename R>
R answer(Fn fn) {
    if constexpr (!std::is_void_v<R>) return fn == Fn::glGenLists ? R(nextListName++) : R();
}
// How many logged calls went to `fn`.
std::size_t count(Fn fn);
// Empty when the streams are equal; otherwise both lengths and both streams
// around the first difference.
std::string differences(const std::vector<Call>& actual, const std::vector<Call>& expected);

// For EXPECT_TRUE: whether the log since the last reset is exactly `expected`.
inline ::testing::AssertionResult callsAre(const std::vector<Call>& expected) {
    std::string report = differences(calls(), expected);
    if (report.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << report;
}

// The Call each entry point records, for building expected streams.
namespace call {
#define FAKEGL_DECLARE(ret, name, params, ...) Call name params;
GLOAM_GL_CALLS(FAKEGL_DECLARE)
#undef FAKEGL_DECLARE
}  // namespace call

}  // namespace fakegl
