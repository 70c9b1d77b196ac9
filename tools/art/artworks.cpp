#include "art/artwork.h"

namespace art {

std::vector<Artwork> makeArtworks(const Fonts& fonts)
{
    std::vector<Artwork> all;
    all.push_back(makeAfraid512());
    all.push_back(makeAfraid64(fonts));
    all.push_back(makeNoise());
    all.push_back(makeCredits(fonts));
    all.push_back(makeNoiseLiscio());
    all.push_back(makeConfidence512());
    all.push_back(makeConfidence(fonts));
    all.push_back(makeSketches(fonts));
    all.push_back(makeSprite());
    all.push_back(makeDiscouragement());
    all.push_back(makeCat());
    all.push_back(makeWisdom(fonts));
    all.push_back(makeWisdom64(fonts));
    all.push_back(makeVersus(fonts));
    all.push_back(makeUncertainty64(fonts));
    all.push_back(makeBrave(fonts));
    all.push_back(makeFinalCredits(fonts));
    return all;
}

}  // namespace art
