#pragma once
// Moments of the show as people name them on a command line (the capture's --from and --to,
// the studio's --start and --loop): seconds of show time, or a pattern position of the song;
// and the size of the picture they ask for (--size).
#include <cstdint>
#include <string>

constexpr double MAX_SHOW_SECONDS = 3600.0;  // seconds of show time a moment may name at most
constexpr int MIN_PICTURE_SIDE = 16;         // pixels
constexpr int MAX_PICTURE_SIDE = 7680;       // pixels

// A moment of the show on the command line: seconds, or a pattern position of the song.
struct ShowMoment {
    double seconds = -1.0;  // seconds of show time; -1: none given (or a position below)
    int order = -1;         // order of "order:row"; -1: the moment is in seconds
    int row = 0;            // row of "order:row"
};

// Parses a whole decimal number within a million either way; false on anything else.
bool readWholeNumber(const char* text, int& value);

// Reads "WxH" with both sides within [MIN_PICTURE_SIDE, MAX_PICTURE_SIDE]; false on anything else.
bool readPictureSize(const char* text, int& width, int& height);

// Reads "S" (seconds, >= 0) or "ORDER:ROW" into `moment`; false on anything else.
bool readShowMoment(const char* text, ShowMoment& moment);

// The virtual count of `moment` against the song at `songPath` (named the show's way), -1 for
// none given. False with `error` for a position the song never reaches.
bool momentCount(const ShowMoment& moment, const char* songPath, int64_t& count, std::string& error);
