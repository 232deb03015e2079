// Writes a few small Genesis ROM images for the demo and the tests: each has the console
// name at 0x100 and an invented title in the overseas name field at 336, padded with spaces.
// No real game data.
//   make_roms <directory>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct DemoRom {
    const char* fileName;
    const char* title;
};

// Mixed extensions and mixed case, as cartridge directories tend to be.
constexpr DemoRom kRoms[] = {
    {"MOLEQST.BIN", "MOLE QUEST"},      {"turbomole.md", "TURBO MOLE QUEST 2"},
    {"Starfarm.smd", "STAR HARVESTER"}, {"pinball.MGD", "PIXEL PINBALL DELUXE"},
    {"acorn_racer.bin", "ACORN RACER"}, {"Zephyr.Md", "ZEPHYR KNIGHTS"},
};

constexpr long kConsoleOffset = 0x100;
constexpr long kNameOffset = 336;
constexpr int kNameField = 48;
constexpr int kRomSize = 1024;

bool WriteRom(const std::string& path, const char* title) {
    unsigned char image[kRomSize];
    std::memset(image, 0, sizeof(image));
    const char console[] = "SEGA GENESIS    ";
    std::memcpy(image + kConsoleOffset, console, sizeof(console) - 1);
    // Domestic name at 0x120 and overseas name at 0x150, both space padded.
    std::memset(image + 0x120, ' ', kNameField);
    std::memset(image + kNameOffset, ' ', kNameField);
    size_t len = std::strlen(title);
    if (len > static_cast<size_t>(kNameField))
        len = kNameField;
    std::memcpy(image + 0x120, title, len);
    std::memcpy(image + kNameOffset, title, len);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(image, 1, sizeof(image), f) == sizeof(image);
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_roms <directory>\n");
        return 2;
    }
    std::string dir = argv[1];
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    for (const DemoRom& rom : kRoms) {
        if (!WriteRom(dir + rom.fileName, rom.title)) {
            std::fprintf(stderr, "make_roms: cannot write %s%s\n", dir.c_str(), rom.fileName);
            return 1;
        }
    }
    return 0;
}
