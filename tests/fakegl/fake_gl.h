#pragma once

// A recording stand-in for the OpenGL and GLU entry points the engine calls.
// Test programs link `fake_gl` instead of the real libraries; every entry
// point appends one Call, with its arguments as raw bits, to a log, and does
// nothing else. Recording formats nothing, so a test can drive whole frames.
//
// How tests use it:
//   fakegl::reset();                                  // in SetUp: empty log
//   uploadTexture(textureTable[5]);                   // code under test
//   namespace gl = fakegl::call;
//   EXPECT_TRUE(fakegl::callsAre({
//       gl::glBindTexture(GL_TEXTURE_2D, 5),
//       gl::glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT),
//       ...}));
// fakegl::call::glXxx takes exactly the arguments of glXxx and returns the
// Call that glXxx records, so expected streams read like the code they check.
// Calls compare bit for bit (floats and doubles included). The comparison
// formats nothing unless it fails; then it lists both streams, with GL enum
// names, around the first mismatch. Long streams can be checked in parts
// with count() or by walking calls(); single calls print through PrintTo and
// operator<<, and their arguments can be read back one by one.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/gl.h"

namespace fakegl {

// One enumerator per recorded entry point, named after it.
enum class Fn : std::uint8_t {
    glAlphaFunc,
    glBegin,
    glBindTexture,
    glBlendFunc,
    glClear,
    glClearColor,
    glColor4f,
    glDisable,
    glDrawBuffer,
    glEnable,
    glEnd,
    glFinish,
    glLineWidth,
    glLoadIdentity,
    glMatrixMode,
    glPointSize,
    glShadeModel,
    glTexCoord3f,
    glTexEnvf,
    glTexImage2D,
    glTexParameterf,
    glVertex3f,
    glViewport,
    gluBuild2DMipmaps,
    gluLookAt,
    gluPerspective,
};

// How an argument is kept and printed. The enum kinds differ only in the
// names they print: GL reuses small values (GL_ONE and GL_LINES are both 1).
enum class Kind : std::uint8_t {
    Enum,
    PrimitiveMode,
    BlendFactor,
    ClearMask,
    Int,
    UInt,
    Float,
    Double,
    Pointer,
};

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

const char* fnName(Fn fn);
// "glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, 9729 [GL_LINEAR])".
std::string format(const Call& call);
std::ostream& operator<<(std::ostream& out, const Call& call);
void PrintTo(const Call& call, std::ostream* out);  // for GoogleTest

// The log since the last reset, in call order.
const std::vector<Call>& calls();
void reset();
// How many logged calls went to `fn`.
std::size_t count(Fn fn);
// Empty when the streams are equal; otherwise a readable account: both
// lengths, the first differing position, and both streams around it.
std::string differences(const std::vector<Call>& actual, const std::vector<Call>& expected);

// For EXPECT_TRUE: whether the log since the last reset is exactly `expected`.
inline ::testing::AssertionResult callsAre(const std::vector<Call>& expected) {
    std::string report = differences(calls(), expected);
    if (report.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << report;
}

// The Call each entry point records, for building expected streams.
namespace call {
Call glAlphaFunc(GLenum func, GLclampf ref);
Call glBegin(GLenum mode);
Call glBindTexture(GLenum target, GLuint texture);
Call glBlendFunc(GLenum sfactor, GLenum dfactor);
Call glClear(GLbitfield mask);
Call glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
Call glColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha);
Call glDisable(GLenum cap);
Call glDrawBuffer(GLenum mode);
Call glEnable(GLenum cap);
Call glEnd();
Call glFinish();
Call glLineWidth(GLfloat width);
Call glLoadIdentity();
Call glMatrixMode(GLenum mode);
Call glPointSize(GLfloat size);
Call glShadeModel(GLenum mode);
Call glTexCoord3f(GLfloat s, GLfloat t, GLfloat r);
Call glTexEnvf(GLenum target, GLenum pname, GLfloat param);
Call glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels);
Call glTexParameterf(GLenum target, GLenum pname, GLfloat param);
Call glVertex3f(GLfloat x, GLfloat y, GLfloat z);
Call glViewport(GLint x, GLint y, GLsizei width, GLsizei height);
Call gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                       GLenum format, GLenum type, const void* data);
Call gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ);
Call gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);
}  // namespace call

}  // namespace fakegl
