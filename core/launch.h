// The emulator command line and the start of the emulator.
#pragma once
#include "core/cart_settings.h"

// Leaves the command line in g_paths.EmulatorCommand. Returns false, leaving it empty, when
// no command line can carry these values intact: it does not fit its buffer, or a path or the
// frame value holds a double quote.
bool BuildEmulatorCommand(const char* romName, const CartSettings& settings);

enum class LaunchResult {
    Started,
    NoCartridge, // no cartridge selected: nothing to launch
    NotBuilt,    // no command line could be built (BuildEmulatorCommand failed)
    NotStarted,  // the program named by the command line could not be started
};

// Builds the command line, makes the emulator's directory current and starts the emulator.
LaunchResult LaunchEmulator(const char* romName, const CartSettings& settings);
