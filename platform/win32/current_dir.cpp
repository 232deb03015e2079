// The process's current directory.
#include "platform/current_dir.h"

#include <windows.h>

bool SetCurrentDir(const char* dir) {
    return SetCurrentDirectoryA(dir) != 0;
}
