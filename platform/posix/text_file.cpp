// Reads a line as the Windows text stream delivers it, so that a ROM gives the same title on
// every build: carriage returns are dropped wherever they stand and a control-Z ends the data.
// Only bytes from the seek position on are looked at, as the stream reads from there.
#include "platform/text_file.h"

#include <cstdio>

#include <sys/stat.h>

bool ReadTextLineAt(const char* path, long offset, char* buf, int cap) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    // A directory opens for reading here but is no file to read a line from.
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
        std::fclose(file);
        return false;
    }
    int len = 0;
    if (cap > 0 && std::fseek(file, offset, SEEK_SET) == 0) {
        while (len < cap - 1) {
            int c = std::getc(file);
            if (c == EOF || c == 0x1A)
                break;
            if (c == '\r')
                continue;
            buf[len++] = static_cast<char>(c);
            if (c == '\n')
                break;
        }
    }
    if (cap > 0)
        buf[len] = '\0';
    std::fclose(file);
    return true;
}
