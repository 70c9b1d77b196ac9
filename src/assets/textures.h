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

// The seventeen texture slots, in load order: each written once by loadTextures, read by the scenes.
extern TextureImage afraid512, afraid64, noise, credits, noiseliscio, confidence512, confidence,
    schizzi, sprite, scoramento, gatto, wisdom, wisdom64, vs, uncertainty64, brave, creditifinali;

// Reads one uncompressed 24- or 32-bit TGA file into a slot and creates its texture.
bool loadTGA(TextureImage* slot, const char* path);

// Loads the seventeen show images into their slots; a file that fails leaves its slot empty.
void loadTextures();
