#include "gloam/meshio/pob.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <string>

#if defined(__linux__)
#include <sys/resource.h>
#endif

#include "gloam/meshio/primitives.h"
#include "tests/support/mesh_support.h"
#include "tests/support/scratch.h"

using namespace gloam;

namespace {

namespace fs = std::filesystem;

const std::string example =
    "POBFILE\n"
    "#Number of Vertices, Number of Indices\n"
    "3 1\n"
    "#Vertex Definitions, 1 per line, x,y,z\n"
    "0 0 0\n"
    "100 0 0\n"
    "0 0 100\n"
    "#Triangles, 1 per line, vertex num for point 1,2,3\n"
    "0 1 2\n"
    "#TCoords, tu, tv pairs, 3 per triangle\n"
    "0 0 1 0 0 1\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// What the file holds, normalised by a write: equal for equal meshes.
std::string reformatted(const std::string& text) {
    const auto mesh = parsePob(text);
    return mesh ? formatPob(*mesh) : "(rejected)";
}

class PobFiles : public ::testing::Test, protected Scratch {
protected:
    PobFiles() : Scratch("pob") {}
};

TEST_F(PobFiles, ExampleLoadsAndSavesByteForByte) {
    const fs::path in = dir / "in.pob", out = dir / "out.pob";
    std::ofstream(in, std::ios::binary) << example;
    const auto mesh = loadPob(in.string().c_str());
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->vertexCount(), 3);
    ASSERT_EQ(mesh->triangleCount(), 1);
    EXPECT_POSITION(mesh->vertices()[2], 0.0f, 0.0f, 100.0f);
    EXPECT_EQ(*mesh->triangles()[0], (Triangle{0, 1, 2}));
    const TriangleUV& uv = *mesh->triangleUVs()[0];
    EXPECT_TRUE(uv[1].tu == 1 && uv[1].tv == 0 && uv[2].tu == 0 && uv[2].tv == 1);

    ASSERT_TRUE(mesh->savePob(out.string().c_str()));
    EXPECT_EQ(textOf(out), example);
    EXPECT_FALSE(loadPob((dir / "missing.pob").string().c_str()));
    EXPECT_FALSE(loadPob(dir.string().c_str()));

    // The file form names the file, and the system's reason when it cannot
    // be read at all.
    FileError error;
    EXPECT_TRUE(loadPob(in.string().c_str(), error));
    std::ofstream(in, std::ios::binary) << replaced(example, "0 1 2", "0 1 3");
    EXPECT_FALSE(loadPob(in.string().c_str(), error));
    EXPECT_EQ(error.message(), in.string() + ":9:5: index 3 is outside 0..2");
    const std::string missing = (dir / "missing.pob").string();
    EXPECT_FALSE(loadPob(missing.c_str(), error));
    EXPECT_EQ(error.message(), missing + ": cannot open: " + systemReason(ENOENT));
    EXPECT_FALSE(loadPob(dir.string().c_str(), error));
    EXPECT_EQ(error.message(), dir.string() + ": is a directory");
    EXPECT_FALSE(loadPob(nullptr, error));
    EXPECT_EQ(error.message(), "no file name");
}

TEST(Pob, LayoutVariantsReadAsTheSameMesh) {
    EXPECT_EQ(reformatted(replaced(example, "\n", "\r\n")), example);
    EXPECT_EQ(reformatted(example.substr(0, example.size() - 1)), example);  // no final line end
    // Numbers spread over lines, with tabs, blank lines and trailing blanks
    // anywhere but after a section's last number.
    EXPECT_EQ(reformatted("POBFILE\n#\n\n3\t1\n#\n0 0\n0 100 \n\n0 0 0 0\n100\n#\n0\n1 2\n"
                          "1 2 3 4 5 6\n0 0 +1 0\n0e5 .1e1\n\n"),
              example);
    // Exactly one line is skipped after each section, whatever it holds.
    EXPECT_EQ(reformatted(replaced(example, "#Triangles, 1 per line, vertex num for point 1,2,3",
                                   std::string(79, '7'))),
              example);
    // In an empty section the comment's first character stands for the line end.
    const auto empty = parsePob("POBFILE\n#\n0 0\n#\n#\n#");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->vertexCount() + empty->triangleCount(), 0);
    const auto points = parsePob("POBFILE\n#\n1 0\n#\n1 2 3\n#\n#\n");
    ASSERT_TRUE(points);
    EXPECT_EQ(points->triangleCount(), 0);
    EXPECT_POSITION(points->vertices()[0], 1.0f, 2.0f, 3.0f);
}

// Each rejection with the place and reason the diagnostic form gives: the
// place is the first byte that does not fit.
TEST(Pob, RejectsWhatDoesNotFollowTheFormatSayingWhereAndWhy) {
    const std::string counts = "3 1\n";
    const std::string eol = "expected the line end right after the ";
    const std::string stray = "unexpected '.' in a ";
    const std::pair<std::string, std::string> cases[] = {
        {"", "1:1: the file is empty; a POB file starts with the line POBFILE"},
        {replaced(example, "POBFILE", "POBFIle"), "1:6: the first line must be exactly POBFILE"},
        {replaced(example, "POBFILE", "POBFILE "),
         "1:8: expected the line end right after POBFILE"},
        {"\xEF\xBB\xBF" + example,
         "1:1: the file starts with a byte-order mark; save it as plain text without one"},
        {replaced(example, counts, "3 1 \n"), "3:4: " + eol + "triangle count"},
        {replaced(example, "0 0 100\n", "0 0 100 \n"), "7:8: " + eol + "last vertex"},
        {replaced(example, "0 1 2\n", "0 1 2 \n"), "9:6: " + eol + "last triangle"},
        {replaced(example, "#Vertex Definitions", std::string(61, '#')),
         "4:80: comment line longer than 79 characters"},
        {replaced(example, counts, "-3 1\n"), "3:1: vertex count -3 is negative"},
        {replaced(example, counts, "3\t-1\n"), "3:3: triangle count -1 is negative"},
        {replaced(example, counts, "3 4294967297\n"),
         "3:3: number out of the range of a 32-bit integer"},
        {example.substr(0, example.size() - 3),
         "11:10: expected a number, found the end of the file"},
        {replaced(example, "100 0 0", "100 zero 0"), "6:5: expected a number"},
        {replaced(example, "100 0 0", "1.5.5 0"), "6:4: " + stray + "number"},
        {replaced(example, "100 0 0", "100 0-0"), "6:6: unexpected '-' in a number"},
        {replaced(example, "100 0 0", "0 0 1e39"), "6:5: number out of the range of a float"},
        {replaced(example, "100 0 0", "+-100 0 0"), "6:2: expected a number"},
        {replaced(example, "100 0 0", "infinity 0 0"), "6:4: unexpected 'i' in a number"},
        {replaced(example, "0 1 2", "0 1.0 2"), "9:4: " + stray + "whole number"},
        {replaced(example, "0 1 2", "0 1 x"), "9:5: expected a whole number"},
        {replaced(example, "0 1 2", "0 1 3"), "9:5: index 3 is outside 0..2"},
        {replaced(example, "0 1 2", "0 -1 2"), "9:3: index -1 is outside 0..2"},
        {"POBFILE\n#\n0 1\n#\n#\n 0 0 0\n#\n0 0 0 0 0 0\n",
         "6:2: index 0 refers to a vertex, but there are none"},
        {"POBFILE\n#\n0 0\n#\n", "5:1: the file ends where a comment line was expected"},
        {example + "#end\n",
         "12:1: text after the last texture coordinate: the counts announce no more"},
        {replaced(example, counts, "2147483647 2147483647\n"),
         "3:1: the counts 2147483647 and 2147483647 need more numbers than the rest of the file "
         "holds"},
        {replaced(replaced(example, counts, "100 1\n"), "\n", "\r\n"),
         "3:1: the counts 100 and 1 need more numbers than the rest of the file holds"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_FALSE(parsePob(text)) << message;
        FileError error{"table.pob", 0, 0, ""};
        EXPECT_FALSE(parsePob(text, error));
        EXPECT_EQ(error.message(), "table.pob:" + message);
    }
    FileError error{"", 7, 7, "stale"};
    EXPECT_TRUE(parsePob(example, error));
    EXPECT_EQ(error.message(), "");
}

// Files are read in pieces of 256 KiB cut back to their last line end: a
// mesh read from a larger file must not depend on where they fall, nor must
// the place a fault is reported at, and a line longer than a piece (here the
// whole triangle section on one) must still be read whole. Three variants
// put the first cut right after the last vertex or right after the comment
// line that follows it (with and without triangles), padding the first
// vertex line with blanks.
TEST_F(PobFiles, LargeFilesReadAsTheirTextDoes) {
    const std::string text = formatPob(*makeGrid(100, 100, 0.37f));
    const std::size_t firstTriangle = text.find('\n', text.find("#Triangles")) + 1;
    const std::size_t uvs = text.find("#TCoords");
    // Blanks after the first vertex move the first cut to the end of the
    // line before `line` (given by its start).
    const auto cutBefore = [](std::string variant, std::string_view line) {
        const std::size_t at = variant.find('\n', variant.find("#Vertex")) + 1;
        const std::size_t lineStart = variant.find(line);
        variant.insert(variant.find('\n', at), (256u << 10) - lineStart, ' ');
        return variant;
    };
    // The vertices alone, their count kept, with no triangles.
    const std::string points = replaced(text.substr(0, firstTriangle), " 19602\n", " 0\n") + "#\n";
    std::string oneLine = text, crlf, broken = text;
    std::replace(oneLine.begin() + long(firstTriangle), oneLine.begin() + long(uvs) - 1, '\n', ' ');
    for (const char c : text) crlf += c == '\n' ? "\r\n" : std::string(1, c);
    broken[broken.size() - 4] = 'x';
    // Counts too large for the file, found wrong after the cursor has moved
    // past them to the next piece (a long line follows them).
    const std::string overcounted = "POBFILE\n#\n99999 1\n" + std::string(300000, '#') + "\n";
    const fs::path file = dir / "large.pob";
    for (const std::string& variant :
         {text, crlf, oneLine, broken, cutBefore(text, "#Triangles"),
          cutBefore(text, text.substr(firstTriangle, 12)), cutBefore(points, "#\n"), overcounted}) {
        std::ofstream(file, std::ios::binary) << variant;
        FileError fromFile, fromText{file.string(), 0, 0, ""};
        const auto loaded = loadPob(file.string().c_str(), fromFile);
        const auto parsed = parsePob(variant, fromText);
        ASSERT_EQ(!loaded, !parsed) << fromFile.message();
        EXPECT_EQ(fromFile.message(), fromText.message());
        if (parsed) {
            EXPECT_EQ(formatPob(*loaded), formatPob(*parsed));
        }
    }
}

TEST_F(PobFiles, SaveWritesSourceGeometryRoundedToSixDigits) {
    const float inf = std::numeric_limits<float>::infinity();
    const auto mesh = meshOf({blackAt(1.0f / 3, 2.5e6f, 123.4567f), blackAt(-0.0f, inf, -inf),
                              blackAt(std::numeric_limits<float>::quiet_NaN(), 1e-40f, 0.5f)},
                             {{2, 0, 1}});
    (*mesh->triangleUVs()[0])[2].tv = 0.000123456789f;
    mesh->setPosition(5, 6, 7);
    mesh->setRotation(1, 2, 3);
    mesh->setScale(2, 2, 2);
    mesh->update();
    const fs::path file = dir / "saved.pob";
    ASSERT_TRUE(mesh->savePob(file.string().c_str()));
    const std::string text = textOf(file);
    EXPECT_NE(text.find("\n0.333333 2.5e+06 123.457\n-0 inf -inf\nnan 9.99995e-41 0.5\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n2 0 1\n#TCoords, tu, tv pairs, 3 per triangle\n0 0 0 0 0 0.000123457\n"),
              std::string::npos);

    const auto back = loadPob(file.string().c_str());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->position.x, 0.0f);
    EXPECT_EQ(back->rotation.z, 0.0f);
    EXPECT_EQ(back->scale.y, 1.0f);
    EXPECT_POSITION(back->vertices()[0], 0.333333f, 2.5e6f, 123.457f);
    const Vertex& signs = back->vertices()[1];
    EXPECT_TRUE(signs.x == 0.0f && std::signbit(signs.x));
    EXPECT_TRUE(signs.y == inf && signs.z == -inf);
    EXPECT_TRUE(std::isnan(back->vertices()[2].x));
    EXPECT_EQ(formatPob(*back), text);
}

TEST_F(PobFiles, FailedSaveReturnsFalseAndKeepsTheOldFile) {
    const auto mesh = parsePob(example);
    ASSERT_TRUE(mesh);
    EXPECT_FALSE(mesh->savePob((dir / "no" / "such.pob").string().c_str()));

    // A directory cannot be replaced by a file; it stays.
    fs::create_directory(dir / "folder.pob");
    EXPECT_FALSE(mesh->savePob((dir / "folder.pob").string().c_str()));
    EXPECT_TRUE(fs::is_directory(dir / "folder.pob"));

    // A file named like a temporary is neither reused nor removed.
    const fs::path file = dir / "kept.pob";
    std::ofstream(file, std::ios::binary) << "old";
    std::ofstream(dir / "kept.pob.tmp", std::ios::binary) << "someone else's";
#if defined(__linux__)
    // The disk fills up halfway: the old file keeps its content.
    const auto big = makeGrid(100, 100, 1.0f);
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    const struct rlimit small { 4096, limit.rlim_max };
    std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = big->savePob(file.string().c_str());
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_FALSE(saved);
    EXPECT_EQ(textOf(file), "old");
#endif
    EXPECT_TRUE(mesh->savePob(file.string().c_str()));
    EXPECT_EQ(textOf(file), example);
    EXPECT_EQ(textOf(dir / "kept.pob.tmp"), "someone else's");
    // Nothing else is left behind.
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"folder.pob", "kept.pob", "kept.pob.tmp"}));
}

}  // namespace
