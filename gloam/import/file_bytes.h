#pragma once

// A whole file in memory, for the readers that parse bytes rather than a
// stream. Not installed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "gloam/geometry/large_array.h"
#include "gloam/platform/files.h"

namespace gloam {

// A file's bytes, in memory that asks for huge pages: a large mesh's text is
// read faster into it than into ordinary pages.
struct FileBytes {
    LargeArray<char> data;
    std::size_t size = 0;
    std::string_view view() const { return {data.get(), size}; }
    const std::uint8_t* bytes() const { return reinterpret_cast<const std::uint8_t*>(data.get()); }
};

// Reads all of `file`; false, with the reason in `error`, when it cannot.
bool readFileBytes(const std::string& file, FileBytes& bytes, FileError& error);

}  // namespace gloam
