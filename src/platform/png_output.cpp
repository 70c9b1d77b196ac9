#include "platform/png_output.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

void rgbaToRgbTopDown(const uint8_t* rgba, int width, int height, uint8_t* rgb)
{
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = rgba + static_cast<size_t>(height - 1 - y) * width * 4;
        uint8_t* to = rgb + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
            from += 4;
            to += 3;
        }
    }
}

bool writeRgbPng(const std::string& path, int width, int height, const uint8_t* rgb, int level)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, level);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}
