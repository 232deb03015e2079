// The 8.3 form of a path, converted in place.
#include "platform/short_path.h"

#include "platform/limits.h"

#include <windows.h>

#include <cstring>

void ToShortPath(char* path, int cap) {
    if (cap <= 0)
        return;
    char shortForm[kPathMax];
    DWORD n = GetShortPathNameA(path, shortForm, sizeof shortForm);
    // 0: the path does not exist; n >= the room: the short form would not fit.
    if (n == 0 || n >= sizeof shortForm || n >= static_cast<DWORD>(cap))
        return;
    std::memcpy(path, shortForm, n + 1);
}
