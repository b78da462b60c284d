#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "tests/e2e/child_process.h"

namespace e2e {

// A private X server (Xvfb) on a display number it picks itself, reachable
// only through its local socket; stopped with the object.
class PrivateXvfb {
public:
    // `logDirectory` receives the server's output.
    explicit PrivateXvfb(const std::filesystem::path& logDirectory);
    ~PrivateXvfb();
    PrivateXvfb(const PrivateXvfb&) = delete;
    PrivateXvfb& operator=(const PrivateXvfb&) = delete;

    // ":N", for DISPLAY.
    const std::string& display() const { return display_; }

private:
    std::unique_ptr<ChildProcess> server_;
    std::string display_;
};

}  // namespace e2e
