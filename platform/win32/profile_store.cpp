// The settings file on Win32: the platform's own private-profile functions (ANSI).
#include "platform/profile_store.h"

#include <windows.h>

#include <cstring>

void ProfileReadString(const char* section, const char* key, const char* def, char* buf, int cap,
                       const char* iniPath) {
    if (!buf || cap <= 0)
        return;
    GetPrivateProfileStringA(section, key, def, buf, static_cast<DWORD>(cap), iniPath);
}

int ProfileReadInt(const char* section, const char* key, int def, const char* iniPath) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, def, iniPath));
}

bool ProfileWriteString(const char* section, const char* key, const char* value,
                        const char* iniPath) {
    return WritePrivateProfileStringA(section, key, value, iniPath) != FALSE;
}

// One call per entry, in order: the platform has no way to commit them together.
bool ProfileWriteStrings(const char* section, const ProfileEntry* entries, int count,
                         const char* iniPath) {
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        if (!WritePrivateProfileStringA(section, entries[i].key, entries[i].value, iniPath))
            ok = false;
    }
    return ok;
}

// A null entry list removes the section (an empty one would only empty it). The platform's
// reads and writes drop the blanks around a section name, but its delete takes the name as
// given: a cartridge whose file name starts with a blank was saved under the name without it
// and could never be deleted. The delete is given the name as the reads and writes see it.
bool ProfileDeleteSection(const char* section, const char* iniPath) {
    const char* begin = section;
    while (*begin != '\0' && IsProfileBlank(static_cast<unsigned char>(*begin)))
        ++begin;
    size_t len = std::strlen(begin);
    while (len > 0 && IsProfileBlank(static_cast<unsigned char>(begin[len - 1])))
        --len;
    if (len == 0 || len >= MAX_PATH)
        return WritePrivateProfileSectionA(section, nullptr, iniPath) != FALSE;
    char name[MAX_PATH];
    std::memcpy(name, begin, len);
    name[len] = '\0';
    return WritePrivateProfileSectionA(name, nullptr, iniPath) != FALSE;
}
