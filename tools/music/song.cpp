#include "song.h"

namespace music {

namespace {

// Channels, left to right in the pattern editor.
enum Channel {
    KICK_CH,
    CLAP_CH,
    SNARE_CH,
    HAT_CH,
    OPEN_HAT_CH,
    FX_CH,      // crash and riser
    BASS_CH,
    PAD_A_CH,   // three channels: one chord
    PAD_B_CH = PAD_A_CH + 3,  // three channels: the next chord, so the two can crossfade
    LEAD_CH = PAD_B_CH + 3,
    LEAD2_CH,   // harmony and the second voice of the dialogue
    ECHO_CH,    // the leads a dotted eighth later
    ARP_A_CH,   // bells and plucks, alternating so each rings under the next
    ARP_B_CH,
    SYNC_CH,    // Zxx only, never a note
    CHANNELS,
};

// Pan of each channel, 0 left .. 64 right.
const std::vector<uint8_t> PANS = {32, 30, 34, 42, 22, 32, 32, 14, 32, 50, 50, 32, 14, 32, 24, 50, 18, 46, 32};

// The mixing desk: channel volumes (0..64) that keep the kick on top and the pads underneath.
const std::vector<uint8_t> FADERS = {64, 56, 56, 52, 52, 52, 48, 36, 36, 36, 36, 36, 36, 44, 44, 44, 44, 44, 64};

// The first bar of each section.
constexpr int INTRO = 0;
constexpr int FEAR = 8;
constexpr int TRUST = 24;
constexpr int GLOOM = 40;
constexpr int DIALOGUE = 52;
constexpr int BUILD = 64;
constexpr int TUNNEL = 68;
constexpr int FINALE = 84;
constexpr int OUTRO = 100;
constexpr int END_BAR = 108;

// The instruments as they are played.
const Voice KICK_V{KICK_CH, KICK, 64};
const Voice CLAP_V{CLAP_CH, CLAP, 52};
const Voice SNARE_V{SNARE_CH, SNARE, 40};
const Voice HAT_V{HAT_CH, HAT, 26};
const Voice OPEN_HAT_V{OPEN_HAT_CH, OPEN_HAT, 22};
const Voice CRASH_V{FX_CH, CRASH, 30};
const Voice RISER_V{FX_CH, RISER, 34};
const Voice BASS_V{BASS_CH, BASS, 46, 1};
const Voice PAD_A{PAD_A_CH, PAD, 28, 4};
const Voice PAD_B{PAD_B_CH, PAD, 28, 4};
const Voice LEAD_V{LEAD_CH, LEAD, 40, 2, true};
const Voice LEAD2_V{LEAD2_CH, LEAD, 30, 2, true};
const Voice BELL_A{ARP_A_CH, BELL, 34};
const Voice BELL_B{ARP_B_CH, BELL, 34};
const Voice PLUCK_A{ARP_A_CH, PLUCK, 32};
const Voice PLUCK_B{ARP_B_CH, PLUCK, 32};

// A voice played at another volume.
Voice at(Voice voice, int volume)
{
    voice.volume = volume;
    return voice;
}

// A voice whose released notes fade over another number of rows.
Voice fading(Voice voice, int rows)
{
    voice.releaseRows = rows;
    return voice;
}

// Scene 0, the credits: pads and a bell arpeggio alone, then the theme softly, rising into the first cut.
void intro(Score& s)
{
    mark(s, INTRO, 0, SYNC_CUT_TO_CREDITS);
    chords(s, INTRO, "Am F C G Am F C G", at(PAD_A, 20), at(PAD_B, 20));
    arpeggio(s, INTRO, "Am F C G", at(BELL_A, 20), at(BELL_B, 20), "0.1.2.3.4.3.2.1.", 4);
    arpeggio(s, INTRO + 4, "Am F C G", at(BELL_A, 24), at(BELL_B, 24), "0.1.2.3.4.3.2.1.", 4);
    bassline(s, INTRO + 4, "Am F C G", at(BASS_V, 28), "r...............");
    line(s, INTRO + 4, at(LEAD_V, 24), 2,
         "E5 . . D5 . . C5 . | A4 . . . C5 . F5 . | E5 . . D5 . . C5 . | D5 . . . B4 . . -");
    line(s, INTRO + 6, RISER_V, 16, "C5 .");
}

// Scene 1, "afraid": a nervous pluck ostinato on a pedal A with its minor seconds, a pulsing bass,
// the kick from the first beat; claps, hats and a high slow line join halfway.
void afraid(Score& s)
{
    mark(s, FEAR, 0, SYNC_CUT_TO_AFRAID);
    const std::string harmony = "Am . F E Am . F E Am . F E Am . F E";
    line(s, FEAR, CRASH_V, 16, "C5");
    hits(s, FEAR, 16, KICK_V, "x...x...x...x...");
    hits(s, FEAR + 4, 4, at(HAT_V, 20), "..x...x...x...x.");
    hits(s, FEAR + 8, 8, HAT_V, "o.x.o.x.o.x.o.x.");
    hits(s, FEAR + 8, 8, CLAP_V, "....x.......x...");
    hits(s, FEAR + 15, 1, SNARE_V, "........o.o.xxXX");
    bassline(s, FEAR, harmony, at(BASS_V, 44), "r-r-r-r-r-r-r-r-");
    chords(s, FEAR, harmony, at(PAD_A, 22), at(PAD_B, 22));
    const std::string ostinato =
        "A4 E5 A4 F5 A4 E5 A4 C5 A4 E5 A4 F5 A4 E5 C5 B4 | A4 E5 A4 F5 A4 E5 A4 C5 A4 E5 A4 F5 A4 G5 F5 E5 |"
        "A4 F5 A4 E5 A4 F5 A4 C5 A4 F5 A4 E5 A4 F5 C5 A4 | G#4 E5 G#4 F5 G#4 E5 G#4 B4 G#4 E5 G#4 F5 G#4 E5 B4 G#4";
    for (int b = 0; b < 16; b += 4) {
        const int volume = b < 8 ? 28 : 32;
        lineAlternating(s, FEAR + b, at(PLUCK_A, volume), at(PLUCK_B, volume), 1, ostinato);
    }
    line(s, FEAR + 8, LEAD_V, 4,
         "E5 . . . | . . . - | F5 . . . | E5 . . - | A5 . . . | G5 . E5 . | F5 . . . | G#5 . . -");
    pulses(s, FEAR, 8, "x.......x.......");
    pulses(s, FEAR + 8, 8, "x...x...x...x...");
}

// Scene 2, "confidence": the relative major, a full groove with an off-beat bass and a rising melody,
// harmonised and lit by bells the second time.
void confidence(Score& s)
{
    mark(s, TRUST, 0, SYNC_CUT_TO_CONFIDENCE);
    const std::string harmony = "C G Am F C G Am F C G Am F C G Am F";
    line(s, TRUST, CRASH_V, 16, "C5");
    line(s, TRUST + 8, at(CRASH_V, 24), 16, "C5");
    hits(s, TRUST, 15, KICK_V, "x...x...x...x...");
    hits(s, TRUST + 15, 1, KICK_V, "x...x...x.......");
    hits(s, TRUST, 16, CLAP_V, "....x.......x...");
    hits(s, TRUST, 16, at(HAT_V, 22), "xoxoxoxoxoxoxoxo");
    hits(s, TRUST, 16, OPEN_HAT_V, "..x...x...x...x.");
    bassline(s, TRUST, harmony, at(BASS_V, 48), "..r-..r-..r-..o-");
    chords(s, TRUST, harmony, PAD_A, PAD_B);
    const std::string melody =
        "C5 . E5 . G5 . . E5 | D5 . . . B4 . D5 . | C5 . E5 . A5 . . G5 | F5 . . . E5 . C5 . |"
        "C5 . E5 . G5 . . C6 | B5 . . . G5 . D5 . | E5 . . A5 . . G5 . | F5 . . . . . - .";
    line(s, TRUST, LEAD_V, 2, melody);
    line(s, TRUST + 8, at(LEAD_V, 42), 2, melody);
    line(s, TRUST + 8, LEAD2_V, 2,
         "A4 . C5 . E5 . . C5 | B4 . . . G4 . B4 . | A4 . C5 . E5 . . E5 | C5 . . . C5 . A4 . |"
         "A4 . C5 . E5 . . G5 | G5 . . . D5 . B4 . | C5 . . E5 . . E5 . | C5 . . . . . - .");
    arpeggio(s, TRUST + 8, "C G Am F C G Am F", at(BELL_A, 22), at(BELL_B, 22), "0.2.1.3.2.4.3.2.", 4);
    pulses(s, TRUST, 15, "x...x...x...x...");
    pulses(s, TRUST + 15, 1, "x...x...x.......");
}

// Scene 3, "scoramento": the drums fall away; a slow descending line over a darker turn
// (D minor, B flat, A minor, E), a heartbeat kick, bells echoing the line an octave up.
void scoramento(Score& s)
{
    mark(s, GLOOM, 0, SYNC_CUT_TO_SCORAMENTO);
    const std::string harmony = "Dm Bb Am E Dm Bb Am E Dm Bb Am E";
    line(s, GLOOM, at(CRASH_V, 22), 16, "C5");
    chords(s, GLOOM, harmony, at(PAD_A, 26), at(PAD_B, 26));
    bassline(s, GLOOM, harmony, at(BASS_V, 36), "r...............");
    hits(s, GLOOM + 4, 8, at(KICK_V, 44), "x..o............");
    line(s, GLOOM, at(LEAD_V, 32), 2,
         "A4 . . . F4 . E4 D4 | F4 . . . . . D4 . | E4 . . . C4 . B3 C4 | B3 . . . . . . -");
    const std::string answer = "D5 . . . C5 . A4 . | Bb4 . . . A4 . F4 . | A4 . . . G4 . E4 . | G#4 . . . . . . -";
    line(s, GLOOM + 4, at(LEAD_V, 32), 2, answer);
    lineAlternating(s, GLOOM + 4, at(BELL_A, 20), at(BELL_B, 20), 2, answer, 12);
    line(s, GLOOM + 8, at(LEAD_V, 28), 4, "F4 . . . | D4 . . . | C4 . . . | B3 . . -");
    lineAlternating(s, GLOOM + 8, at(BELL_A, 30), at(BELL_B, 30), 4,
                    "A4 . D5 . | F4 . Bb4 . | E4 . A4 . | G#4 B4 E5 G#5");
    pulses(s, GLOOM, 12, "x...............");
}

// Scene 4, "wisdom" vs "uncertainty": a half-time dialogue, calm bells answering a questioning lead
// that never resolves; the caption turns with each voice. Then four bars that build to the tunnel.
void wisdom(Score& s)
{
    mark(s, DIALOGUE, 0, SYNC_CUT_TO_WISDOM);
    mark(s, DIALOGUE + 1, 8, SYNC_TOGGLE_SHOW_VERSUS);
    for (int b = 2; b <= 12; b += 2) {
        mark(s, DIALOGUE + b, 0, SYNC_TOGGLE_WISDOM_ALT);
    }
    mark(s, DIALOGUE + 9, 8, SYNC_TOGGLE_SHOW_VERSUS);
    mark(s, BUILD + 1, 0, SYNC_TOGGLE_SHOW_VERSUS);

    const std::string harmony = "F G Am . F G E . F G Am .";
    hits(s, DIALOGUE, 12, KICK_V, "x.........x.....");
    hits(s, DIALOGUE, 12, SNARE_V, "........x.......");
    hits(s, DIALOGUE, 12, at(HAT_V, 20), "x.o.x.o.x.o.x.o.");
    bassline(s, DIALOGUE, harmony, at(BASS_V, 44), "r.-r.-r-r.-r.-o-");
    chords(s, DIALOGUE, harmony, PAD_A, PAD_B);
    const Voice bellA = at(BELL_A, 40);
    const Voice bellB = at(BELL_B, 40);
    lineAlternating(s, DIALOGUE, bellA, bellB, 4, "C5 A4 C5 F5 | D5 B4 D5 G5");
    lineAlternating(s, DIALOGUE + 4, bellA, bellB, 4, "A4 C5 F5 A5 | G5 D5 B4 G4");
    lineAlternating(s, DIALOGUE + 8, bellA, bellB, 4, "F5 C5 A4 F4 | G4 B4 D5 G5");
    const Voice doubt = at(LEAD2_V, 40);
    line(s, DIALOGUE + 2, doubt, 2, "E5 . D5 . C5 . B4 . | C5 . . D5 . . . -");
    line(s, DIALOGUE + 6, doubt, 2, "G#4 . B4 . D5 . . . | F5 . . . . . . -");
    line(s, DIALOGUE + 10, doubt, 2, "E5 . . D5 . . C5 . | B4 . . . . . . -");
    pulses(s, DIALOGUE, 12, "x.........x.....");

    // The build: kick and snare double up bar by bar, a riser, a rising arpeggio, one beat of breath.
    hits(s, BUILD, 2, KICK_V, "x...x...x...x...");
    hits(s, BUILD + 2, 1, KICK_V, "x.x.x.x.x.x.x.x.");
    hits(s, BUILD + 3, 1, KICK_V, "x.x.x.x.x.x.....");
    hits(s, BUILD, 1, at(SNARE_V, 26), "x...x...x...x...");
    hits(s, BUILD + 1, 1, at(SNARE_V, 30), "x.x.x.x.x.x.x.x.");
    hits(s, BUILD + 2, 1, at(SNARE_V, 34), "xxxxxxxxxxxxxxxx");
    hits(s, BUILD + 3, 1, at(SNARE_V, 36), "xxxxxxxxxxxx....");
    line(s, BUILD + 2, RISER_V, 16, "C5 .");
    const std::string rise = "F G Esus4 E";
    chords(s, BUILD, rise, at(PAD_A, 30), at(PAD_B, 30));
    bassline(s, BUILD, "F G", at(BASS_V, 44), "r-r-r-r-r-r-r-r-");
    bassline(s, BUILD + 2, "E .", at(BASS_V, 44), "rrrrrrrrrrrrrrrr rrrrrrrrrrrr-...");
    arpeggio(s, BUILD, rise, at(PLUCK_A, 28), at(PLUCK_B, 28), "0123012301230123 0123012301230123 "
             "0123012301230123 012301230123....", 4);
    line(s, BUILD, at(LEAD_V, 40), 4, "A4 . C5 . | B4 . D5 . | E5 . . . | G#5 . . -");
    pulses(s, BUILD, 2, "x...x...x...x...");
    pulses(s, BUILD + 2, 1, "x.x.x.x.x.x.x.x.");
    pulses(s, BUILD + 3, 1, "x.x.x.x.xxxx....");
}

// Scene 5, "brave": the climax, a driving riff in a 3-3-2 rhythm over a rolling bass,
// harmonised and thickened every four bars, with a stacked beat at the end of each phrase.
void brave(Score& s)
{
    mark(s, TUNNEL, 0, SYNC_CUT_TO_TUNNEL);
    const std::string harmony = "Am F C G Am F C G Am F C G Am F C G";
    line(s, TUNNEL, CRASH_V, 64, "C5 C5 C5 C5");
    hits(s, TUNNEL, 16, KICK_V, "x...x...x...x...");
    hits(s, TUNNEL, 16, CLAP_V, "....x.......x...");
    hits(s, TUNNEL + 8, 7, at(SNARE_V, 24), "....x.......x...");
    hits(s, TUNNEL + 15, 1, at(SNARE_V, 32), "....o.......xxXX");
    hits(s, TUNNEL, 16, at(HAT_V, 24), "xoxoxoxoxoxoxoxo");
    hits(s, TUNNEL, 16, at(OPEN_HAT_V, 24), "..x...x...x...x.");
    bassline(s, TUNNEL, harmony, at(BASS_V, 42), "-rrr-rrr-rrr-rrr");
    chords(s, TUNNEL, harmony, at(PAD_A, 34), at(PAD_B, 34));
    const std::string riff =
        "E5 . . E5 . . D5 . E5 . . G5 . . E5 . | C5 . . C5 . . A4 . C5 . . F5 . . E5 . |"
        "E5 . . E5 . . D5 . E5 . . G5 . . A5 . | B5 . . A5 . . G5 . D5 . . . . . - .";
    const std::string under =
        "C5 . . C5 . . B4 . C5 . . E5 . . C5 . | A4 . . A4 . . F4 . A4 . . C5 . . C5 . |"
        "C5 . . C5 . . B4 . C5 . . E5 . . E5 . | G5 . . F5 . . D5 . B4 . . . . . - .";
    for (int b = 0; b < 16; b += 4) {
        line(s, TUNNEL + b, at(LEAD_V, 46), 1, riff);
        if (b == 4 || b == 12) {
            line(s, TUNNEL + b, at(LEAD2_V, 34), 1, under);
        }
    }
    arpeggio(s, TUNNEL + 8, "Am F C G Am F C G", at(PLUCK_A, 22), at(PLUCK_B, 22), "0120012001200120", 5);
    pulses(s, TUNNEL, 16, "x...x...x...x...");
    for (const int b : {3, 7, 11}) {
        pulses(s, TUNNEL + b, 1, "x...x...x...xxx.");
    }
}

// Scene 6, the lattice: the theme first heard in the intro, now in full, harmonised an octave up,
// closing on A minor; the lattice gains a spin at each phrase, and the picture fades on the last chord.
void finale(Score& s)
{
    mark(s, FINALE, 0, SYNC_CUT_TO_LATTICE);
    mark(s, FINALE + 4, 0, SYNC_TOGGLE_SPIN_X);
    mark(s, FINALE + 8, 0, SYNC_TOGGLE_SPIN_Y);
    mark(s, FINALE + 12, 0, SYNC_TOGGLE_SPIN_Z);
    mark(s, FINALE + 14, 0, SYNC_START_FADE);
    const std::string harmony = "Am F C G Am F C G Am F C G F G Am .";
    line(s, FINALE, CRASH_V, 64, "C5 C5 C5 C5");
    line(s, FINALE + 14, CRASH_V, 16, "C5");
    hits(s, FINALE, 14, KICK_V, "x...x...x...x...");
    hits(s, FINALE + 14, 1, KICK_V, "x...............");
    hits(s, FINALE, 14, CLAP_V, "....x.......x...");
    hits(s, FINALE + 11, 1, at(SNARE_V, 32), "........xxxxXXXX");
    hits(s, FINALE, 14, at(HAT_V, 24), "xoxoxoxoxoxoxoxo");
    hits(s, FINALE, 14, at(OPEN_HAT_V, 24), "..x...x...x...x.");
    bassline(s, FINALE, "Am F C G Am F C G Am F C G F G", at(BASS_V, 46), "..r-..o-..r-..o-");
    bassline(s, FINALE + 14, "Am .", fading(at(BASS_V, 42), 12), "r...............");
    chords(s, FINALE, harmony, at(PAD_A, 34), at(PAD_B, 34));
    line(s, FINALE, at(LEAD_V, 46), 2,
         "E5 . . D5 . . C5 . | A4 . . . C5 . F5 . | E5 . . D5 . . C5 . | D5 . . . B4 . G4 . |"
         "E5 . . D5 . . C5 . | A4 . . . C5 . F5 . | G5 . . E5 . . C5 . | D5 . . . . . . . |"
         "A5 . . G5 . . E5 . | F5 . . . A5 . C6 . | G5 . . E5 . . G5 . | B5 . . A5 . . G5 .");
    line(s, FINALE + 12, fading(at(LEAD_V, 46), 8), 2,
         "A5 . . G5 . . F5 . | E5 . . . D5 . B4 . | A4 . . . . . . . | . . . . - . . .");
    line(s, FINALE + 8, at(LEAD2_V, 30), 2,
         "E5 . . E5 . . C5 . | C5 . . . F5 . A5 . | E5 . . C5 . . E5 . | G5 . . F5 . . D5 .");
    line(s, FINALE + 12, fading(at(LEAD2_V, 30), 8), 2,
         "F5 . . E5 . . C5 . | B4 . . . B4 . G4 . | E4 . . . . . . . | . . . . - . . .");
    arpeggio(s, FINALE, "Am F C G Am F C G Am F C G F G", at(BELL_A, 22), at(BELL_B, 22), "0.1.2.3.4.3.2.1.", 4);
    pulses(s, FINALE, 14, "x...x...x...x...");
    pulses(s, FINALE + 11, 1, "x...x...x...xxx.");
}

// Scene 7, the closing card: the intro's chords and the theme on a bell, slowly,
// ending on A major; the card fades in after the hand-over and the show ends on the last row.
void outro(Score& s)
{
    mark(s, OUTRO, 8, SYNC_START_FADE);
    mark(s, END_BAR - 1, 15, SYNC_QUIT);
    chords(s, OUTRO, "Am F C G Am F A -", fading(at(PAD_A, 20), 14), fading(at(PAD_B, 20), 14));
    bassline(s, OUTRO, "Am F C G Am F A -", fading(at(BASS_V, 28), 12), "r...............");
    lineAlternating(s, OUTRO, at(BELL_A, 26), at(BELL_B, 26), 4,
                    "E5 . D5 C5 | A4 . C5 F5 | E5 . D5 C5 | D5 . B4 G4 | E5 . D5 C5 | A4 . C5 F5 | E5 . C#5 . | A4 . . .");
    arpeggio(s, OUTRO, "Am F C G Am F", Voice{LEAD2_CH, PLUCK, 16}, Voice{LEAD2_CH, PLUCK, 16}, "0.1.2.1.3.1.2.1.", 4);
}

}  // namespace

std::vector<Section> sections()
{
    return {
        {"intro", 0, INTRO, FEAR - INTRO},
        {"afraid", 1, FEAR, TRUST - FEAR},
        {"confidence", 2, TRUST, GLOOM - TRUST},
        {"scoramento", 3, GLOOM, DIALOGUE - GLOOM},
        {"wisdom vs uncertainty, and the build", 4, DIALOGUE, TUNNEL - DIALOGUE},
        {"brave", 5, TUNNEL, FINALE - TUNNEL},
        {"finale", 6, FINALE, OUTRO - FINALE},
        {"outro", 7, OUTRO, END_BAR - OUTRO},
    };
}

Score song()
{
    Score s;
    s.bars = END_BAR;
    s.channels = CHANNELS;
    s.syncChannel = SYNC_CH;
    s.globalVolume = 128;
    s.mixVolume = 81;
    s.pans = PANS;
    s.channelVolumes = FADERS;
    intro(s);
    afraid(s);
    confidence(s);
    scoramento(s);
    wisdom(s);
    brave(s);
    finale(s);
    outro(s);
    echo(s, LEAD_CH, ECHO_CH, 3, 0.4, 0, END_BAR);
    echo(s, LEAD2_CH, ECHO_CH, 3, 0.4, DIALOGUE, BUILD);
    return s;
}

std::vector<uint8_t> moduleBytes()
{
    return itw::writeIT(arrange(song(), makeInstruments()));
}

}  // namespace music
