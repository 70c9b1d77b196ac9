#pragma once

// GLUT display handler: draws one whole frame from the show state and swaps.
void onDisplay();

// Calls the scene function for the current scene.
void drawScene();
