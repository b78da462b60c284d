// Every reader on a file that is not a regular one: a pipe fed by another
// program, a device that never ends. A valid file still loads; a wrong one
// is refused at its first wrong byte, without reading on.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "gloam/import/file_bytes.h"
#include "gloam/meshio/pob.h"
#include "gloam/textures/bitmap.h"
#include "tests/support/bitmap_support.h"

using namespace gloam;

namespace {

// Reads `name`: what it read, as text to compare, or "" with the reason in
// `error` when it refuses it.
using Reader = std::function<std::string(const std::string& name, FileError& error)>;

std::string pixelsOf(const Texture& texture, bool read) {
    if (!read) return "";
    const auto* p = reinterpret_cast<const char*>(texture.pixels.get());
    return std::string(p, std::size_t(texture.width) * std::size_t(texture.height) * 4);
}
std::string pob(const std::string& name, FileError& error) {
    const auto mesh = loadPob(name.c_str(), error);
    return mesh ? formatPob(*mesh) : "";
}
std::string bitmap(const std::string& name, FileError& error) {
    Texture texture;
    return pixelsOf(texture, readBitmap(texture, name.c_str(), false, false, false, error));
}
Reader bytes(StartCheck check) {
    return [check](const std::string& name, FileError& error) {
        FileBytes read;
        return readFileBytes(name, read, error, check) ? std::string(read.view()) : "";
    };
}

// Writes `head` into a new FIFO, then `filler` over and over until the
// reader closes its end or 64 MiB have gone, far more than any reader
// needs to judge these files; without filler it closes after the head.
// With `pause`, the filler waits up to ten seconds for the reader to judge
// the head alone.
class Feed {
public:
    Feed(const std::string& fifo, std::string head, std::string filler, bool pause) {
        EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        writer = std::thread([=, this] {
            const int out = open(fifo.c_str(), O_WRONLY);
            bool open = write(out, head.data(), head.size()) == ssize_t(head.size());
            // A pipe whose reader has gone reports an error to its writer.
            pollfd gone{out, 0, 0};
            if (pause) poll(&gone, 1, 10000);
            while (open && !filler.empty() && written < (std::size_t{64} << 20)) {
                const ssize_t n = write(out, filler.data(), filler.size());
                open = n > 0;
                written += open ? std::size_t(n) : 0;
            }
            close(out);
        });
    }
    // Filler bytes written by the time the reader let go.
    std::size_t finish() {
        writer.join();
        return written;
    }

private:
    std::thread writer;
    std::atomic<std::size_t> written{0};
};

TEST(Streams, ValidFilesLoadAndWrongOnesAreRefusedAtTheFirstWrongByte) {
    std::signal(SIGPIPE, SIG_IGN);
    const auto dir = bitmaptest::scratchDirectory("streams");
    const std::string mesh = "POBFILE\n#\n3 1\n#\n0 0 0\n1 0 0\n0 1 0\n#\n0 1 2\n#\n0 0 1 0 0 1\n";
    const auto picture = bitmaptest::bitmapFile(3, 2, std::vector<bitmaptest::Rgb>(6, {1, 2, 3}));
    const std::string bmp(picture.begin(), picture.end());
    Texture decoded;
    const bool decodes = decodeBitmap(decoded, picture.data(), picture.size(), false, false, false);
    const std::string zeros(65536, '\0');
    struct Row {
        const char* name;
        Reader read;
        std::string head, filler;
        std::string result;      // what it reads, as the reader gives it from memory
        const char* refusal;     // what the message says after the file's name
        bool headAlone = false;  // judged on the head, before any filler
    } rows[] = {
        {"valid POB", pob, mesh, "", formatPob(*parsePob(mesh)), ""},
        {"valid bitmap", bitmap, bmp, "", pixelsOf(decoded, decodes), ""},
        {"valid text", bytes(startsAsText), "v 0 0 0\n", "", "v 0 0 0\n", ""},
        {"POB, wrong first byte", pob, "XOB", zeros, "", ":1:1: the first line must be", true},
        {"POB, numbers past the line end", pob, "POBFILE\n#\n3 1\n#\n", "0 0 0 ", "",
         ":5:18: expected the line end right after the last vertex"},
        {"POB, endless comment", pob, "POBFILE\n# x", std::string(4096, '#'), "",
         ":2:80: comment line longer than 79 characters"},
        {"POB, counts far beyond the stream", pob, "POBFILE\n#\n2000000000 1\n#\n0 0 0\nx", "", "",
         ":6:1: expected a number"},
        {"bitmap, wrong first byte", bitmap, "XM", zeros, "", ": not a bitmap", true},
        {"text with a NUL", bytes(startsAsText), "v 1 2 3\n", zeros, "",
         ": byte 8 is a NUL character"},
        {"picture of zeros", bytes(startsAsPicture), "", zeros, "", ": not a picture"},
    };
    for (const Row& row : rows) {
        const std::string fifo = (dir / row.name).string();
        Feed feed(fifo, row.head, row.filler, row.headAlone);
        FileError error;
        const std::string result = row.read(fifo, error);
        const std::size_t filler = feed.finish();
        EXPECT_EQ(result, row.result) << row.name << ": " << error.message();
        if (*row.refusal) {
            EXPECT_EQ(error.message().rfind(fifo + row.refusal, 0), 0u) << error.message();
        }
        // At most the reader's piece, the pipe's own buffer and a write in
        // flight.
        EXPECT_LT(filler, row.headAlone ? 1 : std::size_t{1} << 20) << row.name;
    }
    // The devices themselves, which a reader cannot wait out.
    for (const Reader& read : {Reader(pob), Reader(bitmap), bytes(startsAsPicture)}) {
        FileError error;
        EXPECT_EQ(read("/dev/zero", error), "");
        EXPECT_NE(error.reason, "");
    }
    std::filesystem::remove_all(dir);
}

}  // namespace

#endif
