#include "support/fmod_recorder.h"

#include <cstring>

#include "support/call_log.h"

FmodRecorder fmodRecorder;

namespace {
// Any non-null address serves as the song handle.
char songToken;

void record(const char* name, FMUSIC_MODULE* module = nullptr, bool withModule = false)
{
    char entry[64];
    std::strcpy(entry, name);
    if (withModule) {
        std::strcat(entry, module ? "(song)" : "(null)");
    }
    logCall(entry);
}
}  // namespace

FMUSIC_MODULE* recordedSong()
{
    return reinterpret_cast<FMUSIC_MODULE*>(&songToken);
}

void resetFmodRecorder()
{
    fmodRecorder = FmodRecorder{};
}

signed char FSOUND_Init(int, int, unsigned int)
{
    record("FSOUND_Init");
    return 1;
}

void FSOUND_Close()
{
    record("FSOUND_Close");
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name)
{
    record("FMUSIC_LoadSong");
    fmodRecorder.lastLoadPath = name;
    return fmodRecorder.loadSucceeds ? recordedSong() : nullptr;
}

signed char FMUSIC_SetZxxCallback(FMUSIC_MODULE* module, FMUSIC_CALLBACK callback)
{
    record("FMUSIC_SetZxxCallback", module, true);
    fmodRecorder.callback = callback;
    return module ? 1 : 0;
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* module)
{
    record("FMUSIC_PlaySong", module, true);
    return module ? 1 : 0;
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* module)
{
    record("FMUSIC_StopSong", module, true);
    return module ? 1 : 0;
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* module)
{
    record("FMUSIC_FreeSong", module, true);
    return module ? 1 : 0;
}
