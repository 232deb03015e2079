#pragma once
// The emulator bridge: takes Zelko.exe's place on Linux and beside the Windows launcher. It
// reads the command line the launcher builds and starts BlastEm with the same options.
//
// Portable: bridge_args.cpp reads the command line and builds BlastEm's arguments,
// bridge_flow.cpp runs the steps from the command line to BlastEm's end and words a failure.
// posix/ and win32/ find BlastEm, check the cartridge, start and wait for BlastEm and tell the
// user of a failure, each in the system's own way.

#include <cstdio>
#include <string>

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

// A path to BlastEm, as the bridge keeps it.
constexpr int kBlastemPathCap = 4096;

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

// The help: the usage line, then about, a line for each switch the bridge knows with what
// BlastEm gets for it, then rest.
std::string BridgeHelp(const char* about, const char* rest);

// ---- bridge_flow.cpp: portable ----

// The whole bridge: reads argv, finds BlastEm, checks the cartridge, starts BlastEm and waits
// for it. Every failure is told through ShowFailure. Returns the status to end with: one of
// the kExit values, or BlastEm's own.
int RunBridge(int argc, char** argv);

// The last of BlastEm's error output, for the message when it stops at once.
constexpr int kTailCap = 512;

// Appends data to the kept tail (kTailCap bytes and a NUL), dropping the oldest bytes; NULs
// become blanks.
void KeepTail(char* tail, const char* data, size_t n);

// The message for BlastEm ending within kStartWindowMs of its start: how it ended (in the
// system's words, "exit status 1"), after how long, and its last words. noSound: the launch
// asked for no sound, so the hint to tick No Sound would not help.
void DescribeEnd(const char* how, long long ms, const char* tail, bool noSound, char* message,
                 int cap);

// ---- posix/ and win32/: each system's own ----

// Whether path names an existing file (of any kind).
bool PathExists(const char* path);

// The BlastEm to start, into blastem (cap bytes). False, with a message that says where to get
// it, when there is none that can be run.
bool FindBlastem(char* blastem, int cap, char* message, int cap2);

// True when path names a regular file this process can read, and leaves in usable (cap bytes)
// the form of path BlastEm can open; else a message.
bool CheckCartridge(const char* path, char* usable, int cap, char* message, int cap2);

// Starts BlastEm in the current directory (with SDL's silent audio driver for noSound),
// passes its error output on and waits for it. Returns the exit status to end with; when
// BlastEm could not be started or ended with a failure within kStartWindowMs, also a
// message (else message is left empty).
int RunBlastem(const char* const* args, bool noSound, char* message, int cap);

// Tells the user of a failure: on the error output, and in a message window where the user
// can see one.
void ShowFailure(const char* message);
