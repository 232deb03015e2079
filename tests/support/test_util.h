// Small helpers shared by the tests: temporary directories, whole-file I/O, directory listings
// and the current directory.
#pragma once
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "core/cart_settings.h"

// The tests read settings values into buffers of this size (the platform's MAX_PATH).
constexpr int kValueMax = 260;

namespace qvtest {

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes out of scope.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path;
    // The directory as text, ending in the platform's path separator.
    std::string dirText() const;
    // path / name as text.
    std::string file(const std::string& name) const;
};

// Replaces p's contents with bytes; false when they could not all be written.
bool WriteFile(const std::filesystem::path& p, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& p); // empty when missing
bool FileExists(const std::filesystem::path& p);
// text's lines, without their line breaks (LF or CR LF).
std::vector<std::string> LinesOf(const std::string& text);

// The names of the entries of dir, but the settings store's lock files (".NAME.lock"), which stay
// beside the settings file.
std::set<std::string> NamesIn(const std::filesystem::path& dir);
#ifndef _WIN32
// stat of path; a failure fails the test.
struct stat StatOf(const std::string& path);
#endif

// Restores the process's current directory when it goes out of scope.
struct CurrentDirGuard {
    CurrentDirGuard();
    ~CurrentDirGuard();
    CurrentDirGuard(const CurrentDirGuard&) = delete;
    CurrentDirGuard& operator=(const CurrentDirGuard&) = delete;
    std::filesystem::path saved;
};

// True when a and b name the same existing directory or file.
bool SamePath(const std::filesystem::path& a, const std::filesystem::path& b);

// One settings file section as (key, value) pairs in file order, read from the file's text as
// the launcher's reads see it (names match without regard to ASCII case; a header's name runs to
// the last ']' of its line); found tells whether the section exists.
struct IniSection {
    bool found = false;
    std::vector<std::pair<std::string, std::string>> entries;
};
IniSection ReadIniSection(const std::string& path, const std::string& section);
// The value of key in s, or missing; the keys of s in file order, separated by commas.
std::string IniValue(const IniSection& s, const std::string& key, const char* missing = "<none>");
std::string IniKeys(const IniSection& s);

// A cartridge's settings as the form would hand them to a save.
CartSettings MakeSettings(const char* title, const char* frames, bool noSound, bool z80,
                          Region region);

} // namespace qvtest
