#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "gloam/import/file_bytes.h"
#include "gloam/import/model_parts.h"

namespace gloam {

namespace {

// Exporters write the artist's own paths, often another system's: the last
// component is what is left when the folders do not exist here.
std::string lastComponent(const std::string& name) {
    const std::size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string lowered(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The name of the folder's entry that is `name` in another case; empty when
// there is none. Only so many entries are looked at: a folder of pictures is
// not a folder of millions.
std::string anyCase(const std::filesystem::path& folder, const std::string& name) {
    std::error_code error;
    const std::string wanted = lowered(name);
    std::size_t looked = 0;
    for (std::filesystem::directory_iterator entry(folder.empty() ? "." : folder, error), end;
         !error && entry != end && looked++ < 100000; entry.increment(error)) {
        const std::string found = entry->path().filename().string();
        if (found != name && lowered(found) == wanted) return found;
    }
    return "";
}

bool exists(const std::string& file) {
    std::error_code error;
    return std::filesystem::exists(file, error);
}

}  // namespace

void decodePartPicture(const std::uint8_t* data, std::size_t size, const std::string& from,
                       ModelPart& part) {
    std::string reason;
    part.pictureFile = from;
    if (!convertPicture(data, size, 0, part.picture, reason)) {
        part.picture = Picture{};
        part.pictureProblem = part.pictureName + " does not decode: " + reason;
    }
}

void findPicture(const std::string& modelPath, ModelPart& part, PictureFiles& seen) {
    const std::filesystem::path folder = std::filesystem::path(modelPath).parent_path();
    const std::string& name = part.pictureName;
    std::vector<std::string> candidates;
    const auto add = [&candidates](const std::filesystem::path& path) {
        const std::string file = path.lexically_normal().string();
        if (std::find(candidates.begin(), candidates.end(), file) == candidates.end()) {
            candidates.push_back(file);
        }
    };
    add(folder / name);
    // A relative path written on Windows names the same folders here.
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    add(folder / slashed);
    add(folder / lastComponent(name));
    // Tools that ignored case wrote names in any case (3DS files in capitals
    // of 8.3 names): last, the folder's own file of that name in any case.
    if (const std::string other = anyCase(folder, lastComponent(name)); !other.empty()) {
        add(folder / other);
    }
    for (const std::string& candidate : candidates) {
        if (const auto known = seen.find(candidate); known != seen.end()) {
            part.picture = known->second.first;
            part.pictureFile = candidate;
            part.pictureProblem = known->second.second;
            return;
        }
        if (!exists(candidate)) continue;
        FileBytes bytes;
        FileError error;
        // A pipe or a device is refused as soon as it does not begin a picture.
        if (!readFileBytes(candidate, bytes, error, startsAsPicture)) {
            part.pictureFile = candidate;
            part.pictureProblem = name + " cannot be read: " + error.message();
        } else {
            decodePartPicture(bytes.bytes(), bytes.size, candidate, part);
        }
        seen[candidate] = {part.picture, part.pictureProblem};
        return;
    }
    std::string tried;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        tried += (i == 0 ? "" : i + 1 == candidates.size() ? " and " : ", ") + candidates[i];
    }
    part.pictureProblem = name + " not found (looked for " + tried + ")";
}

}  // namespace gloam
