// The emulator command line and the start of the emulator.
#pragma once
#include "core/cart_settings.h"

// Leaves the command line in g_paths.EmulatorCommand. Returns false, leaving it empty, when
// the command line does not fit its buffer.
bool BuildEmulatorCommand(const char* romName, const CartSettings& settings);

// Builds the command line, makes the emulator's directory current and starts the emulator.
// An over-long command line starts nothing.
void LaunchEmulator(const char* romName, const CartSettings& settings);
