// Starting the emulator: WinExec returns once the program first waits for input, or after the
// platform's time-out, and does not wait for it to end.
#include "platform/process_start.h"

#include <windows.h>

bool StartProgram(const char* commandLine) {
    // Results up to 31 are error codes.
    return WinExec(commandLine, SW_SHOWNORMAL) > 31;
}
