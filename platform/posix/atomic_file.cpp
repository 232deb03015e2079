#include "platform/posix/atomic_file.h"

#include <cerrno>
#include <cstdint>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace atomic_file {

namespace {

using std::string;
using std::string_view;

string DirOf(const string& path) {
    size_t slash = path.rfind('/');
    if (slash == string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

string BaseOf(const string& path) {
    size_t slash = path.rfind('/');
    return slash == string::npos ? path : path.substr(slash + 1);
}

bool WriteAllFd(int fd, string_view data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Temporary files are named ".<file name>.<pid>-<attempt>.tmp", beside the file.
string TempPrefix(const string& path) {
    string prefix = ".";
    prefix += BaseOf(path);
    prefix += '.';
    return prefix;
}

// Creates a fresh temporary file beside the file at path; -1 on failure.
int CreateTemp(const string& path, string* tmpPath) {
    string base = DirOf(path) + "/" + TempPrefix(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        string name = base + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *tmpPath = name;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// Reads the decimal number at the start of s into *v; false when there is none or it does not
// fit a pid.
bool TakeNumber(string_view* s, long long* v) {
    size_t n = 0;
    *v = 0;
    while (n < s->size() && n < 10 && (*s)[n] >= '0' && (*s)[n] <= '9')
        *v = *v * 10 + ((*s)[n++] - '0');
    if (n == 0 || (n < s->size() && (*s)[n] >= '0' && (*s)[n] <= '9'))
        return false;
    s->remove_prefix(n);
    return true;
}

// The writer's pid when name is one of our temporary files of the file whose names start
// with prefix; 0 when the pid part is out of range; -1 when it is not such a file.
long long TempWriter(string_view name, const string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return -1;
    name.remove_prefix(prefix.size());
    long long pid = 0, attempt = 0;
    if (!TakeNumber(&name, &pid) || name.empty() || name[0] != '-')
        return -1;
    name.remove_prefix(1);
    if (!TakeNumber(&name, &attempt) || name != ".tmp")
        return -1;
    return (pid > 0 && pid <= INT32_MAX) ? pid : 0;
}

constexpr time_t kStaleTempSeconds = 60;

// Removes temporary files a killed writer left beside the file at path: ours by name, and
// written by a process that no longer exists or more than a minute ago, so not those of an
// update in progress (one without the lock, where there is none to be had).
void RemoveStaleTemps(int dirFd, const string& path) {
    int fd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            close(fd);
        return;
    }
    const string prefix = TempPrefix(path);
    time_t now = time(nullptr);
    while (struct dirent* e = readdir(dir)) {
        long long pid = TempWriter(e->d_name, prefix);
        if (pid < 0)
            continue;
        struct stat st;
        if (fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        bool gone = pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
        if (gone || now - st.st_mtim.tv_sec > kStaleTempSeconds)
            unlinkat(dirFd, e->d_name, 0);
    }
    closedir(dir);
}

// Whether an update may replace the file at path. The platform refuses a file with its read-only
// attribute, which a file has when nobody may write to it (no write permission bit at all), even
// for the superuser, whom the system would let write; and a file this process may not write to.
// The rename would go through either way (it needs only the directory), so this is asked first.
bool MayReplace(const string& path, const struct stat& st) {
    if ((st.st_mode & 0222) == 0)
        return false;
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Opens the lock file at path, making it when there is none; *made tells which. -1 on failure.
int OpenLockFile(const string& path, bool* made) {
    for (;;) {
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        *made = fd >= 0;
        if (fd >= 0 || errno != EEXIST)
            return fd;
        fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT)
            return fd;
    }
}

// Takes the lock of u's file: an exclusive flock on ".<file name>.lock" beside it, opened for
// writing (network file systems lock only files open for writing). The holder removes the lock
// file before letting go, so a waiter that gets the lock of a removed file takes the one there
// now. Where no lock can be had (the file system refuses locks, or no lock file can be made) the
// update goes on without one: Replace needs a new file beside the file anyway, so it still
// fails where nothing can be written. False only when the lock file kept changing meanwhile.
bool TakeLock(Update* u) {
    string path = DirOf(u->path) + "/." + BaseOf(u->path) + ".lock";
    for (int attempt = 0; attempt < 100; ++attempt) {
        bool made = false;
        int fd = OpenLockFile(path, &made);
        if (fd < 0)
            return true;
        int r;
        while ((r = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (r != 0) {
            if (made)
                unlink(path.c_str()); // of no use to anyone here
            close(fd);
            return true;
        }
        struct stat held, named;
        if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            u->lockFd = fd;
            u->lockPath = path;
            return true;
        }
        close(fd); // removed by the update that held it: take the one there now
    }
    return false;
}

// The file a path names: the path itself, or the end of its chain of symbolic links (a
// relative link read from the link's own directory), which need not exist yet. An update
// replaces that file, so the links stay links and their target is what changes. False for a
// loop.
bool FollowLinks(const string& path, string* file) {
    string at = path;
    for (int hop = 0; hop < 40; ++hop) {
        char target[4096];
        ssize_t n = readlink(at.c_str(), target, sizeof target);
        if (n < 0) {
            *file = at; // not a link (or nothing there): this is the file
            return true;
        }
        if (n == 0 || static_cast<size_t>(n) == sizeof target)
            return false;
        at = target[0] == '/' ? string(target, static_cast<size_t>(n))
                              : DirOf(at) + "/" + string(target, static_cast<size_t>(n));
    }
    return false;
}

} // namespace

bool Begin(const char* path, Update* u) {
    if (!path || !*path || !FollowLinks(path, &u->path))
        return false;
    u->dirFd = open(DirOf(u->path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (u->dirFd < 0)
        return false;
    if (!TakeLock(u)) {
        close(u->dirFd);
        u->dirFd = -1;
        return false;
    }
    return true;
}

// Replaces the file at path with data: temporary file, flush, rename, flush the directory. The
// rename is atomic, so a reader or a crash sees the old file or the new one, never a mix; the
// directory flush makes the rename itself survive a power cut right after the save.
bool Replace(const Update& u, string_view data) {
    const string& path = u.path;
    struct stat old;
    bool exists = stat(path.c_str(), &old) == 0;
    if ((!exists && errno != ENOENT) || (exists && !MayReplace(path, old)))
        return false;
    RemoveStaleTemps(u.dirFd, path);
    string tmp;
    int fd = CreateTemp(path, &tmp);
    if (fd < 0)
        return false;
    bool ok = true;
    if (exists) {
        (void)fchown(fd, old.st_uid, old.st_gid); // keeps the owner when allowed to
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && WriteAllFd(fd, data) && fsync(fd) == 0;
    if (close(fd) != 0)
        ok = false;
    ok = ok && rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(tmp.c_str());
        return false;
    }
    (void)fsync(u.dirFd);
    return true;
}

void End(Update* u) {
    if (u->lockFd >= 0) {
        unlink(u->lockPath.c_str());
        flock(u->lockFd, LOCK_UN); // a forked child may hold a copy of the descriptor
        close(u->lockFd);
        u->lockFd = -1;
    }
    if (u->dirFd >= 0) {
        close(u->dirFd);
        u->dirFd = -1;
    }
}

bool Write(const char* path, string_view data) {
    Update u;
    if (!Begin(path, &u))
        return false;
    bool ok = Replace(u, data);
    End(&u);
    return ok;
}

} // namespace atomic_file
