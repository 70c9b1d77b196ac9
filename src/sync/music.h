#pragma once
#include "platform/fmod.h"

// The module handle: written once by the loading sequence, read by main and quitDemo.
extern FMUSIC_MODULE* song;
