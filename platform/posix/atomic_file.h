// All-or-nothing replacement of a file, for any file of ours that must never be seen half
// written: the settings file, and whatever comes after it.
//
// An update starts by following the path's symbolic links (the file replaced is the one at the
// end of the chain, so links stay links) and taking the file's lock: an exclusive lock on
// ".<file name>.lock" beside it, so that updates of one file from any number of processes take
// turns (fairly: they queue for ".<file name>.turn.lock" first). Replace writes the new contents to
// a temporary file ".<file name>.<pid>-<n>.tmp" beside the file, flushes it, renames it over the
// file and flushes the directory.
//
// Promises:
// - a reader, a crash or a power cut sees the old file or the new one, never a mix; every
//   failed step (no directory, no room, a file size limit, a rename refused) leaves the old file
//   as it was and no temporary file behind, and is reported;
// - a file nobody may write to (no write permission bit: the platform's read-only attribute),
//   or one this process may not write to, is not replaced;
// - an update waits at most two seconds for another process's lock, and then does not write;
// - a replacement keeps the file's group and mode wherever this process may set them; its owner
//   becomes this process's user where the owner cannot be kept;
// - a file with a second name (a hard link) is written in place, so all its names keep seeing
//   one file; such a file is not all-or-nothing against a crash;
// - temporary files of killed writers are removed by the next replacement; the lock files stay
//   (they hold nothing, and a killed holder's lock ends with it);
// - where the file system refuses locks (NFS without its lock service, some network and FUSE
//   file systems) an update goes ahead without one rather than not at all.
#pragma once

#include <string>
#include <string_view>

namespace atomic_file {

// An update of one file, from Begin to End.
struct Update {
    std::string path;     // the file replaced: the path given, its symbolic links followed
    int dirFd = -1;       // the file's directory
    int lockFd = -1;      // the held lock file; -1 while updating without a lock
    std::string lockPath; // where the lock file is
    bool busy = false;    // Begin gave up: another process held the lock too long
};

// Starts an update of the file path names and waits for its lock. False, with nothing to end,
// when the path's links loop, its directory cannot be opened, or (busy set) another process
// held the lock for longer than the wait allows.
bool Begin(const char* path, Update* u);

// Replaces the file with data (or creates it). False when the file may not be written or any
// step fails: then the file is as it was.
bool Replace(const Update& u, std::string_view data);

// Ends the update: lets go of the lock.
void End(Update* u);

// Begin, Replace and End in one.
bool Write(const char* path, std::string_view data);

} // namespace atomic_file
