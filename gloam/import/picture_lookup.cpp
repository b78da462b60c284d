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
    const std::string name = part.pictureName;
    std::vector<std::string> candidates{(folder / name).lexically_normal().string()};
    if (const std::string last = (folder / lastComponent(name)).lexically_normal().string();
        last != candidates[0]) {
        candidates.push_back(last);
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
    part.pictureProblem = name + " not found (looked for " + candidates[0] +
                          (candidates.size() > 1 ? " and " + candidates[1] : "") + ")";
}

}  // namespace gloam
