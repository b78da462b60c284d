// The one message queue of the one thread, and the message calls over it.

#include "gloam/platform/desktop.h"

namespace gloam::standin {

namespace {

// The filter value that selects only messages posted to no window.
HWND threadMessagesOnly() { return reinterpret_cast<HWND>(-1); }

bool validFilter(HWND filter) {
    return filter == nullptr || filter == threadMessagesOnly() || findWindow(filter) != nullptr;
}

// A window filter takes the window's descendants too; no filter takes
// everything, thread messages included.
bool windowMatches(HWND filter, HWND target) {
    if (filter == nullptr) return true;
    if (filter == threadMessagesOnly()) return target == nullptr;
    return target != nullptr && isWithin(target, filter);
}

bool inRange(UINT message, UINT first, UINT last) {
    return (first == 0 && last == 0) || (first <= message && message <= last);
}

bool take(std::deque<MSG>& queue, MSG& out, HWND filter, UINT first, UINT last, bool remove) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (windowMatches(filter, it->hwnd) && inRange(it->message, first, last)) {
            out = *it;
            if (remove) queue.erase(it);
            return true;
        }
    }
    return false;
}

// Windows' order: posted messages in posting order, then input, then the
// quit request, then paint requests. So the quit message comes after every
// message posted around it, even those posted after PostQuitMessage, and it
// ignores the window filter: it belongs to the thread.
bool retrieve(MSG& out, HWND filter, UINT first, UINT last, bool remove) {
    Desktop& d = desktop();
    if (take(d.posted, out, filter, first, last, remove)) return true;
    if (take(d.input, out, filter, first, last, remove)) return true;
    if (d.quitPending && inRange(WM_QUIT, first, last)) {
        out = MSG{nullptr, WM_QUIT, WPARAM(d.exitCode), 0, 0, {0, 0}};
        if (remove) d.quitPending = false;
        return true;
    }
    if (inRange(WM_PAINT, first, last)) {
        // Not removed: the request stands until the window is validated.
        for (const auto& w : d.windows) {
            if (w != nullptr && w->needsPaint && windowMatches(filter, w->handle)) {
                out = MSG{w->handle, WM_PAINT, 0, 0, 0, {0, 0}};
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool post(const MSG& message) {
    if (message.hwnd != nullptr && findWindow(message.hwnd) == nullptr) return false;
    desktop().posted.push_back(message);
    return true;
}

void postInput(const MSG& message) {
    auto& input = desktop().input;
    if (message.message == WM_MOUSEMOVE && !input.empty() && input.back().message == WM_MOUSEMOVE &&
        input.back().hwnd == message.hwnd) {
        input.back() = message;
    } else {
        input.push_back(message);
    }
}

std::size_t queuedMessageCount() { return desktop().posted.size() + desktop().input.size(); }
bool quitRequested() { return desktop().quitPending; }

}  // namespace gloam::standin

using namespace gloam;
using namespace gloam::standin;

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!allowed<Api::PostMessageA>(window, message, wParam, lParam)) return FALSE;
    return post(MSG{window, message, wParam, lParam, 0, {0, 0}});
}

VOID WINAPI PostQuitMessage(int exitCode) {
    if (!allowed<Api::PostQuitMessage>(exitCode)) return;
    Desktop& d = desktop();
    d.quitPending = true;
    d.exitCode = exitCode;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT flags) {
    if (!allowed<Api::PeekMessageA>(msg, window, first, last, flags)) return FALSE;
    if (msg == nullptr || !validFilter(window)) return FALSE;
    if (WindowSystem* system = desktop().system) system->collectEvents(false);
    return retrieve(*msg, window, first, last, (flags & PM_REMOVE) != 0);
}

// Where Windows would wait for ever, because nothing can arrive (no window
// system, or one that has nothing left to wait for), this returns -1 as for
// an error instead of hanging.
BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT first, UINT last) {
    if (!allowed<Api::GetMessageA>(msg, window, first, last)) return -1;
    if (msg == nullptr || !validFilter(window)) return -1;
    WindowSystem* system = desktop().system;
    if (system != nullptr) system->collectEvents(false);
    while (!retrieve(*msg, window, first, last, true)) {
        if (system == nullptr || !system->collectEvents(true)) return -1;
    }
    return msg->message == WM_QUIT ? 0 : 1;
}

// The characters are posted, so they come next, ahead of any input; a key
// message counts as translated whether or not it typed anything, as Windows
// reports it.
BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (msg == nullptr) return FALSE;
    if (!allowed<Api::TranslateMessage>(msg)) return FALSE;
    switch (msg->message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (WindowSystem* system = desktop().system) {
                UINT kind = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
                for (char c : system->charactersOf(*msg)) {
                    desktop().posted.push_back(
                        MSG{msg->hwnd, kind, WPARAM(BYTE(c)), msg->lParam, msg->time, msg->pt});
                }
            }
            return TRUE;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            return TRUE;
        default:
            return FALSE;
    }
}

// Thread messages have no procedure to go to.
LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) return 0;
    if (!allowed<Api::DispatchMessageA>(msg)) return 0;
    return callProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
