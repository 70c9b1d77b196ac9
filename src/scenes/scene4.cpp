#include "scenes/scenes.h"
#include "sync/show_state.h"

void scene4()
{
    show.overlayMode = 2;
}
