#pragma once
#include <string>
#include <vector>

#include "platform/limits.h"
#include "platform/text_copy.h"

// Names (without directory) of the plain files of the directory text dir (normally ending in
// its separator) matching any of patterns (wildcards such as "*.bin"), in the order the
// cartridge list shows them: one merged list sorted without regard to case, each name once.
void ListMatchingFiles(const char* dir, const char* const* patterns, int count,
                       std::vector<std::string>* names);

// The pattern path of pattern: dir followed by pattern, into path (kPathMax bytes). False, with
// path empty, when the directory text leaves no room for the pattern: then nothing is listed for
// it, rather than a cut-off pattern in some other directory.
inline bool BuildPatternPath(char* path, const char* dir, const char* pattern) {
    if (CopyText(path, kPathMax, dir) && AppendText(path, kPathMax, pattern))
        return true;
    path[0] = '\0';
    return false;
}
