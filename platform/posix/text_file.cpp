// Reads a line as the Windows text stream delivers it, so that a ROM gives the same title on
// every build: carriage returns are dropped wherever they stand and a control-Z ends the data.
// Only bytes from the seek position on are looked at, as the stream reads from there.
#include "platform/text_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads up to size bytes at offset; returns the count, 0 at the end of the file or on error.
size_t ReadAt(int fd, char* chunk, size_t size, long offset) {
    ssize_t n;
    do {
        n = pread(fd, chunk, size, offset);
    } while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

} // namespace

bool ReadTextLineAt(const char* path, long offset, char* buf, int cap) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // A directory opens for reading here but is no file to read a line from.
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return false;
    }
    int len = 0;
    bool done = cap <= 0 || offset < 0;
    // Dropped carriage returns can make the line reach past the first chunk.
    char chunk[256];
    while (!done) {
        size_t got = ReadAt(fd, chunk, sizeof chunk, offset);
        if (got == 0)
            break;
        offset += static_cast<long>(got);
        for (size_t i = 0; i < got && !done; ++i) {
            char c = chunk[i];
            if (c == 0x1A) {
                done = true;
            } else if (c != '\r') {
                buf[len++] = c;
                done = c == '\n' || len == cap - 1;
            }
        }
    }
    if (cap > 0)
        buf[len] = '\0';
    close(fd);
    return true;
}
