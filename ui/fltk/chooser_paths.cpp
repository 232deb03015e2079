// The first-run file dialog's filter and typed-path rules.
#include "ui/fltk/chooser_paths.h"

#include <FL/filename.H>

#include <sys/stat.h>
#include <vector>

namespace {

// The pieces of text between the separators, empty ones included.
std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ParentOf(const std::string& normalized) {
    size_t slash = normalized.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? std::string("/")
                                                    : normalized.substr(0, slash);
}

// A trailing '/', or a last part "." or "..", asks for a directory.
bool NamesDirectory(const std::string& typed) {
    size_t slash = typed.find_last_of('/');
    std::string last = slash == std::string::npos ? typed : typed.substr(slash + 1);
    return last.empty() || last == "." || last == "..";
}

} // namespace

bool MatchesFilter(const char* name, const char* patterns) {
    if (!name || !patterns)
        return false;
    for (const std::string& piece : Split(patterns, ';')) {
        size_t b = piece.find_first_not_of(' ');
        size_t e = piece.find_last_not_of(' ');
        // fl_filename_match compares letters without regard to case.
        if (b != std::string::npos && fl_filename_match(name, piece.substr(b, e - b + 1).c_str()))
            return true;
    }
    return false;
}

std::string NormalizePath(const std::string& path) {
    std::vector<std::string> parts;
    for (const std::string& part : Split(path, '/')) {
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
    }
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    return out.empty() ? std::string("/") : out;
}

TypedPath ResolveTypedPath(const std::string& shownDir, const std::string& typed,
                           std::string* full) {
    full->clear();
    if (typed.empty())
        return TypedPath::Empty;
    *full = NormalizePath(typed[0] == '/' ? typed : shownDir + "/" + typed);
    if (IsDirectory(*full))
        return TypedPath::Directory;
    if (NamesDirectory(typed))
        return TypedPath::Refused;
    // The directory part must exist; the file itself need not.
    return IsDirectory(ParentOf(*full)) ? TypedPath::File : TypedPath::Refused;
}
