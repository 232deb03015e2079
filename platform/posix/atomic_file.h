// All-or-nothing replacement of a file, for any file of ours that must never be seen half
// written: the settings file, and whatever comes after it.
//
// An update follows the path's symbolic links (the file replaced is the one at the end of the
// chain, so links stay links) and takes the file's locks (file_lock.h: the chart of which lock
// answers what, and what the update then does). Replace writes the new contents to a temporary
// file ".<file name>.<pid>-<n>.tmp" beside the file, flushes it, renames it over the file and
// flushes the directory.
//
// Promises:
// 1. A reader, a crash or a power cut sees the old file or the new one, never a mix; every failed
//    step (no directory, no room, a file size limit, a rename refused) leaves the old file as it
//    was and no temporary file behind, and is reported.
// 2. A write past the file size limit fails (SIGXFSZ is held back while Replace writes).
// 3. A file nobody may write to (no write permission bit: the platform's read-only attribute),
//    or one this process may not write to, is not replaced.
// 4. A replacement keeps the file's group and mode wherever this process may set them; its owner
//    becomes this process's user where the owner cannot be kept.
// 5. A file with a second name (a hard link) is written in place, so all its names keep seeing
//    one file; so is a file this process may write but not replace (a directory with the sticky
//    bit, the file another user's; a directory that refuses new files). Such a write is not
//    all-or-nothing against a crash, nor against a failure after its first byte changed, which
//    Replace reports as such; room for it is claimed first, so a full disk or the size limit
//    fails before a byte changes wherever the file system can reserve room.
// 6. Temporary files of killed writers are removed by the next replacement.
#pragma once

#include "platform/posix/file_lock.h"

#include <string>
#include <string_view>

namespace atomic_file {

// An update of one file, from Begin to End.
struct Update {
    std::string path;       // the file replaced: the path given, its symbolic links followed
    int dirFd = -1;         // the file's directory
    file_lock::Locks locks; // the locks held
    bool busy = false;      // Begin gave up: the locks' chart says busy
};

// Starts an update of the file path names and takes its locks. False, with nothing to end,
// when the path's links loop, its directory cannot be opened, or (busy set) the locks' chart
// says busy.
bool Begin(const char* path, Update* u);

// Whether this process may write the file as far as its permissions go (or it is missing):
// Replace refuses the others.
bool MayWrite(const Update& u);

// Replaces the file with data (or creates it). False when the file may not be written or any
// step fails; *partly (when given) then tells a file written in place that may hold part of data.
bool Replace(const Update& u, std::string_view data, bool* partly = nullptr);

// Ends the update: lets go of the locks.
void End(Update* u);

} // namespace atomic_file
