#include "tests/x11/private_x.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Xvfb writes its display number and a newline to -displayfd once it
// accepts connections.
std::string readDisplayNumber(int fd, std::chrono::milliseconds limit) {
    std::string text;
    auto deadline = Clock::now() + limit;
    while (text.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return "";
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0) continue;
        char buffer[32];
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) return "";  // Xvfb ended without a display
        text.append(buffer, std::size_t(got));
    }
    return text.substr(0, text.find('\n'));
}

}  // namespace

PrivateX::PrivateX(std::vector<std::string> extraArguments) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // The server must not outlive a test that crashes.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        close(fds[0]);
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        std::string fd = std::to_string(fds[1]);
        std::vector<std::string> args = {"Xvfb", "-displayfd", fd,  "-nolisten",
                                         "tcp",  "-screen",    "0", "1280x1024x24"};
        args.insert(args.end(), extraArguments.begin(), extraArguments.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        return;
    }
    std::string number = readDisplayNumber(fds[0], std::chrono::seconds(20));
    close(fds[0]);
    if (number.empty()) {
        stop();
        return;
    }
    name_ = ":" + number;
}

PrivateX::~PrivateX() { stop(); }

void PrivateX::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    name_.clear();
}
