// The null backend's scripts: the text of GLOAM_NULL_SCRIPT, read as input
// from outside, so every mistake is named rather than guessed round.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>

#include "gloam/platform/input_messages.h"
#include "gloam/platform/null/null_standin.h"

namespace gloam::nullstandin {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Appending rather than adding strings, which GCC's -O3 mistakes for an
// overlapping copy.
std::string joined(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view part : parts) text.append(part);
    return text;
}

std::vector<std::string_view> fieldsOf(std::string_view entry) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < entry.size()) {
        if (isSpace(entry[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < entry.size() && !isSpace(entry[end])) ++end;
        fields.push_back(entry.substr(i, end - i));
        i = end;
    }
    return fields;
}

// Decimal or 0x hexadecimal, the whole field; false for anything else.
bool readUnsigned(std::string_view text, std::uint64_t& value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    return !text.empty() && error == std::errc{} && stop == end;
}

// A parameter takes what a 32-bit Windows parameter holds, given signed or not.
bool readParameter(std::string_view text, std::int64_t& value) {
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    std::uint64_t magnitude = 0;
    if (!readUnsigned(text, magnitude)) return false;
    if (magnitude > (negative ? 0x80000000u : 0xFFFFFFFFu)) return false;
    value = negative ? -std::int64_t(magnitude) : std::int64_t(magnitude);
    return true;
}

bool readMessage(std::string_view text, UINT& message) {
    if (const InputMessage* input = findInputMessage(text)) {
        message = input->message;
        return true;
    }
    if (text == "WM_CLOSE") {
        message = WM_CLOSE;
        return true;
    }
    std::uint64_t number = 0;
    if (!readUnsigned(text, number) || number > std::numeric_limits<UINT>::max()) return false;
    message = UINT(number);
    return true;
}

// Empty when the entry is good.
std::string readEntry(std::string_view entry, ScriptedMessage& m) {
    const std::vector<std::string_view> fields = fieldsOf(entry);
    if (fields.size() < 2) return "a frame and a message are needed";
    if (fields.size() > 4) return "more than a frame, a message and its two parameters";
    std::uint64_t frame = 0;
    if (fields[0].starts_with("0x") || !readUnsigned(fields[0], frame) || frame == 0 ||
        frame > std::uint64_t(std::numeric_limits<std::int64_t>::max())) {
        return joined({"the frame \"", fields[0], "\" is not a whole number from 1 up"});
    }
    m.frame = std::int64_t(frame);
    if (!readMessage(fields[1], m.message)) {
        return joined({"\"", fields[1], "\" is neither an input message, WM_CLOSE nor a number"});
    }
    std::int64_t parameters[2] = {0, 0};
    for (std::size_t k = 2; k < fields.size(); ++k) {
        if (!readParameter(fields[k], parameters[k - 2])) {
            return joined({"the parameter \"", fields[k],
                           "\" is not a number of 32 bits, decimal or 0x hexadecimal"});
        }
    }
    m.wParam = WPARAM(parameters[0]);
    m.lParam = LPARAM(parameters[1]);
    return {};
}

}  // namespace

bool parseScript(std::string_view text, std::vector<ScriptedMessage>& script, std::string& error) {
    std::vector<ScriptedMessage> read;
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of(";\n"), text.size());
        const std::string_view entry = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (fieldsOf(entry).empty()) continue;
        ++number;
        ScriptedMessage m;
        if (std::string why = readEntry(entry, m); !why.empty()) {
            const std::size_t first = entry.find_first_not_of(" \t\r");
            const std::size_t last = entry.find_last_not_of(" \t\r");
            error = joined({"entry ", std::to_string(number), " (\"",
                            entry.substr(first, last - first + 1), "\"): ", why});
            return false;
        }
        read.push_back(m);
    }
    script = std::move(read);
    return true;
}

}  // namespace gloam::nullstandin
