// The show's music with one change: a beat (Z0A) added on the first row at or after SECONDS that
// carries no sync event, for timing the studio's reload of a module changed there.
//   Usage: edited_song SECONDS FILE
#include <cstdio>
#include <cstdlib>
#include <set>

#include "itwriter/itwriter.h"
#include "score.h"
#include "song.h"
#include "synth.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: edited_song SECONDS FILE\n");
        return 2;
    }
    music::Score score = music::song();
    std::set<int> taken;
    for (const music::SyncEvent& event : music::syncEvents(score)) {
        taken.insert(event.row);
    }
    int row = static_cast<int>(std::atof(argv[1]) / music::rowSeconds());
    while (taken.count(row) != 0) {
        ++row;
    }
    score.marks.push_back(music::SyncEvent{row, 0x0A});
    if (!itw::saveIT(music::arrange(score, music::makeInstruments()), argv[2])) {
        std::fprintf(stderr, "edited_song: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("a beat added at row %d, %.3f s\n", row, row * music::rowSeconds());
    return 0;
}
