// Cartridge files of the cartridge directory, and titles built from their ROM headers.
#include "core/cartridge.h"

#include <cstring>

#include "core/paths.h"
#include "core/settings.h"
#include "platform/ascii.h"
#include "platform/current_dir.h"
#include "platform/dir_list.h"
#include "platform/text_file.h"

const char* const kCartPatterns[4] = {"*.bin", "*.md", "*.mgd", "*.smd"};

namespace {

// The header text a title is built from: at most this many bytes, so that the title (which
// can be one character longer than its text) always fits its 256-byte field.
constexpr size_t kTitleTextMax = 254;

} // namespace

bool BuildPatternPath(char* path, const char* cartDir, const char* pattern) {
    if (CopyText(path, kPathMax, cartDir) && AppendText(path, kPathMax, pattern))
        return true;
    path[0] = '\0';
    return false;
}

void ListCartFiles(const char* cartDir, std::vector<std::string>* names) {
    names->clear();
    char patternPaths[4][kPathMax];
    const char* requested[4];
    int count = 0;
    for (const char* pattern : kCartPatterns) {
        char* path = patternPaths[count];
        if (BuildPatternPath(path, cartDir, pattern))
            requested[count++] = path;
    }
    if (count > 0)
        ListMatchingFiles(requested, count, names);
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
    if (!ReadTextLineAt(romName, kHeaderNameOffset, work, kHeaderReadCap))
        return 0;
    // Nothing readable at the name field (a short file, a control-Z there, only carriage
    // returns after it) reads as the empty text and so gives the empty title.
    BuildCartTitle(work, title);
    return 1;
}
