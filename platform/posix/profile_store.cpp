// The settings file on POSIX: a reader and writer of the initialization-file format that gives
// the same answers as the Win32 private-profile functions, and writes the file atomically.
//
// How a file is read (the way the Win32 functions read it):
// - A UTF-8 byte-order mark at the start is skipped.
// - A line ends at the first CR or LF (so LF, CRLF and old lone-CR files all work, and a last
//   line needs no newline).
// - Blanks (space, tab, CR, LF, VT, FF and control-Z) at both ends of a line are ignored.
// - A line starting with '[' that holds a ']' after it is a section header; the name runs from
//   the first '[' to the last ']' (so "[Mole Quest (U) [!].bin]" names "Mole Quest (U) [!].bin"),
//   without blanks at its ends.
// - Every other non-blank line is an entry: the key is the text before the first '=' without
//   its blanks, the value the text after it without its blanks. A line without '=' is an entry
//   without a value; reading it gives the default. Comment lines are entries nobody asks for.
// - Entries before the first header belong to a section with the empty name.
// - Names are compared without regard to ASCII case; only the first section of a name and the
//   first entry of a key in it count, for reading and for writing.
// - A value enclosed in matching single or double quotes is read without them.
//
// How a file is written: only the line concerned changes; a new entry goes after the last entry
// of its section, a new section at the end of the file. The new file is written beside the old
// one, flushed, and renamed over it under an exclusive lock on the directory, so a failed write
// leaves the old file as it was and two processes never lose each other's changes.
#include "platform/profile_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using std::string;
using std::string_view;

// ---------------------------------------------------------------------------------------------
// Characters and names

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0x1a;
}

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

// A name as the functions see it: it ends at its first NUL byte.
string_view CutAtNul(string_view s) {
    size_t n = s.find('\0');
    return n == string_view::npos ? s : s.substr(0, n);
}

int CompareFolded(string_view a, string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = FoldAscii(a[i]), y = FoldAscii(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualFolded(string_view a, string_view b) {
    return CompareFolded(a, b) == 0;
}

string_view TrimBlanks(string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// Section and key names as callers give them: blanks around them do not count.
string_view CallerName(const char* s) {
    return TrimBlanks(s ? string_view(s) : string_view());
}

// ---------------------------------------------------------------------------------------------
// Lines

struct Line {
    size_t begin = 0;   // first byte of the line
    size_t textEnd = 0; // end of the line without its terminator
    size_t end = 0;     // first byte after the terminator
};

// The parsed view of a file: its bytes once, and the sections as offsets into them.
struct Section {
    uint32_t nameBegin, nameLen; // the name between the brackets
    uint32_t headBegin;          // start of the header line (== bodyBegin for the unnamed one)
    uint32_t bodyBegin, bodyEnd; // the lines after the header, up to the next header
};

struct Parsed {
    string data;
    size_t bom = 0;                // 3 when the file starts with a UTF-8 byte-order mark
    std::vector<Section> sections; // in file order; [0] is the unnamed leading one
    std::vector<uint32_t> byName;  // section indices ordered by folded name, then file order
};

// The line starting at pos: it ends at the first CR or LF (a CRLF pair is one line end).
Line LineAt(const Parsed& p, size_t pos) {
    const string& d = p.data;
    Line l;
    l.begin = pos;
    size_t stop = d.find_first_of("\r\n", pos);
    if (stop == string::npos) {
        l.textEnd = l.end = d.size();
        return l;
    }
    l.textEnd = stop;
    l.end = (d[stop] == '\r' && stop + 1 < d.size() && d[stop + 1] == '\n') ? stop + 2 : stop + 1;
    return l;
}

string_view LineText(const Parsed& p, const Line& l) {
    return string_view(p.data).substr(l.begin, l.textEnd - l.begin);
}

// When the trimmed line is a section header, its name; otherwise false.
bool HeaderName(string_view trimmed, size_t* nameOff, size_t* nameLen) {
    if (trimmed.empty() || trimmed[0] != '[')
        return false;
    size_t close = trimmed.rfind(']');
    if (close == string_view::npos || close == 0)
        return false;
    string_view name = TrimBlanks(trimmed.substr(1, close - 1));
    *nameOff = static_cast<size_t>(name.data() - trimmed.data());
    *nameLen = name.size();
    return true;
}

struct Entry {
    string_view key;
    bool hasValue = false;
    string_view value;
    size_t eqPos = 0; // offset of '=' in the file when hasValue
};

// The entry of a non-blank, non-header line.
Entry EntryOf(const Parsed& p, const Line& l) {
    string_view raw = LineText(p, l);
    string_view t = TrimBlanks(raw);
    Entry e;
    size_t eq = t.find('=');
    if (eq == string_view::npos) {
        e.key = t;
        return e;
    }
    e.key = TrimBlanks(t.substr(0, eq));
    e.value = TrimBlanks(t.substr(eq + 1));
    e.hasValue = true;
    e.eqPos = static_cast<size_t>(t.data() - p.data.data()) + eq;
    return e;
}

void IndexSections(Parsed& p) {
    p.byName.resize(p.sections.size());
    for (size_t i = 0; i < p.sections.size(); ++i)
        p.byName[i] = static_cast<uint32_t>(i);
    auto nameOf = [&p](uint32_t i) {
        const Section& s = p.sections[i];
        return CutAtNul(string_view(p.data).substr(s.nameBegin, s.nameLen));
    };
    std::stable_sort(p.byName.begin(), p.byName.end(), [&](uint32_t a, uint32_t b) {
        return CompareFolded(nameOf(a), nameOf(b)) < 0;
    });
}

void Parse(Parsed& p) {
    const string& d = p.data;
    p.sections.clear();
    p.bom = (d.size() >= 3 && d.compare(0, 3, "\xEF\xBB\xBF") == 0) ? 3 : 0;
    Section lead{0, 0, static_cast<uint32_t>(p.bom), static_cast<uint32_t>(p.bom), 0};
    p.sections.push_back(lead);
    size_t pos = p.bom;
    while (pos < d.size()) {
        Line l = LineAt(p, pos);
        string_view t = TrimBlanks(LineText(p, l));
        size_t off, len;
        if (HeaderName(t, &off, &len)) {
            p.sections.back().bodyEnd = static_cast<uint32_t>(l.begin);
            Section s;
            s.nameBegin = static_cast<uint32_t>((t.data() - d.data()) + off);
            s.nameLen = static_cast<uint32_t>(len);
            s.headBegin = static_cast<uint32_t>(l.begin);
            s.bodyBegin = static_cast<uint32_t>(l.end);
            s.bodyEnd = 0;
            p.sections.push_back(s);
        }
        pos = l.end;
    }
    p.sections.back().bodyEnd = static_cast<uint32_t>(d.size());
    IndexSections(p);
}

string_view SectionName(const Parsed& p, const Section& s) {
    return CutAtNul(string_view(p.data).substr(s.nameBegin, s.nameLen));
}

// The first section whose name equals name (folded), or -1.
long FindSection(const Parsed& p, string_view name) {
    auto it =
        std::lower_bound(p.byName.begin(), p.byName.end(), name, [&p](uint32_t i, string_view n) {
            return CompareFolded(SectionName(p, p.sections[i]), n) < 0;
        });
    if (it == p.byName.end() || !EqualFolded(SectionName(p, p.sections[*it]), name))
        return -1;
    return static_cast<long>(*it);
}

// The first entry line of key in section s; false when there is none.
bool FindEntry(const Parsed& p, const Section& s, string_view key, Line* line, Entry* entry) {
    size_t pos = s.bodyBegin;
    while (pos < s.bodyEnd) {
        Line l = LineAt(p, pos);
        pos = l.end;
        if (TrimBlanks(LineText(p, l)).empty())
            continue;
        Entry e = EntryOf(p, l);
        if (EqualFolded(CutAtNul(e.key), key)) {
            *line = l;
            *entry = e;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// The cache: parsed files by path, revalidated by device, inode, size and times.

struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime {};
    struct timespec ctime {};
};

bool SameStamp(const FileStamp& a, const FileStamp& b) {
    return a.dev == b.dev && a.ino == b.ino && a.size == b.size &&
           a.mtime.tv_sec == b.mtime.tv_sec && a.mtime.tv_nsec == b.mtime.tv_nsec &&
           a.ctime.tv_sec == b.ctime.tv_sec && a.ctime.tv_nsec == b.ctime.tv_nsec;
}

FileStamp StampOf(const struct stat& st) {
    FileStamp s;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
}

struct CacheEntry {
    string path;
    FileStamp stamp;
    std::shared_ptr<const Parsed> parsed;
};

constexpr size_t kCacheFiles = 4;
std::mutex gCacheLock;
std::vector<CacheEntry> gCache; // most recently used first

enum class Load { Ok, Missing, Failed };

bool ReadAll(int fd, string* out) {
    out->clear();
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out->append(buf, static_cast<size_t>(n));
    }
}

std::shared_ptr<const Parsed> CacheLookup(const string& path, const FileStamp& st) {
    std::lock_guard<std::mutex> g(gCacheLock);
    for (size_t i = 0; i < gCache.size(); ++i) {
        if (gCache[i].path == path && SameStamp(gCache[i].stamp, st)) {
            std::rotate(gCache.begin(), gCache.begin() + i, gCache.begin() + i + 1);
            return gCache[0].parsed;
        }
    }
    return nullptr;
}

void CacheStore(const string& path, const FileStamp& st, std::shared_ptr<const Parsed> parsed) {
    std::lock_guard<std::mutex> g(gCacheLock);
    for (size_t i = 0; i < gCache.size(); ++i) {
        if (gCache[i].path == path) {
            gCache.erase(gCache.begin() + i);
            break;
        }
    }
    gCache.insert(gCache.begin(), CacheEntry{path, st, std::move(parsed)});
    if (gCache.size() > kCacheFiles)
        gCache.pop_back();
}

void CacheForget(const string& path) {
    std::lock_guard<std::mutex> g(gCacheLock);
    for (size_t i = 0; i < gCache.size(); ++i) {
        if (gCache[i].path == path) {
            gCache.erase(gCache.begin() + i);
            return;
        }
    }
}

// The parsed file at path: from the cache when the file is unchanged, else read afresh.
Load LoadFile(const string& path, std::shared_ptr<const Parsed>* out,
              FileStamp* stampOut = nullptr) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        return errno == ENOENT ? Load::Missing : Load::Failed;
    }
    if (!S_ISREG(st.st_mode))
        return Load::Failed;
    FileStamp stamp = StampOf(st);
    if (auto hit = CacheLookup(path, stamp)) {
        *out = hit;
        if (stampOut)
            *stampOut = stamp;
        return Load::Ok;
    }
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Load::Missing : Load::Failed;
    auto parsed = std::make_shared<Parsed>();
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadAll(fd, &parsed->data);
    close(fd);
    if (!ok)
        return Load::Failed;
    stamp = StampOf(st);
    if (parsed->data.size() >= UINT32_MAX)
        return Load::Failed; // offsets are 32-bit; a settings file is never near this size
    Parse(*parsed);
    parsed->data.shrink_to_fit();
    // Only a file that did not change while it was read is worth keeping.
    if (static_cast<off_t>(parsed->data.size()) == st.st_size)
        CacheStore(path, stamp, parsed);
    *out = parsed;
    if (stampOut)
        *stampOut = stamp;
    return Load::Ok;
}

// ---------------------------------------------------------------------------------------------
// Reading

void CopyTruncated(string_view s, char* buf, int cap) {
    size_t n = std::min(s.size(), static_cast<size_t>(cap - 1));
    memcpy(buf, s.data(), n);
    buf[n] = '\0';
}

// A value as the read functions hand it out: up to its first NUL, and without a pair of
// enclosing quotes. Like the Win32 functions, a quoted value truncated by the capacity loses
// its last character as if it were the closing quote.
void CopyValue(string_view value, char* buf, int cap) {
    value = CutAtNul(value);
    bool quoted = false;
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        quoted = true;
        value.remove_prefix(1);
    }
    CopyTruncated(value, buf, cap);
    if (quoted && static_cast<size_t>(cap) >= value.size()) {
        size_t n = strlen(buf);
        if (n > 0)
            buf[n - 1] = '\0';
    }
}

// The default as the read functions use it: without trailing spaces (a lone first one stays).
string_view DefaultText(const char* def) {
    string_view d = def ? string_view(def) : string_view();
    while (d.size() > 1 && d.back() == ' ')
        d.remove_suffix(1);
    return d;
}

// Reads into buf; returns the length of the result.
size_t ReadValue(const char* section, const char* key, const char* def, char* buf, int cap,
                 const char* iniPath) {
    if (!buf || cap <= 0)
        return 0;
    string_view d = DefaultText(def);
    std::shared_ptr<const Parsed> p;
    Load r = (iniPath && section && key) ? LoadFile(iniPath, &p) : Load::Failed;
    if (r == Load::Failed) {
        CopyTruncated(d, buf, cap);
        return strlen(buf);
    }
    if (r == Load::Ok) {
        long s = FindSection(*p, CallerName(section));
        Line line;
        Entry e;
        if (s >= 0 && FindEntry(*p, p->sections[s], CallerName(key), &line, &e) && e.hasValue) {
            CopyValue(e.value, buf, cap);
            return strlen(buf);
        }
    }
    CopyValue(d, buf, cap);
    return strlen(buf);
}

// Integer reading as the Win32 function does it: leading control characters and blanks
// skipped, one sign, then digits, base 10 unless the digits start with "0x" (16), "0o" (8)
// or "0b" (2); anything else ends the number; overflow wraps at 32 bits.
int ParseProfileInt(const char* s) {
    while (*s && static_cast<unsigned char>(*s) <= ' ')
        ++s;
    bool minus = false;
    if (*s == '+' || *s == '-') {
        minus = *s == '-';
        ++s;
    }
    uint32_t base = 10;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'o' || s[1] == 'b')) {
        base = s[1] == 'x' ? 16 : s[1] == 'o' ? 8 : 2;
        s += 2;
    }
    uint32_t v = 0;
    for (;; ++s) {
        unsigned char c = static_cast<unsigned char>(*s);
        uint32_t digit = 99;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'z')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'Z')
            digit = c - 'A' + 10;
        if (digit >= base)
            break;
        v = v * base + digit;
    }
    if (minus)
        v = 0u - v;
    return static_cast<int>(v);
}

// ---------------------------------------------------------------------------------------------
// Writing: edits of the file's bytes

// The line terminator the file mostly uses (CRLF for a new or single-line file).
string DominantBreak(const Parsed& p) {
    size_t lf = p.data.find('\n');
    if (lf != string::npos)
        return (lf > 0 && p.data[lf - 1] == '\r') ? "\r\n" : "\n";
    if (p.data.find('\r') != string::npos)
        return "\r";
    return "\r\n";
}

// Inserts line (without terminator) at pos; ends an unterminated last line first.
string InsertLine(const Parsed& p, size_t pos, const string& text) {
    string brk = DominantBreak(p);
    string out;
    out.reserve(p.data.size() + text.size() + 4);
    out.append(p.data, 0, pos);
    if (pos == p.data.size() && pos > p.bom && p.data[pos - 1] != '\n' && p.data[pos - 1] != '\r')
        out += brk;
    out += text;
    out += brk;
    out.append(p.data, pos, string::npos);
    return out;
}

// Names and values never hold a line break: each CR or LF becomes a space.
string OneLine(string_view s) {
    string r(s);
    for (char& c : r) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return r;
}

// The value as it is stored: leading blanks dropped, on one line.
string StoredValue(const char* value) {
    string_view v = value ? string_view(value) : string_view();
    while (!v.empty() && IsBlank(v.front()))
        v.remove_prefix(1);
    return OneLine(v);
}

// Sets key in section; false when nothing changes (*out untouched).
bool EditWrite(const Parsed& p, string_view section, string_view key, const string& value,
               string* out) {
    long si = FindSection(p, section);
    if (si < 0) {
        // A new section at the end of the file.
        string text = "[" + OneLine(section) + "]";
        string once = InsertLine(p, p.data.size(), text);
        Parsed q;
        q.data = std::move(once);
        Parse(q);
        *out = InsertLine(q, q.data.size(), OneLine(key) + "=" + value);
        return true;
    }
    const Section& s = p.sections[si];
    Line line;
    Entry e;
    if (FindEntry(p, s, key, &line, &e)) {
        if (e.hasValue && CutAtNul(e.value) == value && e.value.size() == value.size())
            return false;
        size_t keep = e.hasValue ? e.eqPos + 1
                                 : static_cast<size_t>(e.key.data() - p.data.data()) + e.key.size();
        string r;
        r.reserve(p.data.size() + value.size() + 2);
        r.append(p.data, 0, keep);
        if (!e.hasValue)
            r += '=';
        r += value;
        r.append(p.data, line.textEnd, string::npos);
        *out = std::move(r);
        return true;
    }
    // A new entry after the last non-blank line of the section (or right after its header).
    size_t at = s.bodyBegin;
    size_t pos = s.bodyBegin;
    while (pos < s.bodyEnd) {
        Line l = LineAt(p, pos);
        pos = l.end;
        if (!TrimBlanks(LineText(p, l)).empty())
            at = l.end;
    }
    *out = InsertLine(p, at, OneLine(key) + "=" + value);
    return true;
}

// Removes the first section of that name; false when there is none (or nothing to remove).
bool EditDelete(const Parsed& p, string_view section, string* out) {
    long si = FindSection(p, section);
    if (si < 0)
        return false;
    const Section& s = p.sections[si];
    if (s.bodyEnd == s.headBegin)
        return false;
    string r;
    r.reserve(p.data.size());
    r.append(p.data, 0, s.headBegin);
    r.append(p.data, s.bodyEnd, string::npos);
    *out = std::move(r);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Writing: locking and atomic replacement

string DirOf(const string& path) {
    size_t slash = path.rfind('/');
    if (slash == string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

string BaseOf(const string& path) {
    size_t slash = path.rfind('/');
    return slash == string::npos ? path : path.substr(slash + 1);
}

bool WriteAllFd(int fd, const string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Creates a fresh temporary file beside the settings file; -1 on failure.
int CreateTemp(const string& path, string* tmpPath) {
    string base = DirOf(path) + "/." + BaseOf(path) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        string name = base + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *tmpPath = name;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// Replaces the file at path with data: temporary file, flush, rename, flush the directory.
bool ReplaceFile(const string& path, const string& data, const struct stat* old, int dirFd) {
    string tmp;
    int fd = CreateTemp(path, &tmp);
    if (fd < 0)
        return false;
    bool ok = true;
    if (old) {
        (void)fchown(fd, old->st_uid, old->st_gid); // keeps the owner when allowed to
        ok = fchmod(fd, old->st_mode & 07777) == 0;
    }
    ok = ok && WriteAllFd(fd, data) && fsync(fd) == 0;
    struct stat st;
    ok = ok && fstat(fd, &st) == 0;
    if (close(fd) != 0)
        ok = false;
    ok = ok && rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(tmp.c_str());
        CacheForget(path);
        return false;
    }
    if (dirFd >= 0)
        (void)fsync(dirFd);
    // The rename gave the file a new change time: the cached copy is stamped with the file as
    // it is now, or the next access would read and parse it all again.
    if (stat(path.c_str(), &st) != 0) {
        CacheForget(path);
        return true;
    }
    auto parsed = std::make_shared<Parsed>();
    parsed->data = data;
    Parse(*parsed);
    CacheStore(path, StampOf(st), parsed);
    return true;
}

// One read-modify-write under the directory's exclusive lock. edit returns false when the
// file needs no change.
template <typename Edit> bool Modify(const char* iniPath, Edit edit) {
    if (!iniPath || !*iniPath)
        return false;
    string path(iniPath);
    int dirFd = open(DirOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return false;
    while (flock(dirFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(dirFd);
            return false;
        }
    }
    std::shared_ptr<const Parsed> p;
    bool ok = false;
    Load r = LoadFile(path, &p);
    if (r != Load::Failed) {
        if (r == Load::Missing) {
            auto empty = std::make_shared<Parsed>();
            Parse(*empty);
            p = empty;
        }
        string next;
        if (!edit(*p, &next)) {
            ok = true;
        } else {
            struct stat old;
            bool exists = r == Load::Ok && stat(path.c_str(), &old) == 0;
            ok = ReplaceFile(path, next, exists ? &old : nullptr, dirFd);
        }
    }
    flock(dirFd, LOCK_UN);
    close(dirFd);
    return ok;
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

bool ProfileWriteString(const char* section, const char* key, const char* value,
                        const char* iniPath) {
    ProfileEntry e{key, value};
    return ProfileWriteStrings(section, &e, 1, iniPath);
}

bool ProfileWriteStrings(const char* section, const ProfileEntry* entries, int count,
                         const char* iniPath) {
    if (!section || (count > 0 && !entries) || count < 0)
        return false;
    for (int i = 0; i < count; ++i) {
        if (!entries[i].key)
            return false;
    }
    return Modify(iniPath, [&](const Parsed& p, string* out) {
        bool changed = false;
        Parsed cur;
        const Parsed* at = &p;
        for (int i = 0; i < count; ++i) {
            string next;
            if (!EditWrite(*at, CallerName(section), CallerName(entries[i].key),
                           StoredValue(entries[i].value), &next))
                continue;
            changed = true;
            cur.data = std::move(next);
            Parse(cur);
            at = &cur;
        }
        if (changed)
            *out = std::move(cur.data);
        return changed;
    });
}

bool ProfileDeleteSection(const char* section, const char* iniPath) {
    if (!section)
        return false;
    return Modify(iniPath, [&](const Parsed& p, string* out) {
        return EditDelete(p, string_view(section), out);
    });
}
