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

#include "gloam/platform/gl.h"

// The client-side vertex array calls of the renderer's array path.
#define FAKEGL_ARRAY_ENTRY_POINTS(X)                                                              \
    X(void, glColorPointer, (GLint a, GLenum b, GLsizei c, const GLvoid* d), (a, b, c, d), 16)    \
    X(void, glDisableClientState, (GLenum a), (a), 4)                                             \
    X(void, glDrawArrays, (GLenum a, GLint b, GLsizei c), (a, b, c), 12)                          \
    X(void, glEnableClientState, (GLenum a), (a), 4)                                              \
    X(void, glTexCoordPointer, (GLint a, GLenum b, GLsizei c, const GLvoid* d), (a, b, c, d), 16) \
    X(void, glVertexPointer, (GLint a, GLenum b, GLsizei c, const GLvoid* d), (a, b, c, d), 16)

// Every entry point once: return type, name, parameters, their names, and
// the bytes they take on 32-bit Windows' stack.
#define FAKEGL_ENTRY_POINTS(X)                                                                \
    FAKEGL_ARRAY_ENTRY_POINTS(X)                                                              \
    X(void, glAlphaFunc, (GLenum a, GLclampf b), (a, b), 8)                                   \
    X(void, glBegin, (GLenum a), (a), 4)                                                      \
    X(void, glBindTexture, (GLenum a, GLuint b), (a, b), 8)                                   \
    X(void, glBlendFunc, (GLenum a, GLenum b), (a, b), 8)                                     \
    X(void, glCallList, (GLuint a), (a), 4)                                                   \
    X(void, glClear, (GLbitfield a), (a), 4)                                                  \
    X(void, glClearColor, (GLclampf a, GLclampf b, GLclampf c, GLclampf d), (a, b, c, d), 16) \
    X(void, glClearStencil, (GLint a), (a), 4)                                                \
    X(void, glColor4f, (GLfloat a, GLfloat b, GLfloat c, GLfloat d), (a, b, c, d), 16)        \
    X(void, glDeleteLists, (GLuint a, GLsizei b), (a, b), 8)                                  \
    X(void, glDisable, (GLenum a), (a), 4)                                                    \
    X(void, glDrawBuffer, (GLenum a), (a), 4)                                                 \
    X(void, glEnable, (GLenum a), (a), 4)                                                     \
    X(void, glEnd, (), (), 0)                                                                 \
    X(void, glEndList, (), (), 0)                                                             \
    X(void, glFinish, (), (), 0)                                                              \
    X(GLuint, glGenLists, (GLsizei a), (a), 4)                                                \
    X(void, glGetIntegerv, (GLenum a, GLint * b), (a, b), 8)                                  \
    X(void, glLineWidth, (GLfloat a), (a), 4)                                                 \
    X(void, glLoadIdentity, (), (), 0)                                                        \
    X(void, glMatrixMode, (GLenum a), (a), 4)                                                 \
    X(void, glNewList, (GLuint a, GLenum b), (a, b), 8)                                       \
    X(void, glPixelStorei, (GLenum a, GLint b), (a, b), 8)                                    \
    X(void, glPointSize, (GLfloat a), (a), 4)                                                 \
    X(void, glPolygonMode, (GLenum a, GLenum b), (a, b), 8)                                   \
    X(void, glPolygonOffset, (GLfloat a, GLfloat b), (a, b), 8)                               \
    X(void, glPopAttrib, (), (), 0)                                                           \
    X(void, glPushAttrib, (GLbitfield a), (a), 4)                                             \
    X(void, glReadPixels,                                                                     \
      (GLint a, GLint b, GLsizei c, GLsizei d, GLenum e, GLenum f, GLvoid * g),               \
      (a, b, c, d, e, f, g), 28)                                                              \
    X(void, glShadeModel, (GLenum a), (a), 4)                                                 \
    X(void, glStencilFunc, (GLenum a, GLint b, GLuint c), (a, b, c), 12)                      \
    X(void, glStencilOp, (GLenum a, GLenum b, GLenum c), (a, b, c), 12)                       \
    X(void, glTexCoord3f, (GLfloat a, GLfloat b, GLfloat c), (a, b, c), 12)                   \
    X(void, glTexEnvf, (GLenum a, GLenum b, GLfloat c), (a, b, c), 12)                        \
    X(void, glTexImage2D,                                                                     \
      (GLenum a, GLint b, GLint c, GLsizei d, GLsizei e, GLint f, GLenum g, GLenum h,         \
       const GLvoid* i),                                                                      \
      (a, b, c, d, e, f, g, h, i), 36)                                                        \
    X(void, glTexParameterf, (GLenum a, GLenum b, GLfloat c), (a, b, c), 12)                  \
    X(void, glVertex3f, (GLfloat a, GLfloat b, GLfloat c), (a, b, c), 12)                     \
    X(void, glViewport, (GLint a, GLint b, GLsizei c, GLsizei d), (a, b, c, d), 16)           \
    X(GLint, gluBuild2DMipmaps,                                                               \
      (GLenum a, GLint b, GLsizei c, GLsizei d, GLenum e, GLenum f, const void* g),           \
      (a, b, c, d, e, f, g), 28)                                                              \
    X(void, gluLookAt,                                                                        \
      (GLdouble a, GLdouble b, GLdouble c, GLdouble d, GLdouble e, GLdouble f, GLdouble g,    \
       GLdouble h, GLdouble i),                                                               \
      (a, b, c, d, e, f, g, h, i), 72)                                                        \
    X(void, gluPerspective, (GLdouble a, GLdouble b, GLdouble c, GLdouble d), (a, b, c, d), 32)

namespace fakegl {

#define FAKEGL_ENUMERATOR(ret, name, ...) name,
enum class Fn : std::uint8_t { FAKEGL_ENTRY_POINTS(FAKEGL_ENUMERATOR) };
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
FAKEGL_ENTRY_POINTS(FAKEGL_DECLARE)
#undef FAKEGL_DECLARE
}  // namespace call

}  // namespace fakegl
