#include "gloam/import/file_bytes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace gloam {

bool readFileBytes(const std::string& file, FileBytes& bytes, FileError& error) {
    error = FileError{file, 0, 0, ""};
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) {
        error.reason = systemReason(errno);
        return false;
    }
    // Room for what the file says it holds and one byte more, so that the
    // first read can see the end; a file that grows meanwhile, or reports no
    // size, is read on with the room doubled.
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    bool ok = std::fseek(f, 0, SEEK_SET) == 0;
    std::size_t capacity = size >= 0 ? std::size_t(size) + 1 : std::size_t{1} << 16;
    bytes.data = makeLargeArrayForOverwrite<char>(capacity);
    bytes.size = 0;
    while (ok) {
        const std::size_t got = std::fread(bytes.data.get() + bytes.size, 1, capacity - bytes.size, f);
        bytes.size += got;
        if (bytes.size < capacity) break;
        auto bigger = makeLargeArrayForOverwrite<char>(2 * capacity);
        std::memcpy(bigger.get(), bytes.data.get(), bytes.size);
        bytes.data = std::move(bigger);
        capacity *= 2;
    }
    ok = ok && !std::ferror(f);
    if (!ok) error.reason = systemReason(errno);
    std::fclose(f);
    return ok;
}

}  // namespace gloam
