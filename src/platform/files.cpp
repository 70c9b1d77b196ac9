#include "platform/files.h"

#include <cstring>

namespace {
constexpr size_t PATH_CAPACITY = 4096;  // bytes, terminating zero included
}

FILE* openDataFile(const char* path, const char* mode)
{
#ifdef _WIN32
    return std::strlen(path) < PATH_CAPACITY ? std::fopen(path, mode) : nullptr;  // the show's names are Windows names
#else
    char hostPath[PATH_CAPACITY];
    const size_t length = std::strlen(path);
    if (length >= PATH_CAPACITY) {
        return nullptr;
    }
    for (size_t i = 0; i <= length; ++i) {
        hostPath[i] = path[i] == '\\' ? '/' : path[i];
    }
    return std::fopen(hostPath, mode);
#endif
}
