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

// What a reader knows of its format from the first bytes alone, for a file
// that is a stream (a pipe, a device; see InputFile): called each time more
// of it has arrived, with all of it so far and where the bytes it has not
// seen begin. False, with the reason, as soon as they cannot begin a file it
// reads: the stream is then refused without reading on. A regular file is
// read whole without it, and its reader judges it as it is.
using StartCheck = bool (*)(std::string_view bytes, std::size_t from, std::string& why);

// Text in any encoding the readers may meet: refused at the first NUL
// character, which no text file holds (a zero byte in UTF-8 and ASCII, a
// zero code unit after a UTF-16 or UTF-32 byte-order mark).
bool startsAsText(std::string_view bytes, std::size_t from, std::string& why);
// A picture: the first bytes must begin a PNG, JPEG, BMP, GIF, HDR or TGA
// file, the formats the picture decoder reads.
bool startsAsPicture(std::string_view bytes, std::size_t from, std::string& why);

// Reads all of `file`; false, with the reason in `error`, when it cannot, or
// when it is a stream whose first bytes `check` refuses. A stream is read in
// pieces as it arrives, held in memory that grows with it.
bool readFileBytes(const std::string& file, FileBytes& bytes, FileError& error, StartCheck check);

}  // namespace gloam
