#include "scenes/scenes.h"
#include "sync/show_state.h"

void scene6()
{
    show.overlayMode = 2;
}
