#include "gloam/meshio/pob.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "gloam/geometry/large_array.h"
#include "gloam/platform/files.h"

namespace gloam {

namespace {

constexpr std::string_view header = "POBFILE";

// The format caps comment lines at 79 characters so that a reader can keep a
// line in an 80-byte buffer; a longer one is not a POB file.
constexpr std::ptrdiff_t maxCommentLength = 79;

// What stream extraction skips in the C locale: space, \t, \n, \v, \f, \r.
// One test of a bit mask instead of a chain of comparisons: separators are
// tested between every two numbers.
bool isSpace(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ' && ((std::uint64_t{0x100003E00} >> u) & 1) != 0;
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Numbers of up to eight digits, eight bytes at a time. The bytes are read
// as one little-endian word, so the first character is the lowest byte.
struct Digits {
    std::uint64_t word;  // the eight bytes with '0'..'9' turned into 0..9
    int count;           // how many of them, from the first, are digits
};

Digits leadingDigits(const char* at) {
    std::uint64_t bytes;
    std::memcpy(&bytes, at, 8);
    const std::uint64_t word = bytes ^ 0x3030303030303030u;
    // A byte is a digit when it is now below 10. Adding 0x76 to its low
    // seven bits sets its top bit when they are 10 or more, without a carry
    // into the next byte; a top bit already set is not a digit either.
    const std::uint64_t nonDigits =
        (((word & 0x7F7F7F7F7F7F7F7Fu) + 0x7676767676767676u) | word) & 0x8080808080808080u;
    return {word, nonDigits ? std::countr_zero(nonDigits) / 8 : 8};
}

// The value of the first `count` (1 to 8) digit bytes of `word`: moved up so
// that leading zeros fill the low bytes, then neighbouring digits, pairs and
// quadruples are combined in three multiplications.
std::uint32_t digitsValue(std::uint64_t word, int count) {
    word <<= 8 * (8 - count);
    word = (word * 10 + (word >> 8)) & 0x00FF00FF00FF00FFu;
    word = (word * 100 + (word >> 16)) & 0x0000FFFF0000FFFFu;
    return std::uint32_t((word * 10000 + (word >> 32)) & 0xFFFFFFFFu);
}

// Why a parse stopped. Each names something the user can find and fix at
// the place the parse stopped.
enum class Fault {
    Empty,
    ByteOrderMark,
    Header,
    HeaderLineEnd,
    LongComment,
    MissingComment,
    EndOfFile,
    NotANumber,
    NotAWholeNumber,
    StrayCharacter,
    IntegerRange,
    FloatRange,
    NegativeCount,
    CountsBeyondFile,
    CountsLineEnd,
    VerticesLineEnd,
    TrianglesLineEnd,
    IndexOutside,
    TrailingText,
};

constexpr float powersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};

// The plain reader's report: nothing is kept, so the compiler drops every
// trace of the diagnosis from its loops.
struct NoReport {
    bool operator()(std::int64_t, char, Fault, std::int64_t = 0, std::int64_t = 0) { return false; }
};

// The diagnostic reader's report: where the parse stopped (as an offset in
// the file, since a file is read in pieces), the byte there, why, and up to
// two numbers for the message. Turned into text only once, at the end.
struct Report {
    std::int64_t offset = 0;
    char byte = 0;
    Fault fault = Fault::Empty;
    std::int64_t first = 0, second = 0;

    bool operator()(std::int64_t where, char found, Fault why, std::int64_t a = 0,
                    std::int64_t b = 0) {
        offset = where;
        byte = found;
        fault = why;
        first = a;
        second = b;
        return false;
    }
};

// Line and column (from 1, in bytes) of the byte after those counted, which
// arrive in pieces. Counted only where a failure needs it: after a failed
// parse, or as a stream goes by, whose bytes cannot be read again.
struct Position {
    std::int64_t line = 1, column = 1;

    void count(const char* from, std::size_t size) {
        for (const char* lf; (lf = static_cast<const char*>(std::memchr(from, '\n', size)));) {
            ++line;
            column = 1;
            size -= std::size_t(lf + 1 - from);
            from = lf + 1;
        }
        column += std::int64_t(size);
    }
};

// What may stand in a number: a run of these longer than a piece may still
// be one, so the piece grows to hold it.
bool isNumberByte(char c) {
    return isDigit(c) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E';
}

// A file read in pieces that each end with a line end (or at the end of the
// file), so that no line, and so no number, is ever split between two of
// them. One small buffer serves the whole file: it stays in the caches, and
// a large file needs no memory of its size, all of it fresh pages that the
// system would first have to clear. A line longer than the buffer makes it
// grow.
//
// A stream (a pipe, a device) is read as it arrives, and a piece is handed
// over as soon as it holds a line end, so that the parse sees a wrong byte
// as soon as its line is in. A full buffer without a line end cannot make a
// stream's buffer grow without bound: it is handed over as a partial piece
// cut after its last separator, which splits no number but a line, and
// only a run of number bytes longer than the buffer makes it grow (that may
// still be a valid number). The first line is checked byte by byte as it
// arrives, so that a stream that does not start as a POB file is refused
// without waiting for a line end it may never send.
class Pieces {
public:
    // False, with the reason, when the file cannot be opened.
    bool open(const char* fileName, std::string& why) { return input.open(fileName, why); }

    // Whether the file is a stream, whose size is not known.
    bool isStream() const { return input.isStream(); }

    // The next piece, after the one last given; false at the end of the file
    // or when it cannot be read (error() says so).
    bool next(const char*& from, const char*& to) {
        if (isStream()) passed.count(buffer.get(), given);
        std::memmove(buffer.get(), buffer.get() + given, filled - given);
        filled -= given;
        start += std::int64_t(given);
        given = 0;
        partialPiece = false;
        std::size_t searched = 0, cut = 0;
        while (true) {
            // The last line end in what is new, searched from the back.
            for (std::size_t i = filled; i > searched; --i) {
                if (buffer[i - 1] == '\n') {
                    cut = i;
                    break;
                }
            }
            searched = filled;
            if (cut > 0 || atEnd) break;
            if (filled == capacity) {
                if (isStream() && (cut = separatorCut()) > 0) {
                    partialPiece = true;
                    break;
                }
                grow();
            }
            if (isStream()) {
                const std::ptrdiff_t got = input.readSome(buffer.get() + filled, capacity - filled);
                if (got > 0) filled += std::size_t(got);
                atEnd = got <= 0 || !firstLineFits();
            } else {
                filled += input.read(buffer.get() + filled, capacity - filled);
                atEnd = filled < capacity;
            }
            if (input.failed()) failure = input.error();
        }
        given = cut > 0 ? cut : filled;
        from = buffer.get();
        to = from + given;
        return given > 0;
    }

    // Whether the piece last given ends inside a line, which then goes on
    // for longer than the buffer.
    bool partial() const { return partialPiece; }
    // The file offset of the piece last given.
    std::int64_t offset() const { return start; }
    // Bytes of the file after the piece last given; for a stream, which may
    // hold any amount, more than any counts can ask for.
    std::int64_t after() const {
        if (isStream()) return std::int64_t{1} << 60;
        return std::max<std::int64_t>(input.size() - start - std::int64_t(given), 0);
    }
    // The system's error number when a read failed, else 0.
    int error() const { return failure; }

    // The line and column of `offset` in a stream, which lies in the piece
    // last given or the bytes read after it.
    void place(std::int64_t offset, FileError& error) const {
        Position at = passed;
        const std::int64_t inBuffer =
            std::clamp<std::int64_t>(offset - start, 0, std::int64_t(filled));
        at.count(buffer.get(), std::size_t(inBuffer));
        error.line = at.line;
        error.column = at.column;
    }

private:
    void grow() {
        capacity *= 2;
        auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
        std::memcpy(bigger.get(), buffer.get(), filled);
        buffer = std::move(bigger);
    }

    // Where a full buffer without a line end is cut: after its last
    // separator, unless that is a CR whose LF may come next; 0 when it holds
    // a run of number bytes alone, which must be kept whole. With neither,
    // all of it: the parse fails inside it.
    std::size_t separatorCut() const {
        for (std::size_t i = filled; i > 0; --i) {
            const char c = buffer[i - 1];
            if (isSpace(c) && !(c == '\r' && i == filled)) return i;
        }
        const bool number = std::all_of(buffer.get(), buffer.get() + filled - 1, isNumberByte) &&
                            (isNumberByte(buffer[filled - 1]) || buffer[filled - 1] == '\r');
        return number ? 0 : filled;
    }

    // While the first line of a stream is still coming: whether what has
    // come so far can begin "POBFILE" and its line end.
    bool firstLineFits() const {
        if (start > 0) return true;
        constexpr std::string_view line = "POBFILE\r\n";
        for (std::size_t i = 0; i < filled && i < line.size(); ++i) {
            if (buffer[i] == '\n' && i >= header.size()) return true;
            if (buffer[i] != line[i]) return false;
        }
        return true;
    }

    static constexpr std::size_t pieceSize = std::size_t{256} << 10;
    InputFile input;
    std::size_t capacity = pieceSize;
    std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(pieceSize);
    std::size_t filled = 0;  // bytes in the buffer
    std::size_t given = 0;   // of which the last piece
    std::int64_t start = 0;  // file offset of the buffer's first byte
    Position passed;         // of the buffer's first byte, in a stream
    bool atEnd = false;
    bool partialPiece = false;
    int failure = 0;
};

// One pass over the file's bytes. Every read either advances past what it
// accepted or reports failure, after which the parse is abandoned. Every
// failure goes through `fail`, which notes where and why for the report.
template <class Fail>
class Cursor {
public:
    // Over `text` alone, or over the pieces of a file.
    Cursor(std::string_view text, Fail& report)
        : begin(text.data()), p(text.data()), end(text.data() + text.size()), fail(report) {}
    Cursor(Pieces& pieces, Fail& report) : more(&pieces), fail(report) { refill(); }

    // Bytes of the text not read yet.
    std::int64_t remaining() const { return (end - p) + (more ? more->after() : 0); }
    // Whether the text's size is known, so that it bounds the counts.
    bool bounded() const { return !more || !more->isStream(); }
    const char* at() const { return p; }

    // A place in the text that stays valid when the cursor moves on to
    // another piece of a file: its offset and the byte there.
    struct Mark {
        std::int64_t offset;
        char byte;
    };
    Mark mark(const char* where) const {
        return {(more ? more->offset() : 0) + (where - begin), where < end ? *where : '\0'};
    }

    // Notes a failure at `where`, which lies in the current piece.
    bool fault(const char* where, Fault why, std::int64_t a = 0, std::int64_t b = 0) {
        return fault(mark(where), why, a, b);
    }
    bool fault(Mark where, Fault why, std::int64_t a = 0, std::int64_t b = 0) {
        return fail(where.offset, where.byte, why, a, b);
    }

    // The start of the token that ends at `where`.
    const char* tokenBefore(const char* where) const {
        while (where > begin && !isSpace(where[-1])) --where;
        return where;
    }

    // The first line, failing at the first byte that differs.
    bool firstLine() {
        const std::size_t n = std::min(header.size(), std::size_t(end - p));
        const char* differs = std::mismatch(p, p + n, header.data()).first;
        if (differs - p == std::ptrdiff_t(header.size())) {
            p = differs;
            return lineEnd() || fault(p, Fault::HeaderLineEnd);
        }
        if (p == end) return fault(p, Fault::Empty);
        if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) {
            return fault(p, Fault::ByteOrderMark);
        }
        return fault(differs, Fault::Header);
    }

    // LF, or CRLF, which a text-mode read on Windows turns into one LF.
    bool lineEnd() {
        if (p < end && *p == '\n') {
            nextLine(p + 1);
            return true;
        }
        if (end - p >= 2 && p[0] == '\r' && p[1] == '\n') {
            nextLine(p + 2);
            return true;
        }
        return false;
    }

    // Discards the rest of the current line and its line end; the last line
    // of a file may lack one.
    bool skipComment() {
        const char* lf = p == end
                             ? nullptr
                             : static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        const char* stop = lf ? lf : end;
        const char* textEnd = lf && stop > p && stop[-1] == '\r' ? stop - 1 : stop;
        // A partial piece of a stream ends inside a line longer than it.
        if (textEnd - p > maxCommentLength || (!lf && more && more->partial())) {
            return fault(p + maxCommentLength, Fault::LongComment);
        }
        nextLine(lf ? lf + 1 : end);
        return true;
    }

    // The boundary between a section and the next one's comment line: the
    // character after the section's last number must be its line end, and
    // the next line is skipped. An empty section has no last number; then
    // one character is taken in its place, the comment line's first, and
    // the rest of that line is skipped. So a blank comment line after an
    // empty section takes the line after it along.
    bool sectionEnd(bool afterNumber, Fault noLineEnd) {
        if (afterNumber) {
            if (!lineEnd()) return fault(p, noLineEnd);
        } else if (!lineEnd()) {
            if (p == end) return fault(p, Fault::MissingComment);
            ++p;
        }
        return skipComment();
    }

    // Reads `count` numbers into out[0..count): integers, each checked to
    // lie in 0..below-1, or floats. Nearly every number of a file is a short
    // run of digits after one or two separators; those are converted eight
    // bytes at a time (quickIndex, quickFloat), and runs of one-digit numbers
    // sixteen bytes at a time (singleDigits). Everything else, near the end
    // of the text or not of those forms, goes through readInt or readFloat,
    // which read the same value wherever both accept a number and say where
    // and why when the text is wrong.
    template <class T>
    bool readMany(T* out, int count, std::int32_t below = 0) {
        for (int k = 0; k < count; ++k) {
            if constexpr (std::is_same_v<T, float>) {
                if (count - k >= 8 && singleDigits(out + k)) {
                    k += 7;
                    continue;
                }
                if (!quickFloat(out[k]) && !readFloat(out[k])) return false;
            } else {
                if (!quickIndex(out[k], below) && !readInt(out[k])) return false;
                if (out[k] < 0 || out[k] >= below) {
                    return fault(tokenBefore(p), Fault::IndexOutside, out[k], below);
                }
            }
        }
        return true;
    }

    // Eight numbers of one digit each, each after one separator: how
    // texture coordinates of 0 and 1 come, a line of a box's or a grid's
    // texture coordinates at a time. False, with nothing read, for anything
    // else.
    bool singleDigits([[maybe_unused]] float* out) {
#if defined(__SSE2__)
        if (end - p < 24) return false;
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto digits = unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('0' - 1)),
                                            _mm_cmplt_epi8(bytes, _mm_set1_epi8('9' + 1)))));
        if (digits != 0xAAAA || (spaces16(bytes) & 0x5555) != 0x5555 || !isSpace(p[16])) {
            return false;
        }
        // The digits are the high bytes of the eight 16-bit lanes.
        const __m128i values = _mm_sub_epi16(_mm_srli_epi16(bytes, 8), _mm_set1_epi16('0'));
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_ps(out, _mm_cvtepi32_ps(_mm_unpacklo_epi16(values, zero)));
        _mm_storeu_ps(out + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(values, zero)));
        p += 16;
        return true;
#else
        return false;
#endif
    }

#if defined(__SSE2__)
    // Bit i set when byte i is a separator.
    static unsigned spaces16(__m128i bytes) {
        const __m128i blank = _mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '));
        // \t..\r (9..13) move to -128..-124, the only bytes below -123.
        const __m128i control =
            _mm_cmplt_epi8(_mm_add_epi8(bytes, _mm_set1_epi8(0x77)), _mm_set1_epi8(-123));
        return unsigned(_mm_movemask_epi8(_mm_or_si128(blank, control)));
    }
#endif

    // A separator or two, then one of the short forms; false, with nothing
    // read, for anything else.
    [[gnu::always_inline]] bool quickIndex(std::int32_t& value, std::int32_t below) {
        if (end - p < 24) return false;
        const char* q = p;
        while (isSpace(*q) && q - p < 2) ++q;
        const Digits digits = leadingDigits(q);
        if (digits.count == 0 || !isSpace(q[digits.count])) return false;
        const auto number = std::int32_t(digitsValue(digits.word, digits.count));
        if (number >= below) return false;
        value = number;
        p = q + digits.count;
        return true;
    }

    [[gnu::always_inline]] bool quickFloat(float& value) {
        if (end - p < 24) return false;
        const char* q = p;
        while (isSpace(*q) && q - p < 2) ++q;
        // One digit alone, as texture coordinates of 0 and 1 are written.
        if (isDigit(q[0]) && isSpace(q[1])) {
            value = float(q[0] - '0');
            p = q + 1;
            return true;
        }
        const bool negative = *q == '-';
        if (negative || *q == '+') ++q;
        const Digits digits = leadingDigits(q);
        const int whole = digits.count;
        if (whole > 0 && whole <= 7 && isSpace(q[whole])) {
            const auto magnitude = float(digitsValue(digits.word, whole));
            value = negative ? -magnitude : magnitude;
            p = q + whole;
            return true;
        }
        if (whole == 0 || whole > 6 || q[whole] != '.') return false;
        const Digits after = leadingDigits(q + whole + 1);
        const int fraction = std::min(after.count, 7 - whole);
        const char* stop = q + whole + 1 + fraction;
        if (fraction == 0 || !isSpace(*stop)) return false;
        const std::uint64_t low = (std::uint64_t{1} << (8 * whole)) - 1;
        const std::uint64_t joined = (digits.word & low) | ((after.word << (8 * whole)) & ~low);
        const float magnitude =
            float(digitsValue(joined, whole + fraction)) / powersOfTen[fraction];
        value = negative ? -magnitude : magnitude;
        p = stop;
        return true;
    }

    bool readInt(std::int32_t& value) {
        if (!skipSpace()) return fault(p, Fault::EndOfFile);
        const char* q = p;
        // from_chars takes a minus sign but not a plus sign.
        if (*q == '+' && (++q == end || !isDigit(*q))) return fault(q, Fault::NotAWholeNumber);
        const auto [stop, error] = std::from_chars(q, end, value);
        if (error == std::errc::result_out_of_range) return fault(p, Fault::IntegerRange);
        if (error != std::errc()) return fault(q + (*q == '-'), Fault::NotAWholeNumber);
        if (!tokenEndsAt(stop)) return fault(stop, Fault::StrayCharacter, 1);
        p = stop;
        return true;
    }

    bool readFloat(float& value) {
        if (!skipSpace()) return fault(p, Fault::EndOfFile);
        const char* q = p;
        const bool negative = *q == '-';
        if (*q == '-' || *q == '+') ++q;
        if (q == end) return fault(q, Fault::EndOfFile);
        float magnitude = 0.0f;
        const char* stop = nullptr;
        // Whole numbers of up to seven digits (texture coordinates 0 and 1,
        // most modelled positions) are below 2^24 and so exact in a float;
        // they skip the general conversion, the bulk of the reading time.
        const char* digits = q;
        std::int32_t whole = 0;
        while (digits < end && digits - q < 8 && isDigit(*digits)) {
            whole = whole * 10 + (*digits++ - '0');
        }
        // Short decimals ("-49.9", "0.333333") likewise: with at most seven
        // digits in all, the digits make a whole number below 2^24 and the
        // point divides it by at most 10^7, both exact in a float, so one
        // float division rounds the quotient correctly, as the general
        // conversion does.
        const char* fraction = digits;
        std::int32_t scale = 1;
        if (digits > q && digits - q <= 7 && digits < end && *digits == '.') {
            ++fraction;
            while (fraction < end && isDigit(*fraction) && fraction - q <= 7) {
                whole = whole * 10 + (*fraction++ - '0');
                scale *= 10;
            }
        }
        if (digits > q && digits - q <= 7 && tokenEndsAt(digits)) {
            magnitude = float(whole);
            stop = digits;
        } else if (scale > 1 && tokenEndsAt(fraction)) {
            magnitude = float(whole) / float(scale);
            stop = fraction;
        } else if (isDigit(*q) || *q == '.') {
            // Out of range either way (overflow, or underflow to zero) is
            // rejected: the writer never produces such a number.
            const auto result = std::from_chars(q, end, magnitude, std::chars_format::general);
            if (result.ec == std::errc::result_out_of_range) return fault(p, Fault::FloatRange);
            if (result.ec != std::errc()) return fault(q, Fault::NotANumber);
            stop = result.ptr;
        } else if (startsWith(q, "inf")) {
            magnitude = std::numeric_limits<float>::infinity();
            stop = q + 3;
        } else if (startsWith(q, "nan")) {
            magnitude = std::numeric_limits<float>::quiet_NaN();
            stop = q + 3;
        } else {
            return fault(q, Fault::NotANumber);
        }
        if (!tokenEndsAt(stop)) return fault(stop, Fault::StrayCharacter, 0);
        value = negative ? -magnitude : magnitude;
        p = stop;
        return true;
    }

    bool onlySpaceLeft() { return !skipSpace() || fault(p, Fault::TrailingText); }

private:
    // False when nothing but white space is left.
    bool skipSpace() {
        do {
            while (p < end && isSpace(*p)) ++p;
        } while (p == end && refill());
        return p < end;
    }

    // Moves to `lineStart`, the start of a line, and on to the next piece of
    // a file when that is the end of the current one. Pieces end with line
    // ends, so every other read finds the end of a piece only at the end of
    // the file.
    void nextLine(const char* lineStart) {
        p = lineStart;
        if (p == end) refill();
    }

    bool refill() {
        if (!more) return false;
        const bool got = more->next(p, end);
        begin = p;
        return got;
    }

    // A number glued to anything else ("1,2", "3.5.1", "7#") is malformed,
    // not a number followed by another token.
    bool tokenEndsAt(const char* q) const { return q == end || isSpace(*q); }

    bool startsWith(const char* q, std::string_view word) const {
        return end - q >= std::ptrdiff_t(word.size()) &&
               std::memcmp(q, word.data(), word.size()) == 0;
    }

    const char* begin = nullptr;  // of the current piece
    const char* p = nullptr;
    const char* end = nullptr;
    Pieces* more = nullptr;
    Fail& fail;
};

std::string describeByte(char c) {
    if (c > ' ' && c < 127) return std::string("'") + c + "'";
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", unsigned(static_cast<unsigned char>(c)));
    return std::string("byte ") + hex;
}

std::string reasonFor(const Report& report) {
    using std::to_string;
    switch (report.fault) {
        case Fault::Empty:
            return "the file is empty; a POB file starts with the line POBFILE";
        case Fault::ByteOrderMark:
            return "the file starts with a byte-order mark; save it as plain text without one";
        case Fault::Header:
            return "the first line must be exactly POBFILE";
        case Fault::HeaderLineEnd:
            return "expected the line end right after POBFILE";
        case Fault::LongComment:
            return "comment line longer than 79 characters";
        case Fault::MissingComment:
            return "the file ends where a comment line was expected";
        case Fault::EndOfFile:
            return "expected a number, found the end of the file";
        case Fault::NotANumber:
            return "expected a number";
        case Fault::NotAWholeNumber:
            return "expected a whole number";
        case Fault::StrayCharacter:
            return "unexpected " + describeByte(report.byte) + " in " +
                   (report.first ? "a whole number" : "a number");
        case Fault::IntegerRange:
            return "number out of the range of a 32-bit integer";
        case Fault::FloatRange:
            return "number out of the range of a float";
        case Fault::NegativeCount:
            return std::string(report.second ? "triangle" : "vertex") + " count " +
                   to_string(report.first) + " is negative";
        case Fault::CountsBeyondFile:
            return "the counts " + to_string(report.first) + " and " + to_string(report.second) +
                   " need more numbers than the rest of the file holds";
        case Fault::CountsLineEnd:
            return "expected the line end right after the triangle count";
        case Fault::VerticesLineEnd:
            return "expected the line end right after the last vertex";
        case Fault::TrianglesLineEnd:
            return "expected the line end right after the last triangle";
        case Fault::IndexOutside:
            if (report.second == 0) {
                return "index " + to_string(report.first) +
                       " refers to a vertex, but there are none";
            }
            return "index " + to_string(report.first) + " is outside 0.." +
                   to_string(report.second - 1);
        case Fault::TrailingText:
            return "text after the last texture coordinate: the counts announce no more";
    }
    return "not a valid POB file";
}

// An array that the reader fills in order. When the file's size has bounded
// the count, all of it is taken at once and its pages are faulted a window
// ahead of the elements being written: one call a window instead of a fault
// a page, yet never more than a window of memory for numbers that have not
// arrived, so that a file whose counts promise more than it holds costs
// little. A stream bounds nothing, so its array starts small and doubles as
// the numbers arrive: counts that promise more than the stream brings cost
// only what it brought.
template <class T>
class Filling {
public:
    Filling(std::size_t count, bool bounded)
        : count(count),
          capacity(bounded ? count : std::min(count, std::size_t{1024})),
          prefault(bounded),
          array(large_array::storage<T>(capacity)) {}

    // The array, with room for elements up to `end`; those before `done`
    // have been written and are kept if it moves.
    T* before(std::size_t done, std::size_t end) {
        if (end > capacity) {
            capacity = std::min(count, std::max(2 * capacity, end));
            LargeArray<T> bigger(large_array::storage<T>(capacity));
            std::uninitialized_copy_n(array.get(), done, bigger.get());
            array = std::move(bigger);
        }
        while (prefault && ready < std::min(end, count)) {
            const std::size_t n = std::min(window, count - ready);
            large_array::prefault(array.get() + ready, n * sizeof(T));
            ready += n;
        }
        return array.get();
    }

    LargeArray<T> take() { return std::move(array); }

private:
    static constexpr std::size_t window = (std::size_t{2} << 20) / sizeof(T);
    std::size_t count;
    std::size_t capacity;
    bool prefault;
    LargeArray<T> array;
    std::size_t ready = 0;
};

// The reader proper, shared by both forms. With NoReport it is the plain
// reader; with Report the same steps also say where and why they stopped.
template <class Fail>
std::unique_ptr<Mesh> parse(Cursor<Fail>& in) {
    if (!in.firstLine() || !in.skipComment()) return nullptr;

    std::int32_t vertexCount = 0, triangleCount = 0;
    if (!in.readInt(vertexCount)) return nullptr;
    // Kept as a mark: the line end after the counts may move the cursor on to
    // the file's next piece.
    const auto countsAt = in.mark(in.tokenBefore(in.at()));
    if (vertexCount < 0) {
        in.fault(countsAt, Fault::NegativeCount, vertexCount, 0);
        return nullptr;
    }
    if (!in.readInt(triangleCount)) return nullptr;
    if (triangleCount < 0) {
        in.fault(in.tokenBefore(in.at()), Fault::NegativeCount, triangleCount, 1);
        return nullptr;
    }
    if (!in.lineEnd()) {
        in.fault(in.at(), Fault::CountsLineEnd);
        return nullptr;
    }
    // Each number takes at least one character and one separator, so the
    // counts are checked against what is left before anything is allocated.
    const std::int64_t numbers = 3 * std::int64_t(vertexCount) + 9 * std::int64_t(triangleCount);
    if (numbers > 0 && 2 * numbers - 1 > in.remaining()) {
        in.fault(countsAt, Fault::CountsBeyondFile, vertexCount, triangleCount);
        return nullptr;
    }
    if (!in.skipComment()) return nullptr;

    // Read straight into the arrays the mesh takes over: copying a large
    // mesh's arrays costs about as much as parsing them. Each element is
    // constructed as its numbers arrive (the vertices default-constructed,
    // as every reader's are, then placed), so that each array is written
    // once rather than cleared first; one that is given up part-way is only
    // released, which its trivially destructible elements allow.
    constexpr int batch = 64;
    Filling<Vertex> vertices(std::size_t(vertexCount), in.bounded());
    float positions[3 * batch];
    for (std::int32_t i = 0; i < vertexCount; i += batch) {
        const int n = std::min(batch, vertexCount - i);
        Vertex* v = vertices.before(std::size_t(i), std::size_t(i + n));
        if (!in.readMany(positions, 3 * n)) return nullptr;
        for (int k = 0; k < n; ++k) {
            ::new (&v[i + k]) Vertex();
            v[i + k].setPosition(positions[3 * k], positions[3 * k + 1], positions[3 * k + 2]);
        }
    }
    if (!in.sectionEnd(vertexCount > 0, Fault::VerticesLineEnd)) return nullptr;

    Filling<Triangle> triangles(std::size_t(triangleCount), in.bounded());
    std::int32_t indices[3 * batch];
    for (std::int32_t t = 0; t < triangleCount; t += batch) {
        const int n = std::min(batch, triangleCount - t);
        Triangle* into = triangles.before(std::size_t(t), std::size_t(t + n));
        if (!in.readMany(indices, 3 * n, vertexCount)) return nullptr;
        for (int k = 0; k < n; ++k) {
            ::new (&into[t + k]) Triangle{indices[3 * k], indices[3 * k + 1], indices[3 * k + 2]};
        }
    }
    if (!in.sectionEnd(triangleCount > 0, Fault::TrianglesLineEnd)) return nullptr;

    Filling<TriangleUV> uvs(std::size_t(triangleCount), in.bounded());
    float corners[6 * batch];
    for (std::int32_t t = 0; t < triangleCount; t += batch) {
        const int n = std::min(batch, triangleCount - t);
        TriangleUV* into = uvs.before(std::size_t(t), std::size_t(t + n));
        if (!in.readMany(corners, 6 * n)) return nullptr;
        for (int k = 0; k < n; ++k) {
            const float* c = corners + 6 * k;
            TriangleUV& uv = *::new (&into[t + k]) TriangleUV();
            for (int j = 0; j < 3; ++j) {
                uv[j].tu = c[2 * j];
                uv[j].tv = c[2 * j + 1];
            }
        }
    }
    // Further numbers would mean the counts are wrong.
    if (!in.onlySpaceLeft()) return nullptr;
    return std::make_unique<Mesh>(vertexCount, vertices.take(), triangleCount, triangles.take(),
                                  uvs.take());
}

// Line and column of a byte, from the bytes before it, handed over in
// pieces. Counted only once a parse has failed, so that reading never pays
// for it.
class Place {
public:
    explicit Place(std::int64_t offset) : left(offset) {}

    // Takes the next bytes; false once the byte is reached.
    bool take(const char* from, std::size_t size) {
        const auto n = std::size_t(std::min<std::int64_t>(left, std::int64_t(size)));
        at.count(from, n);
        left -= std::int64_t(n);
        return left > 0;
    }

    void into(FileError& error) const {
        error.line = at.line;
        error.column = at.column;
    }

private:
    std::int64_t left;
    Position at;
};

// The place of `offset` in a file, read again from its start.
void placeInFile(const char* fileName, std::int64_t offset, FileError& error) {
    Place place(offset);
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) return;
    char chunk[1 << 16];
    std::size_t got = 0;
    while (place.take(chunk, got) && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    }
    std::fclose(file);
    place.into(error);
}

template <class Fail>
std::unique_ptr<Mesh> parseText(std::string_view text, Fail& fail) {
    Cursor<Fail> in(text, fail);
    return parse(in);
}

// A file in pieces; null as well when a read failed, which pieces.error()
// tells.
template <class Fail>
std::unique_ptr<Mesh> parseFile(Pieces& pieces, Fail& fail) {
    Cursor<Fail> in(pieces, fail);
    auto mesh = parse(in);
    return pieces.error() ? nullptr : std::move(mesh);
}

}  // namespace

std::unique_ptr<Mesh> parsePob(std::string_view text) {
    NoReport quiet;
    return parseText(text, quiet);
}

std::unique_ptr<Mesh> parsePob(std::string_view text, FileError& error) {
    Report report;
    auto mesh = parseText(text, report);
    error.line = error.column = 0;
    error.reason.clear();
    if (!mesh) {
        Place place(report.offset);
        place.take(text.data(), text.size());
        place.into(error);
        error.reason = reasonFor(report);
    }
    return mesh;
}

std::unique_ptr<Mesh> loadPob(const char* fileName) {
    Pieces pieces;
    std::string reason;
    if (!fileName || !pieces.open(fileName, reason)) return nullptr;
    NoReport quiet;
    return parseFile(pieces, quiet);
}

std::unique_ptr<Mesh> loadPob(const char* fileName, FileError& error) {
    error = FileError{fileName ? fileName : "", 0, 0, ""};
    if (!fileName) {
        error.reason = "no file name";
        return nullptr;
    }
    Pieces pieces;
    if (!pieces.open(fileName, error.reason)) return nullptr;
    Report report;
    auto mesh = parseFile(pieces, report);
    if (pieces.error()) {
        error.reason = "cannot read: " + systemReason(pieces.error());
    } else if (!mesh) {
        // A stream cannot be read again; its pieces counted lines as they
        // went by.
        if (pieces.isStream()) {
            pieces.place(report.offset, error);
        } else {
            placeInFile(fileName, report.offset, error);
        }
        error.reason = reasonFor(report);
    }
    return mesh;
}

}  // namespace gloam
