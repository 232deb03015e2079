// The launch options of one cartridge, kept in its own section of the settings file.
#pragma once
#include "core/settings.h"

enum class Region { None, USA, Europe, Japan };

struct CartSettings {
    char title[kTitleField];
    char frames[kFramesField];
    bool noSound;
    bool z80;
    Region region;
};

CartSettings LoadCartSettings(const char* romName);
// Both return false when the change did not reach the settings file (it cannot be written, or
// there is none); the file is then as it was.
bool SaveCartSettings(const char* romName, const CartSettings& settings);
bool DeleteCartSettings(const char* romName);
