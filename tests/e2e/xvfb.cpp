#include "tests/e2e/xvfb.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace e2e {

namespace {

// Xvfb is ready in well under a second here; this allows for a loaded machine.
constexpr auto startLimit = std::chrono::seconds(20);

}  // namespace

PrivateXvfb::PrivateXvfb(const std::filesystem::path& logDirectory) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    // The screen is larger than the program's window, so that the whole
    // window lies on it; 24-bit, the depth the program asks for.
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-nolisten",
                                 "tcp", "-screen", "0", "1280x1024x24"},
        Environment{}, logDirectory, logDirectory / "xvfb.out", logDirectory / "xvfb.err",
        pipeFds[1]);
    close(pipeFds[1]);

    // The server writes its display number once it accepts connections.
    std::string number;
    const auto end = std::chrono::steady_clock::now() + startLimit;
    while (number.empty() || number.back() != '\n') {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd reader{pipeFds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&reader, 1, int(left.count())) <= 0) break;
        char chunk[32];
        const ssize_t got = read(pipeFds[0], chunk, sizeof chunk);
        if (got <= 0) break;
        number.append(chunk, std::size_t(got));
    }
    close(pipeFds[0]);
    if (number.empty() || number.back() != '\n') {
        server_->stop();
        throw std::runtime_error("Xvfb did not start: " + readFile(logDirectory / "xvfb.err"));
    }
    number.pop_back();
    display_ = ":" + number;
}

PrivateXvfb::~PrivateXvfb() { server_->stop(); }

}  // namespace e2e
