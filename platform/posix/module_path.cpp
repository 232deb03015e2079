// The running executable's path, from the kernel's link for the process.
#include "platform/module_path.h"

#include <unistd.h>

bool GetModulePath(char* buf, int cap) {
    if (cap <= 0)
        return false;
    ssize_t n = readlink("/proc/self/exe", buf, static_cast<size_t>(cap));
    // readlink does not terminate, and a result that fills the buffer may have been cut.
    if (n < 0 || n >= cap) {
        buf[0] = '\0';
        return false;
    }
    buf[n] = '\0';
    return true;
}
