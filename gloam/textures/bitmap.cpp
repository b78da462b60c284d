#include "gloam/textures/bitmap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
// The SSSE3 path is compiled per function and only run after a CPU check,
// so the build as a whole stays baseline.
#define GLOAM_HAVE_SSSE3_PATH 1
#include <immintrin.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace gloam {

namespace {

constexpr std::uint64_t fileHeaderSize = 14;
constexpr std::uint64_t minInfoHeaderSize = 40;
constexpr std::uint32_t uncompressed = 0;

std::uint16_t readU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t readU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void clear(Texture& texture) {
    texture.pixels.reset();
    texture.width = 0;
    texture.height = 0;
}

// Converts pixels [from, width) of a row, `in` and `out` pointing at pixel
// `from`.
void convertPixels(const std::uint8_t* in, std::uint8_t* out, std::int32_t from, std::int32_t width,
                   bool greyscale, bool alphaFromGrey) {
    for (std::int32_t j = from; j < width; ++j, in += 3, out += 4) {
        const std::uint8_t blue = in[0];
        const std::uint8_t green = in[1];
        const std::uint8_t red = in[2];
        const auto grey = static_cast<std::uint8_t>((red + green + blue) / 3);
        if (greyscale) {
            out[0] = out[1] = out[2] = grey;
        } else {
            out[0] = red;
            out[1] = green;
            out[2] = blue;
        }
        if (alphaFromGrey) {
            out[3] = grey;
        } else {
            const bool keyed =
                red == colourKey.red && green == colourKey.green && blue == colourKey.blue;
            out[3] = keyed ? 0 : 255;
        }
    }
}

#if defined(GLOAM_HAVE_SSSE3_PATH)
bool cpuHasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

// The plain conversion (no grey) four pixels at a time: one byte shuffle
// turns 12 bytes of B, G, R into 16 of R, G, B, 0, and a comparison of
// each 32-bit pixel with the colour key gives its alpha. Reads 16 bytes for
// every 12 it converts, so it stops 4 bytes short of `readable`, the end of
// the bytes it may read. With `stream`, and `out` on a 16-byte boundary, the
// pixels go to memory with non-temporal stores, so that the lines of a
// large texture are not read for ownership first. Returns the pixels done.
__attribute__((target("ssse3"))) __m128i convertFour(const std::uint8_t* in) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m128i key = _mm_set1_epi32(colourKey.red | colourKey.green << 8 | colourKey.blue << 16);
    const __m128i opaque = _mm_set1_epi32(std::int32_t(0xFF000000u));
    const __m128i rgb =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), order);
    return _mm_or_si128(rgb, _mm_andnot_si128(_mm_cmpeq_epi32(rgb, key), opaque));
}

__attribute__((target("ssse3"))) std::int32_t convertPlainSsse3(const std::uint8_t* in,
                                                                const std::uint8_t* readable,
                                                                std::uint8_t* out,
                                                                std::int32_t width, bool stream) {
    std::int32_t j = 0;
    if (stream && (reinterpret_cast<std::uintptr_t>(out) & 15) == 0) {
        for (; j + 4 <= width && readable - in >= 16; j += 4, in += 12, out += 16) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(out), convertFour(in));
        }
    }
    for (; j + 4 <= width && readable - in >= 16; j += 4, in += 12, out += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), convertFour(in));
    }
    return j;
}
#endif

// Textures at least this large are written with non-temporal stores where
// the vector conversion runs: they do not stay in the caches anyway.
constexpr std::size_t streamingBytes = std::size_t{8} << 20;

// Converts one stored row of `width` pixels into RGBA; `readable` is the end
// of the bytes that may be read from `in` on, which may run past the row.
void convertRow(const std::uint8_t* in, const std::uint8_t* readable, std::uint8_t* out,
                std::int32_t width, bool greyscale, bool alphaFromGrey,
                [[maybe_unused]] bool stream) {
    std::int32_t done = 0;
#if defined(GLOAM_HAVE_SSSE3_PATH)
    if (!greyscale && !alphaFromGrey && cpuHasSsse3()) {
        done = convertPlainSsse3(in, readable, out, width, stream);
    }
#else
    (void)readable;
#endif
    convertPixels(in + 3 * done, out + 4 * done, done, width, greyscale, alphaFromGrey);
}

// Orders any non-temporal stores before what follows (an upload, another
// thread's reads).
void finishStores() {
#if defined(GLOAM_HAVE_SSSE3_PATH)
    _mm_sfence();
#endif
}

// A pixel buffer of `bytes`, left for the caller to fill. A large texture's
// buffer is fresh memory, and on Linux the first touch of each 4 KiB page of
// it is a fault: the advice asks for 2 MiB pages for its inner part, and
// then all its pages are made present at once (the caller fills all of them
// right away, and the headers have shown that the file holds the pixels).
std::unique_ptr<std::uint8_t[]> pixelBuffer(std::size_t bytes) {
    auto pixels = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
#if defined(__linux__) && defined(MADV_HUGEPAGE) && defined(MADV_POPULATE_WRITE)
    if (bytes >= (std::size_t{1} << 20)) {
        constexpr std::uintptr_t hugePage = std::uintptr_t{2} << 20, page = 4096;
        const auto start = reinterpret_cast<std::uintptr_t>(pixels.get());
        const std::uintptr_t first = (start + hugePage - 1) & ~(hugePage - 1);
        const std::uintptr_t last = (start + bytes) & ~(hugePage - 1);
        if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
        // Refused before Linux 5.14; the pages then fault in as they are
        // written.
        const std::uintptr_t from = start & ~(page - 1);
        const std::uintptr_t to = (start + bytes + page - 1) & ~(page - 1);
        madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
    }
#endif
    return pixels;
}

// Why a decode failed: the header field at fault or the part of the file
// that is missing. The numbers say what the file holds.
enum class Fault {
    NoData,
    Short,
    Signature,
    InfoHeader,
    Planes,
    BitCount,
    Compression,
    Width,
    Height,
    OffsetInHeaders,
    Truncated,
};

// The plain decoder keeps nothing, so the compiler drops the diagnosis.
struct NoReport {
    bool operator()(Fault, std::uint64_t = 0, std::uint64_t = 0, std::uint64_t = 0) {
        return false;
    }
};

struct Report {
    Fault fault = Fault::NoData;
    std::uint64_t first = 0, second = 0, third = 0;

    bool operator()(Fault why, std::uint64_t a = 0, std::uint64_t b = 0, std::uint64_t c = 0) {
        fault = why;
        first = a;
        second = b;
        third = c;
        return false;
    }
};

std::string reasonFor(const Report& r) {
    using std::to_string;
    const auto asInt = [](std::uint64_t v) { return to_string(std::int32_t(std::uint32_t(v))); };
    const std::string only24 = "only 24-bit uncompressed bitmaps are read";
    const std::string sides = "1.." + to_string(maxBitmapDimension);
    switch (r.fault) {
        case Fault::NoData:
            return "no data";
        case Fault::Short:
            if (r.first == 0) return "the file is empty";
            return "the file is too short for a bitmap's headers (" + to_string(r.first) + " of " +
                   to_string(fileHeaderSize + minInfoHeaderSize) + " bytes)";
        case Fault::Signature:
            return "not a bitmap: it does not start with BM";
        case Fault::InfoHeader:
            return "info header of " + to_string(r.first) +
                   " bytes; only bitmaps with an info header of 40 bytes or more are read";
        case Fault::Planes:
            return to_string(r.first) + " colour planes; a bitmap has 1";
        case Fault::BitCount:
            return to_string(r.first) + " bits per pixel; " + only24;
        case Fault::Compression:
            return "compressed (method " + to_string(r.first) + "); " + only24;
        case Fault::Width:
            return "width " + asInt(r.first) + " is outside " + sides;
        case Fault::Height:
            return "height " + asInt(r.first) + ": a bitmap has " + sides +
                   " rows (a negative height stores them top-down)";
        case Fault::OffsetInHeaders:
            return "pixel data offset " + to_string(r.first) +
                   " lies inside the headers, which end at " + to_string(r.second);
        case Fault::Truncated:
            return "the file ends before its pixels do: they need " + to_string(r.first) +
                   " bytes from offset " + to_string(r.second) + ", the file has " +
                   to_string(r.third);
    }
    return "not a 24-bit bitmap";
}

// Where the pixels are and how they lie, once the headers are checked.
struct Layout {
    std::uint64_t pixelOffset;
    std::uint64_t stride;  // bytes per stored row, padding included
    std::int32_t width;
    std::int32_t height;
    bool topDown;
};

// Checks the headers, the first `available` bytes of a file of `size`
// bytes (all of it, or at least the 54 bytes of headers).
template <class Fail>
bool checkHeaders(const std::uint8_t* data, std::size_t available, std::uint64_t size,
                  Layout& layout, Fail& fail) {
    if (data == nullptr) return fail(Fault::NoData);
    if ((available >= 1 && data[0] != 'B') || (available >= 2 && data[1] != 'M')) {
        return fail(Fault::Signature);
    }
    if (size < fileHeaderSize + minInfoHeaderSize) return fail(Fault::Short, size);

    const std::uint32_t pixelOffset = readU32(data + 10);
    const std::uint32_t infoHeaderSize = readU32(data + 14);
    const auto width = static_cast<std::int32_t>(readU32(data + 18));
    const auto storedHeight = static_cast<std::int32_t>(readU32(data + 22));
    const std::uint16_t planes = readU16(data + 26);
    const std::uint16_t bitCount = readU16(data + 28);
    const std::uint32_t compression = readU32(data + 30);

    if (infoHeaderSize < minInfoHeaderSize) return fail(Fault::InfoHeader, infoHeaderSize);
    if (planes != 1) return fail(Fault::Planes, planes);
    if (bitCount != 24) return fail(Fault::BitCount, bitCount);
    if (compression != uncompressed) return fail(Fault::Compression, compression);
    if (width <= 0 || width > maxBitmapDimension) return fail(Fault::Width, std::uint32_t(width));
    // Widened before negating: -INT32_MIN does not exist in 32 bits.
    const bool topDown = storedHeight < 0;
    const std::int64_t rows64 = topDown ? -static_cast<std::int64_t>(storedHeight) : storedHeight;
    if (rows64 == 0 || rows64 > maxBitmapDimension) {
        return fail(Fault::Height, std::uint32_t(storedHeight));
    }
    const auto height = static_cast<std::int32_t>(rows64);

    // Everything in 64 bits, so that no product of header fields can wrap
    // into a small size that passes the bounds checks.
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * 3 + 3) & ~std::uint64_t{3};
    const std::uint64_t pixelBytes = stride * static_cast<std::uint64_t>(height);
    if (pixelOffset < fileHeaderSize + infoHeaderSize) {
        return fail(Fault::OffsetInHeaders, pixelOffset, fileHeaderSize + infoHeaderSize);
    }
    if (pixelOffset > size || pixelBytes > size - pixelOffset) {
        return fail(Fault::Truncated, pixelBytes, pixelOffset, size);
    }
    layout = {pixelOffset, stride, width, height, topDown};
    return true;
}

// The buffer row that the file's row `i` becomes.
std::int32_t targetRow(const Layout& layout, std::int32_t i, bool flipRows) {
    // The file's row i counted from the bottom of the picture.
    const std::int32_t fromBottom = layout.topDown ? layout.height - 1 - i : i;
    return flipRows ? layout.height - 1 - fromBottom : fromBottom;
}

template <class Fail>
bool decode(Texture& texture, const std::uint8_t* data, std::size_t size, bool greyscale,
            bool alphaFromGrey, bool flipRows, Fail& fail) {
    clear(texture);
    Layout layout;
    if (!checkHeaders(data, size, size, layout, fail)) return false;
    const std::size_t outStride = static_cast<std::size_t>(layout.width) * 4;
    const std::size_t bytes = outStride * std::size_t(layout.height);
    auto pixels = pixelBuffer(bytes);
    const std::uint8_t* in = data + layout.pixelOffset;
    for (std::int32_t i = 0; i < layout.height; ++i, in += layout.stride) {
        convertRow(in, data + size, pixels.get() + outStride * targetRow(layout, i, flipRows),
                   layout.width, greyscale, alphaFromGrey, bytes >= streamingBytes);
    }
    finishStores();
    texture.pixels = std::move(pixels);
    texture.width = layout.width;
    texture.height = layout.height;
    return true;
}

// Reads a bitmap file: the headers, then the pixel rows a few at a time
// straight into the texture, so that a large texture needs no buffer of the
// file's size. A stream (a pipe, a device) is read the same way as it
// arrives, its signature judged on the first bytes that come, so that
// something else is refused without waiting for more; what its headers
// announce is only believed as far as the rows that arrive, whose pages of
// the texture are the only ones taken. `reason` is set for a file that
// cannot be opened or read; the decoder's faults go to `fail`.
template <class Fail>
bool readFile(Texture& texture, const char* fileName, bool greyscale, bool alphaFromGrey,
              bool flipRows, std::string& reason, Fail& fail) {
    InputFile file;
    if (!file.open(fileName, reason)) return false;
    const auto unreadable = [&] {
        reason = "cannot read: " + systemReason(file.error());
        return false;
    };
    const bool stream = file.isStream();
    std::uint8_t headers[fileHeaderSize + minInfoHeaderSize];
    std::size_t got = 0;
    if (!stream) {
        got = file.read(headers, sizeof headers);
    } else if (const std::ptrdiff_t first = file.readSome(headers, sizeof headers); first > 0) {
        got = std::size_t(first);
        const bool signature = headers[0] == 'B' && (got < 2 || headers[1] == 'M');
        if (signature) got += file.read(headers + got, sizeof headers - got);
    }
    if (file.failed()) return unreadable();
    // A file that shrank since its size was taken is judged by what is left;
    // a stream's end is not known until it comes.
    const std::uint64_t unknown = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t known = got < sizeof headers ? got : stream ? unknown : file.size();
    Layout layout;
    if (!checkHeaders(headers, got, known, layout, fail)) return false;
    std::uint64_t position = got;
    // Only a stream fails to seek; anything between the headers and the
    // pixels is read past instead.
    if (stream || std::fseek(file.file(), long(layout.pixelOffset), SEEK_SET) != 0) {
        std::uint8_t skipped[4096];
        while (position < layout.pixelOffset) {
            const auto n =
                std::size_t(std::min<std::uint64_t>(sizeof skipped, layout.pixelOffset - position));
            const std::size_t read = file.read(skipped, n);
            position += read;
            if (read < n) break;
        }
        if (file.failed()) return unreadable();
    }
    // What the file is known to hold when it ends too early.
    const auto truncated = [&](std::uint64_t size) {
        return fail(Fault::Truncated, layout.stride * std::uint64_t(layout.height),
                    layout.pixelOffset, stream ? size : std::uint64_t(file.size()));
    };
    if (stream && position < layout.pixelOffset) return truncated(position);

    // Rows in batches of about 256 KiB, with 16 bytes to spare after them
    // for the vector conversion's reads.
    const auto rowsAtOnce = std::int32_t(
        std::clamp<std::uint64_t>((std::uint64_t{256} << 10) / layout.stride, 1, layout.height));
    const std::size_t batchBytes = std::size_t(layout.stride) * std::size_t(rowsAtOnce);
    const auto rows = std::make_unique<std::uint8_t[]>(batchBytes + 16);
    const std::size_t outStride = static_cast<std::size_t>(layout.width) * 4;
    const std::size_t bytes = outStride * std::size_t(layout.height);
    // A stream's rows may never come: its pages are taken as they do.
    auto pixels =
        stream ? std::make_unique_for_overwrite<std::uint8_t[]>(bytes) : pixelBuffer(bytes);
    std::uint64_t pixelBytesRead = 0;
    for (std::int32_t first = 0; first < layout.height; first += rowsAtOnce) {
        const std::int32_t count = std::min(rowsAtOnce, layout.height - first);
        const std::size_t wanted = std::size_t(layout.stride) * std::size_t(count);
        const std::size_t read = file.read(rows.get(), wanted);
        pixelBytesRead += read;
        if (read != wanted) {
            // The file shrank since its size was taken, or the stream ended.
            if (file.failed()) return unreadable();
            return truncated(layout.pixelOffset + pixelBytesRead);
        }
        for (std::int32_t k = 0; k < count; ++k) {
            const std::uint8_t* in = rows.get() + std::size_t(layout.stride) * std::size_t(k);
            convertRow(in, rows.get() + batchBytes + 16,
                       pixels.get() + outStride * targetRow(layout, first + k, flipRows),
                       layout.width, greyscale, alphaFromGrey, bytes >= streamingBytes);
        }
    }
    finishStores();
    texture.pixels = std::move(pixels);
    texture.width = layout.width;
    texture.height = layout.height;
    return true;
}

}  // namespace

bool decodeBitmap(Texture& texture, const std::uint8_t* data, std::size_t size, bool greyscale,
                  bool alphaFromGrey, bool flipRows) {
    NoReport quiet;
    return decode(texture, data, size, greyscale, alphaFromGrey, flipRows, quiet);
}

bool decodeBitmap(Texture& texture, const std::uint8_t* data, std::size_t size, bool greyscale,
                  bool alphaFromGrey, bool flipRows, FileError& error) {
    Report report;
    const bool ok = decode(texture, data, size, greyscale, alphaFromGrey, flipRows, report);
    error.line = error.column = 0;
    error.reason = ok ? std::string() : reasonFor(report);
    return ok;
}

bool readBitmap(Texture& texture, const char* fileName, bool greyscale, bool alphaFromGrey,
                bool flipRows) {
    clear(texture);
    if (fileName == nullptr) return false;
    std::string reason;
    NoReport quiet;
    return readFile(texture, fileName, greyscale, alphaFromGrey, flipRows, reason, quiet);
}

bool readBitmap(Texture& texture, const char* fileName, bool greyscale, bool alphaFromGrey,
                bool flipRows, FileError& error) {
    clear(texture);
    error = FileError{fileName != nullptr ? fileName : "", 0, 0, ""};
    if (fileName == nullptr) {
        error.reason = "no file name";
        return false;
    }
    Report report;
    const bool ok =
        readFile(texture, fileName, greyscale, alphaFromGrey, flipRows, error.reason, report);
    if (!ok && error.reason.empty()) error.reason = reasonFor(report);
    return ok;
}

}  // namespace gloam
