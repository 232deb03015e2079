// Small helpers shared by the tests: temporary directories and whole-file I/O.
#pragma once
#include <filesystem>
#include <string>

#include "core/cart_settings.h"

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

void WriteFile(const std::filesystem::path& p, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& p); // empty when missing
bool FileExists(const std::filesystem::path& p);

// A cartridge's settings as the form would hand them to a save.
CartSettings MakeSettings(const char* title, const char* frames, bool noSound, bool z80,
                          Region region);

} // namespace qvtest
