#include "gloam/import/obj.h"

#include "gloam/geometry/float_text.h"
#include "gloam/import/obj_text.h"
#include "gloam/import/polygon.h"

#include <tiny_obj_loader.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <istream>
#include <streambuf>
#include <unordered_map>
#include <vector>

namespace gloam {

namespace {

// Lets tinyobjloader read the caller's bytes where they are.
class MemoryBuffer : public std::streambuf {
public:
    explicit MemoryBuffer(std::string_view text) {
        char* begin = const_cast<char*>(text.data());
        setg(begin, begin, begin + text.size());
    }
};

// An array that the mesh can take over as it is: a large mesh's triangles
// would cost a copy, and their fresh pages, once more at the end.
template <class T>
class Growing {
public:
    std::size_t size() const { return count; }
    void reserve(std::size_t n) {
        if (n <= capacity) return;
        auto bigger = makeLargeArrayForOverwrite<T>(n);
        std::copy_n(data.get(), count, bigger.get());
        data = std::move(bigger);
        capacity = n;
    }
    void push_back(const T& value) {
        if (count == capacity) reserve(std::max<std::size_t>(64, 2 * capacity));
        data[count++] = value;
    }
    const T& operator[](std::size_t i) const { return data[i]; }
    LargeArray<T> release() { return std::move(data); }

private:
    LargeArray<T> data;
    std::size_t count = 0;
    std::size_t capacity = 0;
};

struct Corner {
    std::int32_t vertex;
    std::int32_t texcoord;  // -1: none
};

// How many faces left out a reader names by their line; the rest it counts.
constexpr std::size_t namedFaces = 5;

// Gathers what tinyobjloader reports, line by line. The first fault is kept
// and everything after it ignored: the parser cannot be stopped.
struct Reader {
    Reader(std::int64_t limit, ObjNotes& notes) : maxCount(limit), notes(notes) {}

    std::int64_t maxCount;
    ObjNotes& notes;
    Growing<Vertex> vertices;
    std::vector<float> texcoords;  // u, v per entry
    Growing<Triangle> triangles;
    Growing<TriangleUV> uvs;
    std::vector<Corner> corners;
    std::vector<Vec3> positions;
    std::vector<Triangle> split;
    PolygonSplitter splitter;
    std::int64_t vertexLines = 0, texcoordLines = 0, faceLines = 0;
    // The first faces left out uncovered: which face statement, from 0,
    // and its corner count.
    std::vector<ObjNotes::Face> uncovered;
    // The materials `usemtl` names, in the order of their first use, the
    // first standing for faces before any; the one in use; and where the
    // triangles change material: runs from a first triangle on.
    std::vector<std::string> materials{""};
    std::unordered_map<std::string, std::int32_t> materialIndex{{"", 0}};
    std::int32_t material = 0;
    std::vector<std::pair<std::size_t, std::int32_t>> runs;

    bool failed = false;
    const char* keyword = "";
    std::int64_t ordinal = 0;  // which statement of that keyword, from 0
    int argument = 0;          // which of its arguments, from 0; -1 for the whole statement
    std::string reason;

    void fail(const char* word, std::int64_t which, int arg, std::string why) {
        if (failed) return;
        failed = true;
        keyword = word;
        ordinal = which;
        argument = arg;
        reason = std::move(why);
    }

    // Room for what the survey counted: growing the arrays of a large mesh
    // step by step costs more than counting. No more than the limit: a text
    // past it is refused anyway.
    void reserve(const ObjSurvey& survey) {
        const auto limit = std::size_t(maxCount) + 1;
        vertices.reserve(std::min(survey.vertices, limit));
        texcoords.reserve(2 * std::min(survey.texcoords, limit));
        triangles.reserve(std::min(survey.faces, limit));
        uvs.reserve(std::min(survey.faces, limit));
    }

    std::int64_t vertexCount() const { return std::int64_t(vertices.size()); }
    std::int64_t texcoordCount() const { return std::int64_t(texcoords.size() / 2); }

    // A coordinate as the engine stores it; false beyond float range.
    static bool toFloat(double value, float& out) {
        if (!(std::fabs(value) <= double(std::numeric_limits<float>::max()))) return false;
        out = float(value);
        return true;
    }

    void addVertex(double x, double y, double z) {
        const std::int64_t line = vertexLines++;
        if (failed) return;
        if (vertexCount() >= maxCount) {
            fail("v", line, -1, "more than " + std::to_string(maxCount) + " vertices");
            return;
        }
        const double xyz[3] = {x, y, z};
        float stored[3];
        for (int i = 0; i < 3; ++i) {
            if (!toFloat(xyz[i], stored[i])) {
                fail("v", line, i,
                     std::string(1, char('x' + i)) + " is not a number in float range");
                return;
            }
        }
        Vertex vertex;  // black, as every reader's vertices are
        vertex.setPosition(stored[0], stored[1], stored[2]);
        vertices.push_back(vertex);
    }

    void addTexcoord(double u, double v) {
        const std::int64_t line = texcoordLines++;
        if (failed) return;
        // Faces index them in 32 bits too.
        if (texcoordCount() >= maxCount) {
            fail("vt", line, -1, "more than " + std::to_string(maxCount) + " texture coordinates");
            return;
        }
        float stored[2];
        const double uv[2] = {u, v};
        for (int i = 0; i < 2; ++i) {
            if (!toFloat(uv[i], stored[i])) {
                fail("vt", line, i,
                     std::string(i == 0 ? "u" : "v") + " is not a number in float range");
                return;
            }
        }
        texcoords.insert(texcoords.end(), stored, stored + 2);
    }

    // An OBJ index, from 1 or counting back from -1, as a 0-based one.
    bool resolve(int index, std::int64_t count, const char* what, std::int64_t line, int corner,
                 std::int32_t& out) {
        const std::int64_t resolved = index > 0 ? std::int64_t(index) - 1 : count + index;
        if (index != 0 && resolved >= 0 && resolved < count) {
            out = std::int32_t(resolved);
            return true;
        }
        outOfRange(index, count, what, line, corner);
        return false;
    }

    // Kept out of line: the check above runs for every corner of a large mesh.
    [[gnu::noinline]] void outOfRange(int index, std::int64_t count, const char* what,
                                      std::int64_t line, int corner) {
        std::string why = std::string(what) + " index " + std::to_string(index);
        if (count == 0) {
            why += ": no " + std::string(what) + " comes before this face";
        } else if (index < 0) {
            why += " is outside -" + std::to_string(count) + "..-1";
        } else {
            why += " is outside 1.." + std::to_string(count);
        }
        fail("f", line, corner, why);
    }

    void addFace(const tinyobj::index_t* indices, int count) {
        const std::int64_t line = faceLines++;
        if (failed) return;
        corners.clear();
        for (int k = 0; k < count; ++k) {
            Corner c{0, -1};
            if (!resolve(indices[k].vertex_index, vertexCount(), "vertex", line, k, c.vertex)) {
                return;
            }
            // 0 is what tinyobjloader passes for a corner written without one.
            if (indices[k].texcoord_index == 0) {
                ++notes.cornersWithoutUV;
            } else if (!resolve(indices[k].texcoord_index, texcoordCount(), "texture coordinate",
                                line, k, c.texcoord)) {
                return;
            }
            corners.push_back(c);
        }
        if (count < 3) {
            ++notes.shortFaces;
            return;
        }
        if (std::int64_t(triangles.size()) + count - 2 > maxCount) {
            fail("f", line, -1, "more than " + std::to_string(maxCount) + " triangles");
            return;
        }
        if (count == 3) {
            emit(corners[0], corners[1], corners[2]);
            return;
        }
        ++notes.polygons;
        positions.clear();
        for (const Corner& c : corners) {
            const Vertex& v = vertices[std::size_t(c.vertex)];
            positions.push_back({v.x, v.y, v.z});
        }
        split.clear();
        switch (splitter.split(positions, split)) {
            case PolygonCover::Exact:
                for (const Triangle& t : split) emit(corners[t[0]], corners[t[1]], corners[t[2]]);
                break;
            case PolygonCover::NoArea:
                ++notes.flatPolygons;
                break;
            case PolygonCover::SelfCrossing:
            case PolygonCover::TooManyCorners:
                ++notes.uncoveredPolygons;
                if (uncovered.size() < namedFaces) uncovered.push_back({line, count});
                break;
        }
    }

    void useMaterial(std::string_view name) {
        const std::size_t first = name.find_first_not_of(" \t");
        name = first == std::string_view::npos ? "" : name.substr(first);
        name = name.substr(0, name.find_last_not_of(" \t\r") + 1);
        const auto [known, added] =
            materialIndex.try_emplace(std::string(name), std::int32_t(materials.size()));
        if (added) materials.emplace_back(name);
        material = known->second;
    }

    void emit(const Corner& a, const Corner& b, const Corner& c) {
        if (runs.empty() || runs.back().second != material) {
            runs.push_back({triangles.size(), material});
        }
        triangles.push_back({a.vertex, b.vertex, c.vertex});
        TriangleUV uv;
        const Corner* abc[3] = {&a, &b, &c};
        for (int i = 0; i < 3; ++i) {
            if (abc[i]->texcoord >= 0) {
                uv[i].tu = texcoords[2 * std::size_t(abc[i]->texcoord)];
                uv[i].tv = texcoords[2 * std::size_t(abc[i]->texcoord) + 1];
            }
        }
        uvs.push_back(uv);
    }
};

// Calls `visit(start, line)` for each statement with `keyword` in turn,
// with the offset where its line starts and the text of the line, until it
// returns true. Lines are split and statements recognised as tinyobjloader
// does it: a line ends at LF, CRLF or a lone CR, and a face line counts only
// with at least one corner.
template <class Visit>
void findStatements(std::string_view text, std::string_view keyword, Visit visit) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        const std::string_view line = text.substr(pos, end - pos);
        const std::size_t lineStart = pos;
        pos = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);

        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string_view::npos || line.substr(start, keyword.size()) != keyword) {
            continue;
        }
        const std::size_t p = start + keyword.size();
        if (p >= line.size() || (line[p] != ' ' && line[p] != '\t')) continue;
        if (keyword == "f" && line.find_first_not_of(" \t", p) == std::string_view::npos) continue;
        if (visit(lineStart, line)) return;
    }
}

// Where the `ordinal`-th statement with `keyword` is, as an offset into the
// text: its `argument`-th argument, from 0, or the statement with -1.
std::size_t locate(std::string_view text, std::string_view keyword, std::int64_t ordinal,
                   int argument) {
    std::size_t offset = 0;
    findStatements(text, keyword, [&](std::size_t lineStart, std::string_view line) {
        if (ordinal-- > 0) return false;
        const std::size_t start = line.find_first_not_of(" \t");
        std::size_t p = start + keyword.size();
        for (int i = 0; argument >= 0; ++i) {
            p = line.find_first_not_of(" \t", p);
            if (p == std::string_view::npos || i == argument) break;
            p = line.find_first_of(" \t", p);
        }
        offset = lineStart + (argument < 0 || p == std::string_view::npos ? start : p);
        return true;
    });
    return offset;
}

// Where the face statements numbered, from 0, in `ordinals` (in increasing
// order) are, as offsets into the text.
std::vector<std::size_t> faceOffsets(std::string_view text,
                                     const std::vector<std::int64_t>& ordinals) {
    std::vector<std::size_t> offsets;
    std::int64_t ordinal = 0;
    findStatements(text, "f", [&](std::size_t lineStart, std::string_view line) {
        if (offsets.size() < ordinals.size() && ordinals[offsets.size()] == ordinal) {
            offsets.push_back(lineStart + line.find_first_not_of(" \t"));
        }
        ++ordinal;
        return offsets.size() == ordinals.size();
    });
    return offsets;
}

}  // namespace

namespace {

// Reads the text into `reader`; false, with where and why, when it holds a
// fault. Fills in `libraries` and the lines of the faces left out.
bool parse(std::string_view text, Reader& reader, std::vector<std::string>& libraries,
           FileError& error) {
    std::string decoded;
    if (!readableText(text, decoded, error)) return false;
    // tinyobjloader would take a byte-order mark for part of the first
    // statement, and drop that statement.
    const std::size_t skipped = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    const std::string_view body = text.substr(skipped);
    const auto fail = [&](std::size_t offset, std::string reason) {
        const TextPlace place = placesOf(text, {skipped + offset}).at(0);
        error.line = place.line;
        error.column = place.column;
        error.reason = std::move(reason);
        return false;
    };

    ObjSurvey survey;
    surveyObj(body, survey);
    // The parser reads a comment after a statement, or a line joined to the
    // next, as part of the statement: it gets a copy with those blanked.
    std::string blanked;
    std::string_view parsed = body;
    if (!survey.hidden.empty()) {
        blanked.assign(body);
        for (const auto& [first, last] : survey.hidden) {
            std::fill(blanked.begin() + std::ptrdiff_t(first),
                      blanked.begin() + std::ptrdiff_t(last), ' ');
        }
        parsed = blanked;
    }
    // Statements before a word the survey refused may hold a fault of their
    // own, which comes first.
    if (!survey.fault.empty()) {
        const std::size_t lineStart = parsed.find_last_of("\r\n", survey.faultOffset);
        parsed = parsed.substr(0, lineStart == std::string_view::npos ? 0 : lineStart + 1);
    }

    libraries = std::move(survey.libraries);
    reader.reserve(survey);
    tinyobj::callback_t callbacks;
    callbacks.vertex_cb = [](void* r, double x, double y, double z, double) {
        static_cast<Reader*>(r)->addVertex(x, y, z);
    };
    callbacks.texcoord_cb = [](void* r, double u, double v, double) {
        static_cast<Reader*>(r)->addTexcoord(u, v);
    };
    callbacks.index_cb = [](void* r, tinyobj::index_t* indices, int count) {
        static_cast<Reader*>(r)->addFace(indices, count);
    };
    callbacks.usemtl_cb = [](void* r, const char* name, int) {
        static_cast<Reader*>(r)->useMaterial(name);
    };
    MemoryBuffer buffer(parsed);
    std::istream in(&buffer);
    std::string warnings, errors;
    // Without a material reader it opens no other file.
    tinyobj::LoadObjWithCallback(in, callbacks, &reader, nullptr, &warnings, &errors);

    if (reader.failed) {
        return fail(locate(parsed, reader.keyword, reader.ordinal, reader.argument), reader.reason);
    }
    if (!survey.fault.empty()) return fail(survey.faultOffset, survey.fault);
    if (!reader.uncovered.empty()) {
        std::vector<std::int64_t> ordinals;
        for (const ObjNotes::Face& face : reader.uncovered) ordinals.push_back(face.line);
        std::vector<std::size_t> offsets = faceOffsets(parsed, ordinals);
        for (std::size_t& offset : offsets) offset += skipped;
        const std::vector<TextPlace> places = placesOf(text, offsets);
        reader.notes.uncovered = reader.uncovered;
        for (std::size_t k = 0; k < places.size(); ++k) {
            reader.notes.uncovered[k].line = places[k].line;
        }
    }
    return true;
}

std::unique_ptr<Mesh> wholeMesh(Reader& reader) {
    const std::size_t vertexCount = reader.vertices.size();
    const std::size_t triangleCount = reader.triangles.size();
    return std::make_unique<Mesh>(std::int32_t(vertexCount), reader.vertices.release(),
                                  std::int32_t(triangleCount), reader.triangles.release(),
                                  reader.uvs.release());
}

// The triangles of each material as a mesh of its own, with the vertices
// they use in file order.
void splitByMaterial(Reader& reader, std::vector<ObjPart>& parts) {
    // The runs of each material, and the materials by their first triangle.
    std::vector<std::vector<std::size_t>> runsOf(reader.materials.size());
    std::vector<std::int32_t> order;
    for (std::size_t r = 0; r < reader.runs.size(); ++r) {
        auto& runs = runsOf[std::size_t(reader.runs[r].second)];
        if (runs.empty()) order.push_back(reader.runs[r].second);
        runs.push_back(r);
    }
    const auto runEnd = [&](std::size_t r) {
        return r + 1 < reader.runs.size() ? reader.runs[r + 1].first : reader.triangles.size();
    };
    std::vector<std::int32_t> stamp(reader.vertices.size(), -1), newIndex(reader.vertices.size());
    std::vector<std::int32_t> used;
    for (const std::int32_t material : order) {
        used.clear();
        std::size_t count = 0;
        for (const std::size_t r : runsOf[std::size_t(material)]) {
            count += runEnd(r) - reader.runs[r].first;
            for (std::size_t k = reader.runs[r].first; k < runEnd(r); ++k) {
                for (const std::int32_t v : reader.triangles[k]) {
                    if (stamp[std::size_t(v)] != material) {
                        stamp[std::size_t(v)] = material;
                        used.push_back(v);
                    }
                }
            }
        }
        std::sort(used.begin(), used.end());
        auto vertices = makeLargeArrayForOverwrite<Vertex>(used.size());
        for (std::size_t i = 0; i < used.size(); ++i) {
            vertices[i] = reader.vertices[std::size_t(used[i])];
            newIndex[std::size_t(used[i])] = std::int32_t(i);
        }
        auto triangles = makeLargeArrayForOverwrite<Triangle>(count);
        auto uvs = makeLargeArrayForOverwrite<TriangleUV>(count);
        std::size_t next = 0;
        for (const std::size_t r : runsOf[std::size_t(material)]) {
            for (std::size_t k = reader.runs[r].first; k < runEnd(r); ++k, ++next) {
                for (std::size_t c = 0; c < 3; ++c) {
                    triangles[next][c] = newIndex[std::size_t(reader.triangles[k][c])];
                }
                uvs[next] = reader.uvs[k];
            }
        }
        parts.push_back(
            {reader.materials[std::size_t(material)],
             std::make_unique<Mesh>(std::int32_t(used.size()), std::move(vertices),
                                    std::int32_t(count), std::move(triangles), std::move(uvs))});
    }
    // A vertex no face uses belongs to no part.
    reader.notes.verticesLeftOut = std::count(stamp.begin(), stamp.end(), -1);
}

}  // namespace

std::unique_ptr<Mesh> meshFromObj(std::string_view text, FileError& error, ObjNotes& notes,
                                  std::int64_t maxCount) {
    Reader reader(maxCount, notes);
    std::vector<std::string> libraries;
    if (!parse(text, reader, libraries, error)) return nullptr;
    return wholeMesh(reader);
}

bool readObj(std::string_view text, ObjModel& model, FileError& error, std::int64_t maxCount) {
    model = ObjModel{};
    Reader reader(maxCount, model.notes);
    if (!parse(text, reader, model.libraries, error)) return false;
    std::vector<bool> used(reader.materials.size(), false);
    std::size_t materialsUsed = 0;
    for (const auto& run : reader.runs) {
        materialsUsed += !used[std::size_t(run.second)];
        used[std::size_t(run.second)] = true;
    }
    if (materialsUsed > 1) {
        splitByMaterial(reader, model.parts);
    } else {
        const std::string name =
            reader.runs.empty() ? "" : reader.materials[std::size_t(reader.runs[0].second)];
        model.parts.push_back({name, wholeMesh(reader)});
    }
    return true;
}

namespace {

// As the POB writer writes it: six significant digits, %g notation.
void put(std::string& out, float value) {
    char digits[floatTextRoom];
    out.append(digits, writeFloat(digits, value));
}

void put(std::string& out, std::int64_t value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

}  // namespace

bool formatObj(const Mesh& mesh, std::string& text, std::string& reason) {
    const std::size_t vertexCount = std::size_t(std::max(mesh.vertCount, 0));
    const std::size_t triangleCount = std::size_t(std::max(mesh.triCount, 0));
    for (std::size_t i = 0; i < vertexCount; ++i) {
        const Vertex& v = mesh.verts[i];
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {
            reason = "vertex " + std::to_string(i) + " is not finite, which OBJ cannot hold";
            return false;
        }
    }
    // Each distinct coordinate pair once, in the order the corners first use it.
    std::unordered_map<std::uint64_t, std::int64_t> texcoordIndex;
    std::vector<std::int64_t> cornerTexcoord(3 * triangleCount);
    std::string texcoordLines;
    for (std::size_t k = 0; k < triangleCount; ++k) {
        for (int c = 0; c < 3; ++c) {
            const TexCoord& t = (*mesh.triUVs[k])[std::size_t(c)];
            if (!std::isfinite(t.tu) || !std::isfinite(t.tv)) {
                reason = "a texture coordinate of triangle " + std::to_string(k) +
                         " is not finite, which OBJ cannot hold";
                return false;
            }
            std::uint32_t u, v;
            std::memcpy(&u, &t.tu, 4);
            std::memcpy(&v, &t.tv, 4);
            const auto [entry, added] = texcoordIndex.try_emplace(
                std::uint64_t(u) << 32 | v, std::int64_t(texcoordIndex.size()) + 1);
            if (added) {
                texcoordLines += "vt ";
                put(texcoordLines, t.tu);
                texcoordLines += ' ';
                put(texcoordLines, t.tv);
                texcoordLines += '\n';
            }
            cornerTexcoord[3 * k + std::size_t(c)] = entry->second;
        }
    }

    text.clear();
    text.reserve(40 + 30 * vertexCount + texcoordLines.size() + 30 * triangleCount);
    text += "# gloam-pob: ";
    put(text, std::int64_t(vertexCount));
    text += " vertices, ";
    put(text, std::int64_t(triangleCount));
    text += " triangles\n";
    for (std::size_t i = 0; i < vertexCount; ++i) {
        const Vertex& v = mesh.verts[i];
        text += "v ";
        put(text, v.x);
        text += ' ';
        put(text, v.y);
        text += ' ';
        put(text, v.z);
        text += '\n';
    }
    text += texcoordLines;
    for (std::size_t k = 0; k < triangleCount; ++k) {
        text += 'f';
        for (int c = 0; c < 3; ++c) {
            text += ' ';
            put(text, std::int64_t((*mesh.tris[k])[std::size_t(c)]) + 1);
            text += '/';
            put(text, cornerTexcoord[3 * k + std::size_t(c)]);
        }
        text += '\n';
    }
    return true;
}

}  // namespace gloam
