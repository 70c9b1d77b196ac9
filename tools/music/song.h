#pragma once
// The show's music, "k3lvana": A minor (with its relative C major), 125 BPM,
// 108 bars of 4/4, one section per scene.
#include <string>
#include <vector>

#include "score.h"

namespace music {

// One section of the piece and the scene it plays under.
struct Section {
    std::string name;
    int scene = 0;
    int firstBar = 0;
    int bars = 0;
};

// The sections in playing order.
std::vector<Section> sections();

// The complete score: every note and every sync event.
Score song();

// The module file's bytes: the score arranged over the synthesized instruments.
std::vector<uint8_t> moduleBytes();

}  // namespace music
