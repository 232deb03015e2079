// The replacement of a file (atomic_file.h); its locks are file_lock.cpp's.
#include "platform/posix/atomic_file.h"

#include "platform/posix/file_lock.h"

#include <cerrno>
#include <cstdint>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace atomic_file {

namespace {

using std::string;
using std::string_view;

// ---- Paths -------------------------------------------------------------------------------------
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

// The file a path names: the end of its chain of symbolic links (a relative link read from the
// link's own directory), which need not exist yet. False for a loop.
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

// ---- Temporary files ---------------------------------------------------------------------------
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

// [6]: ours by name, and written by a process that no longer exists or more than a minute ago,
// so not those of an update in progress (one without a lock, where there is none to be had).
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

// ---- The write check ---------------------------------------------------------------------------
// Whether an update may replace the file at path [3], even for the superuser, whom the system
// would let write. The rename would need only the directory, so this is asked first.
bool MayReplace(const string& path, const struct stat& st) {
    if ((st.st_mode & 0222) == 0)
        return false;
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// ---- In-place writes ---------------------------------------------------------------------------
// Makes sure size bytes of the file open as fd (now oldSize bytes) can be written before a byte
// changes, so that the file size limit or a full disk fails first. Every byte from the limit on
// would be refused, so that is compared here. Room for a longer file is reserved without
// growing it, so a reader never sees the reservation as zero bytes at its end; a file system
// without reservations (NFSv3, many FUSE file systems) goes on without one.
bool ClaimRoom(int fd, off_t oldSize, off_t size) {
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(size) > limit.rlim_cur)
        return false;
    if (size <= oldSize)
        return true;
    while (fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0) {
        if (errno != EINTR)
            return errno == EOPNOTSUPP || errno == ENOSYS;
    }
    return true;
}

// Writes data over the file of u in place [5]: through its locked descriptor when that is open
// for writing, else opened for this. A failure once the first byte changed sets *partly.
bool Overwrite(const Update& u, const struct stat& old, string_view data, bool* partly) {
    int fd = u.locks.fileWritable ? u.locks.fileFd : open(u.path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == EACCES)
        fd = open(u.path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const off_t size = static_cast<off_t>(data.size());
    bool ok = ClaimRoom(fd, old.st_size, size);
    size_t done = 0;
    while (ok && done < data.size()) {
        ssize_t n = pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        // A write refused for room changed nothing; any other failure may have.
        if (n > 0 || (errno != ENOSPC && errno != EDQUOT && errno != EFBIG))
            *partly = true;
        ok = n > 0;
        if (ok)
            done += static_cast<size_t>(n);
    }
    if (ok && size != old.st_size)
        *partly = true; // so does the truncation
    ok = ok && ftruncate(fd, size) == 0 && fsync(fd) == 0;
    if (fd != u.locks.fileFd && close(fd) != 0)
        ok = false;
    return ok;
}

// ---- Replacement -------------------------------------------------------------------------------
// False where the system refuses (fchown's result must be looked at when fortified).
bool SetOwner(int fd, uid_t uid, gid_t gid) {
    return fchown(fd, uid, gid) == 0;
}

// Whether the rename over the file or the temporary file beside it failed for want of
// permission, not of room: a directory with the sticky bit keeps a file from all but its owner,
// and a directory may refuse new files while its files stay writable.
bool RefusedHere(int error) {
    return error == EPERM || error == EACCES;
}

// Replaces the file of u with data [1], or writes it in place [5]. The directory flush makes
// the rename itself survive a power cut right after the save.
bool Put(const Update& u, string_view data, bool* partly) {
    const string& path = u.path;
    struct stat old;
    bool exists = stat(path.c_str(), &old) == 0;
    if ((!exists && errno != ENOENT) || (exists && !MayReplace(path, old)))
        return false;
    const bool inPlace = exists && S_ISREG(old.st_mode);
    if (inPlace && old.st_nlink > 1)
        return Overwrite(u, old, data, partly);
    RemoveStaleTemps(u.dirFd, path);
    string tmp;
    int fd = CreateTemp(path, &tmp);
    if (fd < 0)
        return inPlace && RefusedHere(errno) && Overwrite(u, old, data, partly);
    bool ok = true;
    if (exists) {
        // Keeps owner and group when allowed to, else the group alone (a member of the file's
        // group may set it); the mode is set after, as a change of owner clears its set-ID bits.
        if (!SetOwner(fd, old.st_uid, old.st_gid))
            (void)SetOwner(fd, static_cast<uid_t>(-1), old.st_gid);
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && WriteAllFd(fd, data) && fsync(fd) == 0;
    if (close(fd) != 0)
        ok = false;
    if (ok && rename(tmp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(tmp.c_str());
        return inPlace && RefusedHere(error) && Overwrite(u, old, data, partly);
    }
    if (!ok) {
        unlink(tmp.c_str());
        return false;
    }
    (void)fsync(u.dirFd);
    if (!exists)
        file_lock::ShareWithNewFile(path, u.locks);
    return true;
}

// [2]: SIGXFSZ would end the process; held back from this thread, the write fails with EFBIG,
// and one raised meanwhile is taken back before the old mask returns.
void HoldSizeSignal(sigset_t* old) {
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &only, old);
}

void ReleaseSizeSignal(const sigset_t& old) {
    sigset_t only, pending;
    sigemptyset(&only);
    sigaddset(&only, SIGXFSZ);
    if (!sigismember(&old, SIGXFSZ) && sigpending(&pending) == 0 &&
        sigismember(&pending, SIGXFSZ)) {
        const struct timespec now = {0, 0};
        while (sigtimedwait(&only, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

} // namespace

bool Begin(const char* path, Update* u) {
    if (!path || !*path || !FollowLinks(path, &u->path))
        return false;
    u->dirFd = open(DirOf(u->path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (u->dirFd < 0)
        return false;
    if (!file_lock::Take(u->path, &u->locks)) {
        u->busy = true;
        close(u->dirFd);
        u->dirFd = -1;
        return false;
    }
    return true;
}

bool MayWrite(const Update& u) {
    struct stat st;
    if (stat(u.path.c_str(), &st) != 0)
        return errno == ENOENT;
    return MayReplace(u.path, st);
}

bool Replace(const Update& u, string_view data, bool* partly) {
    bool torn = false;
    sigset_t old;
    HoldSizeSignal(&old);
    bool ok = Put(u, data, &torn);
    ReleaseSizeSignal(old);
    if (partly)
        *partly = !ok && torn;
    return ok;
}

void End(Update* u) {
    file_lock::Release(&u->locks);
    if (u->dirFd >= 0) {
        close(u->dirFd);
        u->dirFd = -1;
    }
}

} // namespace atomic_file
