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
void SaveCartSettings(const char* romName, const CartSettings& settings);
void DeleteCartSettings(const char* romName);
