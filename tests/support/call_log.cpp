#include "support/call_log.h"

#include <cstring>

char callLog[1024];

void logCall(const char* name)
{
    const size_t used = std::strlen(callLog);
    const size_t length = std::strlen(name);
    if (used + length + 1 < sizeof callLog) {
        std::memcpy(callLog + used, name, length);
        callLog[used + length] = ';';
        callLog[used + length + 1] = '\0';
    }
}

void clearCallLog()
{
    callLog[0] = '\0';
}
