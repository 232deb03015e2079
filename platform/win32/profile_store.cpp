// The settings file on Win32: the platform's own private-profile functions (ANSI).
#include "platform/profile_store.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

// Whether the file already holds value for key: the platform refuses every write to a read-only
// file, even one that would change nothing, and a save of what the file already says is no
// failure (the native store answers the same).
bool Holds(const char* section, const char* key, const char* value, const char* iniPath) {
    if (!key || !value)
        return false;
    const char* absent = "\x01\x02\x03"; // no value a save writes
    std::vector<char> buf(std::strlen(value) + 2);
    GetPrivateProfileStringA(section, key, absent, buf.data(), static_cast<DWORD>(buf.size()),
                             iniPath);
    return std::strcmp(buf.data(), value) == 0;
}

// Whether the file exists and has no section named name (compared as the platform compares
// names). A file that is not there cannot be what stopped a delete, so it does not count.
bool Lacks(const char* name, const char* iniPath) {
    DWORD attributes = GetFileAttributesA(iniPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    std::vector<char> names(4096);
    for (;;) {
        DWORD n =
            GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), iniPath);
        if (n + 2 < names.size())
            break;
        if (names.size() >= (1u << 26))
            return false;
        names.resize(names.size() * 2);
    }
    for (const char* at = names.data(); *at != '\0'; at += std::strlen(at) + 1) {
        if (lstrcmpiA(at, name) == 0)
            return false;
    }
    return true;
}

bool Answer(bool ok, ProfileFailure* why) {
    if (why)
        *why = ok ? ProfileFailure::None : ProfileFailure::NotWritten;
    return ok;
}

// An empty path names no settings file; the platform would take it as a file name of its own.
bool NoFile(const char* iniPath) {
    return !iniPath || !*iniPath;
}

} // namespace

void ProfileReadString(const char* section, const char* key, const char* def, char* buf, int cap,
                       const char* iniPath) {
    if (!buf || cap <= 0)
        return;
    if (NoFile(iniPath)) {
        lstrcpynA(buf, def ? def : "", cap);
        return;
    }
    GetPrivateProfileStringA(section, key, def, buf, static_cast<DWORD>(cap), iniPath);
}

int ProfileReadInt(const char* section, const char* key, int def, const char* iniPath) {
    if (NoFile(iniPath))
        return def;
    return static_cast<int>(GetPrivateProfileIntA(section, key, def, iniPath));
}

// One call per entry, in order: the platform has no way to commit them together.
bool ProfileWriteStrings(const char* section, const ProfileEntry* entries, int count,
                         const char* iniPath, ProfileFailure* why) {
    if (NoFile(iniPath))
        return Answer(false, why);
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        if (!WritePrivateProfileStringA(section, entries[i].key, entries[i].value, iniPath) &&
            !Holds(section, entries[i].key, entries[i].value, iniPath))
            ok = false;
    }
    return Answer(ok, why);
}

// A null entry list removes the section (an empty one would only empty it). The platform's
// reads and writes drop the blanks around a section name and its delete does not, so the delete
// is given the name as the reads and writes see it.
bool ProfileDeleteSection(const char* section, const char* iniPath, ProfileFailure* why) {
    if (NoFile(iniPath))
        return Answer(false, why);
    const char* begin = section;
    while (*begin != '\0' && IsProfileBlank(static_cast<unsigned char>(*begin)))
        ++begin;
    size_t len = std::strlen(begin);
    while (len > 0 && IsProfileBlank(static_cast<unsigned char>(begin[len - 1])))
        --len;
    if (len == 0 || len >= MAX_PATH)
        return Answer(WritePrivateProfileSectionA(section, nullptr, iniPath) != FALSE, why);
    char name[MAX_PATH];
    std::memcpy(name, begin, len);
    name[len] = '\0';
    // A read-only file without the section already is what the delete asks for.
    return Answer(
        WritePrivateProfileSectionA(name, nullptr, iniPath) != FALSE || Lacks(name, iniPath), why);
}
