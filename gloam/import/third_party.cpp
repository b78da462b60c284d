// The implementations of the third-party headers the tool uses, in one
// translation unit of their own.

#define TINYOBJLOADER_IMPLEMENTATION
#include <tiny_obj_loader.h>

// Decoders for what artists save; the rest (PSD, PIC, PNM) stays out.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_PSD
#define STBI_NO_PIC
#define STBI_NO_PNM
// Far above any texture the engine takes; the tool bounds the pixel count
// itself before it decodes anything.
#define STBI_MAX_DIMENSIONS (1 << 15)
#include <stb/stb_image.h>

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>
