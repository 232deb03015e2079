// Lists the files of a directory that match wildcard patterns such as "*.bin", as the
// cartridge list shows them: plain files only, names starting with a dot included as the
// Win32 build lists them, one list in the Win32 list box's order (list_order.cpp).
#include "platform/dir_list.h"

#include "platform/ascii.h"
#include "platform/posix/list_order.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include <dirent.h>
#include <sys/stat.h>

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// A name with its place in the list: its group ("[" names last), the drive character of a
// "[-" name, its sort key; names the list box takes as equal keep a fixed order by their bytes.
struct Sortable {
    int group;
    unsigned drive;
    std::string key;
    std::string* name;
};

bool ListOrder(const Sortable& a, const Sortable& b) {
    if (a.group != b.group)
        return a.group < b.group;
    if (a.group == 2)
        return a.drive != b.drive ? a.drive < b.drive : *a.name < *b.name;
    int c = a.key.compare(b.key);
    return c != 0 ? c < 0 : *a.name < *b.name;
}

void SortForList(std::vector<std::string>* names) {
    std::vector<Sortable> items(names->size());
    for (size_t i = 0; i < names->size(); ++i) {
        std::string& name = (*names)[i];
        items[i] = Sortable{ListOrderGroup(name), 0, std::string(), &name};
        items[i].key.reserve(name.size() * 3 + 4);
        if (items[i].group == 2)
            items[i].drive = ListDriveOrder(name);
        else
            AppendListOrderKey(name, &items[i].key);
    }
    std::sort(items.begin(), items.end(), ListOrder);
    std::vector<std::string> sorted;
    sorted.reserve(items.size());
    for (Sortable& item : items)
        sorted.push_back(std::move(*item.name));
    names->swap(sorted);
}

// A pattern is "*" followed by the ending a name must have, or a plain name.
bool Matches(std::string_view name, std::string_view pattern) {
    if (!pattern.empty() && pattern[0] == '*') {
        std::string_view ending = pattern.substr(1);
        return name.size() >= ending.size() &&
               EqualNoCase(name.substr(name.size() - ending.size()), ending);
    }
    return EqualNoCase(name, pattern);
}

// Splits a pattern path into its directory (with its separator, or "./" when it has none: a
// bare pattern names the current directory) and the pattern itself.
void SplitPatternPath(const char* patternPath, std::string* dir, std::string_view* pattern) {
    std::string_view full(patternPath);
    size_t sep = full.rfind('/');
    *dir = sep == std::string_view::npos ? std::string("./") : std::string(full.substr(0, sep + 1));
    *pattern = sep == std::string_view::npos ? full : full.substr(sep + 1);
}

// Lists dir (which ends in its separator) once for all the patterns given for it. The entry
// type from the directory is enough for plain files and directories; only links and unknown
// types need a stat.
void ListDirectory(const std::string& dir, const std::vector<std::string_view>& patterns,
                   std::vector<std::string>* names) {
    DIR* handle = opendir(dir.c_str());
    if (handle == nullptr)
        return;
    while (dirent* entry = readdir(handle)) {
        std::string_view name(entry->d_name);
        if (name.empty() || name == "." || name == "..")
            continue;
        bool matched = false;
        for (std::string_view pattern : patterns)
            matched = matched || Matches(name, pattern);
        if (!matched)
            continue;
        if (entry->d_type != DT_REG) {
            if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
                continue;
            // Follows symbolic links: a link to a ROM counts, a link to a directory does not.
            std::string path = dir + std::string(name);
            struct stat info;
            if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
                continue;
        }
        names->emplace_back(name);
    }
    closedir(handle);
}

} // namespace

void ListMatchingFiles(const char* const* patternPaths, int count,
                       std::vector<std::string>* names) {
    names->clear();
    // One pass over each directory, with every pattern asked for in it.
    std::vector<bool> done(count > 0 ? count : 0, false);
    for (int i = 0; i < count; ++i) {
        if (done[i])
            continue;
        std::string dir;
        std::string_view pattern;
        SplitPatternPath(patternPaths[i], &dir, &pattern);
        std::vector<std::string_view> patterns;
        for (int j = i; j < count; ++j) {
            std::string otherDir;
            std::string_view other;
            SplitPatternPath(patternPaths[j], &otherDir, &other);
            if (done[j] || otherDir != dir)
                continue;
            done[j] = true;
            if (!other.empty())
                patterns.push_back(other);
        }
        if (!patterns.empty())
            ListDirectory(dir, patterns, names);
    }
    SortForList(names);
    // A name matched by more than one pattern is listed once.
    names->erase(std::unique(names->begin(), names->end()), names->end());
}
