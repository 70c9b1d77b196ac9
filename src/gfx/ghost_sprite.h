#pragma once
#include "assets/textures.h"

// Draws an image as five stacked half-transparent copies that spread sideways with
// the pulse; (x, y) is the lower left corner, w x h the size, in canvas units.
// Leaves the colour (1, 1, 1, 0.5) and the image's texture bound.
void drawGhostSprite(int x, int y, int w, int h, TextureImage image);
