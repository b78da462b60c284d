#include "bench/nogl.h"

#include <cstdio>

#include "gloam/platform/gl.h"
#include "gloam/platform/win32.h"

namespace {

// Counting keeps every call a real call with an effect the optimiser must
// keep, at about the cost of the cheapest real driver entry.
std::uint64_t calls = 0;

}  // namespace

std::uint64_t nogl::callCount() { return calls; }

extern "C" {

// The renderer's array path.
void GLAPIENTRY glColorPointer(GLint, GLenum, GLsizei, const GLvoid*) { ++calls; }
void GLAPIENTRY glDisableClientState(GLenum) { ++calls; }
void GLAPIENTRY glDrawArrays(GLenum, GLint, GLsizei) { ++calls; }
void GLAPIENTRY glEnableClientState(GLenum) { ++calls; }
void GLAPIENTRY glTexCoordPointer(GLint, GLenum, GLsizei, const GLvoid*) { ++calls; }
void GLAPIENTRY glVertexPointer(GLint, GLenum, GLsizei, const GLvoid*) { ++calls; }

void GLAPIENTRY glAlphaFunc(GLenum, GLclampf) { ++calls; }
void GLAPIENTRY glBegin(GLenum) { ++calls; }
void GLAPIENTRY glBindTexture(GLenum, GLuint) { ++calls; }
void GLAPIENTRY glBlendFunc(GLenum, GLenum) { ++calls; }
void GLAPIENTRY glClear(GLbitfield) { ++calls; }
void GLAPIENTRY glClearColor(GLclampf, GLclampf, GLclampf, GLclampf) { ++calls; }
void GLAPIENTRY glColor4f(GLfloat, GLfloat, GLfloat, GLfloat) { ++calls; }
void GLAPIENTRY glDisable(GLenum) { ++calls; }
void GLAPIENTRY glDrawBuffer(GLenum) { ++calls; }
void GLAPIENTRY glEnable(GLenum) { ++calls; }
void GLAPIENTRY glEnd(void) { ++calls; }
void GLAPIENTRY glFinish(void) { ++calls; }
void GLAPIENTRY glLineWidth(GLfloat) { ++calls; }
void GLAPIENTRY glLoadIdentity(void) { ++calls; }
void GLAPIENTRY glMatrixMode(GLenum) { ++calls; }
void GLAPIENTRY glPointSize(GLfloat) { ++calls; }
void GLAPIENTRY glShadeModel(GLenum) { ++calls; }
void GLAPIENTRY glTexCoord3f(GLfloat, GLfloat, GLfloat) { ++calls; }
void GLAPIENTRY glTexEnvf(GLenum, GLenum, GLfloat) { ++calls; }
void GLAPIENTRY glTexImage2D(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                             const GLvoid*) {
    ++calls;
}
void GLAPIENTRY glTexParameterf(GLenum, GLenum, GLfloat) { ++calls; }
void GLAPIENTRY glVertex3f(GLfloat, GLfloat, GLfloat) { ++calls; }
void GLAPIENTRY glViewport(GLint, GLint, GLsizei, GLsizei) { ++calls; }
GLint GLAPIENTRY gluBuild2DMipmaps(GLenum, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*) {
    ++calls;
    return 0;
}
void GLAPIENTRY gluLookAt(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble,
                          GLdouble, GLdouble) {
    ++calls;
}
void GLAPIENTRY gluPerspective(GLdouble, GLdouble, GLdouble, GLdouble) { ++calls; }

// Screenshots, which a timed frame never takes.
void GLAPIENTRY glPixelStorei(GLenum, GLint) { ++calls; }
void GLAPIENTRY glReadPixels(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, GLvoid*) { ++calls; }

BOOL WINAPI SwapBuffers(HDC) { return TRUE; }

// The window calls of the program's start-up, which the demo scene's library
// brings along but a timed frame never makes: each fails, as it would with no
// window system.
HWND WINAPI CreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU,
                            HINSTANCE, LPVOID) {
    return nullptr;
}
BOOL WINAPI DestroyWindow(HWND) { return FALSE; }
BOOL WINAPI ShowWindow(HWND, int) { return FALSE; }
BOOL WINAPI UpdateWindow(HWND) { return FALSE; }
HMODULE WINAPI GetModuleHandleA(LPCSTR) { return nullptr; }
HICON WINAPI LoadIconA(HINSTANCE, LPCSTR) { return nullptr; }
HCURSOR WINAPI LoadCursorA(HINSTANCE, LPCSTR) { return nullptr; }
HDC WINAPI GetDC(HWND) { return nullptr; }
int WINAPI ReleaseDC(HWND, HDC) { return 0; }
HDC WINAPI BeginPaint(HWND, LPPAINTSTRUCT) { return nullptr; }
BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT*) { return FALSE; }
int WINAPI ChoosePixelFormat(HDC, const PIXELFORMATDESCRIPTOR*) { return 0; }
BOOL WINAPI SetPixelFormat(HDC, int, const PIXELFORMATDESCRIPTOR*) { return FALSE; }
HGLRC WINAPI wglCreateContext(HDC) { return nullptr; }
BOOL WINAPI wglMakeCurrent(HDC, HGLRC) { return FALSE; }
BOOL WINAPI wglDeleteContext(HGLRC) { return FALSE; }

// Set-up fails only when an asset is missing; say so instead of showing a box.
int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return 1;
}

}  // extern "C"
