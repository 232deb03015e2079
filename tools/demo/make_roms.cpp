// Writes a few small Genesis ROM images for the demo and the tests: each has the console
// name at 0x100 and an invented title in the domestic and overseas name fields (the latter at
// 336), padded with spaces. No real game data.
//
// Where the test cartridge's program was assembled (tools/carts), every image is a copy of
// it, a real cartridge that shows its title, the region and whether the Z-80 runs, with the
// header's checksum set. Otherwise each is a header alone.
//
// The .smd image is written in the interleaved copier layout such files often have, the others
// as the console sees them.
//   make_roms <directory>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef QV_CART_PROGRAM
extern const unsigned char kCartProgram[];
extern const std::size_t kCartProgramSize;
#endif

namespace {

struct DemoRom {
    const char* fileName;
    const char* title;
    bool interleaved;
};

// Mixed extensions and mixed case, as cartridge directories tend to be.
constexpr DemoRom kRoms[] = {
    {"MOLEQST.BIN", "MOLE QUEST", false},      {"turbomole.md", "TURBO MOLE QUEST 2", false},
    {"Starfarm.smd", "STAR HARVESTER", true},  {"pinball.MGD", "PIXEL PINBALL DELUXE", false},
    {"acorn_racer.bin", "ACORN RACER", false}, {"Zephyr.Md", "ZEPHYR KNIGHTS", false},
};

constexpr long kConsoleOffset = 0x100;
constexpr long kDomesticOffset = 0x120;
constexpr long kNameOffset = 336;
constexpr int kNameField = 48;
constexpr long kChecksumOffset = 0x18E;
constexpr long kHeaderEnd = 0x200;
constexpr int kHeaderOnlySize = 1024;
constexpr size_t kCopierHeaderSize = 512;
constexpr size_t kCopierBlockSize = 16384;

#ifdef QV_CART_PROGRAM
std::vector<unsigned char> BaseImage() {
    return std::vector<unsigned char>(kCartProgram, kCartProgram + kCartProgramSize);
}

// The console adds up the big-endian words after the header.
void SetChecksum(std::vector<unsigned char>* image) {
    unsigned sum = 0;
    for (size_t i = kHeaderEnd; i + 1 < image->size(); i += 2)
        sum += (static_cast<unsigned>((*image)[i]) << 8) | (*image)[i + 1];
    (*image)[kChecksumOffset] = static_cast<unsigned char>((sum >> 8) & 0xFF);
    (*image)[kChecksumOffset + 1] = static_cast<unsigned char>(sum & 0xFF);
}
#else
// A header alone: the console name and nothing else but zeros.
std::vector<unsigned char> BaseImage() {
    std::vector<unsigned char> image(kHeaderOnlySize, 0);
    const char console[] = "SEGA GENESIS    ";
    std::memcpy(image.data() + kConsoleOffset, console, sizeof(console) - 1);
    return image;
}

void SetChecksum(std::vector<unsigned char>*) {}
#endif

// The interleaved copier layout: a 512-byte header (the block count, 3, and 0xAA 0xBB at bytes
// 8 and 9), then the ROM, padded with 0xFF to whole 16 KiB blocks, each block holding the
// odd-addressed bytes of its 16 KiB first and the even-addressed bytes after them.
std::vector<unsigned char> Interleave(std::vector<unsigned char> rom) {
    size_t blocks = (rom.size() + kCopierBlockSize - 1) / kCopierBlockSize;
    rom.resize(blocks * kCopierBlockSize, 0xFF);
    std::vector<unsigned char> file(kCopierHeaderSize, 0);
    file[0] = static_cast<unsigned char>(blocks);
    file[1] = 3;
    file[8] = 0xAA;
    file[9] = 0xBB;
    for (size_t at = 0; at < rom.size(); at += kCopierBlockSize) {
        for (size_t i = 1; i < kCopierBlockSize; i += 2)
            file.push_back(rom[at + i]);
        for (size_t i = 0; i < kCopierBlockSize; i += 2)
            file.push_back(rom[at + i]);
    }
    return file;
}

bool WriteRom(const std::string& path, const char* title, bool interleaved) {
    std::vector<unsigned char> image = BaseImage();
    if (image.size() < static_cast<size_t>(kHeaderEnd))
        return false;
    // Domestic name at 0x120 and overseas name at 0x150, both space padded.
    std::memset(image.data() + kDomesticOffset, ' ', kNameField);
    std::memset(image.data() + kNameOffset, ' ', kNameField);
    size_t len = std::strlen(title);
    if (len > static_cast<size_t>(kNameField))
        len = kNameField;
    std::memcpy(image.data() + kDomesticOffset, title, len);
    std::memcpy(image.data() + kNameOffset, title, len);
    SetChecksum(&image);
    if (interleaved)
        image = Interleave(image);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
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
        if (!WriteRom(dir + rom.fileName, rom.title, rom.interleaved)) {
            std::fprintf(stderr, "make_roms: cannot write %s%s\n", dir.c_str(), rom.fileName);
            return 1;
        }
    }
    return 0;
}
