#include "gloam/app/command_line.h"

#include <charconv>
#include <cstdio>

namespace gloam {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool endsWithBmp(std::string_view name) {
    if (name.size() <= 4) return false;
    const std::string_view tail = name.substr(name.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'b' && (tail[2] | 0x20) == 'm' &&
           (tail[3] | 0x20) == 'p';
}

void noteMistake(CommandLine& line, std::string text) {
    if (line.mistake.empty()) line.mistake = std::move(text);
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments, std::size_t maxFiles) {
    CommandLine line;
    bool framesSeen = false;
    bool screenshotSeen = false;
    bool onlyFiles = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyFiles || argument.size() < 2 || argument[0] != '-') {
            if (line.options.files.size() == maxFiles) {
                noteMistake(line, "unexpected argument '" + argument + "'");
            } else {
                line.options.files.push_back(argument);
            }
            continue;
        }
        if (argument == "--") {
            onlyFiles = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            line.help = true;
            continue;
        }

        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (name != "--frames" && name != "--screenshot") {
            noteMistake(line, "unknown option '" + argument + "'");
            continue;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            noteMistake(line, name + " needs a value");
            continue;
        }
        bool& seen = name == "--frames" ? framesSeen : screenshotSeen;
        if (seen) noteMistake(line, name + " is given twice");
        seen = true;

        if (name == "--frames") {
            std::int64_t frames = 0;
            const char* end = value.data() + value.size();
            const auto [stop, error] = std::from_chars(value.data(), end, frames);
            if (error != std::errc() || stop != end || frames < 1) {
                noteMistake(line, "--frames takes a whole number from 1, not '" + value + "'");
            } else {
                line.options.frames = frames;
            }
        } else if (!endsWithBmp(value)) {
            noteMistake(line, "--screenshot writes a .bmp file, not '" + value + "'");
        } else {
            line.options.screenshot = value;
        }
    }
    return line;
}

std::string usageText(std::string_view program, std::string_view operands) {
    std::string text = "usage: ";
    text += program;
    text += " [--frames N] [--screenshot FILE.bmp]";
    if (!operands.empty()) {
        text += ' ';
        text += operands;
    }
    text +=
        "\n"
        "  --frames N             render N frames, then end as if the window were closed\n"
        "  --screenshot FILE.bmp  save the last frame as a 24-bit bitmap\n"
        "  -h, --help             show this text\n"
        "While it runs, F12 saves the frame as screenshot-NNNN.bmp in the working folder.\n";
    return text;
}

std::optional<int> answerCommandLine(const CommandLine& line, std::string_view program,
                                     std::string_view operands) {
    if (line.help) {
        std::fputs(usageText(program, operands).c_str(), stdout);
        std::fflush(stdout);
        return exitSuccess;
    }
    if (!line.mistake.empty()) {
        const std::string name(program);
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", name.c_str(), line.mistake.c_str(),
                     name.c_str());
        return exitUsage;
    }
    return std::nullopt;
}

std::vector<std::string> splitCommandLine(std::string_view commandLine) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    const std::size_t size = commandLine.size();
    while (true) {
        while (i < size && isBlank(commandLine[i])) ++i;
        if (i == size) return arguments;
        std::string argument;
        bool quoted = false;
        while (i < size && (quoted || !isBlank(commandLine[i]))) {
            std::size_t backslashes = 0;
            while (i < size && commandLine[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < size && commandLine[i] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument += '"';
                } else if (quoted && i + 1 < size && commandLine[i + 1] == '"') {
                    argument += '"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                argument.append(backslashes, '\\');
                if (i < size && (quoted || !isBlank(commandLine[i]))) argument += commandLine[i++];
            }
        }
        arguments.push_back(std::move(argument));
    }
}

std::string quoteArgument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
        return std::string(argument);
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there each must be doubled,
        // and the quote itself escaped.
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    // The closing quote follows, so trailing backslashes are doubled too.
    quoted.append(2 * backslashes, '\\');
    return quoted + '"';
}

}  // namespace gloam
