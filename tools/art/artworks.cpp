#include "art/artwork.h"

namespace art {

std::vector<Artwork> makeArtworks(const Fonts& fonts)
{
    std::vector<Artwork> all;
#define K3L_IMAGE(slot_, file_)                  \
    all.push_back(slot_(fonts));                 \
    all.back().slot = Image::slot_;              \
    all.back().file = file_;
#include "assets/image_table.h"
#undef K3L_IMAGE
    return all;
}

const Picture& pictureOf(const std::vector<Artwork>& artworks, Image slot)
{
    return artworks.at(static_cast<size_t>(slot)).picture;
}

}  // namespace art
