#pragma once

// The eight scenes; each draws one frame of itself and sets the frame's noise band.
void scene0();
void scene1();
void scene2();
void scene3();
void scene4();
void scene5();
void scene6();
void scene7();
