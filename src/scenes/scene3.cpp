#include "scenes/scenes.h"
#include "sync/show_state.h"

void scene3()
{
    show.overlayMode = 1;
}
