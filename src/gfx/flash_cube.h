#pragma once

// Draws a 2 x 2 x 2 wire cube centred at (x, y, z) of the current model-view, turned
// by angle, angle + 20 and angle + 40 degrees about x, y and z: white faces (opacity
// 0.5, or with flicker a random 0 or 1 taking one number of the random sequence),
// a black outline and black corner dots. Leaves the colour (0, 0, 0, 1).
void drawFlashCube(int x, int y, int z, int angle, bool flicker);

// Draws a closed curve of 36 flash cubes, one every 10 degrees a from `tick`: at x = cos(a) r,
// y = 10 sin(a), z = 20 cos(a) - 40 with the radius r = 10 sin(frequency a) (1: a tilted loop,
// 2: a figure of eight), each turned by tick + its step / 15 degrees.
void drawCubeCurve(int tick, int frequency, bool flicker);
