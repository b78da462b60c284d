#pragma once

// What the tests that need an X server share: child processes that never
// outlive the test, a private Xvfb, and an X client that does to a window
// what a user and a window manager would (find it by its title, close it,
// type and click).

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace e2e {

// How a finished child ended.
struct Exit {
    bool exited = false;  // false: killed by a signal
    int code = 0;         // the exit status, or the signal number
    std::string describe() const;
};

// A child in a process group of its own, which is killed (the whole group)
// when the object goes. The child also dies with the test process itself
// (PR_SET_PDEATHSIG), so a crashing test leaves nothing behind either.
class ChildProcess {
public:
    // Starts `argv` (argv[0] looked up in PATH) in `directory`, its standard
    // output and error going to the two files; `keepFd` stays open in it.
    // It gets our environment, but with `display` (none if empty) for
    // DISPLAY and no XAUTHORITY: the X servers are ours alone.
    ChildProcess(std::vector<std::string> argv, const std::string& display,
                 const std::filesystem::path& directory, const std::filesystem::path& out,
                 const std::filesystem::path& err, int keepFd = -1);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The exit, once the child has ended; empty while it still runs.
    std::optional<Exit> poll();
    std::optional<Exit> waitFor(std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
    std::optional<Exit> exit_;
};

std::string readFile(const std::filesystem::path& file);

// Xvfb on a display number it picks itself, reachable only through its
// local socket; stopped with the object. Throws when it does not start.
class PrivateXvfb {
public:
    // `logDirectory` receives the server's output; none: it is dropped.
    explicit PrivateXvfb(const std::filesystem::path& logDirectory = {},
                         const std::vector<std::string>& extraArguments = {});
    const std::string& display() const { return display_; }  // ":N", for DISPLAY

private:
    std::optional<ChildProcess> server_;
    std::string display_;
};

class XClient {
public:
    // Connects to `display` (":N"); throws when it cannot.
    explicit XClient(const std::string& display);
    ~XClient();
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    Display* display() const { return display_; }
    // The first viewable window with this exact title in the whole tree,
    // waiting up to `limit` for one; 0 when there is none.
    unsigned long findWindow(const std::string& title,
                             std::chrono::milliseconds limit = std::chrono::milliseconds(0));
    // Sends the window manager's close request (WM_DELETE_WINDOW) and waits
    // until the server has processed it.
    void requestClose(unsigned long window);
    // A user's input, sent at once through XTest; `key` takes a keysym.
    void key(unsigned long keysym, bool down);
    void button(unsigned int button, bool down);
    void movePointer(int screenX, int screenY);

private:
    Display* display_ = nullptr;
};

}  // namespace e2e
