#include <GL/gl.h>

#include "gfx/layers.h"
#include "gfx/projection.h"
#include "gfx/rings.h"
#include "scenes/scenes.h"
#include "sync/show_state.h"

namespace {
constexpr float RING_ALPHA = 0.8f;  // opacity of the rings and of the brave square
}

// Black clear and the ring tunnel.
void scene5()
{
    show.overlayMode = 1;
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glColor4f(1.0f, 1.0f, 1.0f, RING_ALPHA);
    // The tunnel draws no points, so this section leaves the point size alone.
    beginPerspective();
    glDisable(GL_TEXTURE_2D);
    drawRings();
    end3D();
}
