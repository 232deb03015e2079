#include "bench_data.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/cart_settings.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/profile_store.h"

namespace {

const char* const kExtensions[] = {".BIN", ".md", ".MGD", ".smd"};

// A 512-byte ROM image start: vectors left zero, the console name at 0x100, the domestic
// and overseas names (48 bytes each, space padded) at 0x120 and 0x150.
std::string RomImage(int i) {
    std::string rom(512, '\0');
    const char console[] = "SEGA MEGA DRIVE ";
    std::memcpy(&rom[0x100], console, sizeof console - 1);
    std::string name = HeaderNameFor(i);
    name.resize(48, ' ');
    std::memcpy(&rom[0x120], name.data(), 48);
    std::memcpy(&rom[0x150], name.data(), 48);
    return rom;
}

void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
    for (size_t pos = text->find(from); pos != std::string::npos;
         pos = text->find(from, pos + to.size())) {
        text->replace(pos, from.size(), to);
    }
}

CartSettings MakeSettings(const char* title, bool noSound, bool z80, Region region,
                          const char* frames) {
    CartSettings s{};
    std::snprintf(s.title, sizeof s.title, "%s", title);
    std::snprintf(s.frames, sizeof s.frames, "%s", frames);
    s.noSound = noSound;
    s.z80 = z80;
    s.region = region;
    return s;
}

// Lets the launcher's own save write two sample sections, so the generated file has exactly
// the layout a save produces. prefix gets everything before the first cartridge section.
bool ProbeLayout(const std::string& dir, std::string* prefix, std::string* section0,
                 std::string* section1) {
    std::string probe = dir + "probe.ini";
    std::snprintf(g_paths.IniPath, sizeof g_paths.IniPath, "%s", probe.c_str());
    ProfileWriteString(kPathsSection, kKeyQuorvalisPath, dir.c_str(), probe.c_str());
    ProfileWriteString(kPathsSection, kKeyEmulatorPath, "/usr/games/Zelko.exe", probe.c_str());
    ProfileWriteString(kPathsSection, kKeyCartPath, "@CARTDIR@", probe.c_str());
    SaveCartSettings("PROBE0.BIN", MakeSettings("@TITLE@", false, true, Region::USA, "2"));
    SaveCartSettings("PROBE1.BIN", MakeSettings("@TITLE@", true, false, Region::Japan, "5"));
    std::string bytes;
    if (!ReadWholeFile(probe, &bytes))
        return false;
    unlink(probe.c_str());
    size_t s0 = bytes.find("[PROBE0.BIN]");
    size_t s1 = bytes.find("[PROBE1.BIN]");
    if (s0 == std::string::npos || s1 == std::string::npos || s1 < s0) {
        std::fprintf(stderr, "bench: unexpected settings layout:\n%s\n", bytes.c_str());
        return false;
    }
    *prefix = bytes.substr(0, s0);
    *section0 = bytes.substr(s0, s1 - s0);
    *section1 = bytes.substr(s1);
    return true;
}

} // namespace

std::string HeaderNameFor(int i) {
    char name[64];
    std::snprintf(name, sizeof name, "TURBO MOLE QUEST  %05d", i);
    return name;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            close(fd);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return close(fd) == 0;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        close(fd);
        return false;
    }
    bytes->resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes->size()) {
        ssize_t n = read(fd, &(*bytes)[done], bytes->size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    bytes->resize(done);
    close(fd);
    return true;
}

bool MakeBenchSet(int n, BenchSet* set) {
    char root[] = "/tmp/qv-bench-XXXXXX";
    if (mkdtemp(root) == nullptr) {
        std::perror("bench: mkdtemp");
        return false;
    }
    set->n = n;
    set->root = std::string(root) + "/";
    set->cartDir = set->root + "carts/";
    set->iniPath = set->root + "Quorvalis.ini";
    if (mkdir(set->cartDir.c_str(), 0755) != 0)
        return false;
    // Things the listing must skip: other files and a directory with a cartridge's name.
    mkdir((set->cartDir + "GAMES.BIN").c_str(), 0755);
    for (int i = 0; i < n / 20; ++i) {
        char other[32];
        std::snprintf(other, sizeof other, "NOTE%04d.TXT", i);
        WriteWholeFile(set->cartDir + other, "not a cartridge\n");
    }

    std::string prefix, section0, section1;
    if (!ProbeLayout(set->root, &prefix, &section0, &section1))
        return false;
    ReplaceAll(&prefix, "@CARTDIR@", set->cartDir);

    std::string ini = prefix;
    ini.reserve(prefix.size() + static_cast<size_t>(n) * (section0.size() + 24));
    for (int i = 0; i < n; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "G%05d%s", (i * 7919) % n, kExtensions[i % 4]);
        set->carts.push_back(name);
        if (!WriteWholeFile(set->cartDir + name, RomImage(i))) {
            std::fprintf(stderr, "bench: cannot write %s%s\n", set->cartDir.c_str(), name);
            return false;
        }
        char title[64];
        std::snprintf(title, sizeof title, "Turbo Mole Quest No. %d", i);
        set->titles.push_back(title);
        std::string section = (i % 2 == 0) ? section0 : section1;
        ReplaceAll(&section, i % 2 == 0 ? "PROBE0.BIN" : "PROBE1.BIN", name);
        ReplaceAll(&section, "@TITLE@", title);
        ini += section;
    }
    if (!WriteWholeFile(set->iniPath, ini))
        return false;
    set->iniSize = static_cast<long>(ini.size());
    return true;
}

void RemoveBenchSet(const BenchSet& set) {
    if (set.root.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(set.root, ec);
}
