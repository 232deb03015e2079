// Every path the launcher uses, derived once at start-up.
#pragma once
#include "platform/file_chooser.h"
#include "platform/limits.h"
#include "platform/text_copy.h"

struct AppPaths {
    char CartDir[kPathMax];         // cartridge directory, short form, ending in a separator
    char SelectedRom[kPathMax];     // file name of the selected cartridge (start-up: CartPath)
    char EmulatorCommand[kPathMax]; // EmulatorPath; extended into the command line on launch
    char EmulatorDir[kPathMax];     // emulator's directory, no trailing separator
    char ModuleDir[kPathMax];       // launcher's directory, short form, ending in a separator
    char IniPath[kPathMax];         // full path of the settings file
};

extern AppPaths g_paths;

// Cut after the last separator, keeping it: C:\GAMES\LAUNCH.EXE -> C:\GAMES\ ; no separator ->
// empty.
void CutAfterLastSep(char* path);
// Cut at the last separator, dropping it: C:\EMU\ZELKO.EXE -> C:\EMU ; no separator -> unchanged.
void CutAtLastSep(char* path);

// Fills g_paths, recording the launcher's directory in the settings file and asking for the
// emulator and the cartridge directory through chooser when they are not yet recorded.
// owner is passed to the chooser as the prompts' owner window.
void ResolvePaths(FileChooser chooser, void* context, void* owner);

// ResolvePaths for a launcher whose executable is modulePath (ResolvePaths passes the running
// module's path). Lets start-up run against a settings file in any directory.
void ResolvePathsFromModule(const char* modulePath, FileChooser chooser, void* context,
                            void* owner);
