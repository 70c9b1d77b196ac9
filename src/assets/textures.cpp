#include "assets/textures.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

#define K3L_IMAGE(slot, file) TextureImage slot;
#include "assets/image_table.h"
#undef K3L_IMAGE

const ImageSlot IMAGE_SLOTS[IMAGE_COUNT] = {
#define K3L_IMAGE(slot, file) {&slot, file, "data\\" file},
#include "assets/image_table.h"
#undef K3L_IMAGE
};

namespace {

constexpr unsigned char EXPECTED_HEADER[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr int DEFAULT_UNPACK_ALIGNMENT = 4;  // bytes, OpenGL's default row alignment

// Bytes between the current position and the end of the file; -1 when unknown.
long bytesLeft(FILE* file)
{
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) {
        return -1;
    }
    const long end = std::ftell(file);
    if (std::fseek(file, here, SEEK_SET) != 0 || end < here) {
        return -1;
    }
    return end - here;
}

bool fail(FILE* file)
{
    std::fclose(file);
    return false;
}

}  // namespace

bool loadTGA(TextureImage* slot, const char* path)
{
    FILE* file = openDataFile(path, "rb");
    if (!file) {
        return false;
    }

    unsigned char header[12];
    if (std::fread(header, 1, sizeof header, file) != sizeof header ||
        std::memcmp(header, EXPECTED_HEADER, sizeof header) != 0) {
        return fail(file);
    }

    unsigned char spec[6];
    if (std::fread(spec, 1, sizeof spec, file) != sizeof spec) {
        return fail(file);
    }
    const uint32_t width = spec[0] + 256u * spec[1];
    const uint32_t height = spec[2] + 256u * spec[3];
    const uint32_t bpp = spec[4];
    if (width == 0 || height == 0) {
        return fail(file);
    }
    if (bpp != 24 && bpp != 32) {
        return fail(file);
    }
    slot->width = width;
    slot->height = height;
    slot->bpp = bpp;

    // 65535 x 65535 x 4 does not fit 32 bits: the size is reckoned in 64, and a
    // header claiming more bytes than the file holds is refused before allocating.
    const uint64_t bytesPerPixel = bpp / 8;
    const uint64_t size = uint64_t{width} * height * bytesPerPixel;
    const long available = bytesLeft(file);
    if (available < 0 || static_cast<uint64_t>(available) < size) {
        return fail(file);
    }

    unsigned char* pixels = static_cast<unsigned char*>(std::malloc(size));
    if (!pixels) {
        return fail(file);
    }
    if (std::fread(pixels, 1, size, file) != size) {
        std::free(pixels);
        return fail(file);
    }
    for (uint64_t i = 0; i < size; i += bytesPerPixel) {
        const unsigned char blue = pixels[i];
        pixels[i] = pixels[i + 2];
        pixels[i + 2] = blue;
    }
    std::fclose(file);
    slot->pixels = pixels;

    glGenTextures(1, &slot->texName);
    glBindTexture(GL_TEXTURE_2D, slot->texName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Rows are tightly packed: a 24-bit row need not be a multiple of 4 bytes long.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLenum format = bpp == 24 ? GL_RGB : GL_RGBA;
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), static_cast<GLsizei>(width),
                 static_cast<GLsizei>(height), 0, format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, DEFAULT_UNPACK_ALIGNMENT);
    return true;
}

void loadTextures()
{
    for (const ImageSlot& image : IMAGE_SLOTS) {
        loadTGA(image.slot, image.path);
    }
}
