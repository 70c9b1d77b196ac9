#include "scenes/scenes.h"
#include "sync/show_state.h"

void scene7()
{
    show.overlayMode = 2;
}
