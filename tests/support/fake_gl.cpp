#include "tests/support/fake_gl.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <initializer_list>
#include <ostream>

#ifdef _WIN32
// Windows' GL headers declare the entry points dllimport; defining them
// here instead is the point of the fake.
#pragma GCC diagnostic ignored "-Wattributes"
#ifndef GLAPIENTRY
#define GLAPIENTRY APIENTRY
#endif
#endif

namespace fakegl {
namespace {

// Reserved up front: growing is the only allocation of recording, and the
// render tests count allocations in whole frames.
std::vector<Call>& log() {
    static std::vector<Call> calls = [] {
        std::vector<Call> reserved;
        reserved.reserve(1 << 16);
        return reserved;
    }();
    return calls;
}

struct Arg {
    Kind kind;
    std::uint64_t bits;
};

// Unsigned arguments (enums, bit masks, names) and addresses print in hex.
Arg arg(GLenum value) { return {Kind::Hex, value}; }
Arg arg(GLint value) { return {Kind::Int, static_cast<std::uint64_t>(std::int64_t{value})}; }
Arg arg(GLfloat value) { return {Kind::Float, std::bit_cast<std::uint32_t>(value)}; }
Arg arg(GLdouble value) { return {Kind::Double, std::bit_cast<std::uint64_t>(value)}; }
Arg arg(const void* value) { return {Kind::Hex, reinterpret_cast<std::uintptr_t>(value)}; }

struct Maker {
    Fn fn;
    template <typename... T>
    Call operator()(T... values) const {
        Call call;
        call.fn = fn;
        for (const Arg& a : std::initializer_list<Arg>{arg(values)...}) {
            call.kinds[call.argCount] = a.kind;
            call.bits[call.argCount++] = a.bits;
        }
        return call;
    }
};

}  // namespace

float Call::floatArg(std::size_t i) const {
    return std::bit_cast<float>(static_cast<std::uint32_t>(bits[i]));
}
double Call::doubleArg(std::size_t i) const { return std::bit_cast<double>(bits[i]); }
const void* Call::pointerArg(std::size_t i) const {
    return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(bits[i]));
}

// The kinds follow from the function.
bool operator==(const Call& a, const Call& b) {
    return a.fn == b.fn && a.argCount == b.argCount &&
           std::equal(a.bits, a.bits + a.argCount, b.bits);
}

std::string format(const Call& call) {
#define FAKEGL_NAME_OF(ret, name, ...) #name,
    static const char* const names[] = {GLOAM_GL_CALLS(FAKEGL_NAME_OF)};
#undef FAKEGL_NAME_OF
    std::string out = names[std::size_t(call.fn)];
    for (std::size_t k = 0; k < call.argCount; ++k) {
        const std::uint64_t bits = call.bits[k];
        char text[40];
        // Nine and seventeen significant digits tell every two floats and doubles apart.
        const Kind kind = call.kinds[k];
        if (kind == Kind::Float || kind == Kind::Double)
            std::snprintf(text, sizeof text, kind == Kind::Float ? "%.9gf" : "%.17g",
                          kind == Kind::Float ? double(call.floatArg(k)) : call.doubleArg(k));
        else
            std::snprintf(text, sizeof text, kind == Kind::Hex ? "0x%llx" : "%lld",
                          (unsigned long long)bits);
        out += (k == 0 ? "(" : ", ") + std::string(text);
    }
    return out + (call.argCount == 0 ? "()" : ")");
}

std::ostream& operator<<(std::ostream& out, const Call& call) { return out << format(call); }
void PrintTo(const Call& call, std::ostream* out) { *out << format(call); }

const std::vector<Call>& calls() { return log(); }
void reset() {
    log().clear();
    nextListName = 1;
}

void logCall(const Call& call) {
    log().push_back(call);
    if (observer) observer(call);
}

std::size_t count(Fn fn) {
    return std::size_t(
        std::count_if(log().begin(), log().end(), [fn](const Call& c) { return c.fn == fn; }));
}

std::string differences(const std::vector<Call>& actual, const std::vector<Call>& expected) {
    const auto [a, e] =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (a == actual.end() && e == expected.end()) return {};
    const std::size_t first = std::size_t(a - actual.begin());
    auto list = [first](const char* title, const std::vector<Call>& stream) {
        std::string out = title;
        for (std::size_t k = first > 3 ? first - 3 : 0; k < std::min(stream.size(), first + 9); ++k)
            out +=
                (k == first ? "\n  > #" : "\n    #") + std::to_string(k) + ' ' + format(stream[k]);
        return out;
    };
    return "actual has " + std::to_string(actual.size()) + " calls, expected " +
           std::to_string(expected.size()) + '\n' + list("expected:", expected) + '\n' +
           list("actual:", actual);
}

namespace call {
#define FAKEGL_DEFINE_CALL(ret, name, params, args, bytes) \
    Call name params { return Maker{Fn::name} args; }
GLOAM_GL_CALLS(FAKEGL_DEFINE_CALL)
#undef FAKEGL_DEFINE_CALL
}  // namespace call

}  // namespace fakegl

// The entry points themselves, with the exact declarations of the system
// headers (a mismatch would not compile against them).
extern "C" {
#define FAKEGL_DEFINE_ENTRY(ret, name, params, args, ...) \
    ret GLAPIENTRY name params {                          \
        fakegl::logCall(fakegl::call::name args);         \
        return fakegl::answer<ret>(fakegl::Fn::name);     \
    }
GLOAM_GL_CALLS(FAKEGL_DEFINE_ENTRY)
#undef FAKEGL_DEFINE_ENTRY
}  // extern "C"

#ifdef _WIN32
// Windows' <GL/gl.h> declares the GL entry points dllimport, so the engine's
// libraries call each one through its import slot (`call *__imp__glBegin@4`),
// a pointer that OPENGL32's import library would define and the loader fill.
// The fake defines those slots itself, aimed at the functions above (GLU's
// are plain externs there and need none; their slots go unused). A wrong
// argument size names a slot that nobody references, and the test programs
// then fail to link.
#ifdef _WIN64
#define FAKEGL_IMPORT_SLOT(ret, fn, params, args, bytes, ...) \
    extern "C" void* const fakegl_slot_##fn __asm__("__imp_" #fn) = reinterpret_cast<void*>(&fn);
#else
#define FAKEGL_IMPORT_SLOT(ret, fn, params, args, bytes, ...)                   \
    extern "C" void* const fakegl_slot_##fn __asm__("__imp__" #fn "@" #bytes) = \
        reinterpret_cast<void*>(&fn);
#endif
GLOAM_GL_CALLS(FAKEGL_IMPORT_SLOT)
#undef FAKEGL_IMPORT_SLOT
#endif
