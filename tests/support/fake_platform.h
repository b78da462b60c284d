#pragma once

// A recording fake of the window calls, linked by tests in place of a
// program's backend: the null backend (gloam/platform/null/) does what each
// call does, and the fake, as the stand-in's observer, appends the calls
// tests read to a log and makes the ones a test scripts fail.
// fakeplatform::call::Xxx takes the arguments of Xxx and returns the Call it
// records, for expected streams.

#include <bitset>
#include <cstddef>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <tuple>
#include <vector>

#include "gloam/platform/standin.h"

namespace fakeplatform {

using Fn = gloam::standin::Api;

// A call with its arguments as printed: strings, window classes and
// pixel-format descriptors by value, handles and other pointers by address.
// The log holds every call of a backend, and of the stand-in's own
// RegisterClassA, PostMessageA, PostQuitMessage and SendMessageA.
struct Call {
    Fn fn{};
    std::string args;
    bool operator==(const Call&) const = default;
};

// "PostMessageA(0x1, 15, 0, 0)".
std::string format(const Call& call);
std::ostream& operator<<(std::ostream& out, const Call& call);
void PrintTo(const Call& call, std::ostream* out);  // for GoogleTest

// What the fake does beyond the null backend, changeable by tests until the
// next reset.
struct Script {
    // Calls that fail as Windows reports failure, doing nothing but being
    // recorded.
    std::bitset<gloam::standin::apiCount> failing;
    // The user closes a window right after the N-th SwapBuffers since the
    // reset presented into it: WM_CLOSE is delivered to that window. 0: never.
    // Lets a test run a whole program, whose loop only ends on a close.
    int closeAfterSwaps = 0;
};
Script& script();

// A fresh process: empties the log, resets the null backend beneath (every
// class, window, message, pixel format and rendering context forgotten),
// and restores the default script.
void reset();

// The log since the last reset, in call order.
const std::vector<Call>& calls();
// Those of `fns` only, in call order.
std::vector<Call> callsTo(std::initializer_list<Fn> fns);
std::size_t count(Fn fn);
// Empty when the streams are equal; otherwise both lengths, the first
// differing position, and both streams around it.
std::string differences(const std::vector<Call>& actual, const std::vector<Call>& expected);

// The rendering context created last, or null.
HGLRC lastContext();

// The Call that `arguments` (the Arguments<fn> of one call) make.
Call describe(Fn fn, const void* arguments);

namespace call {
template <typename Arguments>
struct Maker;
template <typename... Parameters>
struct Maker<std::tuple<Parameters...>> {
    Fn fn;
    Call operator()(Parameters... parameters) const {
        const std::tuple<Parameters...> arguments(parameters...);
        return describe(fn, &arguments);
    }
};

#define FAKEPLATFORM_MAKER(name) \
    inline constexpr Maker<gloam::standin::Arguments<Fn::name>> name{Fn::name};
GLOAM_STANDIN_CALLS(FAKEPLATFORM_MAKER)
GLOAM_BACKEND_CALLS(FAKEPLATFORM_MAKER)
#undef FAKEPLATFORM_MAKER
}  // namespace call

}  // namespace fakeplatform
