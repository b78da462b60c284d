#include "tests/support/harness.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

extern char** environ;

namespace e2e {

namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

}  // namespace

std::string Exit::describe() const {
    return exited ? "exit code " + std::to_string(code)
                  : "killed by signal " + std::to_string(code) + " (" + strsignal(code) + ")";
}

ChildProcess::ChildProcess(std::vector<std::string> args, const std::string& display,
                           const std::filesystem::path& directory, const std::filesystem::path& out,
                           const std::filesystem::path& err, int keepFd) {
    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls. It starts in another folder, so a relative
    // program path is made absolute.
    if (args.at(0).find('/') != std::string::npos)
        args[0] = std::filesystem::absolute(args[0]).string();
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view name = std::string_view(*entry).substr(0, std::strcspn(*entry, "="));
        if (name != "DISPLAY" && name != "XAUTHORITY") env.emplace_back(*entry);
    }
    if (!display.empty()) env.push_back("DISPLAY=" + display);
    std::vector<char*> argp = pointers(args), envp = pointers(env);
    const std::string dir = directory.string(), outName = out.string(), errName = err.string();
    const pid_t parent = getpid();

    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);  // the test died before the line above
        const int o = open(outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = open("/dev/null", O_RDONLY);
        if (o < 0 || e < 0 || in < 0 || chdir(dir.c_str()) != 0) _exit(127);
        dup2(in, 0);
        dup2(o, 1);
        dup2(e, 2);
        // Nothing else of the test leaks into the child.
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != keepFd) close(fd);
        if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
        execvpe(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    // Both sides set the group, so that it exists before either relies on it.
    setpgid(pid_, pid_);
}

ChildProcess::~ChildProcess() {
    if (poll()) return;
    kill(-pid_, SIGTERM);
    if (!waitFor(std::chrono::milliseconds(2000))) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::optional<Exit> ChildProcess::poll() {
    siginfo_t info{};
    if (exit_ || waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
        info.si_pid != pid_)
        return exit_;
    // Whatever the child left running in its group goes with it; the child
    // is not reaped before that, so its group's id cannot have been reused.
    kill(-pid_, SIGKILL);
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_)
        exit_ = Exit{WIFEXITED(status), WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status)};
    return exit_;
}

std::optional<Exit> ChildProcess::waitFor(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!poll() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return exit_;
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

PrivateXvfb::PrivateXvfb(const std::filesystem::path& logDirectory,
                         const std::vector<std::string>& extraArguments) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    // Larger than the program's window, so that all of it lies on the
    // screen; 24-bit, the depth the program asks for.
    std::vector<std::string> args = {"Xvfb",      "-displayfd",  std::to_string(pipeFds[1]),
                                     "-nolisten", "tcp",         "-screen",
                                     "0",         "1280x1024x24"};
    args.insert(args.end(), extraArguments.begin(), extraArguments.end());
    const bool logged = !logDirectory.empty();
    server_.emplace(args, "", logged ? logDirectory : "/",
                    logged ? logDirectory / "xvfb.out" : "/dev/null",
                    logged ? logDirectory / "xvfb.err" : "/dev/null", pipeFds[1]);
    close(pipeFds[1]);

    // The server writes its display number once it accepts connections;
    // well under a second here, 20 s allows for a loaded machine.
    std::string number;
    pollfd reader{pipeFds[0], POLLIN, 0};
    char chunk[32];
    ssize_t got = 0;
    while ((number.empty() || number.back() != '\n') && ::poll(&reader, 1, 20000) > 0 &&
           (got = read(pipeFds[0], chunk, sizeof chunk)) > 0)
        number.append(chunk, std::size_t(got));
    close(pipeFds[0]);
    if (number.empty() || number.back() != '\n') throw std::runtime_error("Xvfb did not start");
    number.pop_back();
    display_ = ":" + number;
}

namespace {

Window search(Display* display, Window window, const std::string& title) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        const bool match = title == name;
        XFree(name);
        XWindowAttributes a;
        if (match && XGetWindowAttributes(display, window, &a) != 0 && a.map_state == IsViewable)
            return window;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i)
        found = search(display, children[i], title);
    if (children != nullptr) XFree(children);
    return found;
}

}  // namespace

XClient::XClient(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    if (display_ == nullptr) throw std::runtime_error("cannot open display " + display);
}

XClient::~XClient() { XCloseDisplay(display_); }

unsigned long XClient::findWindow(const std::string& title, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    Window found = 0;
    while ((found = search(display_, DefaultRootWindow(display_), title)) == 0 &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return found;
}

void XClient::requestClose(unsigned long window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XSync(display_, False);
}

void XClient::key(unsigned long keysym, bool down) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, keysym), down, CurrentTime);
    XFlush(display_);
}

void XClient::button(unsigned int button, bool down) {
    XTestFakeButtonEvent(display_, button, down, CurrentTime);
    XFlush(display_);
}

void XClient::movePointer(int screenX, int screenY) {
    XTestFakeMotionEvent(display_, -1, screenX, screenY, CurrentTime);
    XFlush(display_);
}

}  // namespace e2e
