#include "scenes/scenes.h"
#include "sync/show_state.h"

void scene0()
{
    show.overlayMode = 0;
}
