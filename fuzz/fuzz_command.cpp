// The emulator command line from arbitrary emulator paths, cartridge directories, cartridge
// names and frame values: it either fits its buffer exactly as laid out, or is left empty (too
// long, or a path or frame value holding a double quote that the emulator would read as a
// grouping mark).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "core/launch.h"
#include "core/paths.h"
#include "core/settings.h"
#include "fuzz_util.h"
#include "platform/profile_store.h"

namespace {

std::string g_lastEmulator = "\x01 never written";

// A token: quoted as a whole when any part of it holds a blank or a tab.
std::string Token(const std::string& first, const std::string& second) {
    std::string token = first + second;
    if (token.find_first_of(" \t") != std::string::npos)
        return "\"" + token + "\"";
    return token;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    bool haveIni = in.ConsumeBool();
    std::string emulator = in.ConsumeRandomLengthString(300);
    std::string cartDir = in.ConsumeRandomLengthString(kPathMax + 16);
    std::string rom = in.ConsumeRandomLengthString(kPathMax + 16);
    CartSettings settings{};
    // All eight bytes of the field, which need not hold a NUL.
    for (char& c : settings.frames)
        c = static_cast<char>(in.ConsumeIntegral<uint8_t>());
    settings.noSound = in.ConsumeBool();
    settings.z80 = in.ConsumeBool();
    settings.region = static_cast<Region>(in.ConsumeIntegralInRange<int>(0, 3));

    const std::string ini = ScratchDir() + "Quorvalis.ini";
    std::snprintf(g_paths.IniPath, sizeof g_paths.IniPath, "%s", haveIni ? ini.c_str() : "");
    std::snprintf(g_paths.CartDir, sizeof g_paths.CartDir, "%s", cartDir.c_str());
    if (haveIni && emulator != g_lastEmulator) {
        ProfileWriteString(kPathsSection, kKeyEmulatorPath, emulator.c_str(), ini.c_str());
        g_lastEmulator = emulator;
    }
    // The emulator path as the settings file gives it back.
    char stored[kPathMax];
    if (haveIni)
        ProfileReadString(kPathsSection, kKeyEmulatorPath, kNoEmulator, stored, sizeof stored,
                          ini.c_str());
    else
        std::snprintf(stored, sizeof stored, "%s", kNoEmulator);

    std::memset(g_paths.EmulatorCommand, 0x55, sizeof g_paths.EmulatorCommand);
    bool fits = BuildEmulatorCommand(rom.c_str(), settings);

    std::string frames(settings.frames, strnlen(settings.frames, 7));
    std::string expected = Token(stored, "") + " " + " -frame " + Token(frames, "");
    if (settings.noSound)
        expected += " -nosound";
    if (settings.z80)
        expected += " -z80";
    if (settings.region == Region::Europe)
        expected += " -europe";
    if (settings.region == Region::Japan)
        expected += " -japan";
    expected += " " + Token(g_paths.CartDir, rom.c_str());

    FUZZ_CHECK(strnlen(g_paths.EmulatorCommand, kPathMax) < static_cast<size_t>(kPathMax));
    std::string cartPath = std::string(g_paths.CartDir) + rom.c_str();
    bool quote = std::strchr(stored, '"') != nullptr || cartPath.find('"') != std::string::npos ||
                 frames.find('"') != std::string::npos;
    if (expected.size() < static_cast<size_t>(kPathMax) && !quote) {
        FUZZ_CHECK(fits);
        FUZZ_CHECK(expected == g_paths.EmulatorCommand);
    } else {
        FUZZ_CHECK(!fits);
        FUZZ_CHECK(g_paths.EmulatorCommand[0] == '\0');
    }
    return 0;
}
