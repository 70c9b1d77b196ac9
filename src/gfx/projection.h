#pragma once
#include <cstdint>

// Sine and cosine of whole degrees: written once by buildDegreeTables, read by the lookups.
extern float sinTable[360];
extern float cosTable[360];

// Fills the degree tables, with pi taken as 3.1415.
void buildDegreeTables();

// Sine of a whole-degree angle by table lookup; the sign of a negative angle is dropped.
float sinDeg(int32_t angle);

// Cosine of a whole-degree angle by table lookup; the sign of a negative angle is dropped.
float cosDeg(int32_t angle);

// Enters the 3D projection, whose field of view and aspect breathe with the pulse.
void beginPerspective();

// Returns to the canvas projection.
void endPerspective();
