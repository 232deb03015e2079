// The settings files read so far, by path: each file's bytes are read once per version of the
// file and kept parsed, so a load of an unchanged file costs a stat and the look-ups. A version
// is known by device, inode, size and times. Those say nothing about an edit made within the
// same tick of the file system's clock as the version cached (a same-size edit in place keeps
// all of them on coarse clocks), so a file modified less than two seconds before it was read is
// read again at each access until a read finds it older; while its bytes stay the same, the
// look-ups already made are kept. At most four files are kept.
// Promises: a load never gives an older version than the last write of this process left
// (writes forget the path).
#pragma once

#include <memory>
#include <string>

#include "platform/posix/ini/format.h"

namespace ini {

enum class Load { Ok, Missing, Failed };

// The file at path: from the cache when the file is unchanged, else read afresh. Missing when
// there is no file; Failed when it cannot be read or is no regular file.
Load LoadFile(const string& path, std::shared_ptr<Parsed>* out);

// Drops what is kept of the file at path, so that the next load reads it afresh.
void CacheForget(const string& path);

} // namespace ini
