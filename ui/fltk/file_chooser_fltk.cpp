// The first-run prompts: FLTK's file chooser standing in for the open-file dialog.
#include "ui/fltk/file_chooser_fltk.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/filename.H>

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

bool CopyOut(const std::string& text, char* out, int cap) {
    if (cap <= 0)
        return false;
    if (text.size() + 1 > static_cast<size_t>(cap)) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return std::string();
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool IsDirectory(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// The chosen path must name something in an existing directory, and not a directory itself.
bool PathAcceptable(const char* path) {
    if (!path[0] || IsDirectory(path))
        return false;
    std::string dir(path);
    size_t slash = dir.find_last_of('/');
    if (slash == std::string::npos)
        return IsDirectory(".");
    dir.resize(slash == 0 ? 1 : slash);
    return IsDirectory(dir.c_str());
}

} // namespace

bool ConvertFilterPattern(const char* patterns, char* out, int cap) {
    if (!out || cap <= 0)
        return false;
    out[0] = '\0';
    if (!patterns)
        return false;
    std::vector<std::string> pieces;
    std::string rest(patterns);
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(';', start);
        if (end == std::string::npos)
            end = rest.size();
        std::string piece = Trim(rest.substr(start, end - start));
        if (!piece.empty())
            pieces.push_back(piece);
        start = end + 1;
    }
    if (pieces.empty())
        return false;
    if (pieces.size() == 1)
        return CopyOut(pieces[0], out, cap);

    bool allExtensions = true;
    for (const std::string& p : pieces)
        if (p.size() < 3 || p.compare(0, 2, "*.") != 0)
            allExtensions = false;
    std::string joined = allExtensions ? "*.{" : "{";
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            joined += ',';
        joined += allExtensions ? pieces[i].substr(2) : pieces[i];
    }
    joined += '}';
    return CopyOut(joined, out, cap);
}

bool BuildChooserFilter(const char* description, const char* patterns, char* out, int cap) {
    if (!out || cap <= 0)
        return false;
    out[0] = '\0';
    char pattern[1024];
    if (!ConvertFilterPattern(patterns, pattern, sizeof(pattern)))
        return false;
    // The chooser takes the pattern from the first parenthesis on, so the description's own
    // parenthesised list is left out.
    std::string desc = description ? description : "";
    size_t paren = desc.find('(');
    if (paren != std::string::npos)
        desc.resize(paren);
    // A tab would start a second filter entry.
    for (char& ch : desc)
        if (ch == '\t')
            ch = ' ';
    desc = Trim(desc);
    std::string filter = desc.empty() ? std::string() : desc + " ";
    filter += "(";
    filter += pattern;
    filter += ")";
    return CopyOut(filter, out, cap);
}

ChooseResult FltkChooseFile(OpenFileRequest* request, void*) {
    if (!request || !request->fileName || request->fileNameCap <= 0)
        return ChooseResult::Failed;
    char filter[1200];
    if (!BuildChooserFilter(request->filterDesc, request->filterPattern, filter, sizeof(filter)))
        filter[0] = '\0';

    // The file name the request starts with ("Zelko.exe", or empty), and the directory the
    // chooser shows: the current directory at first, then any directory the user enters.
    std::string initialName = request->fileName;
    char startDir[FL_PATH_MAX];
    fl_filename_absolute(startDir, sizeof(startDir), ".");
    for (;;) {
        // CREATE lets the user type the name of a file that does not exist yet, as the
        // open-file dialog does when only the path has to exist.
        Fl_File_Chooser chooser(startDir, filter[0] ? filter : nullptr, Fl_File_Chooser::CREATE,
                                request->title ? request->title : "");
        chooser.preview(0);
        chooser.show();
        // After show(), which rescans the directory and resets the file name field.
        if (!initialName.empty() && initialName.find('/') == std::string::npos) {
            std::string path = startDir;
            if (path.empty() || path.back() != '/')
                path += '/';
            chooser.value((path + initialName).c_str());
        } else if (!initialName.empty()) {
            chooser.value(initialName.c_str());
        }
        while (chooser.shown())
            Fl::wait();
        const char* chosen = chooser.count() > 0 ? chooser.value() : nullptr;
        if (!chosen || !chosen[0])
            return ChooseResult::Cancelled;
        // A typed name without a directory is in the directory the chooser shows.
        std::string path = chosen;
        if (path[0] != '/' && chooser.directory() && chooser.directory()[0])
            path = std::string(chooser.directory()) + "/" + path;
        char full[FL_PATH_MAX];
        fl_filename_absolute(full, sizeof(full), path.c_str());
        if (IsDirectory(full)) {
            // Accepting a directory opens it, as the open-file dialog does.
            std::memcpy(startDir, full, sizeof(startDir));
            continue;
        }
        // A path whose directory does not exist is refused and the chooser stays up.
        if (!PathAcceptable(full))
            continue;
        size_t len = std::strlen(full);
        if (len + 1 > static_cast<size_t>(request->fileNameCap))
            return ChooseResult::Failed;
        std::memcpy(request->fileName, full, len + 1);
        return ChooseResult::Chosen;
    }
}
