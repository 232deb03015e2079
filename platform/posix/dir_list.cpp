// Lists the files of a directory that match wildcard patterns such as "*.bin", as the
// cartridge list shows them: plain files only, names starting with a dot included as the
// Win32 build lists them, one list in the Win32 list box's order (list_order.cpp).
#include "platform/dir_list.h"

#include "platform/posix/list_order.h"

#include <algorithm>
#include <string_view>

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

namespace {

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

// Lists dir (which ends in its separator) once for all the patterns. The entry type from the
// directory is enough for plain files and directories; only links and unknown types need a stat.
void ListDirectory(const std::string& dir, const std::vector<std::string>& patterns,
                   std::vector<std::string>* names) {
    DIR* handle = opendir(dir.c_str());
    if (handle == nullptr)
        return;
    while (dirent* entry = readdir(handle)) {
        std::string_view name(entry->d_name);
        if (name.empty() || name == "." || name == "..")
            continue;
        // Letters match without regard to case, and "*" matches a leading dot too.
        bool matched = false;
        for (const std::string& pattern : patterns)
            matched = matched || fnmatch(pattern.c_str(), entry->d_name, FNM_CASEFOLD) == 0;
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

void ListMatchingFiles(const char* dir, const char* const* patterns, int count,
                       std::vector<std::string>* names) {
    names->clear();
    // As in a pattern path on Win32: the text up to its last separator names the directory ("./"
    // when it has none: the current directory), and what follows it starts every pattern.
    std::string_view text(dir);
    size_t lead = text.rfind('/') + 1; // 0 when there is none
    std::string where = lead == 0 ? "./" : std::string(text.substr(0, lead));
    std::vector<std::string> wanted;
    for (int i = 0; i < count; ++i) {
        char path[kPathMax];
        if (BuildPatternPath(path, dir, patterns[i]))
            wanted.emplace_back(path + lead);
    }
    ListDirectory(where, wanted, names);
    SortForList(names);
}
