#include "gloam/app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace gloam;

namespace {

using Strings = std::vector<std::string>;

TEST(CommandLine, SplitsByTheRulesOfMicrosoftsRuntime) {
    const struct {
        const char* line;
        Strings arguments;
    } cases[] = {
        {"", {}},
        {" \t a  b\t", {"a", "b"}},
        {R"("a b" c)", {"a b", "c"}},
        {R"(a"b c"d)", {"ab cd"}},
        {R"("")", {""}},
        {R"(a\b\\c)", {R"(a\b\\c)"}},       // no quote follows: literal
        {R"(a\\"b c")", {R"(a\b c)"}},      // a pair, then a grouping quote
        {R"(a\\\"b c)", {R"(a\"b)", "c"}},  // a pair and a literal quote
        {R"("a""b" c)", {R"(a"b)", "c"}},   // "" inside quotes
        {R"("C:\path\\" x)", {R"(C:\path\)", "x"}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitCommandLine(c.line), c.arguments) << c.line;

    // Whatever quoteArgument makes of an argument comes back unchanged.
    const Strings awkward = {"plain",
                             "",
                             "two words",
                             "tab\there",
                             R"(say "hi")",
                             R"(trailing\)",
                             R"(C:\dir with space\\)",
                             R"(\\"\)",
                             "--frames=5"};
    std::string joined;
    for (const std::string& a : awkward) joined += quoteArgument(a) + ' ';
    EXPECT_EQ(splitCommandLine(joined), awkward) << joined;
}

TEST(CommandLine, ReadsTheOptionsAndNamesTheFirstMistake) {
    const struct {
        Strings arguments;
        std::size_t maxFiles;
        std::int64_t frames;
        const char* screenshot;
        Strings files;
        bool help;
        const char* mistake;  // a part of it; empty: none
    } cases[] = {
        {{}, 0, 0, "", {}, false, ""},
        {{"--frames", "101", "--screenshot", "f.bmp"}, 0, 101, "f.bmp", {}, false, ""},
        {{"--frames=7", "--screenshot=A.BMP"}, 0, 7, "A.BMP", {}, false, ""},
        {{"m.pob", "--", "--frames"}, 2, 0, "", {"m.pob", "--frames"}, false, ""},
        {{"-", "-h"}, 1, 0, "", {"-"}, true, ""},
        {{"--bogus", "--help"}, 0, 0, "", {}, true, "unknown option '--bogus'"},
        {{"-x"}, 0, 0, "", {}, false, "unknown option '-x'"},
        {{"a", "b"}, 1, 0, "", {"a"}, false, "unexpected argument 'b'"},
        {{"extra"}, 0, 0, "", {}, false, "unexpected argument 'extra'"},
        {{"--frames"}, 0, 0, "", {}, false, "--frames needs a value"},
        {{"--frames", "0"}, 0, 0, "", {}, false, "not '0'"},
        {{"--frames", "12x"}, 0, 0, "", {}, false, "not '12x'"},
        {{"--frames", "-3"}, 0, 0, "", {}, false, "not '-3'"},
        {{"--frames", "99999999999999999999"}, 0, 0, "", {}, false, "from 1"},
        {{"--frames=2", "--frames=3"}, 0, 3, "", {}, false, "--frames is given twice"},
        {{"--screenshot", "shot.png"}, 0, 0, "", {}, false, "not 'shot.png'"},
        {{"--screenshot", ".bmp"}, 0, 0, "", {}, false, "writes a .bmp file"},
    };
    for (const auto& c : cases) {
        std::string args;
        for (const std::string& a : c.arguments) args += a + ' ';
        SCOPED_TRACE(args);
        const CommandLine line = parseCommandLine(c.arguments, c.maxFiles);
        EXPECT_EQ(line.options.frames, c.frames);
        EXPECT_EQ(line.options.screenshot, c.screenshot);
        EXPECT_EQ(line.options.files, c.files);
        EXPECT_EQ(line.help, c.help);
        if (*c.mistake == '\0') {
            EXPECT_EQ(line.mistake, "");
        } else {
            EXPECT_NE(line.mistake.find(c.mistake), std::string::npos) << line.mistake;
        }
    }
}

}  // namespace
