#include "gloam/textures/bitmap.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace gloam {

namespace {

constexpr std::uint64_t fileHeaderSize = 14;
constexpr std::uint64_t minInfoHeaderSize = 40;
constexpr std::uint32_t uncompressed = 0;
// Room for the largest accepted image (768 MiB of pixels) and generous
// headers; stops a read from a device or a runaway file early.
constexpr std::size_t maxFileSize = std::size_t{1} << 30;

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

void convertRow(const std::uint8_t* in, std::uint8_t* out, std::int32_t width, bool greyscale,
                bool alphaFromGrey) {
    for (std::int32_t j = 0; j < width; ++j, in += 3, out += 4) {
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

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

namespace {

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

template <class Fail>
bool decode(Texture& texture, const std::uint8_t* data, std::size_t size, bool greyscale,
            bool alphaFromGrey, bool flipRows, Fail& fail) {
    clear(texture);
    if (data == nullptr) return fail(Fault::NoData);
    if ((size >= 1 && data[0] != 'B') || (size >= 2 && data[1] != 'M')) {
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

    const std::size_t outStride = static_cast<std::size_t>(width) * 4;
    // Every byte is written below, so the buffer need not be zeroed first.
    auto pixels = std::make_unique_for_overwrite<std::uint8_t[]>(outStride * height);
    const std::uint8_t* in = data + pixelOffset;
    for (std::int32_t i = 0; i < height; ++i, in += stride) {
        // The file's row i counted from the bottom of the picture.
        const std::int32_t fromBottom = topDown ? height - 1 - i : i;
        const std::int32_t target = flipRows ? height - 1 - fromBottom : fromBottom;
        convertRow(in, pixels.get() + outStride * target, width, greyscale, alphaFromGrey);
    }

    texture.pixels = std::move(pixels);
    texture.width = width;
    texture.height = height;
    return true;
}

// The whole file at once, so that the decoder checks every field against
// the bytes really there instead of trusting reads to succeed. False, with
// the reason, when it cannot be opened or read or is too large to be a
// bitmap that could be accepted.
bool readWholeFile(const char* fileName, std::vector<std::uint8_t>& bytes, std::string& reason) {
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName, "rb"));
    if (!file) {
        reason = "cannot open: " + systemReason(errno);
        return false;
    }
    std::uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        if (got > maxFileSize - bytes.size()) {
            reason = "larger than 1 GiB, more than any bitmap that is read";
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    if (std::ferror(file.get())) {
        reason = "cannot read: " + systemReason(errno);
        return false;
    }
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
    std::vector<std::uint8_t> bytes;
    std::string reason;
    if (fileName == nullptr || !readWholeFile(fileName, bytes, reason)) return false;
    return decodeBitmap(texture, bytes.data(), bytes.size(), greyscale, alphaFromGrey, flipRows);
}

bool readBitmap(Texture& texture, const char* fileName, bool greyscale, bool alphaFromGrey,
                bool flipRows, FileError& error) {
    clear(texture);
    error = FileError{fileName != nullptr ? fileName : "", 0, 0, ""};
    if (fileName == nullptr) {
        error.reason = "no file name";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (!readWholeFile(fileName, bytes, error.reason)) return false;
    return decodeBitmap(texture, bytes.data(), bytes.size(), greyscale, alphaFromGrey, flipRows,
                        error);
}

}  // namespace gloam
