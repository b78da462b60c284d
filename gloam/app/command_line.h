#pragma once

// The command line every program on the engine understands. A program built
// on runApp() gets it for free; one that takes files of its own (a viewer's
// mesh) parses it here first and hands the options to runApp itself:
//
//   gloam::CommandLine line = gloam::parseCommandLine(arguments, 2);
//   if (auto code = gloam::answerCommandLine(line, "my-view", "FILE.pob [TEXTURE.bmp]"))
//       return *code;                          // --help was answered, or a mistake
//   ... line.options.files ...
//   return gloam::runApp(scene, settings, line.options);

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gloam {

// The exit codes of the engine's programs: a normal end (the window was
// closed, or the frames asked for were drawn); a failure the user has been
// told about; a command line that could not be understood.
inline constexpr int exitSuccess = 0;
inline constexpr int exitFailure = 1;
inline constexpr int exitUsage = 2;

// What runApp does beyond opening the window and running the scene.
struct RunOptions {
    // --frames N: after frame N has been presented, the program ends exactly
    // as if the user had closed the window. 0: it runs until then.
    std::int64_t frames = 0;
    // --screenshot FILE.bmp: the last frame is saved there as a 24-bit
    // bitmap before it is presented. Empty: nothing is saved.
    std::string screenshot;
    // The arguments that are not options, in order.
    std::vector<std::string> files;
};

struct CommandLine {
    RunOptions options;
    bool help = false;  // --help or -h: print the usage and end
    // The first thing wrong with the command line, as one sentence; empty
    // when there is none.
    std::string mistake;
};

// Reads the arguments after the program's name. Options are "--frames N"
// (or "--frames=N"), "--screenshot FILE.bmp" (or "=FILE.bmp") and "--help";
// after "--" everything is a file. More than `maxFiles` files, an unknown
// option, a missing or malformed value or an option given twice is a
// mistake.
CommandLine parseCommandLine(const std::vector<std::string>& arguments, std::size_t maxFiles = 0);

// How to call `program`: the options above, with `operands` (such as
// "FILE.pob [TEXTURE.bmp]") after them, and the keys every program has.
std::string usageText(std::string_view program, std::string_view operands = {});

// Answers a command line that asks for no run: prints the usage on standard
// output and returns exitSuccess for --help, prints the mistake on standard
// error and returns exitUsage for a mistake. Returns nothing when the
// program should run.
std::optional<int> answerCommandLine(const CommandLine& line, std::string_view program,
                                     std::string_view operands = {});

// Windows hands WinMain one string, not an argument vector; these are its
// two directions, with the rules of Microsoft's C runtime: arguments are
// separated by spaces or tabs; double quotes group, and "" inside quotes is
// one quote; backslashes are literal except before a quote, where each pair
// becomes one backslash and an odd one makes the quote literal.
std::vector<std::string> splitCommandLine(std::string_view commandLine);
// Quotes one argument so that splitCommandLine gives it back unchanged.
std::string quoteArgument(std::string_view argument);

}  // namespace gloam
