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

std::vector<Call>& log() {
    static std::vector<Call> calls = [] {
        std::vector<Call> reserved;
        reserved.reserve(1 << 16);
        return reserved;
    }();
    return calls;
}

void record(const Call& call) { log().push_back(call); }

struct Arg {
    Kind kind;
    std::uint64_t bits;
};

Arg e(GLenum value, Kind kind = Kind::Enum) { return {kind, value}; }
Arg i(GLint value) { return {Kind::Int, static_cast<std::uint64_t>(std::int64_t{value})}; }
Arg u(GLuint value) { return {Kind::UInt, value}; }
Arg f(GLfloat value) { return {Kind::Float, std::bit_cast<std::uint32_t>(value)}; }
Arg d(GLdouble value) { return {Kind::Double, std::bit_cast<std::uint64_t>(value)}; }
Arg p(const void* value) { return {Kind::Pointer, reinterpret_cast<std::uintptr_t>(value)}; }

Call make(Fn fn, std::initializer_list<Arg> args) {
    Call call;
    call.fn = fn;
    for (const Arg& arg : args) {
        call.kinds[call.argCount] = arg.kind;
        call.bits[call.argCount] = arg.bits;
        ++call.argCount;
    }
    return call;
}

struct Name {
    std::uint32_t value;
    const char* name;
};

#define FAKEGL_NAME(e) \
    Name { e, #e }
constexpr Name enumNames[] = {
    FAKEGL_NAME(GL_NEVER),
    FAKEGL_NAME(GL_LESS),
    FAKEGL_NAME(GL_EQUAL),
    FAKEGL_NAME(GL_LEQUAL),
    FAKEGL_NAME(GL_GREATER),
    FAKEGL_NAME(GL_NOTEQUAL),
    FAKEGL_NAME(GL_GEQUAL),
    FAKEGL_NAME(GL_ALWAYS),
    FAKEGL_NAME(GL_SRC_COLOR),
    FAKEGL_NAME(GL_ONE_MINUS_SRC_COLOR),
    FAKEGL_NAME(GL_SRC_ALPHA),
    FAKEGL_NAME(GL_ONE_MINUS_SRC_ALPHA),
    FAKEGL_NAME(GL_DST_ALPHA),
    FAKEGL_NAME(GL_ONE_MINUS_DST_ALPHA),
    FAKEGL_NAME(GL_DST_COLOR),
    FAKEGL_NAME(GL_ONE_MINUS_DST_COLOR),
    FAKEGL_NAME(GL_SRC_ALPHA_SATURATE),
    FAKEGL_NAME(GL_FRONT),
    FAKEGL_NAME(GL_BACK),
    FAKEGL_NAME(GL_FRONT_AND_BACK),
    FAKEGL_NAME(GL_POINT_SMOOTH),
    FAKEGL_NAME(GL_LINE_SMOOTH),
    FAKEGL_NAME(GL_POLYGON_SMOOTH),
    FAKEGL_NAME(GL_CULL_FACE),
    FAKEGL_NAME(GL_LIGHTING),
    FAKEGL_NAME(GL_FOG),
    FAKEGL_NAME(GL_DEPTH_TEST),
    FAKEGL_NAME(GL_ALPHA_TEST),
    FAKEGL_NAME(GL_DITHER),
    FAKEGL_NAME(GL_BLEND),
    FAKEGL_NAME(GL_SCISSOR_TEST),
    FAKEGL_NAME(GL_TEXTURE_2D),
    FAKEGL_NAME(GL_UNSIGNED_BYTE),
    FAKEGL_NAME(GL_FLOAT),
    FAKEGL_NAME(GL_MODELVIEW),
    FAKEGL_NAME(GL_PROJECTION),
    FAKEGL_NAME(GL_TEXTURE),
    FAKEGL_NAME(GL_RGB),
    FAKEGL_NAME(GL_RGBA),
    FAKEGL_NAME(GL_FLAT),
    FAKEGL_NAME(GL_SMOOTH),
    FAKEGL_NAME(GL_REPLACE),
    FAKEGL_NAME(GL_MODULATE),
    FAKEGL_NAME(GL_DECAL),
    FAKEGL_NAME(GL_TEXTURE_ENV_MODE),
    FAKEGL_NAME(GL_TEXTURE_ENV),
    FAKEGL_NAME(GL_NEAREST),
    FAKEGL_NAME(GL_LINEAR),
    FAKEGL_NAME(GL_NEAREST_MIPMAP_NEAREST),
    FAKEGL_NAME(GL_LINEAR_MIPMAP_NEAREST),
    FAKEGL_NAME(GL_NEAREST_MIPMAP_LINEAR),
    FAKEGL_NAME(GL_LINEAR_MIPMAP_LINEAR),
    FAKEGL_NAME(GL_TEXTURE_MAG_FILTER),
    FAKEGL_NAME(GL_TEXTURE_MIN_FILTER),
    FAKEGL_NAME(GL_TEXTURE_WRAP_S),
    FAKEGL_NAME(GL_TEXTURE_WRAP_T),
    FAKEGL_NAME(GL_CLAMP),
    FAKEGL_NAME(GL_REPEAT),
};
constexpr Name primitiveNames[] = {
    FAKEGL_NAME(GL_POINTS),       FAKEGL_NAME(GL_LINES),     FAKEGL_NAME(GL_LINE_LOOP),
    FAKEGL_NAME(GL_LINE_STRIP),   FAKEGL_NAME(GL_TRIANGLES), FAKEGL_NAME(GL_TRIANGLE_STRIP),
    FAKEGL_NAME(GL_TRIANGLE_FAN), FAKEGL_NAME(GL_QUADS),     FAKEGL_NAME(GL_QUAD_STRIP),
    FAKEGL_NAME(GL_POLYGON),
};
constexpr Name clearBits[] = {
    FAKEGL_NAME(GL_COLOR_BUFFER_BIT),
    FAKEGL_NAME(GL_DEPTH_BUFFER_BIT),
    FAKEGL_NAME(GL_STENCIL_BUFFER_BIT),
    FAKEGL_NAME(GL_ACCUM_BUFFER_BIT),
};
#undef FAKEGL_NAME

template <std::size_t n>
const char* lookUp(const Name (&names)[n], std::uint64_t value) {
    for (const Name& entry : names) {
        if (entry.value == value) return entry.name;
    }
    return nullptr;
}

void appendHex(std::string& out, std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    out += text;
}

void appendEnum(std::string& out, Kind kind, std::uint64_t value) {
    const char* name = nullptr;
    if (kind == Kind::PrimitiveMode) {
        name = lookUp(primitiveNames, value);
    } else if (kind == Kind::BlendFactor && value <= 1) {
        name = value == 0 ? "GL_ZERO" : "GL_ONE";
    } else {
        name = lookUp(enumNames, value);
    }
    if (name != nullptr) {
        out += name;
    } else {
        appendHex(out, value);
    }
}

void appendMask(std::string& out, std::uint64_t value) {
    if (value == 0) {
        out += "0";
        return;
    }
    bool first = true;
    for (const Name& bit : clearBits) {
        if ((value & bit.value) == 0) continue;
        if (!first) out += " | ";
        out += bit.name;
        value &= ~std::uint64_t{bit.value};
        first = false;
    }
    if (value != 0) {
        if (!first) out += " | ";
        appendHex(out, value);
    }
}

void appendArg(std::string& out, Kind kind, std::uint64_t bits) {
    char text[40];
    switch (kind) {
        case Kind::Enum:
        case Kind::PrimitiveMode:
        case Kind::BlendFactor:
            appendEnum(out, kind, bits);
            return;
        case Kind::ClearMask:
            appendMask(out, bits);
            return;
        case Kind::Int:
            std::snprintf(text, sizeof text, "%lld", static_cast<long long>(bits));
            break;
        case Kind::UInt:
            std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(bits));
            break;
        case Kind::Float: {
            // Nine significant digits tell every two floats apart.
            const float value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
            std::snprintf(text, sizeof text, "%.9gf", static_cast<double>(value));
            out += text;
            // Texture parameters pass enums as floats; name them too.
            if (value >= 0x100 && value < 0x10000 &&
                value == static_cast<float>(static_cast<int>(value))) {
                if (const char* name = lookUp(enumNames, static_cast<std::uint64_t>(value))) {
                    out += " [";
                    out += name;
                    out += "]";
                }
            }
            return;
        }
        case Kind::Double:
            std::snprintf(text, sizeof text, "%.17g", std::bit_cast<double>(bits));
            break;
        case Kind::Pointer:
            std::snprintf(text, sizeof text, "%p",
                          reinterpret_cast<const void*>(static_cast<std::uintptr_t>(bits)));
            break;
    }
    out += text;
}

}  // namespace

float Call::floatArg(std::size_t index) const {
    return std::bit_cast<float>(static_cast<std::uint32_t>(bits[index]));
}

double Call::doubleArg(std::size_t index) const { return std::bit_cast<double>(bits[index]); }

const void* Call::pointerArg(std::size_t index) const {
    return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(bits[index]));
}

bool operator==(const Call& a, const Call& b) {
    if (a.fn != b.fn || a.argCount != b.argCount) return false;
    for (std::size_t k = 0; k < a.argCount; ++k) {
        if (a.kinds[k] != b.kinds[k] || a.bits[k] != b.bits[k]) return false;
    }
    return true;
}

const char* fnName(Fn fn) {
    switch (fn) {
#define FAKEGL_FN(name) \
    case Fn::name:      \
        return #name;
        FAKEGL_FN(glAlphaFunc)
        FAKEGL_FN(glBegin)
        FAKEGL_FN(glBindTexture)
        FAKEGL_FN(glBlendFunc)
        FAKEGL_FN(glClear)
        FAKEGL_FN(glClearColor)
        FAKEGL_FN(glColor4f)
        FAKEGL_FN(glDisable)
        FAKEGL_FN(glDrawBuffer)
        FAKEGL_FN(glEnable)
        FAKEGL_FN(glEnd)
        FAKEGL_FN(glFinish)
        FAKEGL_FN(glLineWidth)
        FAKEGL_FN(glLoadIdentity)
        FAKEGL_FN(glMatrixMode)
        FAKEGL_FN(glPointSize)
        FAKEGL_FN(glShadeModel)
        FAKEGL_FN(glTexCoord3f)
        FAKEGL_FN(glTexEnvf)
        FAKEGL_FN(glTexImage2D)
        FAKEGL_FN(glTexParameterf)
        FAKEGL_FN(glVertex3f)
        FAKEGL_FN(glViewport)
        FAKEGL_FN(gluBuild2DMipmaps)
        FAKEGL_FN(gluLookAt)
        FAKEGL_FN(gluPerspective)
#undef FAKEGL_FN
    }
    return "unknown";
}

std::string format(const Call& call) {
    std::string out = fnName(call.fn);
    out += '(';
    for (std::size_t k = 0; k < call.argCount; ++k) {
        if (k > 0) out += ", ";
        appendArg(out, call.kinds[k], call.bits[k]);
    }
    out += ')';
    return out;
}

std::ostream& operator<<(std::ostream& out, const Call& call) { return out << format(call); }

void PrintTo(const Call& call, std::ostream* out) { *out << format(call); }

const std::vector<Call>& calls() { return log(); }

void reset() { log().clear(); }

std::size_t count(Fn fn) {
    return static_cast<std::size_t>(
        std::count_if(log().begin(), log().end(), [fn](const Call& c) { return c.fn == fn; }));
}

std::string differences(const std::vector<Call>& actual, const std::vector<Call>& expected) {
    const std::size_t common = std::min(actual.size(), expected.size());
    std::size_t first = 0;
    while (first < common && actual[first] == expected[first]) ++first;
    if (first == common && actual.size() == expected.size()) return {};

    constexpr std::size_t before = 3;
    constexpr std::size_t after = 8;
    const std::size_t from = first > before ? first - before : 0;
    auto list = [&](const char* title, const std::vector<Call>& stream) {
        std::string out = title;
        const std::size_t to = std::min(stream.size(), first + after + 1);
        if (from > 0) out += "\n    ...";
        for (std::size_t k = from; k < to; ++k) {
            out += k == first ? "\n  > #" : "\n    #";
            out += std::to_string(k) + ' ' + format(stream[k]);
        }
        if (to < stream.size()) out += "\n    ...";
        if (first >= stream.size()) out += "\n  > (ends)";
        return out;
    };
    return "actual has " + std::to_string(actual.size()) + " calls, expected " +
           std::to_string(expected.size()) + "; first difference at #" + std::to_string(first) +
           '\n' + list("expected:", expected) + '\n' + list("actual:", actual);
}

namespace call {
Call glAlphaFunc(GLenum func, GLclampf ref) { return make(Fn::glAlphaFunc, {e(func), f(ref)}); }
Call glBegin(GLenum mode) { return make(Fn::glBegin, {e(mode, Kind::PrimitiveMode)}); }
Call glBindTexture(GLenum target, GLuint texture) {
    return make(Fn::glBindTexture, {e(target), u(texture)});
}
Call glBlendFunc(GLenum sfactor, GLenum dfactor) {
    return make(Fn::glBlendFunc, {e(sfactor, Kind::BlendFactor), e(dfactor, Kind::BlendFactor)});
}
Call glClear(GLbitfield mask) { return make(Fn::glClear, {e(mask, Kind::ClearMask)}); }
Call glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    return make(Fn::glClearColor, {f(red), f(green), f(blue), f(alpha)});
}
Call glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    return make(Fn::glColor4f, {f(red), f(green), f(blue), f(alpha)});
}
Call glDisable(GLenum cap) { return make(Fn::glDisable, {e(cap)}); }
Call glDrawBuffer(GLenum mode) { return make(Fn::glDrawBuffer, {e(mode)}); }
Call glEnable(GLenum cap) { return make(Fn::glEnable, {e(cap)}); }
Call glEnd() { return make(Fn::glEnd, {}); }
Call glFinish() { return make(Fn::glFinish, {}); }
Call glLineWidth(GLfloat width) { return make(Fn::glLineWidth, {f(width)}); }
Call glLoadIdentity() { return make(Fn::glLoadIdentity, {}); }
Call glMatrixMode(GLenum mode) { return make(Fn::glMatrixMode, {e(mode)}); }
Call glPointSize(GLfloat size) { return make(Fn::glPointSize, {f(size)}); }
Call glShadeModel(GLenum mode) { return make(Fn::glShadeModel, {e(mode)}); }
Call glTexCoord3f(GLfloat s, GLfloat t, GLfloat r) {
    return make(Fn::glTexCoord3f, {f(s), f(t), f(r)});
}
Call glTexEnvf(GLenum target, GLenum pname, GLfloat param) {
    return make(Fn::glTexEnvf, {e(target), e(pname), f(param)});
}
Call glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels) {
    return make(Fn::glTexImage2D, {e(target), i(level), i(internalFormat), i(width), i(height),
                                   i(border), e(format), e(type), p(pixels)});
}
Call glTexParameterf(GLenum target, GLenum pname, GLfloat param) {
    return make(Fn::glTexParameterf, {e(target), e(pname), f(param)});
}
Call glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    return make(Fn::glVertex3f, {f(x), f(y), f(z)});
}
Call glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    return make(Fn::glViewport, {i(x), i(y), i(width), i(height)});
}
Call gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                       GLenum format, GLenum type, const void* data) {
    return make(Fn::gluBuild2DMipmaps,
                {e(target), i(internalFormat), i(width), i(height), e(format), e(type), p(data)});
}
Call gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    return make(Fn::gluLookAt, {d(eyeX), d(eyeY), d(eyeZ), d(centerX), d(centerY), d(centerZ),
                                d(upX), d(upY), d(upZ)});
}
Call gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    return make(Fn::gluPerspective, {d(fovy), d(aspect), d(zNear), d(zFar)});
}
}  // namespace call

}  // namespace fakegl

// The entry points themselves, with the exact declarations of the system
// headers (a mismatch would not compile against them).
namespace fc = fakegl::call;
using fakegl::record;

extern "C" {

void GLAPIENTRY glAlphaFunc(GLenum func, GLclampf ref) { record(fc::glAlphaFunc(func, ref)); }
void GLAPIENTRY glBegin(GLenum mode) { record(fc::glBegin(mode)); }
void GLAPIENTRY glBindTexture(GLenum target, GLuint texture) {
    record(fc::glBindTexture(target, texture));
}
void GLAPIENTRY glBlendFunc(GLenum sfactor, GLenum dfactor) {
    record(fc::glBlendFunc(sfactor, dfactor));
}
void GLAPIENTRY glClear(GLbitfield mask) { record(fc::glClear(mask)); }
void GLAPIENTRY glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    record(fc::glClearColor(red, green, blue, alpha));
}
void GLAPIENTRY glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    record(fc::glColor4f(red, green, blue, alpha));
}
void GLAPIENTRY glDisable(GLenum cap) { record(fc::glDisable(cap)); }
void GLAPIENTRY glDrawBuffer(GLenum mode) { record(fc::glDrawBuffer(mode)); }
void GLAPIENTRY glEnable(GLenum cap) { record(fc::glEnable(cap)); }
void GLAPIENTRY glEnd(void) { record(fc::glEnd()); }
void GLAPIENTRY glFinish(void) { record(fc::glFinish()); }
void GLAPIENTRY glLineWidth(GLfloat width) { record(fc::glLineWidth(width)); }
void GLAPIENTRY glLoadIdentity(void) { record(fc::glLoadIdentity()); }
void GLAPIENTRY glMatrixMode(GLenum mode) { record(fc::glMatrixMode(mode)); }
void GLAPIENTRY glPointSize(GLfloat size) { record(fc::glPointSize(size)); }
void GLAPIENTRY glShadeModel(GLenum mode) { record(fc::glShadeModel(mode)); }
void GLAPIENTRY glTexCoord3f(GLfloat s, GLfloat t, GLfloat r) { record(fc::glTexCoord3f(s, t, r)); }
void GLAPIENTRY glTexEnvf(GLenum target, GLenum pname, GLfloat param) {
    record(fc::glTexEnvf(target, pname, param));
}
void GLAPIENTRY glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                             GLsizei height, GLint border, GLenum format, GLenum type,
                             const GLvoid* pixels) {
    record(fc::glTexImage2D(target, level, internalFormat, width, height, border, format, type,
                            pixels));
}
void GLAPIENTRY glTexParameterf(GLenum target, GLenum pname, GLfloat param) {
    record(fc::glTexParameterf(target, pname, param));
}
void GLAPIENTRY glVertex3f(GLfloat x, GLfloat y, GLfloat z) { record(fc::glVertex3f(x, y, z)); }
void GLAPIENTRY glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    record(fc::glViewport(x, y, width, height));
}
GLint GLAPIENTRY gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width,
                                   GLsizei height, GLenum format, GLenum type, const void* data) {
    record(fc::gluBuild2DMipmaps(target, internalFormat, width, height, format, type, data));
    return 0;
}
void GLAPIENTRY gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX,
                          GLdouble centerY, GLdouble centerZ, GLdouble upX, GLdouble upY,
                          GLdouble upZ) {
    record(fc::gluLookAt(eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ));
}
void GLAPIENTRY gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    record(fc::gluPerspective(fovy, aspect, zNear, zFar));
}

}  // extern "C"

#ifdef _WIN32
// Windows' <GL/gl.h> declares the GL entry points dllimport, so the engine's
// libraries call each one through its import slot (`call *__imp__glBegin@4`),
// a pointer that OPENGL32's import library would define and the loader fill.
// The fake defines those slots itself, aimed at the functions above: the
// libraries link against it as built for the program. GLU's entry points are
// plain externs there and need none. A wrong argument size names a slot that
// nobody references, and the test programs then fail to link.
#ifdef _WIN64
#define FAKEGL_IMPORT_SLOT(fn, bytes) \
    extern "C" void* const fakegl_slot_##fn __asm__("__imp_" #fn) = reinterpret_cast<void*>(&fn)
#else
#define FAKEGL_IMPORT_SLOT(fn, bytes)                                           \
    extern "C" void* const fakegl_slot_##fn __asm__("__imp__" #fn "@" #bytes) = \
        reinterpret_cast<void*>(&fn)
#endif
FAKEGL_IMPORT_SLOT(glAlphaFunc, 8);
FAKEGL_IMPORT_SLOT(glBegin, 4);
FAKEGL_IMPORT_SLOT(glBindTexture, 8);
FAKEGL_IMPORT_SLOT(glBlendFunc, 8);
FAKEGL_IMPORT_SLOT(glClear, 4);
FAKEGL_IMPORT_SLOT(glClearColor, 16);
FAKEGL_IMPORT_SLOT(glColor4f, 16);
FAKEGL_IMPORT_SLOT(glDisable, 4);
FAKEGL_IMPORT_SLOT(glDrawBuffer, 4);
FAKEGL_IMPORT_SLOT(glEnable, 4);
FAKEGL_IMPORT_SLOT(glEnd, 0);
FAKEGL_IMPORT_SLOT(glFinish, 0);
FAKEGL_IMPORT_SLOT(glLineWidth, 4);
FAKEGL_IMPORT_SLOT(glLoadIdentity, 0);
FAKEGL_IMPORT_SLOT(glMatrixMode, 4);
FAKEGL_IMPORT_SLOT(glPointSize, 4);
FAKEGL_IMPORT_SLOT(glShadeModel, 4);
FAKEGL_IMPORT_SLOT(glTexCoord3f, 12);
FAKEGL_IMPORT_SLOT(glTexEnvf, 12);
FAKEGL_IMPORT_SLOT(glTexImage2D, 36);
FAKEGL_IMPORT_SLOT(glTexParameterf, 12);
FAKEGL_IMPORT_SLOT(glVertex3f, 12);
FAKEGL_IMPORT_SLOT(glViewport, 16);
#undef FAKEGL_IMPORT_SLOT
#endif
