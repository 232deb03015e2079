#include "core/launch.h"

#include <cstring>

#include "core/paths.h"
#include "core/settings.h"
#include "platform/current_dir.h"
#include "platform/process_start.h"
#include "platform/profile_store.h"

namespace {

// The emulator, like the launcher's own start of it, splits its command line at blanks and
// tabs, and takes double quotes as grouping marks that it removes.
bool HoldsSplitter(const char* text) {
    return std::strpbrk(text, " \t") != nullptr;
}

// Appends one token of the command line, made of first and second. A token holding a blank
// or a tab is wrapped in double quotes so that it reaches the emulator as one argument. A
// token holding a double quote cannot reach it intact either way (the quote would be taken for
// a grouping mark and removed, splitting or swallowing what follows), so then nothing is
// appended and the caller builds no command line.
bool AppendToken(char* dst, const char* first, const char* second) {
    if (std::strchr(first, '"') != nullptr || std::strchr(second, '"') != nullptr)
        return false;
    bool quote = HoldsSplitter(first) || HoldsSplitter(second);
    return (!quote || AppendText(dst, kPathMax, "\"")) && AppendText(dst, kPathMax, first) &&
           AppendText(dst, kPathMax, second) && (!quote || AppendText(dst, kPathMax, "\""));
}

} // namespace

bool BuildEmulatorCommand(const char* romName, const CartSettings& settings) {
    char* command = g_paths.EmulatorCommand;
    // The emulator path is read afresh each time, so an edited settings file takes effect at
    // the next launch.
    char emulator[kPathMax];
    ProfileReadString(kPathsSection, kKeyEmulatorPath, kNoEmulator, emulator, kPathMax,
                      g_paths.IniPath);

    char frames[kFramesField];
    CopyTextCut(frames, kFramesField, settings.frames);

    command[0] = '\0';
    // An empty frame value stays empty: "-frame" is then followed by the next switch.
    bool fits = AppendToken(command, emulator, "") && AppendText(command, kPathMax, " ") &&
                AppendText(command, kPathMax, " -frame ") && AppendToken(command, frames, "");
    if (fits && settings.noSound)
        fits = AppendText(command, kPathMax, " -nosound");
    if (fits && settings.z80)
        fits = AppendText(command, kPathMax, " -z80");
    if (fits && settings.region == Region::Europe)
        fits = AppendText(command, kPathMax, " -europe");
    if (fits && settings.region == Region::Japan)
        fits = AppendText(command, kPathMax, " -japan");
    fits = fits && AppendText(command, kPathMax, " ") &&
           AppendToken(command, g_paths.CartDir, romName);
    // A cut-off or split command line would start the wrong cartridge, or the wrong program.
    if (!fits)
        command[0] = '\0';
    return fits;
}

LaunchResult LaunchEmulator(const char* romName, const CartSettings& settings) {
    // No cartridge selected: the command line would name the cartridge directory.
    if (romName[0] == '\0')
        return LaunchResult::NoCartridge;
    if (!BuildEmulatorCommand(romName, settings))
        return LaunchResult::NotBuilt;
    SetCurrentDir(g_paths.EmulatorDir);
    return StartProgram(g_paths.EmulatorCommand) ? LaunchResult::Started : LaunchResult::NotStarted;
}
