#include "core/cartridge.h"

#include <cstring>
#include <string_view>

#include "core/paths.h"
#include "core/settings.h"
#include "platform/ascii.h"
#include "platform/current_dir.h"
#include "platform/dir_list.h"
#include "platform/text_file.h"

namespace {

// The header text a title is built from: at most this many bytes, so that the title (which
// can be one character longer than its text) always fits its 256-byte field.
constexpr size_t kTitleTextMax = 254;

// The interleaved copier layout of .smd files: a 512-byte header holding 0xAA 0xBB at bytes 8
// and 9, then 16 KiB blocks, each holding the odd-addressed bytes of its 16 KiB of ROM first
// and the even-addressed bytes after them.
constexpr int kCopierHeaderSize = 512;
constexpr int kCopierBlockSize = 16384;
constexpr int kCopierHalf = kCopierBlockSize / 2;

bool HasCopierSignature(const unsigned char* head, int got) {
    return got == kCopierHeaderSize && head[8] == 0xAA && head[9] == 0xBB;
}

// A header and at least one whole block, and nothing else.
bool IsCopierSize(long long size) {
    return size >= kCopierHeaderSize + kCopierBlockSize &&
           (size - kCopierHeaderSize) % kCopierBlockSize == 0;
}

// The line read over bytes already in memory, with the text stream's rules: carriage returns
// dropped, the first control-Z ends the data, the line ends after a line feed or at cap - 1
// characters. Whatever layout the bytes came from, the same rules give the same text.
struct LineRead {
    char* buf;
    int cap;
    int len;
    bool done;
};

void TakeLineByte(LineRead* line, unsigned char byte) {
    char c = static_cast<char>(byte);
    if (c == 0x1A) {
        line->done = true;
    } else if (c != '\r') {
        line->buf[line->len++] = c;
        line->done = c == '\n' || line->len == line->cap - 1;
    }
}

enum class Interleaved { No, Read, Failed };

// The line from ROM byte 336 of an interleaved file, each block put back in order as the read
// reaches it (a line that carriage returns stretch past the first block goes on in the next).
// No when the file's size (taken with the first block) does not fit the layout.
Interleaved ReadInterleavedLine(const char* romName, LineRead* line) {
    unsigned char block[kCopierBlockSize];
    long long size = 0;
    int got = 0;
    if (!ReadFileBytes(romName, kCopierHeaderSize, block, kCopierBlockSize, &got, &size))
        return Interleaved::Failed;
    if (!IsCopierSize(size) || got < kCopierBlockSize)
        return Interleaved::No;
    long long offset = kCopierHeaderSize;
    int from = static_cast<int>(kHeaderNameOffset);
    for (;;) {
        for (int i = from; i < kCopierBlockSize && !line->done; ++i)
            TakeLineByte(line, (i & 1) ? block[i / 2] : block[kCopierHalf + i / 2]);
        offset += kCopierBlockSize;
        if (line->done || offset >= size)
            break;
        if (!ReadFileBytes(romName, offset, block, kCopierBlockSize, &got, nullptr))
            return Interleaved::Failed;
        if (got < kCopierBlockSize) // cut short since its size was taken
            break;
        from = 0;
    }
    line->done = true;
    return Interleaved::Read;
}

// The header line of romName into buf (cap bytes). One read of the file's first 512 bytes
// holds both the copier signature and, for every other file, the name field; a line that
// carriage returns stretch past them goes on through the text read. False when the file
// cannot be opened.
bool ReadHeaderLine(const char* romName, char* buf, int cap) {
    unsigned char head[kCopierHeaderSize];
    int got = 0;
    if (!ReadFileBytes(romName, 0, head, kCopierHeaderSize, &got, nullptr))
        return false;
    LineRead line{buf, cap, 0, cap <= 1};
    if (HasCopierSignature(head, got)) {
        Interleaved read = ReadInterleavedLine(romName, &line);
        if (read != Interleaved::No) {
            if (cap > 0)
                buf[line.len] = '\0';
            return read == Interleaved::Read;
        }
    }
    for (int i = static_cast<int>(kHeaderNameOffset); i < got && !line.done; ++i)
        TakeLineByte(&line, head[i]);
    if (!line.done && got == kCopierHeaderSize)
        return ReadTextLineAt(romName, kCopierHeaderSize, buf + line.len, cap - line.len);
    if (cap > 0)
        buf[line.len] = '\0';
    return true;
}

} // namespace

void ListCartFiles(const char* cartDir, std::vector<std::string>* names) {
    ListMatchingFiles(cartDir, kCartPatterns, kCartPatternCount, names);
}

int RelistCartFiles(const char* keep, std::vector<std::string>* names) {
    ListCartFiles(g_paths.CartDir, names);
    if (keep == nullptr)
        return -1;
    std::string_view kept(keep);
    for (size_t i = 0; i < names->size(); ++i) {
        if ((*names)[i] == kept)
            return static_cast<int>(i);
    }
    return -1;
}

void BuildCartTitle(const char* headerText, char* title) {
    // The header text followed by two NULs: the scan may step one position past the end of
    // the text, and no further.
    char text[kTitleTextMax + 2];
    size_t n = strnlen(headerText, kTitleTextMax);
    std::memcpy(text, headerText, n);
    text[n] = '\0';
    text[n + 1] = '\0';

    size_t in = 0;
    size_t out = 0;
    title[out++] = AsciiUpper(text[in++]); // the terminator itself when the text is empty
    if (text[0] == '\0')
        return;
    while (text[in] != '\0') {
        while (text[in] != ' ' && text[in] != '\0')
            title[out++] = AsciiLower(text[in++]);
        title[out++] = ' ';
        ++in;
        while (text[in] == ' ')
            ++in;
        title[out++] = AsciiUpper(text[in]);
        if (text[in] == '\0')
            return;
        ++in;
    }
    title[out] = '\0';
}

int ReadCartTitle(const char* romName, char* title) {
    SetCurrentDir(g_paths.CartDir);
    char work[kTitleField];
    work[0] = '\0';
    if (!ReadHeaderLine(romName, work, kHeaderReadCap))
        return 0;
    // Nothing readable at the name field (a short file, a control-Z there, only carriage
    // returns after it) reads as the empty text and so gives the empty title. An interleaved
    // file gives the text its ROM holds there, the same as the plain image of that ROM.
    BuildCartTitle(work, title);
    return 1;
}
