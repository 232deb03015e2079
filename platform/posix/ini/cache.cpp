#include "platform/posix/ini/cache.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ini {

namespace {

constexpr long kRecentSeconds = 2;

struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime {};
    struct timespec ctime {};
};

bool SameStamp(const FileStamp& a, const FileStamp& b) {
    return a.dev == b.dev && a.ino == b.ino && a.size == b.size &&
           a.mtime.tv_sec == b.mtime.tv_sec && a.mtime.tv_nsec == b.mtime.tv_nsec &&
           a.ctime.tv_sec == b.ctime.tv_sec && a.ctime.tv_nsec == b.ctime.tv_nsec;
}

FileStamp StampOf(const struct stat& st) {
    FileStamp s;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
}

// Whether a stamp read at readStart tells every later edit apart: the file was last modified
// more than kRecentSeconds before.
bool Settled(const FileStamp& s, const struct timespec& readStart) {
    long long secs = static_cast<long long>(readStart.tv_sec) - s.mtime.tv_sec;
    return secs > kRecentSeconds || (secs == kRecentSeconds && readStart.tv_nsec > s.mtime.tv_nsec);
}

struct CacheEntry {
    string path;
    FileStamp stamp;
    bool settled = false;
    std::shared_ptr<Parsed> parsed;
};

constexpr size_t kCacheFiles = 4;
std::vector<CacheEntry> gCache; // most recently used first

// Reads the rest of the file into *buf (not cleared first); size is what fstat said, so that
// one read usually takes it all. *len is what was read.
bool ReadAll(int fd, off_t size, std::unique_ptr<char[]>* buf, size_t* len) {
    size_t cap = static_cast<size_t>(size > 0 ? size : 0) + 1; // + 1: a file that grew shows
    std::unique_ptr<char[]> b(new char[cap]);
    size_t done = 0;
    for (;;) {
        if (done == cap) {
            std::unique_ptr<char[]> more(new char[2 * cap]);
            memcpy(more.get(), b.get(), done);
            b = std::move(more);
            cap *= 2;
        }
        ssize_t n = read(fd, b.get() + done, cap - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    *buf = std::move(b);
    *len = done;
    return true;
}

std::shared_ptr<Parsed> CacheLookup(const string& path, const FileStamp& st, bool* settled) {
    for (size_t i = 0; i < gCache.size(); ++i) {
        if (gCache[i].path == path && SameStamp(gCache[i].stamp, st)) {
            std::rotate(gCache.begin(), gCache.begin() + i, gCache.begin() + i + 1);
            *settled = gCache[0].settled;
            return gCache[0].parsed;
        }
    }
    return nullptr;
}

void CacheStore(const string& path, const FileStamp& st, bool settled,
                std::shared_ptr<Parsed> parsed) {
    for (size_t i = 0; i < gCache.size(); ++i) {
        if (gCache[i].path == path) {
            gCache.erase(gCache.begin() + i);
            break;
        }
    }
    gCache.insert(gCache.begin(), CacheEntry{path, st, settled, std::move(parsed)});
    if (gCache.size() > kCacheFiles)
        gCache.pop_back();
}

} // namespace

void CacheForget(const string& path) {
    for (size_t i = 0; i < gCache.size(); ++i) {
        if (gCache[i].path == path) {
            gCache.erase(gCache.begin() + i);
            return;
        }
    }
}

Load LoadFile(const string& path, std::shared_ptr<Parsed>* out) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? Load::Missing : Load::Failed;
    if (!S_ISREG(st.st_mode))
        return Load::Failed;
    bool settled = false;
    std::shared_ptr<Parsed> hit = CacheLookup(path, StampOf(st), &settled);
    if (hit && settled) {
        *out = hit;
        return Load::Ok;
    }
    struct timespec readStart {};
    clock_gettime(CLOCK_REALTIME, &readStart);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Load::Missing : Load::Failed;
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadAll(fd, st.st_size, &bytes, &size);
    close(fd);
    if (!ok)
        return Load::Failed;
    std::shared_ptr<Parsed> parsed = MakeParsed(std::move(bytes), size);
    if (parsed->data.size() >= UINT32_MAX)
        return Load::Failed; // offsets are 32-bit; a settings file is never near this size
    // The same text again (a recent version read once more): its look-ups stay good.
    if (hit && hit->form == parsed->form && hit->data == parsed->data)
        parsed = hit;
    // Only a file that did not change while it was read is worth keeping.
    if (static_cast<off_t>(size) == st.st_size)
        CacheStore(path, StampOf(st), Settled(StampOf(st), readStart), parsed);
    *out = parsed;
    return Load::Ok;
}

} // namespace ini
