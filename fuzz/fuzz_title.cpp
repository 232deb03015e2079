// Titles from arbitrary ROM header bytes: BuildCartTitle on any text and ReadCartTitle on any
// file, checked against a plain std::string statement of the title rule; the same ROM in the
// interleaved copier layout of .smd files gives the same title.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "core/cartridge.h"
#include "core/paths.h"
#include "core/settings.h"
#include "fuzz_util.h"

namespace {

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// The title of a header text: the first character upper case, each word after it lower case
// and followed by one space, the first character after a run of spaces upper case.
std::string ExpectedTitle(const std::string& text) {
    std::string s = text;
    s.push_back('\0');
    s.push_back('\0');
    std::string title;
    if (s[0] == '\0')
        return title;
    title.push_back(Upper(s[0]));
    size_t in = 1;
    while (s.at(in) != '\0') {
        while (s.at(in) != ' ' && s.at(in) != '\0')
            title.push_back(Lower(s.at(in++)));
        title.push_back(' ');
        ++in;
        while (s.at(in) == ' ')
            ++in;
        if (s.at(in) == '\0')
            return title;
        title.push_back(Upper(s.at(in++)));
    }
    return title;
}

constexpr size_t kBlock = 16384;

// The file in the interleaved layout: the 0xAA 0xBB signature at bytes 8 and 9 of a 512-byte
// header followed by whole 16 KiB blocks.
bool IsInterleaved(const std::string& file) {
    return file.size() >= 512 + kBlock && (file.size() - 512) % kBlock == 0 &&
           static_cast<unsigned char>(file[8]) == 0xAA &&
           static_cast<unsigned char>(file[9]) == 0xBB;
}

// The ROM as the console sees it: each block holds its odd-addressed bytes, then its even ones.
std::string RomOf(const std::string& file) {
    if (!IsInterleaved(file))
        return file;
    std::string rom(file.size() - 512, '\0');
    for (size_t i = 0; i < rom.size(); ++i) {
        size_t block = i / kBlock * kBlock, at = i % kBlock;
        rom[i] = file[512 + block + (at % 2 == 1 ? at / 2 : kBlock / 2 + at / 2)];
    }
    return rom;
}

// rom in the interleaved layout, padded with NULs to whole blocks.
std::string InterleavedOf(std::string rom) {
    rom.resize(rom.empty() ? kBlock : (rom.size() + kBlock - 1) / kBlock * kBlock, '\0');
    std::string file(512, '\0');
    file[8] = '\xAA';
    file[9] = '\xBB';
    for (size_t block = 0; block < rom.size(); block += kBlock) {
        for (size_t at = 1; at < kBlock; at += 2)
            file += rom[block + at];
        for (size_t at = 0; at < kBlock; at += 2)
            file += rom[block + at];
    }
    return file;
}

// What the header line read yields: from byte 336 on, carriage returns dropped, a control-Z
// ends the data, at most 47 characters or up to and including a line feed; then the text up
// to its first NUL.
std::string ExpectedHeaderText(const std::string& file) {
    std::string text;
    for (size_t i = static_cast<size_t>(kHeaderNameOffset); i < file.size(); ++i) {
        char c = file[i];
        if (c == 0x1A)
            break;
        if (c == '\r')
            continue;
        text.push_back(c);
        if (c == '\n' || text.size() == static_cast<size_t>(kHeaderReadCap - 1))
            break;
    }
    return text.substr(0, std::strlen(text.c_str()));
}

void CheckBuild(const uint8_t* data, size_t size) {
    // The text exactly as long as given (up to a NUL), in a buffer of its own size, so any
    // read past its end is caught.
    size_t len = strnlen(reinterpret_cast<const char*>(data), size);
    if (len > 255)
        len = 255;
    std::unique_ptr<char[]> text(new char[len + 1]);
    std::memcpy(text.get(), data, len);
    text[len] = '\0';
    std::unique_ptr<char[]> title(new char[kTitleField]);
    std::memset(title.get(), 0x55, kTitleField);
    BuildCartTitle(text.get(), title.get());
    FUZZ_CHECK(strnlen(title.get(), kTitleField) < static_cast<size_t>(kTitleField));
    // Texts longer than the field are cut to what the title field can take.
    std::string expected = ExpectedTitle(std::string(text.get(), len < 254 ? len : 254));
    FUZZ_CHECK(expected == title.get());
}

void CheckRead(const uint8_t* data, size_t size) {
    if (size == 0)
        return;
    // First byte: whether the rest is the whole file or the bytes at the name field's offset.
    std::string file;
    if ((data[0] & 1) != 0)
        file.assign(static_cast<size_t>(kHeaderNameOffset), 'x');
    file.append(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string& dir = ScratchDir();
    PutFile(dir + "ROM.BIN", file);
    std::snprintf(g_paths.CartDir, sizeof g_paths.CartDir, "%s", dir.c_str());

    std::unique_ptr<char[]> title(new char[kTitleField]);
    std::memset(title.get(), 0x55, kTitleField);
    FUZZ_CHECK(ReadCartTitle("ROM.BIN", title.get()) == 1);
    FUZZ_CHECK(strnlen(title.get(), kTitleField) < static_cast<size_t>(kTitleField));
    std::string expected = ExpectedTitle(ExpectedHeaderText(RomOf(file)));
    FUZZ_CHECK(expected == title.get());

    // The same ROM interleaved, padded with NULs (which end the text as the file's end does).
    PutFile(dir + "ROM.SMD", InterleavedOf(RomOf(file)));
    std::memset(title.get(), 0x55, kTitleField);
    FUZZ_CHECK(ReadCartTitle("ROM.SMD", title.get()) == 1);
    FUZZ_CHECK(expected == title.get());

    // A missing file: 0, title untouched.
    std::memset(title.get(), 0x55, kTitleField);
    FUZZ_CHECK(ReadCartTitle("MISSING.BIN", title.get()) == 0);
    FUZZ_CHECK(static_cast<unsigned char>(title[0]) == 0x55);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckBuild(data, size);
    CheckRead(data, size);
    return 0;
}
