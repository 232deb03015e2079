// The locks of one update of a file (atomic_file.h), so that updates of one file from any
// number of processes take turns. Three locks are asked for, in this order, against one
// deadline; what each answers decides what the update does, by the first row that matches:
//
//   ".<name>.turn.lock"    ".<name>.lock"      the file itself     the update
//   Busy                   (not asked)         (not asked)         fails as busy        [3]
//   any                    Busy                (not asked)         fails as busy        [3]
//   any                    any                 Busy                fails as busy        [3]
//   any                    Held                any                 writes, locked       [1]
//   any                    any                 Held                writes, locked       [1]
//   any                    Unusable            Missing, Unusable   fails as busy        [4]
//   any                    any                 any                 writes, no lock      [5]
//
// The turn lock is let go as soon as the other two are answered.
// Promises:
// 1. An update that writes holds the name lock or the file lock until it ends, so two updates of
//    one file never write at once. The file lock is the one all names of a file share (a hard
//    link elsewhere has lock files of its own), and the one left where a lock file is Unusable.
// 2. A process that ends an update and starts the next at once cannot take the locks again
//    ahead of the one holding the turn. The waiters poll, so beyond that they are not served in
//    the order they came.
// 3. An update waits at most kLockWaitMs for all its locks together, then does not write.
// 4. A lock file that is there but cannot be used, with no file to lock instead, never means
//    "no lock": the update fails as busy.
// 5. An update goes ahead without a lock only where no lock could guard anything: the file
//    system refuses locks (NFS without its lock service, some network and FUSE file systems), no
//    lock file can be made (nor, so, any new file), or this process may not write the file.
// 6. A lock file, or the file, removed or replaced while this process waited is noticed once the
//    lock is had, and the one there now is taken instead.
// 7. The lock files stay after the update (they hold nothing, and a killed holder's lock ends
//    with it), so a waiter never holds the lock of a file that is gone. Each gets the file's
//    group and read and write bits wherever this process may set them (its own read and write
//    bits always), so whoever may save the file may also open its lock files for writing.
#pragma once

#include <string>

namespace file_lock {

constexpr long long kLockWaitMs = 2000;

// What asking for one lock came to.
enum class Lock {
    Held,     // held now
    Busy,     // another process held it until the wait ran out
    NoLocks,  // the file system refuses locks
    NotMade,  // a lock file: there was none, and none can be made (nor any other new file there)
    Unusable, // it is there, but this process cannot lock it: a lock file that is a symbolic
              // link, a directory or another user's private file, or a descriptor the file
              // system will not lock (NFS locks only files open for writing)
    Missing,  // the file: there is none
    ReadOnly, // the file: this process may not write it, so cannot change it anyway
};

// The locks an update holds.
struct Locks {
    int lockFd = -1;           // the name lock's file; -1 when not held
    int fileFd = -1;           // the file itself, its lock held; -1 when not held
    bool fileWritable = false; // fileFd is open for reading and writing
};

// Takes the locks of the file at path (its symbolic links already followed) by the chart. False
// when the update fails as busy; then nothing is held.
bool Take(const std::string& path, Locks* locks);

// Lets go of the locks.
void Release(Locks* locks);

// After the update made the file: the lock files, made before it, get its group and bits [7].
void ShareWithNewFile(const std::string& path, const Locks& locks);

} // namespace file_lock
