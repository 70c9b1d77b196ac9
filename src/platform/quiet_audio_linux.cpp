#include "platform/quiet_audio.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

namespace {

// Swallows libasound's messages (the library prints to stderr by default).
void ignoreAlsa(const char*, int, const char*, int, const char*, ...) {}

// Swallows libjack's messages.
void ignoreJack(const char*) {}

}  // namespace

void quietAudioLibraries()
{
    snd_lib_error_set_handler(ignoreAlsa);
    jack_set_error_function(ignoreJack);
    jack_set_info_function(ignoreJack);
}
