// The locks of one update (file_lock.h, whose chart and numbered promises this follows).
#include "platform/posix/file_lock.h"

#include <cerrno>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace file_lock {

namespace {

using std::string;

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

// Asks for an exclusive flock on fd until the deadline [3]. A blocking flock cannot be given a
// time limit without a signal handler, so it polls: 1 ms apart at first, growing to 4 ms.
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

// Opens the lock file at path, making it when there is none; *made tells which. For writing
// where it may be (NFS locks only files open for writing), else for reading (another user's lock
// file); a symbolic link is never followed. -1 on failure, *why then NotMade or Unusable.
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

// Takes the lock file at path (made when missing) by the deadline; *fd is then the held lock
// file. [6]: one removed by hand, or by an older launcher after each save. One made here that
// cannot be locked is removed again: it is of no use to anyone.
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

// Takes the lock of the file at path by the deadline; *fd is then the file, open for reading
// and writing where this process may write it (*writable), else for reading. [6]: a file renamed
// over by another update. O_NONBLOCK: a FIFO in the file's place must not hold the open up.
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

// False where the system refuses (fchown's result must be looked at when fortified).
bool SetGroup(int fd, gid_t gid) {
    return fchown(fd, static_cast<uid_t>(-1), gid) == 0;
}

// Gives the lock file open as fd the file's group and read and write bits [7]; its own read and
// write bits always, so that its maker can open it again.
void ShareLockFile(int fd, const struct stat& file) {
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0)
        return;
    if (st.st_gid != file.st_gid)
        (void)SetGroup(fd, file.st_gid);
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
    size_t slash = path.rfind('/');
    if (slash == string::npos)
        return "./." + path;
    return path.substr(0, slash + 1) + "." + path.substr(slash + 1);
}

} // namespace

void Release(Locks* locks) {
    for (int* fd : {&locks->fileFd, &locks->lockFd}) {
        if (*fd >= 0) {
            flock(*fd, LOCK_UN); // a forked child may hold a copy of the descriptor
            close(*fd);
            *fd = -1;
        }
    }
    locks->fileWritable = false;
}

// The one place that reads the chart (file_lock.h).
bool Take(const string& path, Locks* locks) {
    const string base = LockBase(path);
    const long long start = NowMs();
    int turn = -1;
    Lock name = Lock::Busy, file = Lock::Busy;
    if (TakeLockFile(base + ".turn.lock", start, &turn) != Lock::Busy)
        name = TakeLockFile(base + ".lock", start, &locks->lockFd);
    if (turn >= 0)
        flock(turn, LOCK_UN);
    if (name != Lock::Busy)
        file = TakeFileLock(path, start, &locks->fileFd, &locks->fileWritable);
    const bool held = name == Lock::Held || file == Lock::Held;
    const bool busy =
        name == Lock::Busy || file == Lock::Busy ||
        (!held && name == Lock::Unusable && (file == Lock::Missing || file == Lock::Unusable));
    struct stat st;
    if (!busy && (locks->fileFd >= 0 ? fstat(locks->fileFd, &st) : stat(path.c_str(), &st)) == 0) {
        ShareLockFile(turn, st);
        ShareLockFile(locks->lockFd, st);
    }
    if (turn >= 0)
        close(turn);
    if (busy)
        Release(locks);
    return !busy;
}

void ShareWithNewFile(const string& path, const Locks& locks) {
    struct stat made;
    if (stat(path.c_str(), &made) == 0) {
        ShareLockFile(locks.lockFd, made);
        ShareLockFileAt(LockBase(path) + ".turn.lock", made);
    }
}

} // namespace file_lock
