#include "platform/current_dir.h"

#include <unistd.h>

bool SetCurrentDir(const char* dir) {
    return chdir(dir) == 0;
}
