// The rules of the first-run file dialog that need no window: which files its list offers
// and what a name typed into its file-name field stands for.
#pragma once
#include <string>

// True when name matches one of the ';'-separated patterns ("*.bin;*.md"), in any case.
bool MatchesFilter(const char* name, const char* patterns);

// path (absolute) with empty, "." and ".." parts taken out and no trailing '/' (except "/").
std::string NormalizePath(const std::string& path);

enum class TypedPath {
    Empty,     // nothing typed
    Directory, // an existing directory: the dialog shows it
    File,      // a file in an existing directory (the file itself need not exist)
    Refused,   // its directory does not exist, or a trailing '/' names no directory
};

// What the text typed into the file-name field names: an absolute path, or a path relative to
// the directory the dialog shows (shownDir, absolute). full receives the normalised path.
TypedPath ResolveTypedPath(const std::string& shownDir, const std::string& typed,
                           std::string* full);
