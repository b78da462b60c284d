// Preloaded into the demo (LD_PRELOAD) to measure it as it is: it wraps
// glXSwapBuffers, the call that presents each frame, and appends lines to
// the file named by GLOAM_FRAMECLOCK:
//   first NS        CLOCK_REALTIME when the first frame has been presented
//   tick S N        every second: CLOCK_MONOTONIC seconds, frames so far
//   rss N KB KB     resident set after frame N, for N = 1, 10, 100, ..., and
//                   its anonymous part
// With GLOAM_FRAMECLOCK_CLOSE=N it asks the window to close after frame N,
// with GLOAM_FRAMECLOCK_SECONDS=S once S seconds have passed since the first
// frame, as a window manager would, so that the program ends by its own path.

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

int out = -1;
std::uint64_t frames = 0;
std::uint64_t closeAfter = 0;
double closeAfterSeconds = 0;
double firstFrame = 0;
bool closing = false;
std::uint64_t nextRss = 1;
double nextTick = 0;

double seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void say(const char* format, auto... args) {
    char line[128];
    const int n = std::snprintf(line, sizeof line, format, args...);
    if (out >= 0 && n > 0) (void)!write(out, line, std::size_t(n));
}

// The resident set and its anonymous part (the heap, stacks, the JIT's
// code), which unlike the shared libraries' pages the kernel cannot simply
// drop and read back; -1 when unknown.
struct Resident {
    long totalKb = -1, anonymousKb = -1;
};

Resident resident() {
    long pages = 0, total = 0, shared = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm) return {};
    const int got = std::fscanf(statm, "%ld %ld %ld", &pages, &total, &shared);
    std::fclose(statm);
    const long kb = sysconf(_SC_PAGESIZE) / 1024;
    if (got != 3) return {};
    return {total * kb, (total - shared) * kb};
}

void askToClose(Display* display, GLXDrawable window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

__attribute__((constructor)) void start() {
    if (const char* file = std::getenv("GLOAM_FRAMECLOCK")) {
        out = open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    if (const char* n = std::getenv("GLOAM_FRAMECLOCK_CLOSE")) {
        closeAfter = std::strtoull(n, nullptr, 10);
    }
    if (const char* s = std::getenv("GLOAM_FRAMECLOCK_SECONDS")) closeAfterSeconds = std::atof(s);
}

}  // namespace

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    using Swap = void (*)(Display*, GLXDrawable);
    static const Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    real(display, drawable);
    ++frames;
    const double now = seconds(CLOCK_MONOTONIC);
    if (frames == 1) {
        const double wall = seconds(CLOCK_REALTIME);
        say("first %.0f\n", wall * 1e9);
        nextTick = now;
        firstFrame = now;
    }
    if (now >= nextTick) {
        say("tick %.6f %llu\n", now, static_cast<unsigned long long>(frames));
        nextTick += 1.0;
    }
    if (frames == nextRss) {
        const Resident memory = resident();
        say("rss %llu %ld %ld\n", static_cast<unsigned long long>(frames), memory.totalKb,
            memory.anonymousKb);
        nextRss *= 10;
    }
    const bool due =
        frames == closeAfter || (closeAfterSeconds > 0 && now - firstFrame >= closeAfterSeconds);
    if (due && !closing) {
        // The last tick marks where the measured stretch ends.
        say("tick %.6f %llu\n", now, static_cast<unsigned long long>(frames));
        askToClose(display, drawable);
        closing = true;
    }
}
