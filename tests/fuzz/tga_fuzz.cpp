// Fuzzes the TGA reading path: file bytes in, the slot's fields and pixels out,
// with the texture upload into a real (offscreen) OpenGL context, read back.
#include <GL/gl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/textures.h"
#include "platform/offscreen_gl.h"

namespace {
char inputPath[64];  // written once by LLVMFuzzerInitialize, read for every input
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!createOffscreenGL(16, 16)) {
        std::fprintf(stderr, "tga_fuzz: no offscreen OpenGL context\n");
        std::exit(1);
    }
    std::snprintf(inputPath, sizeof inputPath, "/dev/shm/k3l-tga-fuzz-%d.tga", static_cast<int>(getpid()));
    std::atexit([] { unlink(inputPath); });  // nothing left behind
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(inputPath, "wb");
    if (!file) {
        std::abort();
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    while (glGetError() != GL_NO_ERROR) {
    }
    TextureImage slot{};
    const bool loaded = loadTGA(&slot, inputPath);
    if (!loaded) {
        // A refused file leaves an empty slot.
        if (slot.texName != 0 || slot.pixels != nullptr) {
            std::abort();
        }
        return 0;
    }
    // An accepted file had its whole pixel block, and every byte of it was read.
    const uint64_t bytes = uint64_t{slot.width} * slot.height * (slot.bpp / 8);
    if (slot.texName == 0 || !slot.pixels || (slot.bpp != 24 && slot.bpp != 32) || bytes > size - 18) {
        std::abort();
    }
    for (uint64_t i = 0; i < bytes; i += slot.bpp / 8) {
        if (slot.pixels[i + 2] != data[18 + i] || slot.pixels[i] != data[18 + i + 2]) {
            std::abort();
        }
    }
    // The texture holds exactly the decoded rows (a 24-bit row need not be a multiple of
    // 4 bytes: uploaded with the default alignment, rows would shear and run past the
    // pixels), and the unpack alignment is back at OpenGL's default.
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    if (alignment != 4) {
        std::abort();
    }
    std::vector<unsigned char> texture(bytes);
    glBindTexture(GL_TEXTURE_2D, slot.texName);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, slot.bpp == 24 ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE, texture.data());
    if (glGetError() != GL_NO_ERROR || std::memcmp(texture.data(), slot.pixels, bytes) != 0) {
        std::abort();
    }
    std::free(slot.pixels);
    glDeleteTextures(1, &slot.texName);
    return 0;
}
