// Every path the launcher uses, derived once at start-up.
#pragma once
#include "platform/file_chooser.h"
#include "platform/limits.h"

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

// Copies src into dst (capacity cap). Returns false, leaving dst empty, when it does not fit.
bool CopyText(char* dst, int cap, const char* src);
// Copies at most cap - 1 characters of src into dst and terminates it: a field read the way
// the window system reads an edit into a buffer. src need not be terminated within cap.
void CopyTextCut(char* dst, int cap, const char* src);
// Appends src to dst (capacity cap). Returns false, leaving dst unchanged, when it does not fit.
bool AppendText(char* dst, int cap, const char* src);

// Fills g_paths, recording the launcher's directory in the settings file and asking for the
// emulator and the cartridge directory through chooser when they are not yet recorded.
// owner is passed to the chooser as the prompts' owner window.
void ResolvePaths(FileChooser chooser, void* context, void* owner);

// ResolvePaths for a launcher whose executable is modulePath (ResolvePaths passes the running
// module's path). Lets start-up run against a settings file in any directory.
void ResolvePathsFromModule(const char* modulePath, FileChooser chooser, void* context,
                            void* owner);
