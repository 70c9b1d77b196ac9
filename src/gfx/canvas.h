#pragma once
// The canvas the show draws on: the loading sequence's orthographic view, the overlays, the edge columns.

constexpr float CANVAS_WIDTH = 320.0f;   // canvas units
constexpr float CANVAS_HEIGHT = 240.0f;  // canvas units
constexpr float CANVAS_DEPTH = 4.0f;     // canvas units either side of z 0
