#include "sync/music.h"

FMUSIC_MODULE* song = nullptr;
