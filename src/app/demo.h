#pragma once

// Loads everything the show needs, with a progress line on the console.
void loadDemo();

// GLUT keyboard handler: Escape ends the show.
void onKeyboard(unsigned char key, int x, int y);

// Stops the music, releases the player, shows the pointer and exits with status 0.
[[noreturn]] void quitDemo();

// GLUT idle handler: performs one animation tick every TICK_MS.
void onIdle();

// The tick interval.
constexpr float TICK_MS = 55.0f;  // milliseconds
