#include "platform/posix/atomic_file.h"

#include <cerrno>
#include <cstdint>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
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

// What asking for one lock came to.
enum class Lock {
    Held,     // held now
    Busy,     // another process held it until the wait ran out
    NoLocks,  // the file system refuses locks
    NotMade,  // a lock file: there was none, and none can be made (nor any other new file there)
    Unusable, // it is there, but this process cannot lock it: a lock file that is a symbolic
              // link, a directory or another user's private file, or a descriptor the file
              // system will not lock (NFS locks only files open for writing)
    Missing,  // the settings file: there is none
    ReadOnly, // the settings file: this process may not write it, so cannot change it anyway
};

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
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS)
            return Lock::NoLocks;
        if (errno != EWOULDBLOCK)
            return Lock::Unusable;
        long long left = startMs + kLockWaitMs - NowMs();
        if (left <= 0)
            return Lock::Busy;
        SleepMs(step < left ? step : left);
        step = step < 4 ? step * 2 : 4;
    }
}

// Whether the descriptor fd and the path name one file.
bool SameFile(int fd, const string& path) {
    struct stat held, named;
    return fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Opens the lock file at path, making it when there is none; *made tells which. It is opened
// for writing where it may be (network file systems lock only files open for writing), else for
// reading: a lock file made by another user of a shared settings file may not be writable by
// this one, and a local lock needs no write access. A symbolic link is never followed. -1 on
// failure, *why then NotMade (none was there) or Unusable (one is there).
int OpenLockFile(const string& path, bool* made, Lock* why) {
    for (;;) {
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        *made = fd >= 0;
        if (fd >= 0)
            return fd;
        if (errno != EEXIST) {
            *why = Lock::NotMade;
            return -1;
        }
        fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == EACCES)
            fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) {
            *why = Lock::Unusable;
            return fd;
        }
    }
}

// Takes an exclusive flock on the lock file at path (made when missing) before kLockWaitMs have
// passed since startMs; *fd is then the held lock file. A lock file removed all the same (by
// hand, or by an older launcher, which removed it after each save) is noticed after the lock is
// had, and the one there now is taken instead. A lock file made here that cannot be locked is
// removed again: it is of no use to anyone.
Lock TakeLockFile(const string& path, long long startMs, int* fd) {
    *fd = -1;
    for (;;) {
        bool made = false;
        Lock got = Lock::Unusable;
        int lockFd = OpenLockFile(path, &made, &got);
        if (lockFd < 0)
            return got;
        got = AskLock(lockFd, startMs);
        if (got != Lock::Held && got != Lock::Busy && made)
            unlink(path.c_str());
        if (got != Lock::Held) {
            close(lockFd);
            return got;
        }
        if (SameFile(lockFd, path)) {
            *fd = lockFd;
            return Lock::Held;
        }
        close(lockFd); // removed while this process waited: take the one there now
    }
}

// Takes an exclusive flock on the file at path itself before kLockWaitMs have passed since
// startMs; *fd is then the file, open for reading and writing where this process may write it
// (*writable), else for reading. A file replaced while this process waited (renamed over by
// another update) is noticed after the lock is had, and the one there now is taken instead.
// O_NONBLOCK: a FIFO in the file's place must not hold the open up.
Lock TakeFileLock(const string& path, long long startMs, int* fd, bool* writable) {
    *fd = -1;
    for (;;) {
        bool rw = true;
        int fileFd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fileFd < 0 && (errno == EACCES || errno == EROFS || errno == ETXTBSY)) {
            rw = false;
            fileFd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        }
        if (fileFd < 0)
            return errno == ENOENT ? Lock::Missing : rw ? Lock::Unusable : Lock::ReadOnly;
        struct stat st;
        Lock got = Lock::Unusable;
        if (fstat(fileFd, &st) == 0 && S_ISREG(st.st_mode))
            got = AskLock(fileFd, startMs);
        if (got == Lock::Unusable && !rw)
            got = Lock::ReadOnly;
        if (got == Lock::Held && SameFile(fileFd, path)) {
            *fd = fileFd;
            *writable = rw;
            return Lock::Held;
        }
        close(fileFd);
        if (got != Lock::Held)
            return got;
        if (access(path.c_str(), F_OK) != 0 && errno == ENOENT)
            return Lock::Missing; // removed while this process waited
    }
}

// Changes a file's owner and group; false where the system refuses (fchown's result must be
// looked at when the library's calls are fortified).
bool SetOwner(int fd, uid_t uid, gid_t gid) {
    return fchown(fd, uid, gid) == 0;
}

// Gives the lock file open as fd the settings file's group and read and write bits (its own
// read and write bits always: its maker must be able to open it again), where this process may
// set them, so that whoever may save the settings file may also open its lock file for writing.
void ShareLockFile(int fd, const struct stat& file) {
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0)
        return;
    if (st.st_gid != file.st_gid)
        (void)SetOwner(fd, static_cast<uid_t>(-1), file.st_gid);
    const mode_t mode = (file.st_mode & 0666) | 0600;
    if ((st.st_mode & 07777) != mode)
        (void)fchmod(fd, mode);
}

// The same for the lock file at path, opened for this (a symbolic link is never followed).
void ShareLockFileAt(const string& path, const struct stat& file) {
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ShareLockFile(fd, file);
        close(fd);
    }
}

string LockBase(const string& path) {
    return DirOf(path) + "/." + BaseOf(path);
}

// Lets go of the locks u holds.
void Unlock(Update* u) {
    for (int* fd : {&u->fileFd, &u->lockFd}) {
        if (*fd >= 0) {
            flock(*fd, LOCK_UN); // a forked child may hold a copy of the descriptor
            close(*fd);
            *fd = -1;
        }
    }
    u->fileWritable = false;
}

// Takes the locks of u's file; the one place that decides which locks an update holds and
// whether it may go on. In this order, all within kLockWaitMs:
// 1. ".<file name>.turn.lock", held from before the next lock is asked for until it is had
//    (see atomic_file.h); one that cannot be had only costs that order;
// 2. ".<file name>.lock" beside the name given, the lock of every launcher;
// 3. the file itself, when it is there: the lock all its names share, and the one left where
//    the lock file cannot be opened.
// The update goes on when it holds the second or the third. Without either it goes on only
// where no lock could guard anything: the file system refuses locks, no lock file can be made
// (so no new file either), or this process may not write the file. It fails as busy when
// another process held a lock past the wait, or when a lock file is there that this process
// cannot open and there is no file to lock instead. The lock files stay after the update, so a
// waiter never holds the lock of a file that is gone; each gets the settings file's group and
// read and write bits where this process may set them.
bool TakeLocks(Update* u) {
    const string base = LockBase(u->path);
    const long long start = NowMs();
    int turn = -1;
    Lock name = Lock::Busy, file = Lock::Busy;
    if (TakeLockFile(base + ".turn.lock", start, &turn) != Lock::Busy)
        name = TakeLockFile(base + ".lock", start, &u->lockFd);
    if (turn >= 0)
        flock(turn, LOCK_UN);
    if (name != Lock::Busy)
        file = TakeFileLock(u->path, start, &u->fileFd, &u->fileWritable);
    const bool held = name == Lock::Held || file == Lock::Held;
    const bool busy =
        name == Lock::Busy || file == Lock::Busy ||
        (!held && name == Lock::Unusable && (file == Lock::Missing || file == Lock::Unusable));
    struct stat st;
    if (!busy && (u->fileFd >= 0 ? fstat(u->fileFd, &st) : stat(u->path.c_str(), &st)) == 0) {
        ShareLockFile(turn, st);
        ShareLockFile(u->lockFd, st);
    }
    if (turn >= 0)
        close(turn);
    if (busy) {
        Unlock(u);
        u->busy = true;
        return false;
    }
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

// Writes data over the file of u in place: through its locked descriptor when that is open for
// writing, else opened for this. A file with a second name (a hard link) is written this way,
// so that every name keeps seeing one file; a rename would give the new text to this name
// alone. Room for the new size is claimed first (see ClaimRoom); a crash, or a failure once the
// first byte changed, can leave the file part old, part new, and sets *partly.
bool Overwrite(const Update& u, const struct stat& old, string_view data, bool* partly) {
    int fd = u.fileWritable ? u.fileFd : open(u.path.c_str(), O_RDWR | O_CLOEXEC);
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
    if (fd != u.fileFd && close(fd) != 0)
        ok = false;
    return ok;
}

// Whether the rename over the file or the temporary file beside it failed for want of
// permission, not of room: a directory with the sticky bit keeps a file from all but its owner,
// and a directory may refuse new files while its files stay writable.
bool RefusedHere(int error) {
    return error == EPERM || error == EACCES;
}

// Replaces the file of u with data: temporary file, flush, rename, flush the directory. The
// rename is atomic, so a reader or a crash sees the old file or the new one, never a mix; the
// directory flush makes the rename itself survive a power cut right after the save. A file with
// a second name, and one whose directory refuses the replacement while the file may be written,
// is written in place instead.
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
    struct stat made;
    if (!exists && stat(path.c_str(), &made) == 0) {
        // The first save of the file: its lock files were made before it was there.
        ShareLockFile(u.lockFd, made);
        ShareLockFileAt(LockBase(path) + ".turn.lock", made);
    }
    return true;
}

// SIGXFSZ, which a write past the file size limit raises, ends the process unless it is
// handled: it is held back from this thread while a replacement writes, so that such a write
// fails with EFBIG instead, and one raised meanwhile is taken back before the old mask returns.
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
    if (!TakeLocks(u)) {
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
    Unlock(u);
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
