#include "gloam/import/file_bytes.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace gloam {

namespace {

// Room for `size` bytes, keeping the first `used`.
void reserve(FileBytes& bytes, std::size_t& capacity, std::size_t size) {
    if (size <= capacity) return;
    capacity = std::max(size, 2 * capacity);
    auto bigger = makeLargeArrayForOverwrite<char>(capacity);
    if (bytes.size > 0) std::memcpy(bigger.get(), bytes.data.get(), bytes.size);
    bytes.data = std::move(bigger);
}

bool startsWith(std::string_view bytes, std::string_view prefix) {
    const std::size_t n = std::min(bytes.size(), prefix.size());
    return bytes.substr(0, n) == prefix.substr(0, n);
}

}  // namespace

bool startsAsText(std::string_view bytes, std::size_t from, std::string& why) {
    // The code unit's size from the byte-order mark; UTF-32's little-endian
    // mark begins as UTF-16's does.
    std::size_t unit = 1;
    if (bytes.size() >= 4 && (bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4) ||
                              bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4))) {
        unit = 4;
    } else if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF")) {
        unit = bytes.size() < 4 ? 0 : 2;  // 0: which one is not known yet
    } else if (bytes.size() < 4 && startsWith(bytes, std::string_view("\0\0\xFE\xFF", 4))) {
        unit = 0;
    }
    if (unit == 0) return true;
    // The first bytes again, which were judged before the unit was known.
    for (std::size_t at = from < 4 ? 0 : from - from % unit; at + unit <= bytes.size();
         at += unit) {
        if (bytes.substr(at, unit).find_first_not_of('\0') == std::string_view::npos) {
            why = "byte " + std::to_string(at) + " is a NUL character, which no text file holds";
            return false;
        }
    }
    return true;
}

bool startsAsPicture(std::string_view bytes, std::size_t, std::string& why) {
    using namespace std::string_view_literals;
    for (std::string_view signature : {"\x89PNG\r\n\x1A\n"sv, "\xFF\xD8\xFF"sv, "BM"sv, "GIF8"sv,
                                       "#?RADIANCE\n"sv, "#?RGBE\n"sv}) {
        if (startsWith(bytes, signature)) return true;
    }
    // A TGA file has no signature, but its second and third bytes give a
    // colour-map type (0 or 1) and an image type that goes with it.
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() < 2 || byteAt(1) == 0 || byteAt(1) == 1) {
        if (bytes.size() < 3) return true;
        const unsigned type = byteAt(2);
        if (byteAt(1) == 1 ? (type == 1 || type == 9)
                           : (type == 2 || type == 3 || type == 10 || type == 11)) {
            return true;
        }
    }
    why = "not a picture: it starts as none of PNG, JPEG, BMP, GIF, HDR or TGA";
    return false;
}

bool readFileBytes(const std::string& file, FileBytes& bytes, FileError& error, StartCheck check) {
    error = FileError{file, 0, 0, ""};
    bytes.size = 0;
    InputFile input;
    if (!input.open(file.c_str(), error.reason)) return false;
    if (!input.isStream()) {
        // Room for what the file says it holds and one byte more, so that the
        // read can see the end; a file that grows meanwhile is read on with
        // the room doubled.
        std::size_t capacity = 0;
        reserve(bytes, capacity, std::size_t(input.size()) + 1);
        while (true) {
            bytes.size += input.read(bytes.data.get() + bytes.size, capacity - bytes.size);
            if (bytes.size < capacity) break;
            reserve(bytes, capacity, capacity + 1);
        }
    } else {
        std::size_t capacity = 0;
        while (true) {
            reserve(bytes, capacity, bytes.size + (std::size_t{64} << 10));
            const std::ptrdiff_t got =
                input.readSome(bytes.data.get() + bytes.size, capacity - bytes.size);
            if (got <= 0) break;
            const std::size_t from = bytes.size;
            bytes.size += std::size_t(got);
            if (!check(bytes.view(), from, error.reason)) return false;
        }
    }
    if (input.failed()) {
        error.reason = "cannot read: " + systemReason(input.error());
        return false;
    }
    return true;
}

}  // namespace gloam
