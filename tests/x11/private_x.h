#pragma once

// An X server of the test's own: Xvfb on a display number it picks itself,
// reachable only through its local socket, stopped when the object goes,
// and killed with the test process if that dies first.

#include <sys/types.h>

#include <string>
#include <vector>

class PrivateX {
public:
    explicit PrivateX(std::vector<std::string> extraArguments = {});
    ~PrivateX();
    PrivateX(const PrivateX&) = delete;
    PrivateX& operator=(const PrivateX&) = delete;

    bool started() const { return !name_.empty(); }
    // ":N", for XOpenDisplay and DISPLAY.
    const std::string& name() const { return name_; }

private:
    void stop();

    pid_t pid_ = -1;
    std::string name_;
};
