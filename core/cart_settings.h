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

// What became of a save or a delete. Every answer but Saved and PartlyWritten leaves the file
// as it was.
enum class SaveResult {
    Saved,         // the file says what was asked (it may have said so already)
    NotWritten,    // the file or its directory cannot be written, or there is no settings file
    Busy,          // another program kept the settings file's lock for longer than a save waits,
                   // or has a lock file this one cannot open (native)
    NameNotKept,   // the cartridge's name holds a line break, which the file cannot carry
    PartlyWritten, // writing the file in place failed part-way: it may hold part of the change
};

CartSettings LoadCartSettings(const char* romName);
SaveResult SaveCartSettings(const char* romName, const CartSettings& settings);
SaveResult DeleteCartSettings(const char* romName);
