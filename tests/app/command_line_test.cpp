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
        {R"(a\b\\c)", {R"(a\b\\c)"}},      // no quote follows: literal
        {R"(a\\"b c")", {R"(a\b c)"}},     // a pair, then a grouping quote
        {R"("a""b" c)", {R"(a"b)", "c"}},  // "" inside quotes
    };
    for (const auto& c : cases) EXPECT_EQ(splitCommandLine(c.line), c.arguments) << c.line;

    // Whatever quoteArgument makes of an argument comes back unchanged.
    const Strings awkward = {"", "two words", R"(say "hi")", R"(C:\dir\ \\)", R"(\\"\)"};
    std::string joined;
    for (const std::string& a : awkward) joined += quoteArgument(a) + ' ';
    EXPECT_EQ(splitCommandLine(joined), awkward) << joined;
}

// What a command line came to, in one line that reads well in a failure.
std::string outcome(const CommandLine& line) {
    std::string text = std::to_string(line.options.frames) + " '" + line.options.screenshot + "'";
    for (const std::string& file : line.options.files) text += " [" + file + "]";
    return text + (line.help ? " help" : "") + (line.mistake.empty() ? "" : ": " + line.mistake);
}

TEST(CommandLine, ReadsTheOptionsAndNamesTheFirstMistake) {
    const struct {
        Strings arguments;
        std::size_t maxFiles;
        const char* outcome;
    } cases[] = {
        {{}, 0, "0 ''"},
        {{"--frames", "101", "--screenshot", "f.bmp"}, 0, "101 'f.bmp'"},
        {{"m.pob", "--", "--frames"}, 2, "0 '' [m.pob] [--frames]"},
        {{"-", "-h"}, 1, "0 '' [-] help"},
        {{"--bogus=1", "--help", "-x"}, 0, "0 '' help: unknown option '--bogus=1'"},
        {{"a", "b"}, 1, "0 '' [a]: unexpected argument 'b'"},
        {{"--frames"}, 0, "0 '': --frames needs a value"},
        {{"--frames", "0"}, 0, "0 '': --frames takes a whole number from 1, not '0'"},
        {{"--frames=2", "--frames=3"}, 0, "3 '': --frames is given twice"},
        {{"--screenshot", ".bmp"}, 0, "0 '': --screenshot writes a .bmp file, not '.bmp'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(outcome(parseCommandLine(c.arguments, c.maxFiles)), c.outcome);
}

}  // namespace
