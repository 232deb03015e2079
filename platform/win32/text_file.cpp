// One line of a file read through the C runtime's text-mode stream: the runtime turns CR LF
// into LF and ends the data at the first control-Z. A carriage return that does not precede a
// line feed is dropped here as well, so every carriage return is dropped wherever it stands.
#include "platform/text_file.h"

#include <cstdio>

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
