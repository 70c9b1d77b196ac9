#include "scenes/scenes.h"
#include "sync/show_state.h"

void scene1()
{
    show.overlayMode = 1;
}
