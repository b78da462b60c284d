#include "gloam/meshio/pob.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "gloam/geometry/large_array.h"
#include "gloam/platform/files.h"

namespace gloam {

namespace {

constexpr std::string_view header = "POBFILE";
constexpr std::string_view countsComment = "#Number of Vertices, Number of Indices";
constexpr std::string_view verticesComment = "#Vertex Definitions, 1 per line, x,y,z";
constexpr std::string_view trianglesComment = "#Triangles, 1 per line, vertex num for point 1,2,3";
constexpr std::string_view uvsComment = "#TCoords, tu, tv pairs, 3 per triangle";

// The format caps comment lines at 79 characters so that a reader can keep a
// line in an 80-byte buffer; a longer one is not a POB file.
constexpr std::ptrdiff_t maxCommentLength = 79;

// What stream extraction skips in the C locale: space, \t, \n, \v, \f, \r.
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

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

// The plain reader's report: nothing is kept, so the compiler drops every
// trace of the diagnosis from its loops.
struct NoReport {
    bool operator()(const char*, Fault, std::int64_t = 0, std::int64_t = 0) { return false; }
};

// The diagnostic reader's report: where the parse stopped, why, and up to
// two numbers for the message. Turned into text only once, at the end.
struct Report {
    const char* at = nullptr;
    Fault fault = Fault::Empty;
    std::int64_t first = 0, second = 0;

    bool operator()(const char* where, Fault why, std::int64_t a = 0, std::int64_t b = 0) {
        at = where;
        fault = why;
        first = a;
        second = b;
        return false;
    }
};

// One pass over the file's bytes. Every read either advances past what it
// accepted or reports failure, after which the parse is abandoned. Every
// failure goes through `fail`, which notes where and why for the report.
template <class Fail>
class Cursor {
public:
    Cursor(std::string_view text, Fail& report)
        : p(text.data()), end(text.data() + text.size()), fail(report) {}

    std::ptrdiff_t remaining() const { return end - p; }
    const char* at() const { return p; }

    // The first line, failing at the first byte that differs.
    bool firstLine() {
        const std::size_t n = std::min(header.size(), std::size_t(end - p));
        const char* differs = std::mismatch(p, p + n, header.data()).first;
        if (differs - p == std::ptrdiff_t(header.size())) {
            p = differs;
            return lineEnd() || fail(p, Fault::HeaderLineEnd);
        }
        if (p == end) return fail(p, Fault::Empty);
        if (remaining() >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) {
            return fail(p, Fault::ByteOrderMark);
        }
        return fail(differs, Fault::Header);
    }

    // LF, or CRLF, which a text-mode read on Windows turns into one LF.
    bool lineEnd() {
        if (p < end && *p == '\n') {
            ++p;
            return true;
        }
        if (remaining() >= 2 && p[0] == '\r' && p[1] == '\n') {
            p += 2;
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
        if (textEnd - p > maxCommentLength) return fail(p + maxCommentLength, Fault::LongComment);
        p = lf ? lf + 1 : end;
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
            if (!lineEnd()) return fail(p, noLineEnd);
        } else if (!lineEnd()) {
            if (p == end) return fail(p, Fault::MissingComment);
            ++p;
        }
        return skipComment();
    }

    bool readInt(std::int32_t& value) {
        if (!skipSpace()) return fail(p, Fault::EndOfFile);
        const char* q = p;
        // from_chars takes a minus sign but not a plus sign.
        if (*q == '+' && (++q == end || !isDigit(*q))) return fail(q, Fault::NotAWholeNumber);
        const auto [stop, error] = std::from_chars(q, end, value);
        if (error == std::errc::result_out_of_range) return fail(p, Fault::IntegerRange);
        if (error != std::errc()) return fail(q + (*q == '-'), Fault::NotAWholeNumber);
        if (!tokenEndsAt(stop)) return fail(stop, Fault::StrayCharacter, 1);
        p = stop;
        return true;
    }

    bool readFloat(float& value) {
        if (!skipSpace()) return fail(p, Fault::EndOfFile);
        const char* q = p;
        const bool negative = *q == '-';
        if (*q == '-' || *q == '+') ++q;
        if (q == end) return fail(q, Fault::EndOfFile);
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
            if (result.ec == std::errc::result_out_of_range) return fail(p, Fault::FloatRange);
            if (result.ec != std::errc()) return fail(q, Fault::NotANumber);
            stop = result.ptr;
        } else if (startsWith(q, "inf")) {
            magnitude = std::numeric_limits<float>::infinity();
            stop = q + 3;
        } else if (startsWith(q, "nan")) {
            magnitude = std::numeric_limits<float>::quiet_NaN();
            stop = q + 3;
        } else {
            return fail(q, Fault::NotANumber);
        }
        if (!tokenEndsAt(stop)) return fail(stop, Fault::StrayCharacter, 0);
        value = negative ? -magnitude : magnitude;
        p = stop;
        return true;
    }

    bool onlySpaceLeft() { return !skipSpace() || fail(p, Fault::TrailingText); }

private:
    // False when nothing but white space is left.
    bool skipSpace() {
        while (p < end && isSpace(*p)) ++p;
        return p < end;
    }

    // A number glued to anything else ("1,2", "3.5.1", "7#") is malformed,
    // not a number followed by another token.
    bool tokenEndsAt(const char* q) const { return q == end || isSpace(*q); }

    bool startsWith(const char* q, std::string_view word) const {
        return end - q >= std::ptrdiff_t(word.size()) &&
               std::memcmp(q, word.data(), word.size()) == 0;
    }

    const char* p;
    const char* end;
    Fail& fail;
};

// The start of the token that holds `at`.
const char* tokenStart(std::string_view text, const char* at) {
    while (at > text.data() && !isSpace(at[-1])) --at;
    return at;
}

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
            return "unexpected " + describeByte(*report.at) + " in " +
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

// The reader proper, shared by both forms. With NoReport it is the plain
// reader; with Report the same steps also say where and why they stopped.
template <class Fail>
std::unique_ptr<Mesh> parse(std::string_view text, Fail& fail) {
    Cursor<Fail> in(text, fail);
    if (!in.firstLine() || !in.skipComment()) return nullptr;

    std::int32_t vertexCount = 0, triangleCount = 0;
    if (!in.readInt(vertexCount)) return nullptr;
    const char* countsAt = tokenStart(text, in.at());
    if (vertexCount < 0) {
        fail(countsAt, Fault::NegativeCount, vertexCount, 0);
        return nullptr;
    }
    if (!in.readInt(triangleCount)) return nullptr;
    if (triangleCount < 0) {
        fail(tokenStart(text, in.at()), Fault::NegativeCount, triangleCount, 1);
        return nullptr;
    }
    if (!in.lineEnd()) {
        fail(in.at(), Fault::CountsLineEnd);
        return nullptr;
    }
    // Each number takes at least one character and one separator, so the
    // counts are checked against what is left before anything is allocated.
    const std::int64_t numbers = 3 * std::int64_t(vertexCount) + 9 * std::int64_t(triangleCount);
    if (numbers > 0 && 2 * numbers - 1 > in.remaining()) {
        fail(countsAt, Fault::CountsBeyondFile, vertexCount, triangleCount);
        return nullptr;
    }
    if (!in.skipComment()) return nullptr;

    // Read straight into the arrays the mesh takes over: copying a large
    // mesh's arrays costs about as much as parsing them. The vertices are
    // default-constructed, as every reader's are; the other two arrays are
    // written in full before they are used.
    auto vertices = makeLargeArray<Vertex>(std::size_t(vertexCount));
    for (std::int32_t i = 0; i < vertexCount; ++i) {
        Vertex& v = vertices[i];
        if (!in.readFloat(v.x) || !in.readFloat(v.y) || !in.readFloat(v.z)) return nullptr;
    }
    if (!in.sectionEnd(vertexCount > 0, Fault::VerticesLineEnd)) return nullptr;

    auto triangles = makeLargeArrayForOverwrite<Triangle>(std::size_t(triangleCount));
    for (std::int32_t k = 0; k < triangleCount; ++k) {
        for (std::int32_t& index : triangles[k]) {
            if (!in.readInt(index)) return nullptr;
            if (index < 0 || index >= vertexCount) {
                fail(tokenStart(text, in.at()), Fault::IndexOutside, index, vertexCount);
                return nullptr;
            }
        }
    }
    if (!in.sectionEnd(triangleCount > 0, Fault::TrianglesLineEnd)) return nullptr;

    auto uvs = makeLargeArray<TriangleUV>(std::size_t(triangleCount));
    for (std::int32_t k = 0; k < triangleCount; ++k) {
        for (TexCoord& corner : uvs[k]) {
            if (!in.readFloat(corner.tu) || !in.readFloat(corner.tv)) return nullptr;
        }
    }
    // Further numbers would mean the counts are wrong.
    if (!in.onlySpaceLeft()) return nullptr;
    return std::make_unique<Mesh>(vertexCount, std::move(vertices), triangleCount,
                                  std::move(triangles), std::move(uvs));
}

// Line and column (from 1, in bytes) of `at`, counted only once a parse has
// failed so that reading never pays for it.
void place(std::string_view text, const char* at, FileError& error) {
    const std::string_view before(text.data(), std::size_t(at - text.data()));
    const std::size_t lastLineEnd = before.rfind('\n');
    error.line = 1 + std::count(before.begin(), before.end(), '\n');
    error.column = std::int64_t(
        lastLineEnd == std::string_view::npos ? before.size() + 1 : before.size() - lastLineEnd);
}

// A file's bytes. The buffer is not zero-filled: for a large file that
// costs a good part of the reading time, and only the bytes read are used.
struct FileBytes {
    LargeArray<char> data;
    std::size_t size = 0;

    std::string_view text() const { return {data.get(), size}; }
};

// The file's bytes, or false, with the system's reason in `reason`, when it
// cannot be opened or read to its end.
bool readFile(const char* fileName, FileBytes& bytes, std::string& reason) {
    std::FILE* file = std::fopen(fileName, "rb");
    if (!file) {
        reason = "cannot open: " + systemReason(errno);
        return false;
    }
    // The size the file reports is trusted only once a first read has shown
    // that it is a readable file (a directory reports a huge one); one byte
    // more than the size lets the second read see the end of the file.
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    bool ok = std::fseek(file, 0, SEEK_SET) == 0;
    if (!ok) reason = "cannot read: " + systemReason(errno);
    std::size_t capacity = 1 << 16, used = 0;
    auto data = makeLargeArrayForOverwrite<char>(capacity);
    while (ok) {
        const std::size_t wanted = capacity - used;
        const std::size_t got = std::fread(data.get() + used, 1, wanted, file);
        used += got;
        if (got < wanted) {
            ok = !std::ferror(file);
            if (!ok) reason = "cannot read: " + systemReason(errno);
            break;
        }
        capacity = std::max(capacity * 2, size >= 0 ? std::size_t(size) + 1 : 0);
        auto bigger = makeLargeArrayForOverwrite<char>(capacity);
        std::memcpy(bigger.get(), data.get(), used);
        data = std::move(bigger);
    }
    std::fclose(file);
    bytes.data = std::move(data);
    bytes.size = used;
    return ok;
}

// Formats into one buffer. Each line asks for room for its longest possible
// form first, so the number writers never check bounds themselves. Without
// a file the buffer grows to hold everything; with one it stays small and is
// written out whenever it fills, so that a large mesh never needs its whole
// text in memory (the fresh pages alone would cost more than the writing).
// The buffer is not zero-filled: for a large mesh that would cost about as
// much as formatting the numbers.
class Output {
public:
    explicit Output(std::size_t size, std::FILE* sink = nullptr)
        : buffer(std::make_unique_for_overwrite<char[]>(size)), capacity(size), file(sink) {}

    char* room(std::size_t n) {
        if (capacity - used < n) {
            if (file) flush();
            if (capacity - used < n) {
                const std::size_t grown = std::max(capacity * 2, used + n);
                auto bigger = std::make_unique_for_overwrite<char[]>(grown);
                std::memcpy(bigger.get(), buffer.get(), used);
                buffer = std::move(bigger);
                capacity = grown;
            }
        }
        return buffer.get() + used;
    }
    void commit(char* q) { used = std::size_t(q - buffer.get()); }

    void line(std::string_view text) {
        char* q = room(text.size() + 1);
        std::memcpy(q, text.data(), text.size());
        q[text.size()] = '\n';
        commit(q + text.size() + 1);
    }

    std::string_view text() const { return {buffer.get(), used}; }

    // Writes what is buffered to the file; false once any write has failed.
    bool flush() {
        if (file && used > 0) {
            written = written && std::fwrite(buffer.get(), 1, used, file) == used;
            used = 0;
        }
        return written;
    }

private:
    std::unique_ptr<char[]> buffer;
    std::size_t capacity;
    std::size_t used = 0;
    std::FILE* file;
    bool written = true;
};

// The longest forms: "-2147483648" and "-1.23457e-38", each plus a separator.
constexpr std::size_t intRoom = 12;
constexpr std::size_t floatRoom = 13;

char* put(char* q, std::int32_t value) { return std::to_chars(q, q + intRoom, value).ptr; }

// Six significant digits in general notation, as %g prints them. Whole
// numbers below a million (texture coordinates 0 and 1, most modelled
// positions) print as their digits, which the integer writer makes several
// times faster than the general float path; -0 keeps its sign through it.
char* put(char* q, float value) {
    if (value > -1e6f && value < 1e6f) {
        const auto whole = std::int32_t(value);
        if (float(whole) == value && (whole != 0 || !std::signbit(value))) return put(q, whole);
    }
    return std::to_chars(q, q + floatRoom, value, std::chars_format::general, 6).ptr;
}

}  // namespace

std::unique_ptr<Mesh> parsePob(std::string_view text) {
    NoReport quiet;
    return parse(text, quiet);
}

std::unique_ptr<Mesh> parsePob(std::string_view text, FileError& error) {
    Report report;
    auto mesh = parse(text, report);
    if (mesh) {
        error.line = error.column = 0;
        error.reason.clear();
    } else {
        place(text, report.at, error);
        error.reason = reasonFor(report);
    }
    return mesh;
}

std::unique_ptr<Mesh> loadPob(const char* fileName) {
    FileBytes bytes;
    std::string reason;
    if (!fileName || !readFile(fileName, bytes, reason)) return nullptr;
    return parsePob(bytes.text());
}

std::unique_ptr<Mesh> loadPob(const char* fileName, FileError& error) {
    error = FileError{fileName ? fileName : "", 0, 0, ""};
    if (!fileName) {
        error.reason = "no file name";
        return nullptr;
    }
    FileBytes bytes;
    if (!readFile(fileName, bytes, error.reason)) return nullptr;
    return parsePob(bytes.text(), error);
}

namespace {

void writeMesh(const Mesh& mesh, Output& out) {
    const std::size_t vertexCount = std::size_t(std::max(mesh.vertCount, 0));
    const std::size_t triangleCount = std::size_t(std::max(mesh.triCount, 0));
    out.line(header);
    out.line(countsComment);
    char* q = out.room(2 * intRoom);
    q = put(q, mesh.vertCount);
    *q++ = ' ';
    q = put(q, mesh.triCount);
    *q++ = '\n';
    out.commit(q);

    out.line(verticesComment);
    for (std::size_t i = 0; i < vertexCount; ++i) {
        const Vertex& v = mesh.verts[i];
        q = out.room(3 * floatRoom);
        q = put(q, v.x);
        *q++ = ' ';
        q = put(q, v.y);
        *q++ = ' ';
        q = put(q, v.z);
        *q++ = '\n';
        out.commit(q);
    }

    out.line(trianglesComment);
    for (std::size_t k = 0; k < triangleCount; ++k) {
        const Triangle& triangle = *mesh.tris[k];
        q = out.room(3 * intRoom);
        q = put(q, triangle[0]);
        *q++ = ' ';
        q = put(q, triangle[1]);
        *q++ = ' ';
        q = put(q, triangle[2]);
        *q++ = '\n';
        out.commit(q);
    }

    out.line(uvsComment);
    for (std::size_t k = 0; k < triangleCount; ++k) {
        const TriangleUV& uv = *mesh.triUVs[k];
        q = out.room(6 * floatRoom);
        for (const TexCoord& corner : uv) {
            q = put(q, corner.tu);
            *q++ = ' ';
            q = put(q, corner.tv);
            *q++ = ' ';
        }
        q[-1] = '\n';
        out.commit(q);
    }
}

// How much a save formats before writing it out.
constexpr std::size_t chunkSize = std::size_t{1} << 20;

// About what a mesh with short coordinates needs; the buffer grows past it.
std::size_t sizeHint(const Mesh& mesh) {
    return 256 + 20 * std::size_t(std::max(mesh.vertCount, 0)) +
           40 * std::size_t(std::max(mesh.triCount, 0));
}

}  // namespace

std::string formatPob(const Mesh& mesh) {
    Output out(sizeHint(mesh));
    writeMesh(mesh, out);
    return std::string(out.text());
}

bool Mesh::savePob(const char* fileName) const {
    if (!fileName || !*fileName) return false;
    AtomicFile file(fileName);
    if (!file.isOpen()) return false;
    Output out(chunkSize, file.file());
    writeMesh(*this, out);
    return out.flush() && file.commit();
}

}  // namespace gloam
