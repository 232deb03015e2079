// All-or-nothing replacement of a file, for any file of ours that must never be seen half
// written: the settings file, and whatever comes after it.
//
// An update starts by following the path's symbolic links (the file replaced is the one at the
// end of the chain, so links stay links) and taking the file's locks, so that updates of one
// file from any number of processes take turns:
// - an exclusive lock on ".<file name>.lock" beside it, the lock every launcher takes;
// - an exclusive lock on the file itself, when it is there: the one lock all names of a file
//   share (a hard link in another directory has lock files of its own), and the one that still
//   guards the file where a lock file cannot be opened (a symbolic link, a directory, another
//   user's private file in its place);
// - while it asks for those, a lock on ".<file name>.turn.lock": a process that ends an update
//   and starts the next at once cannot take the file's lock again ahead of the one holding the
//   turn. The waiters poll, so beyond that they are not served in the order they came.
// Replace writes the new contents to a temporary file ".<file name>.<pid>-<n>.tmp" beside the
// file, flushes it, renames it over the file and flushes the directory.
//
// Promises:
// - a reader, a crash or a power cut sees the old file or the new one, never a mix; every
//   failed step (no directory, no room, a file size limit, a rename refused) leaves the old file
//   as it was and no temporary file behind, and is reported;
// - a write past the file size limit fails (SIGXFSZ is held back while Replace writes);
// - a file nobody may write to (no write permission bit: the platform's read-only attribute),
//   or one this process may not write to, is not replaced;
// - an update waits at most two seconds for another process's locks, and then does not write;
// - a replacement keeps the file's group and mode wherever this process may set them; its owner
//   becomes this process's user where the owner cannot be kept;
// - a file with a second name (a hard link) is written in place, so all its names keep seeing
//   one file; so is a file this process may write but not replace (a directory with the sticky
//   bit, the file another user's; a directory that refuses new files). Such a write is not
//   all-or-nothing against a crash, nor against a failure after its first byte changed, which
//   Replace reports as such; room for it is claimed first, so a full disk or the size limit
//   fails before a byte changes wherever the file system can reserve room;
// - temporary files of killed writers are removed by the next replacement; the lock files stay
//   (they hold nothing, and a killed holder's lock ends with it); each gets the file's group and
//   read and write bits wherever this process may set them;
// - an update goes ahead without a lock only where the file system refuses locks (NFS without
//   its lock service, some network and FUSE file systems), or where this process could not
//   change what the lock guards; a lock file that is there but cannot be opened, with no file
//   to lock instead, makes the update fail as busy.
#pragma once

#include <string>
#include <string_view>

namespace atomic_file {

// An update of one file, from Begin to End.
struct Update {
    std::string path;          // the file replaced: the path given, its symbolic links followed
    int dirFd = -1;            // the file's directory
    int lockFd = -1;           // the held lock file ".<file name>.lock"; -1 when not held
    int fileFd = -1;           // the file itself, its lock held; -1 when it is not held
    bool fileWritable = false; // fileFd is open for reading and writing
    bool busy = false;         // Begin gave up: another process held a lock too long
};

// Starts an update of the file path names and takes its locks. False, with nothing to end,
// when the path's links loop, its directory cannot be opened, or (busy set) another process
// held a lock for longer than the wait allows or has a lock file this process cannot open.
bool Begin(const char* path, Update* u);

// Whether this process may write the file as far as its permissions go (or it is missing):
// Replace refuses the others.
bool MayWrite(const Update& u);

// Replaces the file with data (or creates it). False when the file may not be written or any
// step fails: then the file is as it was, unless it was being written in place and the failure
// came after its bytes began to change; then *partly (when given) is set, and the file may hold
// part of data.
bool Replace(const Update& u, std::string_view data, bool* partly = nullptr);

// Ends the update: lets go of the locks.
void End(Update* u);

// Begin, Replace and End in one.
bool Write(const char* path, std::string_view data);

} // namespace atomic_file
