// Zelko.exe for Linux: the emulator bridge's entry. Every failure is told on the error output
// and, since a program started from the launcher has no visible error output, in a small
// window; the bridge then ends with a non-zero status and starts nothing.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <unistd.h>

#include "bridge/bridge.h"

namespace {

constexpr const char* kAbout =
    "Starts the Genesis emulator BlastEm (Debian package \"blastem\") on CARTRIDGE in the\n"
    "current directory, always as a Genesis (BlastEm -m gen, whatever the cartridge's header\n"
    "says), with the options Quorvalis '95 gives the Zelko emulator:\n"
    "\n";
constexpr const char* kRest =
    "\n"
    "CARTRIDGE comes last; it may start with a dash when it names an existing file (BlastEm\n"
    "then gets it as ./CARTRIDGE). A path holding blanks must be in double quotes, as the\n"
    "launcher writes it. Bad input, a missing BlastEm or a BlastEm that stops within 5\n"
    "seconds of its start is reported on standard error and in a small window. Exit status:\n"
    "2 bad command line, 3 cartridge missing or unreadable, 4 BlastEm missing or not\n"
    "startable, otherwise BlastEm's own (128 + N when it ended by signal N).\n"
    "\n"
    "Environment: ZELKO_BLASTEM names the BlastEm program to start instead of\n"
    "/usr/games/blastem (for example a newer build of your own).\n";

// The window comes from zelko-message.so beside this program, loaded only when there is
// something to show: the toolkit it needs would otherwise slow every start.
void ShowWindow(const char* text) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0')
        return;
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return;
    path[n] = '\0';
    char* slash = std::strrchr(path, '/');
    if (slash == nullptr)
        return;
    slash[1] = '\0';
    const char kModule[] = "zelko-message.so";
    if (std::strlen(path) + sizeof kModule > sizeof path)
        return;
    std::memcpy(slash + 1, kModule, sizeof kModule);
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "Zelko.exe: no message window: %s\n", dlerror());
        return;
    }
    using ShowFn = int (*)(const char*, const char*);
    auto show = reinterpret_cast<ShowFn>(dlsym(module, "ZelkoShowMessage"));
    if (show == nullptr || !show("Zelko.exe", text))
        std::fprintf(stderr, "Zelko.exe: no message window\n");
}

} // namespace

void ShowFailure(const char* message) {
    std::fprintf(stderr, "Zelko.exe: %s\n", message);
    std::fflush(stderr);
    ShowWindow(message);
}

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::fputs(BridgeHelp(kAbout, kRest).c_str(), stdout);
        return 0;
    }
    return RunBridge(argc, argv);
}
