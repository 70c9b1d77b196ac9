#pragma once
// The studio's window: the show's picture at the top at its own size, the timeline below it
// (patterns with their rows and beats, the song's loudness, scenes, sync events in words, the
// loop range, the playhead; zoomed with the wheel or + and -) and the status line, drawn in
// software into one image with the text through FreeType and put on an X window; ? shows the keys.
#include <cstdint>
#include <string>
#include <vector>

constexpr int TIMELINE_HEIGHT = 112;  // pixels below the picture
constexpr double ZOOM_STEP = 1.5;     // how much one wheel notch or + and - zoom the timeline

// What the timeline and the status line show, besides the replay's tables.
struct ViewState {
    int64_t position = 0;          // virtual count of the playhead
    int64_t loopIn = -1;           // loop's in point, -1 unset
    int64_t loopOut = -1;          // loop's out point, -1 unset
    bool looping = false;          // whether the loop plays
    bool paused = false;
    int64_t recorded = 0;          // virtual count up to which the replay has recorded the show
    bool keys = false;             // the keys shown over the picture
    std::string status;            // the status line's text
    std::string message;           // the last thing said (a reload, a failure)
    std::vector<int64_t> orderStarts;  // virtual count where each order of the song starts
};

// What the window shows: written by the studio's loop and mapSong, read by drawView and the keys.
extern ViewState viewState;

// One input the window received.
struct ViewInput {
    enum Kind { Nothing, Key, Seek, Close, Redraw } kind = Nothing;
    unsigned long keysym = 0;  // for Key: the X key symbol
    bool shift = false;        // for Key: Shift held
    int64_t count = 0;         // for Seek: the virtual count clicked or dragged to
};

// Opens the window for a picture of width x height; false with `error` when there is no display.
bool openView(int width, int height, std::string& error);

// Draws the picture (BGR, top row first), the timeline and the status line, and shows them.
void drawView(const uint8_t* bgr, const ViewState& state);

// The next input, waiting at most `nanoseconds` for one; kind Nothing when none came.
ViewInput nextViewInput(int64_t nanoseconds);

// An event's words on the timeline: what the sync vocabulary calls it, or its code (Zxx) when the show ignores it.
std::string timelineWords(uint8_t code);

// Zooms the timeline in (factor above 1) or out, keeping `around` (a virtual count) where it is.
void zoomView(double factor, int64_t around);

// Scrolls the timeline to `count` when it is out of sight.
void keepInView(int64_t count);

// The window's X id, for the tests that drive it (0 without a window).
unsigned long viewWindowId();
