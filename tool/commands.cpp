#include "tool/commands.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <new>

#include "gloam/import/file_bytes.h"
#include "gloam/import/model.h"
#include "gloam/import/obj.h"
#include "gloam/import/picture.h"
#include "gloam/meshio/pob.h"
#include "gloam/platform/files.h"
#include "gloam/textures/bitmap.h"
#include "gloam/textures/texture.h"
#include "tool/mesh_edit.h"

namespace gloam {

namespace {

const char* const mainHelp =
    "usage: gloam-pob COMMAND ARGUMENTS...\n"
    "\n"
    "Brings meshes and pictures from other tools into the engine's formats.\n"
    "\n"
    "commands:\n"
    "  info FILE            what a POB mesh, a bitmap or any model holds, or why\n"
    "                       it cannot be read\n"
    "  convert MODEL OUT    a model of any format this build reads to POB (or OBJ),\n"
    "                       with its pictures as bitmaps\n"
    "  texture IN OUT.bmp   a picture to a 24-bit bitmap with power-of-two sides\n"
    "\n"
    "`gloam-pob COMMAND --help` describes each. Exit status: 0 done, 1 a file\n"
    "could not be read or written, 2 the command line is wrong.\n";

const char* const infoHelp =
    "usage: gloam-pob info FILE.pob|FILE.bmp|MODEL\n"
    "\n"
    "For a POB mesh: vertex and triangle counts, unused vertices, degenerate\n"
    "triangles (a corner named twice, or corners on one line), duplicate\n"
    "triangles (the same three positions as an earlier one), the bounds and the\n"
    "range of the texture coordinates. For a bitmap: its size, whether OpenGL 1.1\n"
    "can take it (power-of-two sides) and how many pixels the colour key makes\n"
    "transparent. For any other model: its parts, one per material, with their\n"
    "counts and the picture each would get. Writes nothing. Exits 0 when the\n"
    "file can be read and 1, saying where and why, when it cannot.\n";

const char* const convertHelp =
    "usage: gloam-pob convert MODEL OUT.pob|OUT.obj [OPTIONS]\n"
    "\n"
    "Converts a model to the engine's POB mesh (or to Wavefront OBJ). MODEL is any\n"
    "format this build reads, by its extension: %s.\n"
    "Each material of the model is a part: one part gives OUT.pob and, when it\n"
    "has a picture, OUT.bmp beside it (power-of-two sides, as `texture` makes\n"
    "them); several give OUT-1.pob, OUT-1.bmp, OUT-2.pob, ... and a listing.\n"
    "Node transforms are applied, the first texture coordinates of every face\n"
    "corner kept (none become 0 0), polygons split into triangles; lines and\n"
    "points are left out. A picture is looked for as the model names it,\n"
    "beside the model, then by its last name in the model's folder. From POB to\n"
    "OBJ and back gives the same POB file.\n"
    "\n"
    "options, applied in this order:\n"
    "  --scale S        multiply every position by S\n"
    "  --centre         move the middle of the bounds to the origin\n"
    "  --floor          move the lowest point to y = 0 (with --centre, centre in\n"
    "                   x and z only)\n"
    "  --flip-v         v becomes 1 - v\n"
    "  --keep-winding   keep the file's corner order (see below)\n"
    "  --flip-winding   turn every face round from the file's order (see below)\n"
    "\n"
    "Modelling tools and every format but POB run a face's corners\n"
    "counter-clockwise seen from the side it shows; the engine lights the side\n"
    "from which they run clockwise. So every face is turned round on the way in,\n"
    "and back on the way out to OBJ, unless --keep-winding is given. The old\n"
    "--flip-winding, which turns every face from the file's order, is what that\n"
    "does already between POB and the others; from POB to POB (or OBJ to OBJ)\n"
    "it turns a mesh wound the wrong way. The tool warns of a closed part that\n"
    "would still be lit from inside. V runs up the picture in the engine as in\n"
    "these formats; --flip-v is for files written the other way.\n";

const char* const textureHelp =
    "usage: gloam-pob texture IN OUT.bmp [--size N]\n"
    "\n"
    "Converts a picture to the uncompressed 24-bit bitmap the engine reads. It\n"
    "reads PNG, JPEG (turned upright as its EXIF orientation says), TGA, BMP of\n"
    "1 to 32 bits a pixel without run-length compression, GIF (its first frame)\n"
    "and HDR, with sides up to 32768 pixels. OpenGL 1.1 takes only\n"
    "power-of-two sides: each side is resized to the nearest power of two, or\n"
    "the picture to N x N with --size N (a power of two up to 16384). Alpha is\n"
    "dropped, with a note: the engine makes pixels of exactly (255, 0, 255)\n"
    "transparent instead, and the tool warns when the result holds that colour.\n";

// One command's arguments: the files, and the options with their values.
struct Arguments {
    std::vector<std::string> files;
    std::map<std::string, std::string> options;
    bool help = false;
};

class Tool {
public:
    Tool(std::ostream& out, std::ostream& err) : out(out), err(err) {}

    int run(const std::vector<std::string>& args) {
        if (args.empty()) return usage("", "no command given");
        const std::string& command = args[0];
        if (command == "--help" || command == "-h" || command == "help") {
            out << mainHelp;
            return ToolOk;
        }
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (command == "info") return info(rest);
        if (command == "convert") return convert(rest);
        if (command == "texture") return texture(rest);
        return usage("", "unknown command '" + command + "'");
    }

private:
    int usage(const std::string& command, const std::string& problem) {
        err << "gloam-pob: " << problem << "\n"
            << "Try 'gloam-pob " << (command.empty() ? "" : command + " ") << "--help'.\n";
        return ToolBadUsage;
    }

    int failed(const FileError& error) {
        err << "gloam-pob: " << error.message() << "\n";
        return ToolBadInput;
    }

    void note(const std::string& file, const std::string& text) {
        err << "gloam-pob: note: " << place(file, text) << "\n";
    }

    void warn(const std::string& file, const std::string& text) {
        err << "gloam-pob: warning: " << place(file, text) << "\n";
    }

    // A sentence that starts with a line number ("12: ...") reads as
    // "file:12: ...", as errors do.
    static std::string place(const std::string& file, const std::string& text) {
        const std::size_t digits = text.find_first_not_of("0123456789");
        const bool located = digits > 0 && digits != std::string::npos && text[digits] == ':';
        return file + (located ? ":" : ": ") + text;
    }

    // Splits files from options as the programs do: a `valued` option takes
    // the next argument or, written --name=value, what follows the `=`; an
    // argument `--` makes every later one a file, and a lone `-` is a file.
    bool parse(const std::string& command, const std::vector<std::string>& args,
               const std::vector<std::string>& flags, const std::vector<std::string>& valued,
               std::size_t fileCount, Arguments& parsed, int& status) {
        const auto known = [](const std::vector<std::string>& names, const std::string& name) {
            return std::find(names.begin(), names.end(), name) != names.end();
        };
        bool onlyFiles = false;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& arg = args[i];
            if (onlyFiles || arg.size() < 2 || arg[0] != '-') {
                parsed.files.push_back(arg);
                continue;
            }
            if (arg == "--") {
                onlyFiles = true;
                continue;
            }
            if (arg == "--help" || arg == "-h") {
                parsed.help = true;
                continue;
            }
            const std::size_t equals = arg.find('=');
            const std::string name = arg.substr(0, equals);
            std::string problem;
            if (known(flags, name)) {
                if (equals != std::string::npos) problem = name + " takes no value";
            } else if (!known(valued, name)) {
                problem = "unknown option '" + arg + "'";
            } else if (equals == std::string::npos && i + 1 == args.size()) {
                problem = name + " needs a value";
            } else if (parsed.options.count(name)) {
                problem = name + " is given twice";
            }
            if (!problem.empty()) {
                status = usage(command, problem);
                return false;
            }
            parsed.options[name] = !known(valued, name)          ? ""
                                   : equals != std::string::npos ? arg.substr(equals + 1)
                                                                 : args[++i];
        }
        if (!parsed.help && parsed.files.size() != fileCount) {
            status = usage(command, "takes " + std::to_string(fileCount) + " file name" +
                                        (fileCount == 1 ? "" : "s") + ", not " +
                                        std::to_string(parsed.files.size()));
            return false;
        }
        return true;
    }

    // A number as a person writes it: a leading `+` is allowed.
    static bool readNumber(std::string text, double& value) {
        if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') text.erase(0, 1);
        const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), value);
        return fault == std::errc() && end == text.data() + text.size() && std::isfinite(value);
    }

    // What convert's options ask of the mesh.
    static bool readEdit(const Arguments& a, MeshEdit& edit, std::string& problem) {
        edit.centre = a.options.count("--centre") > 0;
        edit.floor = a.options.count("--floor") > 0;
        edit.flipWinding = a.options.count("--flip-winding") > 0;
        edit.flipV = a.options.count("--flip-v") > 0;
        const auto scale = a.options.find("--scale");
        if (scale != a.options.end() &&
            (!readNumber(scale->second, edit.scale) || edit.scale == 0)) {
            problem = "--scale takes a finite number other than 0, not '" + scale->second + "'";
            return false;
        }
        return true;
    }

    static std::string extension(const std::string& file) {
        const std::size_t dot = file.find_last_of('.');
        const std::size_t slash = file.find_last_of("/\\");
        if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
        std::string ext = file.substr(dot + 1);
        for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
        return ext;
    }

    static std::string count(std::int64_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    }

    static std::string number(double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }

    static bool write(const std::string& file, const std::string& bytes, FileError& error) {
        return writeFileAtomically(file.c_str(), bytes.data(), bytes.size(), error);
    }

    int info(const std::vector<std::string>& args) {
        Arguments a;
        int status = ToolOk;
        if (!parse("info", args, {}, {}, 1, a, status)) return status;
        if (a.help) {
            out << infoHelp;
            return ToolOk;
        }
        const std::string& file = a.files[0];
        const std::string ext = extension(file);
        if (ext == "bmp") return bitmapInfo(file);
        if (ext != "pob") {
            const std::string formats = std::string(" ") + modelFormats() + " ";
            if (!ext.empty() && formats.find(" " + ext + " ") != std::string::npos) {
                return modelInfo(file);
            }
            return usage("info", "'" + file +
                                     "' is neither a bitmap nor a model this build reads (" +
                                     modelFormats() + ")");
        }
        FileError error;
        const std::unique_ptr<Mesh> mesh = loadPob(file.c_str(), error);
        if (!mesh) return failed(error);
        const MeshReport r = reportMesh(*mesh);
        out << file << ": POB mesh\n"
            << "  vertices   " << r.vertices << " (" << r.unusedVertices << " unused)\n";
        if (r.nonFiniteVertices > 0) {
            std::string named;
            for (const std::int32_t i : r.nonFinite)
                named += (named.empty() ? "" : ", ") + std::to_string(i);
            if (r.nonFiniteVertices > std::int32_t(r.nonFinite.size())) named += ", ...";
            out << "  not finite " << count(r.nonFiniteVertices, "vertex", "vertices") << " ("
                << named << "), in " << count(r.touchingNonFinite, "triangle", "triangles") << "\n";
            warn(file, count(r.nonFiniteVertices, "vertex is", "vertices are") +
                           " NaN or infinite: the bounds are those of the finite ones, and a "
                           "triangle that uses one cannot be drawn");
        }
        out << "  triangles  " << r.triangles << " (" << r.degenerate << " degenerate, "
            << r.duplicates << " duplicate)\n";
        if (r.finiteVertices == 0) {
            out << "  bounds     " << (r.vertices == 0 ? "no vertices" : "no finite vertex")
                << "\n";
        } else {
            out << "  bounds     x " << number(r.min[0]) << " .. " << number(r.max[0]) << ", y "
                << number(r.min[1]) << " .. " << number(r.max[1]) << ", z " << number(r.min[2])
                << " .. " << number(r.max[2])
                << (r.nonFiniteVertices > 0 ? " (of the finite vertices)" : "") << "\n"
                << "  size       " << number(double(r.max[0]) - r.min[0]) << " x "
                << number(double(r.max[1]) - r.min[1]) << " x "
                << number(double(r.max[2]) - r.min[2]) << "\n";
        }
        if (r.triangles == 0) {
            out << "  uv range   no triangles\n";
        } else {
            out << "  uv range   u " << number(r.uvMin[0]) << " .. " << number(r.uvMax[0]) << ", v "
                << number(r.uvMin[1]) << " .. " << number(r.uvMax[1]) << "\n";
        }
        return ToolOk;
    }

    int bitmapInfo(const std::string& file) {
        Texture texture;
        FileError error;
        if (!readBitmap(texture, file.c_str(), false, false, false, error)) return failed(error);
        const auto powerOfTwo = [](std::int32_t n) { return (n & (n - 1)) == 0; };
        const std::size_t pixels = std::size_t(texture.width) * std::size_t(texture.height);
        std::int64_t keyed = 0;
        for (std::size_t i = 0; i < pixels; ++i) keyed += texture.pixels[4 * i + 3] == 0;
        const bool usable = powerOfTwo(texture.width) && powerOfTwo(texture.height);
        out << file << ": 24-bit bitmap\n"
            << "  size        " << texture.width << " x " << texture.height
            << (usable ? " (power-of-two sides)" : " (not power-of-two sides)") << "\n"
            << "  colour key  " << keyed << " pixels of (255, 0, 255), drawn transparent\n";
        if (!usable) {
            warn(file, "OpenGL 1.1 takes only power-of-two sides; 'gloam-pob texture' resizes it");
        }
        return ToolOk;
    }

    // The notes and the colour-key warning of a picture written as a bitmap.
    void pictureWarnings(const std::string& file, const Picture& picture) {
        if (picture.translucentPixels > 0) {
            note(file,
                 "alpha dropped: " + count(picture.translucentPixels, "pixel was", "pixels were") +
                     " not opaque; the engine cuts out pixels of exactly (255, 0, 255) "
                     "instead");
        }
        if (picture.keyPixels > 0 || picture.sourceKeyPixels > 0) {
            std::string text = count(picture.keyPixels, "pixel is", "pixels are") +
                               " (255, 0, 255), the colour key, and will be transparent";
            if (picture.keyPixels != picture.sourceKeyPixels) {
                text += " (" + std::to_string(picture.sourceKeyPixels) +
                        " before resizing, which blends the key into its neighbours)";
            }
            warn(file, text);
        }
    }

    // Where a part's picture came from, for the listing.
    static std::string pictureSource(const std::string& model, const ModelPart& part) {
        const Picture& p = part.picture;
        return std::to_string(p.width) + " x " + std::to_string(p.height) + " from " +
               (part.pictureFile == model ? "embedded picture " + part.pictureName
                                          : part.pictureFile) +
               (p.width == p.sourceWidth && p.height == p.sourceHeight
                    ? ""
                    : " (" + std::to_string(p.sourceWidth) + " x " +
                          std::to_string(p.sourceHeight) + ")");
    }

    static std::string counts(const Mesh& mesh) {
        return count(mesh.vertCount, "vertex", "vertices") + ", " +
               count(mesh.triCount, "triangle", "triangles");
    }

    static std::string partLabel(const Model& model, std::size_t i) {
        return "part #" + std::to_string(i + 1) + " '" + model.parts[i].name + "'";
    }

    // Reads a model, telling the user what the reader left out or mended and
    // what became of each part's picture.
    bool readModel(const std::string& file, const ModelOptions& options, Model& model) {
        FileError error;
        if (!loadModel(file, model, error, options)) {
            failed(error);
            return false;
        }
        for (const std::string& text : model.notes) note(file, text);
        for (const std::string& text : model.warnings) warn(file, text);
        for (std::size_t i = 0; i < model.parts.size(); ++i) {
            const ModelPart& part = model.parts[i];
            if (!part.pictureProblem.empty()) {
                warn(file, partLabel(model, i) + ": " + part.pictureProblem +
                               "; the part keeps its lit colour");
            }
        }
        return true;
    }

    int modelInfo(const std::string& file) {
        Model model;
        if (!readModel(file, {}, model)) return ToolBadInput;
        out << file << ": " << count(std::int64_t(model.parts.size()), "part", "parts") << "\n";
        for (std::size_t i = 0; i < model.parts.size(); ++i) {
            const ModelPart& part = model.parts[i];
            out << "  " << partLabel(model, i) << ": " << counts(*part.mesh) << ", ";
            if (part.picture.width > 0) {
                out << "picture " << pictureSource(file, part) << "\n";
            } else if (!part.pictureName.empty()) {
                out << "picture " << part.pictureName << " not used\n";
            } else {
                out << "no picture\n";
            }
        }
        return ToolOk;
    }

    // Applies the edit to every part; --centre and --floor move the model as
    // one, by the bounds of all its parts together.
    static bool editParts(Model& model, const MeshEdit& edit, std::string& reason,
                          std::vector<std::string>& notes) {
        if (model.parts.size() == 1) return editMesh(*model.parts[0].mesh, edit, reason, &notes);
        MeshEdit own = edit;
        own.centre = own.floor = false;
        std::int64_t total = 0;
        for (ModelPart& part : model.parts) {
            std::vector<std::string> said;
            if (!editMesh(*part.mesh, own, reason, &said)) return false;
            // Every part says the same of the same edit: once is enough.
            for (std::string& text : said) {
                if (std::find(notes.begin(), notes.end(), text) == notes.end()) {
                    notes.push_back(std::move(text));
                }
            }
            total += part.mesh->vertCount;
        }
        if (!edit.centre && !edit.floor) return true;
        if (total > std::numeric_limits<std::int32_t>::max()) {
            reason = "too many vertices in all parts together to place them as one";
            return false;
        }
        // Every vertex in one mesh without triangles, placed, and given back.
        auto all = makeLargeArray<Vertex>(std::size_t(total));
        std::size_t next = 0;
        for (const ModelPart& part : model.parts) {
            for (std::int32_t i = 0; i < part.mesh->vertCount; ++i) {
                const Vertex& v = part.mesh->verts[i];
                all[next++].setPosition(v.x, v.y, v.z);
            }
        }
        Mesh whole(std::int32_t(total), std::move(all), 0, makeLargeArray<Triangle>(0),
                   makeLargeArray<TriangleUV>(0));
        MeshEdit place;
        place.centre = edit.centre;
        place.floor = edit.floor;
        if (!editMesh(whole, place, reason, &notes)) return false;
        next = 0;
        for (ModelPart& part : model.parts) {
            for (std::int32_t i = 0; i < part.mesh->vertCount; ++i, ++next) {
                part.mesh->verts[i].setPosition(whole.verts[next].x, whole.verts[next].y,
                                                whole.verts[next].z);
            }
        }
        return true;
    }

    // Turns every triangle round for a format that runs faces the other way.
    static void turnRound(Mesh& mesh) {
        for (std::int32_t k = 0; k < mesh.triCount; ++k) {
            std::swap((*mesh.tris[k])[1], (*mesh.tris[k])[2]);
            std::swap((*mesh.triUVs[k])[1], (*mesh.triUVs[k])[2]);
        }
    }

    int convert(const std::vector<std::string>& args) {
        Arguments a;
        int status = ToolOk;
        if (!parse("convert", args,
                   {"--centre", "--floor", "--flip-winding", "--keep-winding", "--flip-v"},
                   {"--scale"}, 2, a, status)) {
            return status;
        }
        if (a.help) {
            char text[4096];
            std::snprintf(text, sizeof text, convertHelp, modelFormats());
            out << text;
            return ToolOk;
        }
        const std::string &in = a.files[0], &outFile = a.files[1];
        const std::string outExt = extension(outFile);
        const std::string formats = std::string(" ") + modelFormats() + " ";
        if (formats.find(" " + extension(in) + " ") == std::string::npos || extension(in).empty()) {
            return usage("convert", "'" + in + "' is not a model this build reads (it reads " +
                                        modelFormats() + ")");
        }
        if (outExt != "obj" && outExt != "pob") {
            return usage("convert", "'" + outFile + "' is neither .pob nor .obj");
        }
        ModelOptions options;
        options.keepWinding = a.options.count("--keep-winding") > 0;
        // Faces are turned round on the way in from any format but POB and
        // on the way out to OBJ: once, between POB and the others. The old
        // --flip-winding asked for that one turn from the file's order, and
        // still gets it where the formats alone would give none.
        const bool turnedOnce = (extension(in) != "pob") != (outExt == "obj");
        const bool flip = a.options.count("--flip-winding") > 0;
        if (flip && options.keepWinding) {
            return usage("convert", "--flip-winding and --keep-winding contradict each other");
        }
        if (flip && turnedOnce) {
            note(in,
                 "--flip-winding is what convert does anyway now: every face is turned "
                 "round to the engine's rule unless --keep-winding is given");
        }
        MeshEdit edit;
        std::string reason;
        if (!readEdit(a, edit, reason)) return usage("convert", reason);
        // The turn is the conversion's own business, below.
        edit.flipWinding = false;

        Model model;
        if (!readModel(in, options, model)) return ToolBadInput;
        std::int64_t triangles = 0;
        for (const ModelPart& part : model.parts) triangles += part.mesh->triCount;
        if (model.parts.empty()) {
            // Still a file, as for any other model without triangles.
            model.parts.push_back(
                {"", std::make_unique<Mesh>(0, 0, nullptr, nullptr, nullptr), {}, {}, {}, {}});
        }
        for (std::size_t i = 0; i < model.parts.size(); ++i) {
            if (scaleCollapses(*model.parts[i].mesh, edit.scale, reason)) {
                return usage("convert", "--scale " + a.options["--scale"] + " collapses " +
                                            (model.parts.size() > 1 ? partLabel(model, i)
                                                                    : std::string("the mesh")) +
                                            ": " + reason);
            }
        }
        const bool identity = edit.scale == 1 && !edit.centre && !edit.floor && !edit.flipV;
        std::vector<std::string> notes;
        if (!identity && !editParts(model, edit, reason, notes)) return failed({in, 0, 0, reason});
        for (const std::string& text : notes) note(in, text);
        if (flip && !turnedOnce) {
            for (ModelPart& part : model.parts) turnRound(*part.mesh);
        }

        // Every file is made in memory and checked before the first is
        // written, so that a model the format cannot hold writes nothing.
        const bool numbered = model.parts.size() > 1;
        const std::string stem = outFile.substr(0, outFile.size() - outExt.size() - 1);
        std::vector<std::string> objTexts(outExt == "obj" ? model.parts.size() : 0);
        for (std::size_t i = 0; i < objTexts.size(); ++i) {
            Mesh& mesh = *model.parts[i].mesh;
            if (!options.keepWinding) turnRound(mesh);
            if (!formatObj(mesh, objTexts[i], reason)) {
                return failed({in, 0, 0, (numbered ? partLabel(model, i) + ": " : "") + reason});
            }
        }
        for (std::size_t i = 0; i < model.parts.size(); ++i) {
            const ModelPart& part = model.parts[i];
            const std::string base = numbered ? stem + "-" + std::to_string(i + 1) : stem;
            const std::string meshFile = base + "." + outExt;
            FileError error;
            if (outExt == "obj") {
                if (!write(meshFile, objTexts[i], error)) return failed(error);
            } else if (!part.mesh->savePob(meshFile.c_str()) &&
                       !write(meshFile, formatPob(*part.mesh), error)) {
                // savePob streams the file out, but does not say why it
                // fails: then the same bytes go once more through a writer
                // that does.
                return failed(error);
            }
            out << meshFile << ": " << (numbered ? partLabel(model, i) + ", " : "")
                << counts(*part.mesh) << "\n";
            if (part.picture.width == 0) continue;
            const std::string pictureFile = base + ".bmp";
            pictureWarnings(part.pictureFile == in ? in : part.pictureFile, part.picture);
            if (!writeBitmap(pictureFile.c_str(), part.picture.rgb.data(), part.picture.width,
                             part.picture.height, error)) {
                return failed(error);
            }
            out << pictureFile << ": " << pictureSource(in, part) << "\n";
        }
        if (triangles == 0)
            warn(in, "no triangle to convert: " + stem + "." + outExt + " is empty");
        return ToolOk;
    }

    int texture(const std::vector<std::string>& args) {
        Arguments a;
        int status = ToolOk;
        if (!parse("texture", args, {}, {"--size"}, 2, a, status)) return status;
        if (a.help) {
            out << textureHelp;
            return ToolOk;
        }
        const std::string &in = a.files[0], &outFile = a.files[1];
        if (extension(outFile) != "bmp") {
            return usage("texture", "the output '" + outFile + "' must be a .bmp file");
        }
        std::int32_t side = 0;
        if (a.options.count("--size")) {
            const std::string& text = a.options["--size"];
            const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), side);
            if (fault != std::errc() || end != text.data() + text.size() || side < 1 ||
                side > maxBitmapDimension || (side & (side - 1)) != 0) {
                return usage("texture", "--size takes a power of two from 1 to " +
                                            std::to_string(maxBitmapDimension) + ", not '" + text +
                                            "'");
            }
        }

        FileBytes bytes;
        FileError error;
        if (!readFileBytes(in, bytes, error, startsAsPicture)) return failed(error);
        Picture picture;
        std::string reason;
        if (!convertPicture(bytes.bytes(), bytes.size, side, picture, reason)) {
            return failed({in, 0, 0, reason});
        }
        if (picture.orientation != 1) {
            note(in, "turned upright, as its EXIF orientation (" +
                         std::to_string(picture.orientation) + ") says");
        }
        pictureWarnings(in, picture);
        if (!writeBitmap(outFile.c_str(), picture.rgb.data(), picture.width, picture.height,
                         error)) {
            return failed(error);
        }
        out << outFile << ": " << picture.width << " x " << picture.height << " from "
            << picture.sourceWidth << " x " << picture.sourceHeight << "\n";
        return ToolOk;
    }

    std::ostream& out;
    std::ostream& err;
};

}  // namespace

int runTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        return Tool(out, err).run(args);
    } catch (const std::bad_alloc&) {
        // A mesh or picture too large for this machine; nothing was written.
        err << "gloam-pob: out of memory\n";
        return ToolBadInput;
    }
}

}  // namespace gloam
