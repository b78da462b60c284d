// Feeds arbitrary bytes to the picture converter: the decoder, and our own
// look at the headers for the reasons it does not give and at a JPEG's EXIF
// orientation. Besides memory errors: a rejection gives a reason, and an
// accepted picture has power-of-two sides, the pixels they need, and a
// source size that holds no more pixels than the converter takes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gloam/import/picture.h"

using namespace gloam;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "picture: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A large picture takes seconds to decode and resize under the
    // sanitizers and finds nothing a small one does not.
    std::int32_t width = 0, height = 0, channels = 0;
    std::string reason;
    if (pictureSize(data, size, width, height, channels, reason) &&
        (width > 1024 || height > 1024)) {
        return 0;
    }
    Picture picture;
    // A small side keeps the resizing cheap; 0 keeps the picture's own.
    const std::int32_t side = size % 2 ? 4 : 0;
    if (!convertPicture(data, size, side, picture, reason)) {
        if (reason.empty()) fail("rejected without a reason");
        return 0;
    }
    const auto powerOfTwo = [](std::int32_t n) { return n > 0 && (n & (n - 1)) == 0; };
    if (!powerOfTwo(picture.width) || !powerOfTwo(picture.height)) fail("a side is no power of 2");
    if (picture.rgb.size() != 3 * std::size_t(picture.width) * std::size_t(picture.height)) {
        fail("the pixels do not fill the sides");
    }
    if (picture.orientation < 1 || picture.orientation > 8) fail("no EXIF orientation");
    if (std::int64_t(picture.sourceWidth) * picture.sourceHeight > std::int64_t{1} << 26) {
        fail("more pixels than the converter takes");
    }
    return 0;
}
