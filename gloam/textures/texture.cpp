#include "gloam/textures/texture.h"

#include <string>
#include <vector>

#include "gloam/textures/bitmap.h"

#include "gloam/platform/gl.h"

namespace gloam {

Texture textureTable[textureTableSize];
std::int32_t textureFilter = FilterNearest;
std::int32_t textureCount = 0;

namespace {

bool isLoaded(std::int32_t name) {
    return name >= 0 && name < textureTableSize && textureTable[name].pixels != nullptr;
}

}  // namespace

std::int32_t addTexture(const char* fileName, bool greyscale, bool alphaFromGrey,
                        std::int32_t textureName) {
    if (textureName < 0 || textureName >= textureTableSize) return -1;
    Texture& entry = textureTable[textureName];
    entry = Texture{};
    if (!readBitmap(entry, fileName, greyscale, alphaFromGrey, false)) return -1;
    entry.name = textureName;
    uploadTexture(entry);
    return textureCount++;
}

std::int32_t addTexture(const char* fileName, bool greyscale, bool alphaFromGrey,
                        std::int32_t textureName, FileError& error) {
    if (textureName < 0 || textureName >= textureTableSize) {
        error = FileError{fileName != nullptr ? fileName : "", 0, 0,
                          "texture name " + std::to_string(textureName) + " is outside 0.." +
                              std::to_string(textureTableSize - 1)};
        return -1;
    }
    Texture& entry = textureTable[textureName];
    entry = Texture{};
    if (!readBitmap(entry, fileName, greyscale, alphaFromGrey, false, error)) return -1;
    entry.name = textureName;
    uploadTexture(entry);
    return textureCount++;
}

std::int32_t addTexturePixels(std::int32_t textureName, const std::uint8_t* pixels,
                              std::int32_t width, std::int32_t height, std::int32_t channels,
                              FileError& error) {
    const auto powerOfTwo = [](std::int32_t n) {
        return n >= 1 && n <= maxBitmapDimension && (n & (n - 1)) == 0;
    };
    std::string why;
    if (textureName < 0 || textureName >= textureTableSize) {
        why = "texture name " + std::to_string(textureName) + " is outside 0.." +
              std::to_string(textureTableSize - 1);
    } else if (!powerOfTwo(width) || !powerOfTwo(height)) {
        why = std::to_string(width) + " x " + std::to_string(height) +
              " pixels; OpenGL 1.1 takes only sides that are powers of two up to " +
              std::to_string(maxBitmapDimension);
    } else if (channels != 3 && channels != 4) {
        why = std::to_string(channels) + " channels; pixels have 3 (RGB) or 4 (RGBA)";
    } else if (pixels == nullptr) {
        why = "no pixels";
    }
    if (!why.empty()) {
        error.reason = why;
        return -1;
    }
    const std::size_t count = std::size_t(width) * std::size_t(height);
    auto rgba = std::make_unique<std::uint8_t[]>(4 * count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* in = pixels + i * std::size_t(channels);
        std::uint8_t* out = &rgba[4 * i];
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        const bool key =
            in[0] == colourKey.red && in[1] == colourKey.green && in[2] == colourKey.blue;
        out[3] = key ? 0 : channels == 4 ? in[3] : 255;
    }
    Texture& entry = textureTable[textureName];
    entry.pixels = std::move(rgba);
    entry.width = width;
    entry.height = height;
    entry.name = textureName;
    uploadTexture(entry);
    return textureCount++;
}

std::int32_t addCheckerTexture(std::int32_t textureName, std::int32_t size, std::uint32_t light,
                               std::uint32_t dark) {
    std::vector<std::uint8_t> rgb;
    if (size >= 1 && size <= maxBitmapDimension) rgb.resize(3 * std::size_t(size) * size);
    for (std::int32_t row = 0; row < size && !rgb.empty(); ++row) {
        for (std::int32_t column = 0; column < size; ++column) {
            const bool odd = (row * 2 / size + column * 2 / size) % 2 != 0;
            const std::uint32_t colour = odd ? dark : light;
            std::uint8_t* pixel = &rgb[3 * (std::size_t(row) * size + column)];
            pixel[0] = std::uint8_t(colour >> 16);
            pixel[1] = std::uint8_t(colour >> 8);
            pixel[2] = std::uint8_t(colour);
        }
    }
    FileError error;
    return addTexturePixels(textureName, rgb.data(), size, size, 3, error);
}

void uploadTexture(const Texture& texture) {
    if (texture.pixels == nullptr) return;

    GLenum magFilter = GL_NEAREST;
    GLenum minFilter = GL_NEAREST;
    bool mipmaps = false;
    if (textureFilter == FilterBilinear) {
        magFilter = GL_LINEAR;
        minFilter = GL_LINEAR_MIPMAP_NEAREST;
        mipmaps = true;
    } else if (textureFilter == FilterTrilinear) {
        magFilter = GL_LINEAR;
        minFilter = GL_LINEAR_MIPMAP_LINEAR;
        mipmaps = true;
    }

    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture.name));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLfloat>(GL_REPEAT));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLfloat>(GL_REPEAT));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLfloat>(magFilter));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLfloat>(minFilter));
    // Modulate, so that the lit vertex colours and the mesh alpha shade the
    // texels.
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_MODULATE));
    glTexImage2D(GL_TEXTURE_2D, 0, 4, texture.width, texture.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 texture.pixels.get());
    if (mipmaps) {
        gluBuild2DMipmaps(GL_TEXTURE_2D, 4, texture.width, texture.height, GL_RGBA,
                          GL_UNSIGNED_BYTE, texture.pixels.get());
    }
}

void setTextureFilter(std::int32_t mode) {
    if (mode < FilterNearest || mode > FilterTrilinear) return;
    textureFilter = mode;
    reuploadAllTextures();
}

// Loaded entries are found by their pixels rather than by textureCount,
// which counts loads and says nothing about where the names lie.
void reuploadAllTextures() {
    for (std::int32_t name = 0; name < textureTableSize; ++name) {
        if (isLoaded(name)) uploadTexture(textureTable[name]);
    }
}

void reuploadTexture(std::int32_t index) {
    if (isLoaded(index)) uploadTexture(textureTable[index]);
}

}  // namespace gloam
