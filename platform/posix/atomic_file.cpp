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

// The longest an update waits for another process's lock on the file.
constexpr long long kLockWaitMs = 2000;

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
// It is opened for writing where it may be (network file systems lock only files open for
// writing), else for reading: a lock file made by another user of a shared settings file may
// not be writable by this one, and a local lock needs no write access.
int OpenLockFile(const string& path, bool* made) {
    for (;;) {
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        *made = fd >= 0;
        if (fd >= 0 || errno != EEXIST)
            return fd;
        fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == EACCES)
            fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT)
            return fd;
    }
}

// Changes a file's owner and group; false where the system refuses (fchown's result must be
// looked at when the library's calls are fortified).
bool SetOwner(int fd, uid_t uid, gid_t gid) {
    return fchown(fd, uid, gid) == 0;
}

// A new lock file gets the settings file's group and read and write bits, where this process
// may set them, so that whoever may save the settings file may also open its lock file (its
// maker always may, even where the settings file is read-only for now).
void ShareLockFile(int lockFd, const string& file) {
    struct stat st;
    if (stat(file.c_str(), &st) != 0)
        return;
    (void)SetOwner(lockFd, static_cast<uid_t>(-1), st.st_gid);
    (void)fchmod(lockFd, (st.st_mode & 0666) | 0600);
}

long long NowMs() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void SleepMs(long long ms) {
    struct timespec t = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

enum class Lock { Held, Refused, Busy };

// Asks for an exclusive flock on fd until kLockWaitMs have passed since startMs. It polls
// rather than blocks: a blocking flock cannot be given a time limit without a signal handler,
// and the launcher's window must not hang on another process's save. The polls start 1 ms apart
// and grow to 4 ms, so a short save of another launcher costs little delay.
Lock AskLock(int fd, long long startMs) {
    long long step = 1;
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            return Lock::Held;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return Lock::Refused;
        long long left = startMs + kLockWaitMs - NowMs();
        if (left <= 0)
            return Lock::Busy;
        SleepMs(step < left ? step : left);
        step = step < 4 ? step * 2 : 4;
    }
}

// Takes an exclusive flock on the lock file at path (made when missing) for an update of file,
// before kLockWaitMs have passed since startMs; *fd is then the held lock file. A lock file
// removed all the same (by hand, or by an older launcher, which removed it after each save) is
// noticed after the lock is had, and the one there now is taken instead. Refused, with *fd -1,
// where no lock can be had: the file system refuses locks, or no lock file can be made.
Lock TakeLockFile(const string& path, const string& file, long long startMs, int* fd) {
    *fd = -1;
    for (;;) {
        bool made = false;
        int lockFd = OpenLockFile(path, &made);
        if (lockFd < 0)
            return Lock::Refused;
        if (made)
            ShareLockFile(lockFd, file);
        Lock got = AskLock(lockFd, startMs);
        if (got == Lock::Refused && made)
            unlink(path.c_str()); // of no use to anyone here
        if (got != Lock::Held) {
            close(lockFd);
            return got;
        }
        struct stat held, named;
        if (fstat(lockFd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            *fd = lockFd;
            return Lock::Held;
        }
        close(lockFd); // removed while this process waited: take the one there now
    }
}

// Takes the lock of u's file: an exclusive flock on ".<file name>.lock" beside it. The lock
// files stay after the update, so a waiter never holds the lock of a file that is gone.
// Waiters take turns through a second lock, ".<file name>.turn.lock": an update holds it from
// before it asks for the file's lock until it has that lock. So a process that has just ended an
// update and starts the next cannot take the file's lock again at once while others poll for
// it: one of them holds the turn and gets the lock next. Where no lock can be had the update
// goes on without one: Replace needs a new file beside the file anyway, so it still fails where
// nothing can be written. False, with u->busy set, when other processes held the locks for
// longer than kLockWaitMs.
bool TakeLock(Update* u) {
    const string base = DirOf(u->path) + "/." + BaseOf(u->path);
    const long long start = NowMs();
    int turn = -1, fd = -1;
    Lock got = TakeLockFile(base + ".turn.lock", u->path, start, &turn);
    if (got != Lock::Busy)
        got = TakeLockFile(base + ".lock", u->path, start, &fd);
    if (turn >= 0) {
        flock(turn, LOCK_UN);
        close(turn);
    }
    if (got == Lock::Busy) {
        u->busy = true;
        return false;
    }
    u->lockFd = fd;
    if (fd >= 0)
        u->lockPath = base + ".lock";
    return true;
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

// Writes data over the file at path in place. A file with a second name (a hard link) is
// written this way, so that every name keeps seeing one file; a rename would give the new text
// to this name alone. Room for the new size is claimed first, so a full disk or a file size
// limit fails before a byte changes; a crash during the write can leave the file part old, part
// new.
bool Overwrite(const string& path, const struct stat& old, string_view data) {
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const off_t size = static_cast<off_t>(data.size());
    bool ok = true;
    if (size > old.st_size) {
        int r;
        while ((r = posix_fallocate(fd, 0, size)) == EINTR) {
        }
        ok = r == 0 || r == EOPNOTSUPP || r == EINVAL;
    }
    size_t done = 0;
    while (ok && done < data.size()) {
        ssize_t n = pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<size_t>(n);
    }
    ok = ok && ftruncate(fd, size) == 0 && fsync(fd) == 0;
    if (close(fd) != 0)
        ok = false;
    return ok;
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
    if (exists && S_ISREG(old.st_mode) && old.st_nlink > 1)
        return Overwrite(path, old, data);
    RemoveStaleTemps(u.dirFd, path);
    string tmp;
    int fd = CreateTemp(path, &tmp);
    if (fd < 0)
        return false;
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
