// One line of a file read through the C runtime's text-mode stream: the runtime turns CR LF
// into LF and ends the data at the first control-Z. A carriage return that does not precede a
// line feed is dropped here as well, so every carriage return is dropped wherever it stands.
// Bytes as they stand are read through a binary stream.
#include "platform/text_file.h"

#include <cstdio>

#include <io.h>

bool ReadTextLineAt(const char* path, long offset, char* buf, int cap) {
    std::FILE* f = std::fopen(path, "r");
    if (!f)
        return false;
    int n = 0;
    if (cap > 0) {
        std::fseek(f, offset, SEEK_SET);
        while (n < cap - 1) {
            int c = std::fgetc(f);
            if (c == EOF)
                break;
            if (c == '\r')
                continue;
            buf[n++] = static_cast<char>(c);
            if (c == '\n')
                break;
        }
        buf[n] = '\0';
    }
    std::fclose(f);
    return true;
}

bool ReadFileBytes(const char* path, long long offset, unsigned char* buf, int size, int* got,
                   long long* fileSize) {
    *got = 0;
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    if (fileSize)
        *fileSize = _filelengthi64(_fileno(f));
    if (size > 0 && offset >= 0 && _fseeki64(f, offset, SEEK_SET) == 0)
        *got = static_cast<int>(std::fread(buf, 1, static_cast<size_t>(size), f));
    std::fclose(f);
    return true;
}
