#include "scenes/scenes.h"
#include "sync/show_state.h"

void scene2()
{
    show.overlayMode = 2;
}
