#pragma once

// The stand-in's state, shared by its own sources only.

#include <deque>
#include <memory>
#include <vector>

#include "gloam/platform/standin.h"

namespace gloam::standin {

struct Desktop {
    // Deques, because records hand out pointers to their elements and
    // classes are never unregistered.
    std::deque<WindowClass> classes;
    // Indexed by handle - 1. Handles are never reused, so a stale handle
    // finds an empty slot rather than another window.
    std::vector<std::unique_ptr<WindowRecord>> windows;
    std::deque<MSG> posted;
    std::deque<MSG> input;  // keyboard and mouse, retrieved after `posted`
    bool quitPending = false;
    int exitCode = 0;
    WindowSystem* system = nullptr;
    Observer observer = nullptr;
};

Desktop& desktop();

}  // namespace gloam::standin
