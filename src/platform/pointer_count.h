#pragma once
// The pointer's display count as Windows' ShowCursor keeps it, for the platforms that have
// no such call (GLUT on Linux, the browser, the capture): the pointer shows while it is 0 or more.

// The count: written by countPointer, read by it and pointerShown; one per program.
inline int pointerDisplayCount = 0;

// Adds one for ShowCursor(true), takes one for ShowCursor(false); the new count, as ShowCursor returns it.
inline int countPointer(bool visible)
{
    pointerDisplayCount += visible ? 1 : -1;
    return pointerDisplayCount;
}

// Whether the count shows the pointer.
inline bool pointerShown()
{
    return pointerDisplayCount >= 0;
}
