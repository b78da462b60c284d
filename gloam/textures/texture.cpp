#include "gloam/textures/texture.h"

#include <string>

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
