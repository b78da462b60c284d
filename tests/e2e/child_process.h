#pragma once

// Starting and stopping the processes an end-to-end test needs (the X
// server, the program under test), so that none of them outlives the test.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// The environment a child gets: the caller's, with some names set or removed.
struct Environment {
    std::vector<std::pair<std::string, std::string>> set;
    std::vector<std::string> unset;
};

// How a finished child ended.
struct Exit {
    bool exited = false;  // false: killed by a signal
    int code = 0;         // the exit status, or the signal number
    std::string describe() const;
};

// A child in a process group of its own, which is killed (the whole group)
// when the object goes, whatever state the test left it in. The child also
// dies with the test process itself (PR_SET_PDEATHSIG), so a crashing test
// leaves nothing behind either.
class ChildProcess {
public:
    // Starts `argv` (argv[0] looked up in PATH) in `directory`. Standard
    // output and error go to the two files; `keepFd` stays open in the child.
    ChildProcess(const std::vector<std::string>& argv, const Environment& environment,
                 const std::filesystem::path& directory, const std::filesystem::path& out,
                 const std::filesystem::path& err, int keepFd = -1);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The exit, once the child has ended; empty while it still runs.
    std::optional<Exit> poll();
    // Waits at most `limit` for the child to end.
    std::optional<Exit> waitFor(std::chrono::milliseconds limit);
    // SIGTERM to the group, then SIGKILL after `grace`; reaps the child.
    Exit stop(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));

private:
    pid_t pid_ = -1;
    std::optional<Exit> exit_;
};

std::string readFile(const std::filesystem::path& file);

}  // namespace e2e
