// Zelko.exe for Windows: the emulator bridge's entry. A GUI-subsystem program, so that nothing
// but BlastEm's own window opens; every failure is told in a message box, and on the error
// output where the bridge was given one, and the bridge then ends with a non-zero status.
#include <cstring>
#include <string>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/win32/bridge_win32.h"

namespace {

constexpr const wchar_t* kTitle = L"Zelko.exe";

constexpr const char* kAbout =
    "Starts the Genesis emulator BlastEm for Windows on CARTRIDGE in the current folder, "
    "always as a Genesis (BlastEm -m gen), with the options Quorvalis '95 gives the Zelko "
    "emulator:\n\n";
constexpr const char* kRest =
    "\n"
    "BlastEm is looked for in this order: the program named by ZELKO_BLASTEM; blastem.exe "
    "beside Zelko.exe; blastem.exe in the newest blastem-win* folder beside Zelko.exe; "
    "blastem.exe on PATH.\n"
    "\n"
    "Exit status: 2 bad command line, 3 cartridge missing or unreadable, 4 BlastEm missing "
    "or not startable, otherwise BlastEm's own.";

void ShowBox(const char* text, UINT icon) {
    std::vector<wchar_t> wide(std::strlen(text) + 1);
    if (ToWide(text, wide.data(), static_cast<int>(wide.size())))
        MessageBoxW(nullptr, wide.data(), kTitle, MB_OK | MB_SETFOREGROUND | icon);
}

} // namespace

void ShowFailure(const char* message) {
    WriteError("Zelko.exe: ");
    WriteError(message);
    WriteError("\n");
    ShowBox(message, MB_ICONERROR);
}

int wmain(int argc, wchar_t** argv) {
    // The arguments as UTF-8, for the portable flow; each converts whole.
    std::vector<std::string> texts;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        texts.emplace_back(n > 0 ? static_cast<size_t>(n) : 1, '\0');
        if (n > 0)
            WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, texts.back().data(), n, nullptr, nullptr);
    }
    for (std::string& text : texts)
        args.push_back(text.data());
    args.push_back(nullptr);
    if (argc == 2 && (std::strcmp(args[1], "-h") == 0 || std::strcmp(args[1], "--help") == 0 ||
                      std::strcmp(args[1], "/?") == 0)) {
        ShowBox(BridgeHelp(kAbout, kRest).c_str(), MB_ICONINFORMATION);
        return 0;
    }
    return RunBridge(argc, args.data());
}
