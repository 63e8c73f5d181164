// file_exists: the one file-system question of the handler.
#include "commands.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace splash {

bool file_exists(const char* path) {
    if (path == nullptr || path[0] == 0) return false;
#if defined(_WIN32)
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
#else
    struct stat st;
    return stat(path, &st) == 0 && !S_ISDIR(st.st_mode);
#endif
}

}  // namespace splash
