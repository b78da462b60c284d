#include "tool/commands.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
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
    "  info FILE            what a POB mesh or a bitmap holds, or why the engine\n"
    "                       cannot read it\n"
    "  convert IN OUT       a mesh from OBJ to POB or back, by the files' extensions\n"
    "  texture IN OUT.bmp   a picture to a 24-bit bitmap with power-of-two sides\n"
    "\n"
    "`gloam-pob COMMAND --help` describes each. Exit status: 0 done, 1 a file\n"
    "could not be read or written, 2 the command line is wrong.\n";

const char* const infoHelp =
    "usage: gloam-pob info FILE.pob|FILE.bmp\n"
    "\n"
    "For a POB mesh: vertex and triangle counts, unused vertices, degenerate\n"
    "triangles (a corner named twice, or corners on one line), duplicate\n"
    "triangles (the same three positions as an earlier one), the bounds and the\n"
    "range of the texture coordinates. For a bitmap: its size, whether OpenGL 1.1\n"
    "can take it (power-of-two sides) and how many pixels the colour key makes\n"
    "transparent. Exits 0 when the engine reads the file and 1, saying where and\n"
    "why, when it does not.\n";

const char* const convertHelp =
    "usage: gloam-pob convert IN OUT [OPTIONS]\n"
    "\n"
    "Converts a mesh between Wavefront OBJ (.obj) and the engine's POB (.pob),\n"
    "chosen by the extensions. From OBJ: every vertex in file order, the texture\n"
    "coordinates of every face corner (none becomes 0 0), all objects and groups\n"
    "in one mesh, polygons split into triangles, negative indices counted back;\n"
    "normals, materials, lines and points are left out. To OBJ: positions,\n"
    "texture coordinates and faces; converting that back gives the same POB file.\n"
    "\n"
    "options, applied in this order:\n"
    "  --scale S        multiply every position by S\n"
    "  --centre         move the middle of the bounds to the origin\n"
    "  --floor          move the lowest point to y = 0 (with --centre, centre in\n"
    "                   x and z only)\n"
    "  --flip-winding   reverse the corner order of every triangle\n"
    "  --flip-v         v becomes 1 - v\n"
    "\n"
    "Modelling tools write OBJ faces counter-clockwise seen from outside; the\n"
    "engine lights the side from which a face runs clockwise, so their meshes\n"
    "want --flip-winding. V runs up the picture in OBJ and in the engine alike;\n"
    "--flip-v is for files written the other way.\n";

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
        if (ext != "pob") return usage("info", "'" + file + "' is neither .pob nor .bmp");
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

    std::unique_ptr<Mesh> readMesh(const std::string& file, FileError& error) {
        Model model;
        if (!loadModel(file, model, error)) return nullptr;
        for (const std::string& text : model.notes) note(file, text);
        for (const std::string& text : model.warnings) warn(file, text);
        if (model.parts.size() > 1) {
            warn(file, "has " + std::to_string(model.parts.size()) +
                           " parts, one per material; only the first, '" + model.parts[0].name +
                           "', is converted");
        }
        return std::move(model.parts.at(0).mesh);
    }

    int convert(const std::vector<std::string>& args) {
        Arguments a;
        int status = ToolOk;
        if (!parse("convert", args, {"--centre", "--floor", "--flip-winding", "--flip-v"},
                   {"--scale"}, 2, a, status)) {
            return status;
        }
        if (a.help) {
            out << convertHelp;
            return ToolOk;
        }
        const std::string &in = a.files[0], &outFile = a.files[1];
        const std::string inExt = extension(in), outExt = extension(outFile);
        for (const std::string* ext : {&inExt, &outExt}) {
            if (*ext != "obj" && *ext != "pob") {
                return usage("convert",
                             "'" + (ext == &inExt ? in : outFile) + "' is neither .obj nor .pob");
            }
        }
        MeshEdit edit;
        std::string reason;
        if (!readEdit(a, edit, reason)) return usage("convert", reason);

        FileError error;
        std::unique_ptr<Mesh> mesh = readMesh(in, error);
        if (!mesh) return failed(error);
        if (scaleCollapses(*mesh, edit.scale, reason)) {
            return usage("convert",
                         "--scale " + a.options["--scale"] + " collapses the mesh: " + reason);
        }
        const bool identity =
            edit.scale == 1 && !edit.centre && !edit.floor && !edit.flipWinding && !edit.flipV;
        std::vector<std::string> notes;
        if (!identity && !editMesh(*mesh, edit, reason, &notes)) return failed({in, 0, 0, reason});
        for (const std::string& text : notes) note(in, text);
        if (outExt == "pob") {
            // savePob streams the file out, but does not say why it fails:
            // then the same bytes go once more through a writer that does.
            if (!mesh->savePob(outFile.c_str()) && !write(outFile, formatPob(*mesh), error)) {
                return failed(error);
            }
        } else {
            std::string bytes;
            if (!formatObj(*mesh, bytes, reason)) return failed({in, 0, 0, reason});
            if (!write(outFile, bytes, error)) return failed(error);
        }
        out << outFile << ": " << mesh->vertCount << " vertices, " << mesh->triCount
            << " triangles\n";
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
        if (picture.translucentPixels > 0) {
            note(in,
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
            warn(in, text);
        }
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
