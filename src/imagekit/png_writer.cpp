#include "imagekit/png_writer.h"

#include <png.h>

namespace imagekit {

bool writePng(const std::string& path, int width, int height, const uint8_t* pixels, PngOrder order,
              PngEffort effort)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = order == PngOrder::Bgr ? PNG_FORMAT_BGR : PNG_FORMAT_RGB;
    image.flags = effort == PngEffort::Fast ? PNG_IMAGE_FLAG_FAST : 0;
    const bool written = png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, nullptr) != 0;
    png_image_free(&image);
    return written;
}

}  // namespace imagekit
