#pragma once

// A folder for the tests that write files.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string textOf(const std::filesystem::path& file) {
    std::ostringstream s;
    s << std::ifstream(file, std::ios::binary).rdbuf();
    return s.str();
}

// A fresh folder of the test's own, stamped since two test runs may share
// the machine's temporary folder; it goes with the object.
struct Scratch {
    explicit Scratch(const std::string& stem)
        : dir(std::filesystem::temp_directory_path() /
              (stem + "_" +
               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
        std::filesystem::create_directories(dir);
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string path(const std::string& name) const { return (dir / name).string(); }
    // Writes `bytes` as `name`, and gives its path.
    std::string put(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    std::string get(const std::string& name) const { return textOf(path(name)); }

    const std::filesystem::path dir;
};
