// The launcher's own executable path, as the module loader reports it.
#include "platform/module_path.h"

#include <windows.h>

bool GetModulePath(char* buf, int cap) {
    if (cap <= 0)
        return false;
    DWORD n = GetModuleFileNameA(nullptr, buf, static_cast<DWORD>(cap));
    // A path that fills the whole buffer was cut short (and may lack its terminator).
    if (n == 0 || n >= static_cast<DWORD>(cap)) {
        buf[0] = '\0';
        return false;
    }
    return true;
}
