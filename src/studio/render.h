#pragma once
// The render child: the capture started on the loop range (or the whole show) to write an MP4
// beside data/, its progress read back through a pipe onto the status line.

// Starts the capture on the loop range, unless one runs already.
void renderRange();

// Shows the render's progress (the capture's last line) and says when it has finished.
void checkRender();
