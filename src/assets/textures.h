#pragma once
#include <cstdint>

// One loaded image and its OpenGL texture; an empty slot has texName 0 and no pixels.
struct TextureImage {
    unsigned char* pixels;  // decoded R, G, B (, A) rows in file order; kept until exit
    uint32_t bpp;           // bits per pixel: 24 or 32
    uint32_t width;         // pixels
    uint32_t height;        // pixels
    uint32_t texName;       // OpenGL texture name; 0 while empty
};

// The seventeen texture slots (afraid512 ... creditifinali, assets/image_table.h), in load order:
// each written once by loadTextures, read by the scenes.
#define K3L_IMAGE(slot, file) extern TextureImage slot;
#include "assets/image_table.h"
#undef K3L_IMAGE

// One show image: its slot, its file in data/ and the path the show opens it by.
struct ImageSlot {
    TextureImage* slot;
    const char* file;  // "afraid512.tga"
    const char* path;  // "data\\afraid512.tga"
};

// How many images the show has.
constexpr int IMAGE_COUNT = 0
#define K3L_IMAGE(slot, file) +1
#include "assets/image_table.h"
#undef K3L_IMAGE
    ;

// Every image in load order, from assets/image_table.h: fixed; read by loadTextures, the tests and the benchmarks.
extern const ImageSlot IMAGE_SLOTS[IMAGE_COUNT];

// Reads one uncompressed 24- or 32-bit TGA file into a slot and creates its texture.
bool loadTGA(TextureImage* slot, const char* path);

// Loads the seventeen show images into their slots; a file that fails leaves its slot empty.
void loadTextures();
