#pragma once
#include <cstdio>

// Opens a file named the show's way ("data\\name.tga"): the path separator is mapped to the
// host's (Windows takes it as written). The data folder is the working directory's; when it has
// none, the one beside the program's executable, if there is one there. Null when the file cannot
// be opened or the name is too long.
FILE* openDataFile(const char* path, const char* mode);
