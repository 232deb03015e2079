// The emulator bridge's portable flow: the launcher's command line read, BlastEm found, the
// cartridge checked, BlastEm started and waited for, and a failure told to the user.
#include "bridge/bridge.h"

#include <cstring>

namespace {

constexpr const char* kNoAudioHint =
    "BlastEm could not open the sound output. Tick No Sound in the launcher to play without "
    "sound, or check this computer's sound settings.";

// Whether BlastEm's last words say that the sound output could not be opened (SDL's report,
// and ALSA's when it has no default device).
bool SaysNoAudio(const char* tail) {
    return std::strstr(tail, "Unable to open SDL audio") != nullptr ||
           std::strstr(tail, "Unknown PCM") != nullptr;
}

int Fail(const char* message, int status) {
    ShowFailure(message);
    return status;
}

} // namespace

void KeepTail(char* tail, const char* data, size_t n) {
    size_t have = std::strlen(tail);
    if (n >= static_cast<size_t>(kTailCap)) {
        data += n - kTailCap;
        n = kTailCap;
        have = 0;
    } else if (have + n > static_cast<size_t>(kTailCap)) {
        size_t drop = have + n - kTailCap;
        std::memmove(tail, tail + drop, have - drop);
        have -= drop;
    }
    std::memcpy(tail + have, data, n);
    // NULs would cut the message short.
    for (size_t i = have; i < have + n; ++i)
        if (tail[i] == '\0')
            tail[i] = ' ';
    tail[have + n] = '\0';
}

void DescribeEnd(const char* how, long long ms, const char* tail, bool noSound, char* message,
                 int cap) {
    if (SaysNoAudio(tail) && !noSound)
        Say(message, cap, "%s\n\nBlastEm stopped %.1f s after its start (%s). It said:\n\n%s",
            kNoAudioHint, ms / 1000.0, how, tail);
    else if (tail[0] != '\0')
        Say(message, cap, "BlastEm stopped %.1f s after its start (%s). It said:\n\n%s",
            ms / 1000.0, how, tail);
    else
        Say(message, cap, "BlastEm stopped %.1f s after its start (%s).", ms / 1000.0, how);
}

int RunBridge(int argc, char** argv) {
    char message[kBridgeMessageCap];
    BridgeRequest request;
    if (!ParseBridgeArgs(argc, argv, &request, message, sizeof message))
        return Fail(message, kExitUsage);
    char cartridge[kCartArgCap];
    if (!CheckCartridge(request.cartridge, cartridge, sizeof cartridge, message, sizeof message))
        return Fail(message, kExitCartridge);
    request.cartridge = cartridge;
    char blastem[kBlastemPathCap];
    if (!FindBlastem(blastem, sizeof blastem, message, sizeof message))
        return Fail(message, kExitNoBlastem);
    const char* args[kBlastemArgsCap];
    char cartArg[kCartArgCap];
    if (!BuildBlastemArgs(request, blastem, args, cartArg, message, sizeof message))
        return Fail(message, kExitCartridge);
    int status = RunBlastem(args, request.noSound, message, sizeof message);
    return message[0] != '\0' ? Fail(message, status) : status;
}
