#pragma once
// The emulator bridge: takes Zelko.exe's place on Linux. It reads the command line the
// launcher builds and starts BlastEm with the same options.
//
// bridge_args.cpp reads the command line and builds BlastEm's arguments in portable C++;
// bridge.cpp checks the files and runs BlastEm on POSIX; main.cpp and message_window.cpp tell
// the user of a failure.

#include <cstdio>

enum class BridgeRegion { Usa, Europe, Japan };

// What the launcher asked for. The texts point into the argument vector they were read from.
struct BridgeRequest {
    const char* frame = nullptr;
    bool noSound = false;
    bool z80 = false;
    BridgeRegion region = BridgeRegion::Usa;
    const char* cartridge = nullptr;
};

constexpr int kBridgeMessageCap = 1024;
// BlastEm's argument vector: program, -m gen, -r X, -n, cartridge, terminator.
constexpr int kBlastemArgsCap = 8;
// The cartridge as BlastEm gets it: a path the system accepts, with "./" put before one that
// starts with a dash.
constexpr int kCartArgCap = 4096 + 3;

// Exit statuses of the bridge's own failures; otherwise it ends with BlastEm's status.
constexpr int kExitUsage = 2;
constexpr int kExitCartridge = 3;
constexpr int kExitNoBlastem = 4;

// BlastEm as Debian installs it, and the variable that names another one.
constexpr const char* kDefaultBlastem = "/usr/games/blastem";
constexpr const char* kBlastemVariable = "ZELKO_BLASTEM";
// An end of BlastEm within this time of its start counts as a failure to start.
constexpr int kStartWindowMs = 5000;

// snprintf truncates; the messages are short and a cut-off path still says what went wrong.
template <typename... Args> void Say(char* message, int cap, const char* format, Args... args) {
    std::snprintf(message, static_cast<size_t>(cap), format, args...);
}

// ---- bridge_args.cpp: portable ----

// Reads the launcher's arguments (argv[1] to argv[argc - 1]). On bad input leaves a message
// for the user in message and returns false.
bool ParseBridgeArgs(int argc, char** argv, BridgeRequest* request, char* message, int cap);

// Fills args (kBlastemArgsCap entries, null-terminated) with BlastEm's command line for
// request; the cartridge's entry may point to cartArg (kCartArgCap bytes). False, with a
// message, when the cartridge's path does not fit there.
bool BuildBlastemArgs(const BridgeRequest& request, const char* blastem, const char** args,
                      char* cartArg, char* message, int cap);

// ---- bridge.cpp: POSIX ----

// Whether path names an existing file (of any kind).
bool PathExists(const char* path);

// The BlastEm to start: ZELKO_BLASTEM when set and not empty, else the Debian one.
const char* ChooseBlastem();

// True when path names a regular file this process can read; else a message.
bool CheckCartridge(const char* path, char* message, int cap);
// True when path names a file this process may run; else a message that says what to install.
bool CheckBlastem(const char* path, char* message, int cap);

// Starts BlastEm in the current directory (with SDL's silent audio driver for noSound),
// passes its error output on and waits for it. Returns the exit status to end with; when
// BlastEm could not be started or ended with a failure within kStartWindowMs, also a
// message (else message is left empty).
int RunBlastem(const char* const* args, bool noSound, char* message, int cap);
