#include "core/cart_settings.h"

#include <cstring>

#include "core/cartridge.h"
#include "core/paths.h"
#include "platform/profile_store.h"

namespace {

void ReadValue(const char* section, const char* key, const char* def, char* buf, int cap) {
    ProfileReadString(section, key, def, buf, cap, g_paths.IniPath);
}

int ReadInt(const char* section, const char* key, int def) {
    return ProfileReadInt(section, key, def, g_paths.IniPath);
}

SaveResult ResultOf(bool ok, ProfileFailure why) {
    if (ok)
        return SaveResult::Saved;
    switch (why) {
    case ProfileFailure::Busy:
        return SaveResult::Busy;
    case ProfileFailure::NameNotKept:
        return SaveResult::NameNotKept;
    case ProfileFailure::PartlyWritten:
        return SaveResult::PartlyWritten;
    case ProfileFailure::None:
    case ProfileFailure::NotWritten:
        break;
    }
    return SaveResult::NotWritten;
}

// A section header ends at the line's end, so a name holding a line break could never be found
// again; neither store is given one.
bool OnOneLine(const char* name) {
    return std::strpbrk(name, "\r\n") == nullptr;
}

// A line break in a value (a ROM header's title may hold one) would end the value early and
// start a stray line in the file, so each one is stored as a space.
void PutOnOneLine(char* value) {
    for (char* c = value; *c != '\0'; ++c) {
        if (*c == '\r' || *c == '\n')
            *c = ' ';
    }
}

} // namespace

CartSettings LoadCartSettings(const char* romName) {
    CartSettings settings{};
    ReadValue(romName, kKeyTitle, "", settings.title, kTitleField);
    // A file that cannot be opened leaves the title empty.
    if (settings.title[0] == '\0')
        ReadCartTitle(romName, settings.title);
    ReadValue(romName, kKeyFrames, kDefaultFrames, settings.frames, kFramesField);
    settings.noSound = ReadInt(romName, kKeyNoSound, 0) != 0;
    settings.z80 = ReadInt(romName, kKeyZ80, 0) != 0;
    char version[kVersionField];
    ReadValue(romName, kKeyVersion, kNoVersion, version, kVersionField);
    if (std::strcmp(version, kVersionEurope) == 0)
        settings.region = Region::Europe;
    else if (std::strcmp(version, kVersionJapan) == 0)
        settings.region = Region::Japan;
    else
        settings.region = Region::USA;
    return settings;
}

SaveResult SaveCartSettings(const char* romName, const CartSettings& settings) {
    // No cartridge selected: there is no section to write.
    if (romName[0] == '\0')
        return SaveResult::NotWritten;
    if (!OnOneLine(romName))
        return SaveResult::NameNotKept;
    char title[kTitleField];
    CopyTextCut(title, kTitleField, settings.title);
    PutOnOneLine(title);
    char frames[kFramesField];
    CopyTextCut(frames, kFramesField, settings.frames);
    PutOnOneLine(frames);

    ProfileEntry entries[5];
    int count = 0;
    entries[count++] = {kKeyTitle, title};
    entries[count++] = {kKeyNoSound, settings.noSound ? "1" : "0"};
    entries[count++] = {kKeyZ80, settings.z80 ? "1" : "0"};
    switch (settings.region) {
    case Region::USA:
        entries[count++] = {kKeyVersion, kVersionUsa};
        break;
    case Region::Europe:
        entries[count++] = {kKeyVersion, kVersionEurope};
        break;
    case Region::Japan:
        entries[count++] = {kKeyVersion, kVersionJapan};
        break;
    case Region::None: // no region chosen: an existing Version stays
        break;
    }
    entries[count++] = {kKeyFrames, frames};
    ProfileFailure why = ProfileFailure::None;
    bool ok = ProfileWriteStrings(romName, entries, count, g_paths.IniPath, &why);
    return ResultOf(ok, why);
}

SaveResult DeleteCartSettings(const char* romName) {
    if (romName[0] == '\0')
        return SaveResult::NotWritten;
    ProfileFailure why = ProfileFailure::None;
    bool ok = ProfileDeleteSection(romName, g_paths.IniPath, &why);
    return ResultOf(ok, why);
}
