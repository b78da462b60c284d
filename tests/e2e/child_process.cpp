#include "tests/e2e/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {

namespace {

Exit exitOf(int status) {
    Exit result;
    result.exited = WIFEXITED(status);
    result.code = result.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    return result;
}

std::vector<std::string> buildEnvironment(const Environment& changes) {
    std::vector<std::string> result;
    auto overridden = [&](const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('='));
        for (const auto& removed : changes.unset)
            if (removed == name) return true;
        for (const auto& [key, value] : changes.set)
            if (key == name) return true;
        return false;
    };
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (!overridden(*entry)) result.emplace_back(*entry);
    for (const auto& [key, value] : changes.set) result.push_back(key + "=" + value);
    return result;
}

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

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Environment& environment,
                           const std::filesystem::path& directory, const std::filesystem::path& out,
                           const std::filesystem::path& err, int keepFd) {
    if (argv.empty()) throw std::invalid_argument("no command to start");
    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls.
    std::vector<std::string> args = argv;
    // The child starts in another folder: a relative program path means
    // relative to ours.
    if (args[0].find('/') != std::string::npos)
        args[0] = std::filesystem::absolute(args[0]).string();
    std::vector<std::string> env = buildEnvironment(environment);
    std::vector<char*> argp = pointers(args);
    std::vector<char*> envp = pointers(env);
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
        const char message[] = "cannot execute the command\n";
        [[maybe_unused]] auto ignored = write(2, message, sizeof message - 1);
        _exit(127);
    }
    // Both sides set the group, so that it exists before either relies on it.
    setpgid(pid_, pid_);
}

ChildProcess::~ChildProcess() { stop(std::chrono::milliseconds(500)); }

std::optional<Exit> ChildProcess::poll() {
    if (exit_ || pid_ <= 0) return exit_;
    siginfo_t info{};
    if (waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != pid_)
        return exit_;
    // Whatever the child left running in its group goes with it; the child
    // is not reaped before that, so its group's id cannot have been reused.
    kill(-pid_, SIGKILL);
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_) exit_ = exitOf(status);
    return exit_;
}

std::optional<Exit> ChildProcess::waitFor(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!poll()) {
        if (std::chrono::steady_clock::now() >= end) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exit_;
}

Exit ChildProcess::stop(std::chrono::milliseconds grace) {
    if (pid_ <= 0) return Exit{};
    if (!poll()) {
        kill(-pid_, SIGTERM);
        if (!waitFor(grace)) {
            kill(-pid_, SIGKILL);
            int status = 0;
            if (waitpid(pid_, &status, 0) == pid_) exit_ = exitOf(status);
        }
    }
    return exit_.value_or(Exit{});
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace e2e
