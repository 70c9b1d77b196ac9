#pragma once
// The studio's command line, read by its glutInit as GLUT reads its own options, and how the
// studio speaks: a line on stderr after its name.
#include <cstdint>
#include <filesystem>
#include <string>

constexpr const char* SHOW_SONG = "data\\zelto-07.tga";  // the show's music, named the show's way

// What the command line asks for: written by glutInit, read by everyone.
struct StudioOptions {
    int width = 640;                 // pixels
    int height = 480;                // pixels
    int64_t start = 0;               // virtual count to start at
    int64_t loopIn = -1;             // virtual count of --loop's in point, -1 without it
    int64_t loopOut = -1;            // virtual count of --loop's out point
    std::string module = SHOW_SONG;  // the module played
    std::string script;              // commands to run without a window; empty: the window
};
extern StudioOptions studioOptions;

// Prints a message on stderr after the program's name.
void say(const std::string& message);

// A path named the show's way ("data\\x.tga") as the host names it.
std::filesystem::path hostPath(std::string path);

// Reads a moment ("T": seconds or ORDER:ROW) into a virtual count against the module; exits
// with a message on a bad one (status 2, or 1 for a position the module never reaches).
int64_t studioMoment(const char* text, const char* what);
