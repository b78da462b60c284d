#pragma once

// Every OpenGL and GLU entry point the engine calls, once. What stands in
// for a real GL is made from this list: the null backend's GL, which does
// nothing (gloam/platform/null/gl.cpp), and the tests' recording one
// (tests/support/fake_gl.cpp). A call the engine starts to make is added
// here and nowhere else; a program that links a stand-in then fails to link
// until it is.

#include "gloam/platform/gl.h"

// The calling convention of the entry points: Mesa's headers name it
// GLAPIENTRY, Windows' only APIENTRY.
#ifndef GLAPIENTRY
#define GLAPIENTRY APIENTRY
#endif

// The client-side vertex array calls of the renderer's array path.
#define GLOAM_GL_ARRAY_CALLS(X)                                                                   \
    X(void, glColorPointer, (GLint a, GLenum b, GLsizei c, const GLvoid* d), (a, b, c, d), 16)    \
    X(void, glDisableClientState, (GLenum a), (a), 4)                                             \
    X(void, glDrawArrays, (GLenum a, GLint b, GLsizei c), (a, b, c), 12)                          \
    X(void, glEnableClientState, (GLenum a), (a), 4)                                              \
    X(void, glTexCoordPointer, (GLint a, GLenum b, GLsizei c, const GLvoid* d), (a, b, c, d), 16) \
    X(void, glVertexPointer, (GLint a, GLenum b, GLsizei c, const GLvoid* d), (a, b, c, d), 16)

// Every entry point once: return type, name, parameters, their names, and
// the bytes they take on 32-bit Windows' stack.
#define GLOAM_GL_CALLS(X)                                                                     \
    GLOAM_GL_ARRAY_CALLS(X)                                                                   \
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
