#include "support/png_file.h"

#include <png.h>

#include "imagekit/png_writer.h"

bool readPng(const std::string& path, RgbPicture& picture)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.assign(PNG_IMAGE_SIZE(image), 0);
    const bool read = png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return read;
}

bool writePng(const std::string& path, const RgbPicture& picture)
{
    return imagekit::writePng(path, picture.width, picture.height, picture.rgb.data(), imagekit::PngOrder::Rgb,
                              imagekit::PngEffort::Small);
}
