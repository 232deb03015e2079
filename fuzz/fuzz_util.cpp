#include "fuzz_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

std::string g_dir;

void RemoveScratch() {
    std::error_code ec;
    if (!g_dir.empty())
        std::filesystem::remove_all(g_dir, ec);
}

} // namespace

const std::string& ScratchDir() {
    if (g_dir.empty()) {
        // In memory where possible: the store flushes every write to disk, which on a real
        // disk would make each run wait for it.
        char dir[] = "/dev/shm/qv-fuzz-XXXXXX";
        char fallback[] = "/tmp/qv-fuzz-XXXXXX";
        const char* made = mkdtemp(dir);
        if (made == nullptr)
            made = mkdtemp(fallback);
        if (made == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        g_dir = std::string(made) + "/";
        std::atexit(RemoveScratch);
    }
    return g_dir;
}

void PutFile(const std::string& path, const std::string& bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(fd);
}

void TouchNew(const std::string& path) {
    static long tick = 0;
    struct timespec times[2];
    times[0].tv_sec = 1000000000 + (++tick);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

void FuzzFail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    std::abort();
}
