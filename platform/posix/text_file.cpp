// Reads a line as the Windows text stream delivers it, so that a ROM gives the same title on
// every build: carriage returns are dropped wherever they stand and a control-Z ends the data.
// Only bytes from the seek position on are looked at, as the stream reads from there. Also
// reads bytes as they stand, for file layouts that must be looked at before the text.
#include "platform/text_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads up to size bytes at offset; returns the count, 0 at the end of the file, -1 on error.
ssize_t ReadAt(int fd, void* chunk, size_t size, off_t offset) {
    ssize_t n;
    do {
        n = pread(fd, chunk, size, offset);
    } while (n < 0 && errno == EINTR);
    return n;
}

bool IsDirectory(int fd) {
    struct stat info;
    return fstat(fd, &info) != 0 || S_ISDIR(info.st_mode);
}

} // namespace

bool ReadTextLineAt(const char* path, long offset, char* buf, int cap) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int len = 0;
    bool done = cap <= 1 || offset < 0;
    // A directory opens for reading here but is no file to read a line from: its first read
    // fails with EISDIR (checked apart when nothing is to be read).
    if (done && IsDirectory(fd)) {
        close(fd);
        return false;
    }
    // Dropped carriage returns can make the line reach past the first chunk.
    char chunk[256];
    while (!done) {
        ssize_t got = ReadAt(fd, chunk, sizeof chunk, offset);
        if (got < 0 && errno == EISDIR) {
            close(fd);
            return false;
        }
        if (got <= 0)
            break;
        offset += static_cast<long>(got);
        for (ssize_t i = 0; i < got && !done; ++i) {
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

bool ReadFileBytes(const char* path, long long offset, unsigned char* buf, int size, int* got,
                   long long* fileSize) {
    *got = 0;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = true;
    // A read may return fewer bytes than asked before the end of the file; 0 is the end.
    while (offset >= 0 && *got < size) {
        ssize_t n = ReadAt(fd, buf + *got, static_cast<size_t>(size - *got),
                           static_cast<off_t>(offset + *got));
        if (n < 0)
            ok = errno != EISDIR; // a directory opens for reading but is no file
        if (n <= 0)
            break;
        *got += static_cast<int>(n);
    }
    if (ok && fileSize) {
        struct stat info;
        ok = fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
        *fileSize = ok ? static_cast<long long>(info.st_size) : 0;
    }
    close(fd);
    if (!ok)
        *got = 0;
    return ok;
}
