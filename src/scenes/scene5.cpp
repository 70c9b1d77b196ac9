#include "scenes/scenes.h"
#include "sync/show_state.h"

void scene5()
{
    show.overlayMode = 1;
}
