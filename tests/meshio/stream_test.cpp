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
#include <filesystem>
#include <functional>
#include <thread>

#include "gloam/import/file_bytes.h"
#include "gloam/meshio/pob.h"
#include "gloam/textures/bitmap.h"
#include "tests/support/bitmap_support.h"

using namespace gloam;

namespace {

// What a reader read, as text to compare, or "" when it refused the file.
using Reader = std::function<std::string(const std::string& file, FileError& error)>;

std::string pob(const std::string& file, FileError& error) {
    const auto mesh = loadPob(file.c_str(), error);
    return mesh ? formatPob(*mesh) : "";
}
std::string bitmap(const std::string& file, FileError& error) {
    Texture t;
    const bool read = readBitmap(t, file.c_str(), false, false, false, error);
    return read ? std::string(reinterpret_cast<char*>(t.pixels.get()), t.width * t.height * 4) : "";
}
std::string text(const std::string& file, FileError& error) {
    FileBytes read;
    return readFileBytes(file, read, error, startsAsText) ? std::string(read.view()) : "";
}

TEST(Streams, ValidFilesLoadAndWrongOnesAreRefusedAtTheFirstWrongByte) {
    std::signal(SIGPIPE, SIG_IGN);
    const auto dir = bitmaptest::scratchDirectory("streams");
    const auto picture = bitmaptest::bitmapFile(3, 2, std::vector<bitmaptest::Rgb>(6, {1, 2, 3}));
    const std::string zeros(65536, '\0');
    const struct {
        Reader read;
        std::string head, filler;  // written once; then over and over, when there is one
        const char* refusal;       // the message after the file's name; "" to load
        bool headAlone;            // refused before the filler comes
    } rows[] = {
        {pob, "POBFILE\n#\n3 1\n#\n0 0 0\n1 0 0\n0 1 0\n#\n0 1 2\n#\n0 0 1 0 0 1\n", "", "", false},
        {bitmap, {picture.begin(), picture.end()}, "", "", false},
        {text, "v 1 2 3\n", zeros, ": byte 8 is a NUL character", false},
        {pob, "XOB", zeros, ":1:1: the first line must be", true},
        {bitmap, "XM", zeros, ": not a bitmap", true},
        {pob, "POBFILE\n#\n3 1\n#\n", "0 0 0 ", ":5:18: expected the line end", false},
        {pob, "POBFILE\n# x", std::string(4096, '#'), ":2:80: comment line longer", false},
        {pob, "POBFILE\n#\n2000000000 1\n#\n0 0 0\nx", "", ":6:1: expected a number", false},
    };
    for (const auto& row : rows) {
        // A valid file reads as the same bytes do from a regular file.
        const std::string fifo = (dir / std::to_string(&row - rows)).string(),
                          copy = fifo + ".copy";
        bitmaptest::writeFile(copy, std::vector<std::uint8_t>(row.head.begin(), row.head.end()));
        FileError error;
        const std::string expected = *row.refusal ? "" : row.read(copy, error);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        // Filler goes until the reader has gone or 64 MiB, far more than any
        // reader needs; a head that is wrong alone first waits ten seconds
        // for the reader to go.
        std::atomic<std::size_t> filler{0};
        std::thread writer([&] {
            const int out = open(fifo.c_str(), O_WRONLY);
            bool open = write(out, row.head.data(), row.head.size()) == ssize_t(row.head.size());
            pollfd gone{out, 0, 0};  // a pipe whose reader has gone reports an error
            if (row.headAlone) poll(&gone, 1, 10000);
            while (open && !row.filler.empty() && filler < (std::size_t{64} << 20)) {
                const ssize_t n = write(out, row.filler.data(), row.filler.size());
                filler += (open = n > 0) ? std::size_t(n) : 0;
            }
            close(out);
        });
        const std::string result = row.read(fifo, error);
        writer.join();
        EXPECT_EQ(result, expected) << fifo << ": " << error.message();
        EXPECT_EQ(result.empty(), *row.refusal != '\0') << fifo;
        EXPECT_TRUE(error.message().starts_with(fifo + row.refusal)) << error.message();
        // At most the reader's piece, the pipe's own buffer and a write.
        EXPECT_LT(filler, row.headAlone ? 1 : std::size_t{1} << 20) << fifo;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace

#endif
