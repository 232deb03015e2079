// The settings file on POSIX: a reader and writer of the initialization-file format that gives
// the same answers as the Win32 private-profile functions. This file holds the public functions
// and the format's rules of reading; each other rule is told where it is kept:
// - ini/text.h: blanks, how names compare, where a line ends; ini/utf16.h: UTF-16 files;
// - ini/format.h: sections and entries, and how they are looked up; ini/cache.h: the files
//   read so far, and when one is read again; ini/values.h: values as the reads hand them out;
// - ini/editor.h: the text a write or a delete gives, and what a write refuses;
// - atomic_file.h: the all-or-nothing update of the file; file_lock.h: its locks.
//
// How a file is read (the way the Win32 functions read it):
// - A file that starts with a UTF-16 byte-order mark is UTF-16 text; every other file is 8-bit
//   text, read as its bytes. A UTF-8 byte-order mark at the start is skipped.
// - Blanks at both ends of a line are ignored.
// - A line starting with '[' that holds a ']' after it is a section header; the name runs from
//   the first '[' to the last ']' (so "[Mole Quest (U) [!].bin]" names "Mole Quest (U) [!].bin"),
//   without blanks at its ends.
// - Every other non-blank line is an entry: the key is the text before the first '=' without
//   its blanks, the value the text after it without its blanks. A line without '=' is an entry
//   without a value; reading it gives the default. Comment lines are entries nobody asks for.
// - Entries before the first header belong to a section with the empty name.
// - Only the first section of a name and the first entry of a key in it count, for reading and
//   for writing.
//
// A write the file cannot take, or needs not, on a file this process may not write (atomic_file.h
// [3]) succeeds when the file already reads as asked, as the Win32 functions answer it.
#include "platform/profile_store.h"

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/atomic_file.h"
#include "platform/posix/ini/cache.h"
#include "platform/posix/ini/editor.h"
#include "platform/posix/ini/format.h"
#include "platform/posix/ini/values.h"
#include "platform/text_copy.h"

namespace {

using namespace ini;

// Reads into buf; returns the length of the result.
size_t ReadValue(const char* section, const char* key, const char* def, char* buf, int cap,
                 const char* iniPath) {
    if (!buf || cap <= 0)
        return 0;
    string_view d = DefaultText(def);
    std::shared_ptr<Parsed> p;
    Load r = (iniPath && *iniPath && section && key) ? LoadFile(iniPath, &p) : Load::Failed;
    if (r == Load::Failed) {
        CopyTextCut(buf, cap, d);
        return strlen(buf);
    }
    if (r == Load::Ok) {
        Section s;
        Line line;
        Entry e;
        if (FindSection(*p, CallerName(section), &s) &&
            FindEntry(*p, s, CallerName(key), &line, &e) && e.hasValue) {
            CopyValue(e.value, buf, cap);
            return strlen(buf);
        }
    }
    CopyValue(d, buf, cap);
    return strlen(buf);
}

// One read-modify-write of the file iniPath names, as one update of it (see atomic_file.h).
// edit returns false when the file needs no change. A change that is not written, and a file
// this process may not write, are answered by holds: whether the file already reads as asked,
// as the platform's own functions answer them (they refuse every write to a read-only file,
// even one that would change nothing, and a save then succeeds when a read gives the values
// asked for).
template <typename Edit, typename Holds>
ProfileFailure Modify(const char* iniPath, Edit edit, Holds holds) {
    atomic_file::Update u;
    if (!iniPath || !*iniPath || !atomic_file::Begin(iniPath, &u))
        return u.busy ? ProfileFailure::Busy : ProfileFailure::NotWritten;
    std::shared_ptr<Parsed> p;
    ProfileFailure f = ProfileFailure::NotWritten;
    Load r = LoadFile(u.path, &p);
    if (r != Load::Failed) {
        if (r == Load::Missing)
            p = MakeParsed(nullptr, 0);
        string next;
        bool partly = false;
        if (!edit(*p, &next)) {
            if (atomic_file::MayWrite(u) || holds(*p))
                f = ProfileFailure::None;
        } else {
            if (atomic_file::Replace(u, InForm(*p, std::move(next)), &partly) ||
                (!partly && holds(*p)))
                f = ProfileFailure::None;
            else if (partly)
                f = ProfileFailure::PartlyWritten;
            // A file written just now is read again at the next access anyway (see the cache);
            // so is its copy read through a link.
            CacheForget(u.path);
            CacheForget(iniPath);
        }
    }
    atomic_file::End(&u);
    return f;
}

// Hands a failure to the caller who asked for it; true when there is none.
bool Answer(ProfileFailure f, ProfileFailure* why) {
    if (why)
        *why = f;
    return f == ProfileFailure::None;
}

} // namespace

void ProfileReadString(const char* section, const char* key, const char* def, char* buf, int cap,
                       const char* iniPath) {
    ReadValue(section, key, def, buf, cap, iniPath);
}

int ProfileReadInt(const char* section, const char* key, int def, const char* iniPath) {
    char buf[30];
    if (ReadValue(section, key, "", buf, sizeof buf, iniPath) == 0)
        return def;
    return ParseProfileInt(buf);
}

bool ProfileWriteStrings(const char* section, const ProfileEntry* entries, int count,
                         const char* iniPath, ProfileFailure* why) {
    if (!section || (count > 0 && !entries) || count < 0)
        return Answer(ProfileFailure::NotWritten, why);
    // A header that could not be found again is never written...
    if (!OnOneLine(CallerName(section)))
        return Answer(ProfileFailure::NameNotKept, why);
    std::vector<KeyValue> group;
    group.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (!entries[i].key)
            return Answer(ProfileFailure::NotWritten, why);
        KeyValue kv{CallerName(entries[i].key), StoredValue(entries[i].value)};
        if (!OnOneLine(kv.value))
            return Answer(ProfileFailure::NameNotKept, why);
        // ...nor a line that would read back as another key or as a header.
        if (!Carriable(kv.key, kv.value))
            return Answer(ProfileFailure::NameNotKept, why);
        group.push_back(std::move(kv));
    }
    // The file already says what was asked when each key reads as the value given.
    auto holds = [&](Parsed& p) {
        Section s;
        Line line;
        Entry e;
        bool found = count == 0 || FindSection(p, CallerName(section), &s);
        for (int i = 0; found && i < count; ++i) {
            found = entries[i].value && FindEntry(p, s, CallerName(entries[i].key), &line, &e) &&
                    e.hasValue && ReadsAs(e.value, entries[i].value);
        }
        return found;
    };
    return Answer(
        Modify(
            iniPath,
            [&](Parsed& p, string* out) { return EditWrite(p, CallerName(section), group, out); },
            holds),
        why);
}

bool ProfileDeleteSection(const char* section, const char* iniPath, ProfileFailure* why) {
    if (!section)
        return Answer(ProfileFailure::NotWritten, why);
    // A file without the section already says what was asked.
    auto edit = [&](Parsed& p, string* out) { return EditDelete(p, CallerName(section), out); };
    auto holds = [&](Parsed& p) {
        string unused;
        return !edit(p, &unused);
    };
    return Answer(Modify(iniPath, edit, holds), why);
}
