// Pixel formats as GLX configurations, rendering contexts as GLX contexts.

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <array>
#include <map>
#include <vector>

#include "gloam/platform/x11/backend.h"

namespace gloam::x11standin {

namespace {

struct Context {
    GLXContext glx = nullptr;
    int pixelFormat = 0;
};

// Context handles, numbered apart from window and device-context handles.
constexpr std::uintptr_t firstContext = 0x6C000000;

struct Contexts {
    std::map<HGLRC, Context> all;
    std::uintptr_t next = firstContext;
    HGLRC current = nullptr;
    Window drawable = 0;  // the X window the current context draws to
};

Contexts& contexts() {
    static Contexts theContexts;
    return theContexts;
}

int attribute(Display* d, GLXFBConfig config, int name) {
    int value = 0;
    return glXGetFBConfigAttrib(d, config, name, &value) == Success ? value : 0;
}

FormatTraits traitsOf(Display* d, GLXFBConfig config) {
    auto get = [d, config](int name) { return attribute(d, config, name); };
    FormatTraits t;
    int drawables = get(GLX_DRAWABLE_TYPE);
    int visualType = get(GLX_X_VISUAL_TYPE);
    int renderTypes = get(GLX_RENDER_TYPE);
    t.rgba = (renderTypes & GLX_RGBA_BIT) != 0;
    t.colorIndex = (renderTypes & GLX_COLOR_INDEX_BIT) != 0;
    // Mesa lists deep configurations that no X visual shows; a window
    // needs one, and for RGBA one that maps colours directly.
    bool directColour = visualType == GLX_TRUE_COLOR || visualType == GLX_DIRECT_COLOR;
    t.window = (drawables & GLX_WINDOW_BIT) != 0 && get(GLX_X_RENDERABLE) &&
               get(GLX_VISUAL_ID) != 0 && (directColour || !t.rgba);
    t.bitmap = (drawables & GLX_PIXMAP_BIT) != 0;
    t.doubleBuffer = get(GLX_DOUBLEBUFFER) != 0;
    t.stereo = get(GLX_STEREO) != 0;
    t.slow = get(GLX_CONFIG_CAVEAT) != GLX_NONE;
    t.colorBits = get(GLX_RED_SIZE) + get(GLX_GREEN_SIZE) + get(GLX_BLUE_SIZE);
    t.alphaBits = get(GLX_ALPHA_SIZE);
    t.depthBits = get(GLX_DEPTH_SIZE);
    t.stencilBits = get(GLX_STENCIL_SIZE);
    t.accumBits = get(GLX_ACCUM_RED_SIZE) + get(GLX_ACCUM_GREEN_SIZE) + get(GLX_ACCUM_BLUE_SIZE) +
                  get(GLX_ACCUM_ALPHA_SIZE);
    t.auxBuffers = get(GLX_AUX_BUFFERS);
    t.samples = get(GLX_SAMPLES);
    return t;
}

// A window whose pixel format is set, with its format's configuration.
struct FormatTarget {
    NativeWindow* native = nullptr;
    GLXFBConfig config = nullptr;
};

FormatTarget drawableOf(HDC dc) {
    NativeWindow* n = nativeOf(windowOfDc(dc));
    if (n == nullptr || n->gone || n->pixelFormat == 0) return {};
    return {n, configs()[std::size_t(n->pixelFormat - 1)]};
}

bool makeCurrent(Window drawable, HGLRC context, GLXContext glx) {
    Contexts& all = contexts();
    Display* d = connection().display;
    if (d == nullptr) return context == nullptr;
    ErrorTrap trap;
    bool done = glXMakeCurrent(d, drawable, glx) && trap.passed();
    if (done || context == nullptr) {
        all.current = context;
        all.drawable = drawable;
    }
    return done;
}

// Gives the window the format's visual. X fixes a window's visual when it
// creates the window, Windows lets a program choose the format afterwards;
// so the X window is replaced by one with the right visual, before anything
// was drawn into it.
bool replaceVisual(NativeWindow& native, standin::WindowRecord& record, const XVisualInfo& visual) {
    Connection& c = connection();
    Display* d = c.display;
    ErrorTrap trap;
    Colormap colormap = XCreateColormap(d, RootWindow(d, visual.screen), visual.visual, AllocNone);
    if (!trap.passed()) return false;
    Window replacement = createXWindow(native.xparent, native.x, native.y, record.clientWidth,
                                       record.clientHeight, visual.depth, visual.visual, colormap);
    if (replacement == 0) {
        XFreeColormap(d, colormap);
        return false;
    }
    Window old = native.xwindow;
    Colormap oldColormap = native.colormap;
    native.xwindow = replacement;
    native.colormap = colormap;
    native.visual = visual.visualid;
    record.native = replacement;
    describeWindow(native, record);
    // Child windows move over rather than die with the old window.
    for (NativeWindow& n : c.windows) {
        if (n.xparent == old && !n.gone) {
            XReparentWindow(d, n.xwindow, replacement, n.x, n.y);
            n.xparent = replacement;
        }
    }
    if (record.visible) XMapWindow(d, replacement);
    releaseDrawable(old);
    XDestroyWindow(d, old);
    if (oldColormap != 0) XFreeColormap(d, oldColormap);
    XFlush(d);
    return true;
}

}  // namespace

int closestFormat(std::span<const FormatTraits> formats, const PIXELFORMATDESCRIPTOR& request) {
    bool wantDouble = (request.dwFlags & PFD_DOUBLEBUFFER) != 0;
    bool wantStereo = (request.dwFlags & PFD_STEREO) != 0;
    auto usable = [&](const FormatTraits& f) {
        return ((request.dwFlags & PFD_DRAW_TO_WINDOW) == 0 || f.window) &&
               ((request.dwFlags & PFD_DRAW_TO_BITMAP) == 0 || f.bitmap) &&
               (request.iPixelType == PFD_TYPE_COLORINDEX ? f.colorIndex : f.rgba) &&
               (!wantDouble || f.doubleBuffer);
    };
    auto shortOf = [](int wanted, int have) { return wanted > have ? wanted - have : 0; };
    auto beyond = [](int wanted, int have) { return have > wanted ? have - wanted : 0; };
    // Lexicographic: an earlier entry outweighs every later one.
    auto cost = [&](const FormatTraits& f) {
        return std::array<int, 16>{
            f.doubleBuffer != wantDouble,
            f.stereo != wantStereo,
            shortOf(request.cColorBits, f.colorBits),
            shortOf(request.cDepthBits, f.depthBits),
            shortOf(request.cAlphaBits, f.alphaBits),
            shortOf(request.cStencilBits, f.stencilBits),
            shortOf(request.cAccumBits, f.accumBits),
            shortOf(request.cAuxBuffers, f.auxBuffers),
            beyond(request.cColorBits, f.colorBits),
            beyond(request.cDepthBits, f.depthBits),
            beyond(request.cAlphaBits, f.alphaBits),
            beyond(request.cStencilBits, f.stencilBits),
            beyond(request.cAccumBits, f.accumBits),
            beyond(request.cAuxBuffers, f.auxBuffers),
            f.slow,
            f.samples,
        };
    };
    int best = -1;
    std::array<int, 16> bestCost{};
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (!usable(formats[i])) continue;
        auto c = cost(formats[i]);
        if (best < 0 || c < bestCost) {
            best = int(i);
            bestCost = c;
        }
    }
    return best;
}

void releaseDrawable(Window xwindow) {
    Contexts& all = contexts();
    if (all.current != nullptr && all.drawable == xwindow) makeCurrent(0, nullptr, nullptr);
}

void deleteContexts() {
    Contexts& all = contexts();
    Display* d = connection().display;
    if (d != nullptr) {
        if (all.current != nullptr) makeCurrent(0, nullptr, nullptr);
        for (auto& [handle, context] : all.all) glXDestroyContext(d, context.glx);
    }
    all = Contexts{};
}

}  // namespace gloam::x11standin

using namespace gloam;
using namespace gloam::x11standin;

// A window's device context or the screen's, on a server with GLX.
int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    if (request == nullptr || (!isScreenDc(dc) && windowOfDc(dc) == nullptr)) return 0;
    Display* d = openDisplay();
    if (d == nullptr) return 0;
    const auto& list = configs();
    std::vector<FormatTraits> traits;
    traits.reserve(list.size());
    for (GLXFBConfig config : list) traits.push_back(traitsOf(d, config));
    return closestFormat(traits, *request) + 1;
}

// As on Windows, a window's format is set once; setting the same one again
// is harmless.
BOOL WINAPI SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    HWND window = windowOfDc(dc);
    NativeWindow* native = nativeOf(window);
    if (native == nullptr || native->gone) return FALSE;
    Display* d = connection().display;
    const auto& list = configs();
    if (format < 1 || std::size_t(format) > list.size()) return FALSE;
    if (native->pixelFormat != 0) return native->pixelFormat == format;
    GLXFBConfig config = list[std::size_t(format - 1)];
    if (!traitsOf(d, config).window) return FALSE;
    XVisualInfo* visual = glXGetVisualFromFBConfig(d, config);
    if (visual == nullptr) return FALSE;
    bool ready = visual->visualid == native->visual ||
                 replaceVisual(*native, *standin::findWindow(window), *visual);
    XFree(visual);
    if (!ready) return FALSE;
    native->pixelFormat = format;
    return TRUE;
}

// Single-buffered formats have nothing to swap, and succeed.
BOOL WINAPI SwapBuffers(HDC dc) {
    FormatTarget target = drawableOf(dc);
    if (target.native == nullptr) return FALSE;
    Display* d = connection().display;
    if (attribute(d, target.config, GLX_DOUBLEBUFFER)) glXSwapBuffers(d, target.native->xwindow);
    XFlush(d);
    return TRUE;
}

// A compatibility context (glXCreateNewContext never makes a core one), with
// direct rendering where the server allows it, as WGL's always is.
HGLRC WINAPI wglCreateContext(HDC dc) {
    FormatTarget target = drawableOf(dc);
    if (target.native == nullptr) return nullptr;
    Display* d = connection().display;
    int renderType = (attribute(d, target.config, GLX_RENDER_TYPE) & GLX_RGBA_BIT) != 0
                         ? GLX_RGBA_TYPE
                         : GLX_COLOR_INDEX_TYPE;
    ErrorTrap trap;
    GLXContext glx = glXCreateNewContext(d, target.config, renderType, nullptr, True);
    if (glx == nullptr || !trap.passed()) {
        if (glx != nullptr) glXDestroyContext(d, glx);
        return nullptr;
    }
    Contexts& all = contexts();
    HGLRC handle = reinterpret_cast<HGLRC>(all.next++);
    all.all[handle] = {glx, target.native->pixelFormat};
    return handle;
}

// A context draws only to windows of the pixel format it was made for, as
// WGL requires. A null context releases the current one, whatever the dc.
BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context) {
    if (context == nullptr) return makeCurrent(0, nullptr, nullptr);
    Contexts& all = contexts();
    auto found = all.all.find(context);
    FormatTarget target = drawableOf(dc);
    if (found == all.all.end() || target.native == nullptr ||
        target.native->pixelFormat != found->second.pixelFormat) {
        return FALSE;
    }
    return makeCurrent(target.native->xwindow, context, found->second.glx);
}

// Deleting the current context releases it first, as WGL does.
BOOL WINAPI wglDeleteContext(HGLRC context) {
    Contexts& all = contexts();
    auto found = all.all.find(context);
    if (found == all.all.end()) return FALSE;
    if (all.current == context) makeCurrent(0, nullptr, nullptr);
    glXDestroyContext(connection().display, found->second.glx);
    all.all.erase(found);
    return TRUE;
}
