#include "tests/fakegl/fake_gl.h"

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

Arg en(GLenum value) { return {Kind::Enum, value}; }
Arg blend(GLenum value) { return {Kind::BlendFactor, value}; }
Arg mask(GLbitfield value) { return {Kind::ClearMask, value}; }
Arg in(GLint value) { return {Kind::Int, static_cast<std::uint64_t>(std::int64_t{value})}; }
Arg un(GLuint value) { return {Kind::UInt, value}; }
Arg fl(GLfloat value) { return {Kind::Float, std::bit_cast<std::uint32_t>(value)}; }
Arg db(GLdouble value) { return {Kind::Double, std::bit_cast<std::uint64_t>(value)}; }
Arg pt(const void* value) { return {Kind::Pointer, reinterpret_cast<std::uintptr_t>(value)}; }

Call make(Fn fn, std::initializer_list<Arg> args) {
    Call call;
    call.fn = fn;
    for (const Arg& arg : args) {
        call.kinds[call.argCount] = arg.kind;
        call.bits[call.argCount++] = arg.bits;
    }
    return call;
}

struct Name {
    std::uint32_t value;
    const char* name;
};

// The values the engine passes, for readable failures; others print in hex.
#define FAKEGL_NAME(e) \
    Name { e, #e }
constexpr Name enumNames[] = {FAKEGL_NAME(GL_POLYGON),
                              FAKEGL_NAME(GL_GEQUAL),
                              FAKEGL_NAME(GL_SRC_ALPHA),
                              FAKEGL_NAME(GL_ONE_MINUS_SRC_ALPHA),
                              FAKEGL_NAME(GL_BACK),
                              FAKEGL_NAME(GL_POINT_SMOOTH),
                              FAKEGL_NAME(GL_POLYGON_SMOOTH),
                              FAKEGL_NAME(GL_DEPTH_TEST),
                              FAKEGL_NAME(GL_ALPHA_TEST),
                              FAKEGL_NAME(GL_BLEND),
                              FAKEGL_NAME(GL_TEXTURE_2D),
                              FAKEGL_NAME(GL_UNSIGNED_BYTE),
                              FAKEGL_NAME(GL_MODELVIEW),
                              FAKEGL_NAME(GL_PROJECTION),
                              FAKEGL_NAME(GL_RGB),
                              FAKEGL_NAME(GL_RGBA),
                              FAKEGL_NAME(GL_FLAT),
                              FAKEGL_NAME(GL_SMOOTH),
                              FAKEGL_NAME(GL_MODULATE),
                              FAKEGL_NAME(GL_TEXTURE_ENV_MODE),
                              FAKEGL_NAME(GL_TEXTURE_ENV),
                              FAKEGL_NAME(GL_NEAREST),
                              FAKEGL_NAME(GL_LINEAR),
                              FAKEGL_NAME(GL_LINEAR_MIPMAP_NEAREST),
                              FAKEGL_NAME(GL_LINEAR_MIPMAP_LINEAR),
                              FAKEGL_NAME(GL_TEXTURE_MAG_FILTER),
                              FAKEGL_NAME(GL_TEXTURE_MIN_FILTER),
                              FAKEGL_NAME(GL_TEXTURE_WRAP_S),
                              FAKEGL_NAME(GL_TEXTURE_WRAP_T),
                              FAKEGL_NAME(GL_REPEAT),
                              FAKEGL_NAME(GL_PACK_ALIGNMENT)};

constexpr Name blendNames[] = {{GL_ZERO, "GL_ZERO"}, {GL_ONE, "GL_ONE"}};
constexpr Name maskNames[] = {
    FAKEGL_NAME(GL_COLOR_BUFFER_BIT),
    FAKEGL_NAME(GL_DEPTH_BUFFER_BIT),
    {GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, "GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT"}};
#undef FAKEGL_NAME

template <std::size_t n>
const char* nameIn(const Name (&names)[n], std::uint64_t value) {
    for (const Name& entry : names)
        if (entry.value == value) return entry.name;
    return nullptr;
}

void appendArg(std::string& out, Kind kind, std::uint64_t bits) {
    char text[40] = "";
    const char* name = nullptr;
    switch (kind) {
        case Kind::Enum:
        case Kind::BlendFactor:
        case Kind::ClearMask:
            name = kind == Kind::ClearMask     ? nameIn(maskNames, bits)
                   : kind == Kind::BlendFactor ? nameIn(blendNames, bits)
                                               : nullptr;
            if (name == nullptr && kind != Kind::ClearMask) name = nameIn(enumNames, bits);
            if (name == nullptr)
                std::snprintf(text, sizeof text, "0x%llx", (unsigned long long)bits);
            out += name != nullptr ? name : text;
            return;
        case Kind::Int:
            std::snprintf(text, sizeof text, "%lld", (long long)bits);
            break;
        case Kind::UInt:
            std::snprintf(text, sizeof text, "%llu", (unsigned long long)bits);
            break;
        case Kind::Float: {
            // Nine significant digits tell every two floats apart.
            const float value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
            std::snprintf(text, sizeof text, "%.9gf", static_cast<double>(value));
            out += text;
            // Texture parameters pass enums as floats; name them too.
            if (value >= 0x100 && value < 0x10000 && value == float(int(value)))
                if (const char* enumName = nameIn(enumNames, std::uint64_t(value)))
                    out += std::string(" [") + enumName + "]";
            return;
        }
        case Kind::Double:
            std::snprintf(text, sizeof text, "%.17g", std::bit_cast<double>(bits));
            break;
        case Kind::Pointer:
            std::snprintf(text, sizeof text, "%p",
                          reinterpret_cast<const void*>(std::uintptr_t(bits)));
            break;
    }
    out += text;
}

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
    static const char* const names[] = {FAKEGL_ENTRY_POINTS(FAKEGL_NAME_OF)};
#undef FAKEGL_NAME_OF
    std::string out = names[std::size_t(call.fn)];
    out += '(';
    for (std::size_t k = 0; k < call.argCount; ++k) {
        if (k > 0) out += ", ";
        appendArg(out, call.kinds[k], call.bits[k]);
    }
    return out + ')';
}

std::ostream& operator<<(std::ostream& out, const Call& call) { return out << format(call); }
void PrintTo(const Call& call, std::ostream* out) { *out << format(call); }

const std::vector<Call>& calls() { return log(); }
void reset() { log().clear(); }

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
#define FAKEGL_DEFINE_CALL(ret, name, params, args, bytes, ...) \
    Call name params { return make(Fn::name, {__VA_ARGS__}); }
FAKEGL_ENTRY_POINTS(FAKEGL_DEFINE_CALL)
#undef FAKEGL_DEFINE_CALL
}  // namespace call

}  // namespace fakegl

// The entry points themselves, with the exact declarations of the system
// headers (a mismatch would not compile against them).
extern "C" {
#define FAKEGL_DEFINE_ENTRY(ret, name, params, args, ...) \
    ret GLAPIENTRY name params {                          \
        fakegl::logCall(fakegl::call::name args);         \
        return ret();                                     \
    }
FAKEGL_ENTRY_POINTS(FAKEGL_DEFINE_ENTRY)
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
FAKEGL_ENTRY_POINTS(FAKEGL_IMPORT_SLOT)
#undef FAKEGL_IMPORT_SLOT
#endif
