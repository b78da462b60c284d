#include "gloam/import/obj_text.h"

#include "gloam/import/obj.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace gloam {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | code >> 18);
        out += char(0x80 | (code >> 12 & 0x3F));
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

TextPlace placeOf(std::string_view text, std::size_t offset) {
    return placesOf(text, {offset}).at(0);
}

void fail(FileError& error, std::string_view text, std::size_t offset, std::string reason) {
    const TextPlace place = placeOf(text, offset);
    error.line = place.line;
    error.column = place.column;
    error.reason = std::move(reason);
}

}  // namespace

bool readableText(std::string_view& text, std::string& utf8, FileError& error) {
    const auto startsWith = [&](std::string_view mark) {
        return text.substr(0, mark.size()) == mark;
    };
    int unit = 0;
    bool bigEndian = false;
    if (startsWith(std::string_view("\xFF\xFE\0\0", 4))) {
        unit = 4;
    } else if (startsWith(std::string_view("\0\0\xFE\xFF", 4))) {
        unit = 4, bigEndian = true;
    } else if (startsWith("\xFF\xFE")) {
        unit = 2;
    } else if (startsWith("\xFE\xFF")) {
        unit = 2, bigEndian = true;
    }
    if (unit > 0) {
        const std::string name = std::string(unit == 2 ? "UTF-16" : "UTF-32") +
                                 (bigEndian ? " (big-endian)" : " (little-endian)");
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        const std::size_t step = std::size_t(unit);
        const auto at = [&](std::size_t i) {
            std::uint32_t value = 0;
            for (std::size_t k = 0; k < step; ++k) {
                value |= std::uint32_t(bytes[i + (bigEndian ? step - 1 - k : k)]) << (8 * k);
            }
            return value;
        };
        utf8.clear();
        utf8.reserve(text.size() / step);
        std::size_t i = step;
        for (; i + step <= text.size(); i += step) {
            std::uint32_t code = at(i);
            if (unit == 2 && code >= 0xD800 && code < 0xDC00 && i + 4 <= text.size() &&
                at(i + 2) >= 0xDC00 && at(i + 2) < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10) + (at(i + 2) - 0xDC00);
                i += 2;
            } else if ((code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) {
                break;
            }
            appendUtf8(utf8, code);
        }
        if (i != text.size()) {
            fail(error, utf8, utf8.size(),
                 "the text is marked as " + name + " but does not decode as such here");
            return false;
        }
        text = utf8;
    }
    const void* nul = std::memchr(text.data(), 0, text.size());
    if (!nul) return true;
    const std::size_t offset = std::size_t(static_cast<const char*>(nul) - text.data());
    if (unit > 0) {
        fail(error, text, offset, "a NUL character, which is no text");
        return false;
    }
    // Which bytes of the first character are NUL says what the text is.
    const auto zero = [&](std::size_t k) { return k < text.size() && text[k] == '\0'; };
    const char* guess = zero(1) && zero(2) && zero(3) && !zero(0)   ? "UTF-32 (little-endian)"
                        : zero(0) && zero(1) && zero(2) && !zero(3) ? "UTF-32 (big-endian)"
                        : zero(1) && !zero(0)                       ? "UTF-16 (little-endian)"
                        : zero(0) && !zero(1)                       ? "UTF-16 (big-endian)"
                                                                    : nullptr;
    fail(error, text, offset,
         guess ? std::string("a NUL byte: this looks like ") + guess +
                     " text without a byte-order mark, which is not read; save it as UTF-8"
               : "a NUL byte, which no text holds: this is not a text file");
    return false;
}

std::vector<TextPlace> placesOf(std::string_view text, const std::vector<std::size_t>& offsets) {
    std::vector<TextPlace> places;
    TextPlace place{1, 1};
    std::size_t lineStart = 0, i = 0;
    for (const std::size_t offset : offsets) {
        for (; i < offset && i < text.size(); ++i) {
            if (text[i] == '\n' ||
                (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
                ++place.line;
                lineStart = i + 1;
            }
        }
        place.column = std::int64_t(offset - lineStart) + 1;
        places.push_back(place);
    }
    return places;
}

namespace {

// The bytes that end a word, or may: blanks, line ends and a backslash.
struct WordStops {
    bool stops[256] = {};
    constexpr WordStops() {
        for (const unsigned char c : {' ', '\t', '\n', '\r', '\\'}) stops[c] = true;
    }
};
constexpr WordStops wordStops;

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

}  // namespace

std::size_t TextLines::afterLineEnd(std::size_t at) const {
    if (at >= text.size()) return text.size();
    return at + (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1);
}

bool TextLines::nextLine() {
    if (started) finishLine();
    seek(pos);
    return pos < text.size();
}

void TextLines::seek(std::size_t at) {
    pos = at;
    started = true;
    lineDone = false;
    statement = false;
}

void TextLines::finishLine() {
    for (std::string_view word; nextWord(word);) {
    }
}

bool TextLines::nextWord(std::string_view& word) {
    if (lineDone) return false;
    const std::size_t n = text.size();
    for (;;) {
        while (pos < n && isBlank(text[pos])) ++pos;
        if (pos == n || isLineEnd(text[pos])) {
            wordsEnd = pos;
            pos = afterLineEnd(pos);
            lineDone = true;
            return false;
        }
        if (text[pos] == '#') {
            std::size_t e = pos;
            while (e < n && !isLineEnd(text[e])) ++e;
            // A line that is all comment the parser skips by itself.
            if (statement) hidden.push_back({pos, e});
            wordsEnd = pos;
            pos = afterLineEnd(e);
            lineDone = true;
            return false;
        }
        const std::size_t start = pos;
        std::size_t join = n;
        for (; pos < n; ++pos) {
            if (!wordStops.stops[static_cast<unsigned char>(text[pos])]) continue;
            if (text[pos] != '\\') break;
            std::size_t q = pos + 1;
            while (q < n && isBlank(text[q])) ++q;
            if (q == n || isLineEnd(text[q])) {
                join = q;
                break;
            }
        }
        if (pos > start) {
            statement = true;
            word = text.substr(start, pos - start);
            return true;
        }
        // At a backslash that joins the next line to this one.
        hidden.push_back({pos, afterLineEnd(join)});
        pos = afterLineEnd(join);
    }
}

std::string TextLines::rest() {
    std::string_view word;
    if (!nextWord(word)) return "";
    const std::size_t first = std::size_t(word.data() - text.data());
    std::size_t last = first + word.size();
    const std::size_t joins = hidden.size();
    while (nextWord(word)) last = std::size_t(word.data() - text.data()) + word.size();
    std::string out(text.substr(first, last - first));
    for (std::size_t k = joins; k < hidden.size(); ++k) {
        if (hidden[k].first >= last) break;
        std::fill(out.begin() + std::ptrdiff_t(hidden[k].first - first),
                  out.begin() + std::ptrdiff_t(std::min(hidden[k].second, last) - first), ' ');
    }
    return out;
}

namespace {

// How a word read as a number or an index goes wrong.
struct Fault {
    std::size_t at = std::string_view::npos;  // within the word; npos: it does not
    bool noDigits = false;                    // nothing like a number at all
    bool tooLarge = false;                    // its value is out of range
};

// [+-] digits [. digits] [(e|E) [+-] digits], with digits on at least one
// side of the point, as tinyobjloader reads numbers; inf, nan, hexadecimal
// and commas are not numbers.
Fault checkNumber(std::string_view w) {
    Fault f;
    std::size_t i = 0;
    if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
    std::size_t digits = 0;
    bool nonzero = false;
    for (; i < w.size() && isDigit(w[i]); ++i, ++digits) nonzero |= w[i] != '0';
    if (i < w.size() && w[i] == '.') {
        for (++i; i < w.size() && isDigit(w[i]); ++i, ++digits) nonzero |= w[i] != '0';
    }
    if (digits == 0) {
        f.at = 0;
        f.noDigits = true;
        return f;
    }
    if (i < w.size() && (w[i] == 'e' || w[i] == 'E')) {
        ++i;
        const bool negative = i < w.size() && w[i] == '-';
        if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
        std::size_t exponent = 0, significant = 0;
        for (; i < w.size() && isDigit(w[i]); ++i, ++exponent)
            significant += significant || w[i] != '0';
        if (exponent == 0) {
            f.at = i;
            return f;
        }
        // The parser gives up on an exponent past 32 bits and reads the
        // number as 0; only a tiny number is that.
        f.tooLarge = significant > 9 && nonzero && !negative;
    }
    if (i < w.size()) f.at = i;
    return f;
}

std::string quoted(std::string_view word) {
    std::string out = "'";
    for (std::size_t i = 0; i < word.size() && i < 24; ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        if (c >= ' ' && c < 127) {
            out += char(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(c));
            out += hex;
        }
    }
    return out + (word.size() > 24 ? "...'" : "'");
}

std::string describeChar(char c) {
    return c > ' ' && c < 127 ? std::string("'") + c + "'" : quoted(std::string_view(&c, 1));
}

const char* ordinalName(int k) {
    static const char* const names[] = {"first", "second", "third",  "fourth",
                                        "fifth", "sixth",  "seventh"};
    return k < 7 ? names[k] : "a further";
}

class Surveyor {
public:
    Surveyor(std::string_view text, ObjSurvey& survey) : text(text), lines(text), survey(survey) {}

    void run() {
        const std::size_t n = text.size();
        std::size_t p = 0;
        while (p < n && survey.fault.empty()) {
            // Plain vertex, texture coordinate and face lines, which make up
            // nearly all of a large file, are read on a quick path; any other
            // line, or one with a comment, a join or a fault, on the careful
            // one.
            std::size_t q = p;
            while (q < n && isBlank(text[q])) ++q;
            const char* c = text.data() + q;
            const std::size_t left = n - q;
            std::size_t r = 0;
            int count = 0;
            if (left > 2 && c[0] == 'v' && isBlank(c[1])) {
                r = q + 2;
                if (quickNumbers(r, count) && count >= 3) {
                    ++survey.vertices;
                    p = r;
                    continue;
                }
            } else if (left > 3 && c[0] == 'v' && c[1] == 't' && isBlank(c[2])) {
                r = q + 3;
                if (quickNumbers(r, count) && count >= 1) {
                    ++survey.texcoords;
                    p = r;
                    continue;
                }
            } else if (left > 2 && c[0] == 'f' && isBlank(c[1])) {
                r = q + 2;
                if (quickFace(r, count)) {
                    survey.faces += count > 0;
                    p = r;
                    continue;
                }
            }
            lines.seek(p);
            statement();
            p = lines.position();
        }
        survey.hidden = std::move(lines.hidden);
    }

private:
    // One line read with care, its faults described.
    void statement() {
        std::string_view keyword;
        if (!lines.nextWord(keyword)) return;
        if (keyword == "v") {
            ++survey.vertices;
            numbers(3, {"x", "y", "z", "w"});
        } else if (keyword == "vt") {
            ++survey.texcoords;
            numbers(1, {"u", "v", "w"});
        } else if (keyword == "vn") {
            numbers(3, {"x", "y", "z"});
        } else if (keyword == "f") {
            face();
        } else if (keyword == "mtllib") {
            survey.libraries.push_back(lines.rest());
        }
        lines.finishLine();
    }

    bool atWordEnd(std::size_t p) const {
        return p == text.size() || isBlank(text[p]) || isLineEnd(text[p]);
    }

    // Skips blanks from `p`; true at the line end, with `p` past it.
    bool lineEnds(std::size_t& p) const {
        const std::size_t n = text.size();
        while (p < n && isBlank(text[p])) ++p;
        if (p < n && !isLineEnd(text[p])) return false;
        if (p < n) p += text[p] == '\r' && p + 1 < n && text[p + 1] == '\n' ? 2 : 1;
        return true;
    }

    // The words from `p` to the line end as plain numbers: true, with `p`
    // past the line end and their `count`, or false for the careful path.
    bool quickNumbers(std::size_t& p, int& count) const {
        const std::size_t n = text.size();
        for (count = 0; !lineEnds(p); ++count) {
            if (text[p] == '+' || text[p] == '-') ++p;
            std::size_t digits = 0;
            for (; p < n && isDigit(text[p]); ++p) ++digits;
            if (p < n && text[p] == '.') {
                for (++p; p < n && isDigit(text[p]); ++p) ++digits;
            }
            if (digits == 0) return false;
            if (p < n && (text[p] == 'e' || text[p] == 'E')) {
                ++p;
                if (p < n && (text[p] == '+' || text[p] == '-')) ++p;
                std::size_t exponent = 0;
                for (; p < n && isDigit(text[p]); ++p) ++exponent;
                if (exponent == 0 || exponent > 9) return false;
            }
            if (!atWordEnd(p)) return false;
        }
        return true;
    }

    // The words from `p` to the line end as plain corners, each index of
    // at most nine digits: as quickNumbers(), counting the corners.
    bool quickFace(std::size_t& p, int& count) const {
        const std::size_t n = text.size();
        const auto index = [&] {
            if (p < n && (text[p] == '+' || text[p] == '-')) ++p;
            const std::size_t start = p;
            while (p < n && isDigit(text[p])) ++p;
            return p > start && p - start < 10;
        };
        for (count = 0; !lineEnds(p); ++count) {
            if (!index()) return false;
            if (p < n && text[p] == '/') {
                ++p;
                if (p < n && text[p] == '/') {
                    ++p;
                    if (!index()) return false;
                } else {
                    if (!index()) return false;
                    if (p < n && text[p] == '/' && (++p, !index())) return false;
                }
            }
            if (!atWordEnd(p)) return false;
        }
        return true;
    }

    void fault(std::size_t offset, std::string reason) {
        survey.faultOffset = offset;
        survey.fault = std::move(reason);
    }

    std::size_t offsetOf(std::string_view word) const {
        return std::size_t(word.data() - text.data());
    }

    // The numbers of a statement that needs at least `needed` of them,
    // named by `names` for the messages.
    void numbers(int needed, std::initializer_list<const char*> names) {
        int k = 0;
        for (std::string_view word; lines.nextWord(word); ++k) {
            const Fault f = checkNumber(word);
            if (f.at == std::string_view::npos && !f.tooLarge) continue;
            const std::string name =
                k < int(names.size()) ? names.begin()[k] : std::string(ordinalName(k)) + " number";
            if (f.noDigits) {
                fault(offsetOf(word), "expected a number for " + name + ", found " + quoted(word));
            } else if (f.at == word.size()) {
                fault(offsetOf(word) + f.at,
                      "expected the exponent's digits in the number for " + name);
            } else if (f.at != std::string_view::npos) {
                fault(offsetOf(word) + f.at,
                      "unexpected " + describeChar(word[f.at]) + " in the number for " + name);
            } else {
                fault(offsetOf(word), name + " is not a number in float range");
            }
            return;
        }
        if (k < needed) {
            fault(lines.lineEnd(),
                  std::string("expected ") + names.begin()[k] + ", found the end of the line");
        }
    }

    // One index of a corner, from `i` on: [+-] digits, at most 32 bits.
    bool index(std::string_view corner, std::size_t& i, const char* what, std::size_t count) {
        const std::size_t start = i;
        if (i < corner.size() && (corner[i] == '+' || corner[i] == '-')) ++i;
        const std::size_t first = i;
        while (i < corner.size() && corner[i] == '0') ++i;
        const std::size_t significant = i;
        while (i < corner.size() && isDigit(corner[i])) ++i;
        if (i == first) {
            fault(offsetOf(corner) + start,
                  start == 0 && i == 0
                      ? std::string("expected a ") + what + " index, found " + quoted(corner)
                      : std::string("expected a ") + what + " index at " +
                            (start < corner.size() ? describeChar(corner[start]) : "the end") +
                            " of " + quoted(corner));
            return false;
        }
        if (i - significant < 10) return true;
        std::uint64_t value = 0;
        for (std::size_t k = significant; k < i && value <= 0x7FFFFFFF; ++k) {
            value = value * 10 + std::uint64_t(corner[k] - '0');
        }
        if (value <= 0x7FFFFFFF) return true;
        const std::string written(corner.substr(start, i - start));
        std::string why = std::string(what) + " index " + written;
        if (count == std::size_t(-1)) {
            why += " is out of the range of a 32-bit integer";
        } else if (count == 0) {
            why += std::string(": no ") + what + " comes before this face";
        } else {
            why += corner[start] == '-' ? " is outside -" + std::to_string(count) + "..-1"
                                        : " is outside 1.." + std::to_string(count);
        }
        fault(offsetOf(corner) + start, why);
        return false;
    }

    void face() {
        bool any = false;
        for (std::string_view corner; lines.nextWord(corner);) {
            any = true;
            std::size_t i = 0;
            if (!index(corner, i, "vertex", survey.vertices)) return;
            const char* after = "vertex";
            if (i < corner.size() && corner[i] == '/') {
                ++i;
                if (i < corner.size() && corner[i] == '/') {
                    ++i;
                    if (!index(corner, i, "normal", std::size_t(-1))) return;
                    after = "normal";
                } else {
                    if (!index(corner, i, "texture coordinate", survey.texcoords)) return;
                    after = "texture coordinate";
                    if (i < corner.size() && corner[i] == '/') {
                        ++i;
                        if (!index(corner, i, "normal", std::size_t(-1))) return;
                        after = "normal";
                    }
                }
            }
            if (i < corner.size()) {
                fault(offsetOf(corner) + i,
                      "unexpected " + describeChar(corner[i]) + " after the " + after + " index");
                return;
            }
        }
        if (any) ++survey.faces;
    }

    std::string_view text;
    TextLines lines;
    ObjSurvey& survey;
};

}  // namespace

void surveyObj(std::string_view text, ObjSurvey& survey) {
    survey = ObjSurvey{};
    Surveyor(text, survey).run();
}

namespace {

// How many words follow a texture option of MTL, at most; -1 for a word
// that is no option, where the file name starts.
int optionWords(std::string_view word) {
    static const struct {
        std::string_view name;
        int words;
    } options[] = {{"-blendu", 1},  {"-blendv", 1}, {"-boost", 1},  {"-mm", 2},    {"-o", 3},
                   {"-s", 3},       {"-t", 3},      {"-texres", 1}, {"-clamp", 1}, {"-bm", 1},
                   {"-imfchan", 1}, {"-type", 1},   {"-cc", 1}};
    for (const auto& option : options) {
        if (word == option.name) return option.words;
    }
    return -1;
}

// Tools differ in the case they write it in.
bool isMapKd(std::string_view word) {
    if (word.size() != 6) return false;
    for (std::size_t i = 0; i < 6; ++i) {
        if (std::tolower(static_cast<unsigned char>(word[i])) != "map_kd"[i]) return false;
    }
    return true;
}

}  // namespace

bool readMtl(std::string_view text, std::vector<ObjMaterial>& materials, FileError& error) {
    materials.clear();
    std::string decoded;
    if (!readableText(text, decoded, error)) return false;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    TextLines lines(text);
    while (lines.nextLine()) {
        std::string_view word;
        if (!lines.nextWord(word)) continue;
        if (word == "newmtl") {
            materials.push_back({lines.rest(), ""});
        } else if (isMapKd(word) && !materials.empty() && materials.back().picture.empty()) {
            // Options first, some with a varying count of numbers; the rest
            // of the line is the file's name, blanks and all.
            while (lines.nextWord(word)) {
                const int words = optionWords(word);
                if (words < 0) {
                    lines.unread(word);
                    break;
                }
                for (int k = 0; k < words && lines.nextWord(word); ++k) {
                    if (k > 0 && words == 3 && checkNumber(word).at != std::string_view::npos) {
                        lines.unread(word);
                        break;
                    }
                }
            }
            materials.back().picture = lines.rest();
        }
    }
    return true;
}

}  // namespace gloam
