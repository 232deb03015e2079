// The emulator command line and the start of the emulator.
#include "core/launch.h"

#include <cstring>

#include "core/paths.h"
#include "core/settings.h"
#include "platform/current_dir.h"
#include "platform/process_start.h"
#include "platform/profile_store.h"

namespace {

// Appends one path token of the command line. The emulator splits its command line at blanks,
// so a path holding one is wrapped in double quotes to reach it as a single argument. A path
// holding a double quote itself cannot reach it intact either way (the quote would be taken
// for a grouping mark and removed), so such a command line is not built at all.
bool AppendPathToken(char* dst, const char* first, const char* second) {
    if (std::strchr(first, '"') != nullptr || std::strchr(second, '"') != nullptr)
        return false;
    bool quote = std::strchr(first, ' ') != nullptr || std::strchr(second, ' ') != nullptr;
    return (!quote || AppendText(dst, kPathMax, "\"")) && AppendText(dst, kPathMax, first) &&
           AppendText(dst, kPathMax, second) && (!quote || AppendText(dst, kPathMax, "\""));
}

} // namespace

bool BuildEmulatorCommand(const char* romName, const CartSettings& settings) {
    char* command = g_paths.EmulatorCommand;
    // The emulator path is read afresh each time, so an edited settings file takes effect at
    // the next launch.
    char emulator[kPathMax];
    if (g_paths.IniPath[0] != '\0')
        ProfileReadString(kPathsSection, kKeyEmulatorPath, kNoEmulator, emulator, kPathMax,
                          g_paths.IniPath);
    else
        CopyText(emulator, kPathMax, kNoEmulator);

    char frames[kFramesField];
    size_t framesLen = strnlen(settings.frames, kFramesField - 1);
    std::memcpy(frames, settings.frames, framesLen);
    frames[framesLen] = '\0';

    command[0] = '\0';
    bool fits = AppendPathToken(command, emulator, "") && AppendText(command, kPathMax, " ") &&
                AppendText(command, kPathMax, " -frame ") && AppendText(command, kPathMax, frames);
    if (fits && settings.noSound)
        fits = AppendText(command, kPathMax, " -nosound");
    if (fits && settings.z80)
        fits = AppendText(command, kPathMax, " -z80");
    if (fits && settings.region == Region::Europe)
        fits = AppendText(command, kPathMax, " -europe");
    if (fits && settings.region == Region::Japan)
        fits = AppendText(command, kPathMax, " -japan");
    fits = fits && AppendText(command, kPathMax, " ") &&
           AppendPathToken(command, g_paths.CartDir, romName);
    // A cut-off command line would start the wrong cartridge, or the wrong program.
    if (!fits)
        command[0] = '\0';
    return fits;
}

void LaunchEmulator(const char* romName, const CartSettings& settings) {
    // No cartridge selected: the command line would name the cartridge directory.
    if (romName[0] == '\0')
        return;
    if (!BuildEmulatorCommand(romName, settings))
        return;
    SetCurrentDir(g_paths.EmulatorDir);
    StartProgram(g_paths.EmulatorCommand);
}
