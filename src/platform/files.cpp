#include "platform/files.h"

#include <cstring>

#ifndef __EMSCRIPTEN__
#include <filesystem>
#include <string>
#include <system_error>
#endif
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr size_t PATH_CAPACITY = 4096;        // bytes, terminating zero included
constexpr const char DATA_FOLDER[] = "data";  // the folder the show's file names start in

#ifndef __EMSCRIPTEN__
namespace fs = std::filesystem;

// The folder that holds the running program; empty when the system does not say.
fs::path programFolder()
{
#ifdef _WIN32
    std::wstring name(32768, L'\0');  // characters: the longest path Windows has
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0 || length >= name.size()) {
        return {};
    }
    name.resize(length);
    return fs::path(name).parent_path();
#else
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : program.parent_path();
#endif
}

// A file of the data folder beside the program, for a show started elsewhere (a shortcut with no
// working folder, a terminal in another directory): null unless the name is in the data folder, the
// working directory has no data folder and the program's folder has one.
FILE* openBesideProgram(const char* hostPath, const char* mode)
{
    constexpr size_t prefix = sizeof DATA_FOLDER - 1;  // characters
    std::error_code error;
    if (std::strncmp(hostPath, DATA_FOLDER, prefix) != 0 || (hostPath[prefix] != '/' && hostPath[prefix] != '\\') ||
        fs::is_directory(DATA_FOLDER, error)) {
        return nullptr;
    }
    const fs::path folder = programFolder();
    if (folder.empty() || !fs::is_directory(folder / DATA_FOLDER, error)) {
        return nullptr;
    }
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::strlen(mode));  // the modes are ASCII
    return _wfopen((folder / hostPath).c_str(), wideMode.c_str());
#else
    return std::fopen((folder / hostPath).c_str(), mode);
#endif
}
#endif

}  // namespace

FILE* openDataFile(const char* path, const char* mode)
{
    const size_t length = std::strlen(path);
    if (length >= PATH_CAPACITY) {
        return nullptr;
    }
#ifdef _WIN32
    const char* hostPath = path;  // the show's names are Windows names
#else
    char hostPath[PATH_CAPACITY];
    for (size_t i = 0; i <= length; ++i) {
        hostPath[i] = path[i] == '\\' ? '/' : path[i];
    }
#endif
#ifndef __EMSCRIPTEN__
    if (FILE* beside = openBesideProgram(hostPath, mode)) {
        return beside;
    }
#endif
    return std::fopen(hostPath, mode);
}
