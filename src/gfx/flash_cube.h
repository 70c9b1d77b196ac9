#pragma once

// Draws a 2 x 2 x 2 wire cube centred at (x, y, z) of the current model-view, turned
// by angle, angle + 20 and angle + 40 degrees about x, y and z: white faces (opacity
// 0.5, or with flicker a random 0 or 1 taking one number of the random sequence),
// a black outline and black corner dots. Leaves the colour (0, 0, 0, 1).
void drawFlashCube(int x, int y, int z, int angle, bool flicker);
