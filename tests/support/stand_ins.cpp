#include "support/stand_ins.h"

#include <cstring>

#include "platform/clock.h"
#include "platform/glut.h"

FakeClock fakeClock;
char callLog[1024];
bool loadSucceeds = true;
const char* loadedPath = nullptr;
FMUSIC_CALLBACK registeredHandler = nullptr;
int redisplays = 0;

namespace {
// Any non-null address serves as the song handle.
char songToken;

// Appends one call to the log; a full log keeps its beginning.
void logCall(const char* name, const FMUSIC_MODULE* module = nullptr, bool withModule = false)
{
    const char* suffix = !withModule ? ";" : module != nullptr ? "(song);" : "(null);";
    if (std::strlen(callLog) + std::strlen(name) + std::strlen(suffix) < sizeof callLog) {
        std::strcat(callLog, name);
        std::strcat(callLog, suffix);
    }
}
}  // namespace

void clearCallLog()
{
    callLog[0] = '\0';
}

FMUSIC_MODULE* recordedSong()
{
    return reinterpret_cast<FMUSIC_MODULE*>(&songToken);
}

int QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = fakeClock.hasCounter ? fakeClock.frequency : 0;
    return fakeClock.hasCounter ? 1 : 0;
}

int QueryPerformanceCounter(LARGE_INTEGER* count)
{
    count->QuadPart = fakeClock.hasCounter ? fakeClock.counter : 0;
    return fakeClock.hasCounter ? 1 : 0;
}

uint32_t GetTickCount()
{
    return fakeClock.tickCount;
}

signed char FSOUND_Init(int, int, unsigned int)
{
    logCall("FSOUND_Init");
    return 1;
}

void FSOUND_Close()
{
    logCall("FSOUND_Close");
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name)
{
    logCall("FMUSIC_LoadSong");
    loadedPath = name;
    return loadSucceeds ? recordedSong() : nullptr;
}

signed char FMUSIC_SetZxxCallback(FMUSIC_MODULE* module, FMUSIC_CALLBACK callback)
{
    logCall("FMUSIC_SetZxxCallback", module, true);
    registeredHandler = callback;
    return module ? 1 : 0;
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* module)
{
    logCall("FMUSIC_PlaySong", module, true);
    return module ? 1 : 0;
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* module)
{
    logCall("FMUSIC_StopSong", module, true);
    return module ? 1 : 0;
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* module)
{
    logCall("FMUSIC_FreeSong", module, true);
    return module ? 1 : 0;
}

void glutPostRedisplay()
{
    ++redisplays;
    logCall("glutPostRedisplay");
}

void glutSwapBuffers() {}

void glutFullScreen()
{
    logCall("glutFullScreen");
}

int ShowCursor(bool visible)
{
    logCall(visible ? "ShowCursor(TRUE)" : "ShowCursor(FALSE)");
    return 0;
}
