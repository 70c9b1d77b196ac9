#include "assets/textures.h"
#include "gfx/ghost_sprite.h"
#include "scenes/scenes.h"
#include "sync/show_state.h"

// Opening: the credits card, ghosting with the beat.
void scene0()
{
    show.overlayMode = 0;
    drawGhostSprite(10, 40, 100, 50, credits);
}
