// The emulator bridge's portable side: the launcher's command line read and checked, and
// BlastEm's arguments built from it.
#include "bridge/bridge.h"

#include <cstring>
#include <string>

namespace {

// The switches the launcher writes, in the order of the usage line: what the line shows of
// each, and what BlastEm gets for it. The usage line, the help and the parsing read this table.
struct BridgeSwitch {
    const char* name;
    const char* shown;
    const char* meaning;
};
constexpr BridgeSwitch kSwitches[] = {
    {"-frame", "-frame N", "N: required, may be empty; unused (BlastEm shows every frame)"},
    {"-nosound", "[-nosound]", "no sound (SDL_AUDIODRIVER=dummy for BlastEm)"},
    {"-z80", "[-z80]", "the Z-80 runs; without it, BlastEm -n"},
    {"-europe", "[-europe", "BlastEm -r E (with no region switch, -r U: USA)"},
    {"-japan", "| -japan]", "BlastEm -r J"},
};

bool IsSwitch(const char* arg, const char* name) {
    return std::strcmp(arg, name) == 0;
}

bool IsKnownSwitch(const char* arg) {
    for (const BridgeSwitch& s : kSwitches)
        if (IsSwitch(arg, s.name))
            return true;
    return false;
}

// "-frame N [-nosound] [-z80] [-europe | -japan] CARTRIDGE"
const char* Usage() {
    static const std::string usage = [] {
        std::string line;
        for (const BridgeSwitch& s : kSwitches)
            line = line + s.shown + " ";
        return line + "CARTRIDGE";
    }();
    return usage.c_str();
}

} // namespace

std::string BridgeHelp(const char* about, const char* rest) {
    std::string help = std::string("Usage: Zelko.exe ") + Usage() + "\n\n" + about;
    for (const BridgeSwitch& s : kSwitches)
        help = help + "  " + s.name + std::string(11 - std::strlen(s.name), ' ') + s.meaning + "\n";
    return help + rest;
}

bool ParseBridgeArgs(int argc, char** argv, BridgeRequest* request, char* message, int cap) {
    *request = BridgeRequest{};
    message[0] = '\0';
    if (argc < 2) {
        Say(message, cap, "No cartridge was given.\n\nZelko.exe takes: %s", Usage());
        return false;
    }
    // The cartridge path always comes last; everything before it is a switch or the frame
    // value that follows -frame.
    int last = argc - 1;
    bool frameSwitch = false, europe = false, japan = false;
    for (int i = 1; i < last; ++i) {
        const char* arg = argv[i];
        if (IsSwitch(arg, "-frame")) {
            frameSwitch = true;
            // The launcher sends an empty frame value (an empty Frames field) as -frame
            // followed by the next switch or by the cartridge; BlastEm has no use for the
            // value either way.
            if (i + 1 < last && !IsKnownSwitch(argv[i + 1]))
                request->frame = argv[++i];
            else
                request->frame = "";
        } else if (IsSwitch(arg, "-nosound")) {
            request->noSound = true;
        } else if (IsSwitch(arg, "-z80")) {
            request->z80 = true;
        } else if (IsSwitch(arg, "-europe")) {
            europe = true;
        } else if (IsSwitch(arg, "-japan")) {
            japan = true;
        } else if (arg[0] == '-') {
            Say(message, cap, "Unknown switch \"%s\".\n\nZelko.exe takes: %s", arg, Usage());
            return false;
        } else {
            Say(message, cap,
                "Unexpected argument \"%s\" before the cartridge (a path holding a blank "
                "must be in double quotes).\n\nZelko.exe takes: %s",
                arg, Usage());
            return false;
        }
    }
    // A cartridge's name may start with a dash (an empty CartPath gives the bare name): a last
    // argument that names an existing file is the cartridge, whatever it starts with.
    const char* cartridge = argv[last];
    bool dashedFile = cartridge[0] == '-' && PathExists(cartridge);
    if (cartridge[0] == '-' && !dashedFile && !IsKnownSwitch(cartridge)) {
        Say(message, cap, "Unknown switch \"%s\".\n\nZelko.exe takes: %s", cartridge, Usage());
        return false;
    }
    if (!frameSwitch) {
        Say(message, cap,
            "The frame value is missing: -frame must be given.\n\nZelko.exe takes: %s", Usage());
        return false;
    }
    if ((IsKnownSwitch(cartridge) && !dashedFile) || cartridge[0] == '\0') {
        Say(message, cap, "No cartridge was given.\n\nZelko.exe takes: %s", Usage());
        return false;
    }
    if (europe && japan) {
        Say(message, cap,
            "Both -europe and -japan were given; the console has one region.\n\nZelko.exe takes: "
            "%s",
            Usage());
        return false;
    }
    request->region = europe  ? BridgeRegion::Europe
                      : japan ? BridgeRegion::Japan
                              : BridgeRegion::Usa;
    request->cartridge = cartridge;
    return true;
}

bool BuildBlastemArgs(const BridgeRequest& request, const char* blastem, const char** args,
                      char* cartArg, char* message, int cap) {
    // BlastEm takes an argument starting with a dash for a switch: "./" before the path names
    // the same file.
    const char* cartridge = request.cartridge;
    if (cartridge[0] == '-') {
        size_t len = std::strlen(cartridge);
        if (len + 3 > static_cast<size_t>(kCartArgCap)) {
            Say(message, cap, "The cartridge path %s is too long to pass on.", cartridge);
            return false;
        }
        std::memcpy(cartArg, "./", 2);
        std::memcpy(cartArg + 2, cartridge, len + 1);
        cartridge = cartArg;
    }
    int n = 0;
    args[n++] = blastem;
    // Everything the launcher lists is a Genesis cartridge. Left to guess from the header,
    // BlastEm gives up on an image without "SEGA" at byte 256, or starts it as another system.
    args[n++] = "-m";
    args[n++] = "gen";
    args[n++] = "-r";
    args[n++] = request.region == BridgeRegion::Europe  ? "E"
                : request.region == BridgeRegion::Japan ? "J"
                                                        : "U";
    if (!request.z80)
        args[n++] = "-n";
    args[n++] = cartridge;
    args[n] = nullptr;
    return true;
}
