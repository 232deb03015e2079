// The settings file on POSIX: a reader and writer of the initialization-file format that gives
// the same answers as the Win32 private-profile functions, and writes the file atomically.
//
// How a file is read (the way the Win32 functions read it):
// - A file that starts with a UTF-16 byte-order mark (either byte order) is UTF-16 text: it is
//   read as the same text in UTF-8 and written back as UTF-16 of its byte order (see "UTF-16
//   files" below). Every other file is 8-bit text, read as its bytes.
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
// How a file is looked up: its bytes are read once per version of the file and kept. The first
// section asked for is found by a scan of the header lines, and remembered; asking for a second
// name builds an index of all of them. So the first load after a change costs about a read of
// the file, and later loads of an unchanged file a stat and a hash look-up.
//
// How a file is written: only the lines concerned change; a new entry goes after the last entry
// of its section, a new section at the end of the file. All keys of one call go in one edit.
// A write that would not read back is refused: a key that would read as something else (one
// holding '=', or starting with '[' on a line holding ']'), a section or key name holding a
// line break. So is a file nobody may write to (mode 0444: the platform's read-only attribute).
// The new file is written beside the old one, flushed, and renamed over it, so a failed write
// leaves the old file as it was; a settings file that is a symbolic link stays one, and the file
// it leads to is replaced. Saves take turns by a lock file beside the settings file, so two
// processes never lose each other's changes; where the file system refuses locks, a save goes
// ahead without one.
#include "platform/profile_store.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__) && !defined(QV_PORTABLE_SCAN)
#include <emmintrin.h>
#endif

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

// Section and key names as callers give them: blanks around them do not count, for reads, writes
// and deletes alike. (The platform's delete takes the name as given, so there a section whose
// name starts or ends with a blank is saved and loaded but never deleted.)
string_view CallerName(const char* s) {
    return TrimBlanks(s ? string_view(s) : string_view());
}

// ---------------------------------------------------------------------------------------------
// Lines and section headers

bool IsLineBreak(unsigned char c) {
    return c == '\n' || c == '\r';
}

// Blanks that can stand inside a line.
bool IsInlineBlank(unsigned char c) {
    return IsBlank(c) && !IsLineBreak(c);
}

struct Line {
    size_t begin = 0;   // first byte of the line
    size_t textEnd = 0; // end of the line without its terminator
    size_t end = 0;     // first byte after the terminator
};

// The end of the text of the line that holds pos: its first CR or LF, or the end of the data.
size_t TextEndFrom(string_view d, size_t pos) {
    for (size_t i = pos; i < d.size(); ++i) {
        if (IsLineBreak(d[i]))
            return i;
    }
    return d.size();
}

// The first byte after the terminator at textEnd (a CRLF pair is one line end).
size_t AfterBreak(string_view d, size_t textEnd) {
    if (textEnd >= d.size())
        return d.size();
    bool crlf = d[textEnd] == '\r' && textEnd + 1 < d.size() && d[textEnd + 1] == '\n';
    return textEnd + (crlf ? 2 : 1);
}

// The line starting at pos: it ends at the first CR or LF.
Line LineAt(string_view d, size_t pos) {
    Line l;
    l.begin = pos;
    l.textEnd = TextEndFrom(d, pos);
    l.end = AfterBreak(d, l.textEnd);
    return l;
}

string_view LineText(string_view d, const Line& l) {
    return string_view(d).substr(l.begin, l.textEnd - l.begin);
}

// A section as offsets into the file's bytes.
struct Section {
    uint32_t nameBegin, nameLen; // the name between the brackets, without its blanks
    uint32_t headBegin;          // start of the header line (== bodyBegin for the unnamed one)
    uint32_t bodyBegin, bodyEnd; // the lines after the header, up to the next header
};

// ---------------------------------------------------------------------------------------------
// UTF-16 files
//
// A file that starts with a UTF-16 byte-order mark, in either byte order, is UTF-16 text (as
// Windows' editor saves it when told "Unicode"); without the mark a file is 8-bit text, even
// one that holds UTF-16. Such a file is turned into the 8-bit text the store works on, in this
// build's encoding (UTF-8, as file names and the window's text are), and written back in the
// form it had, mark and byte order included:
// - each character becomes its UTF-8 bytes, a surrogate pair the one character it stands for;
// - a lone surrogate U+DC80..U+DCFF becomes the single byte 0x80..0xFF, any other lone one the
//   three bytes UTF-8's pattern gives it, so that a write gives back what it did not change;
// - an odd last byte is one more character (the platform reads one there too).
// Written text goes the other way: UTF-8 characters (and the three-byte forms above) become
// their units, every other byte b the lone surrogate U+DC00 + b. So any bytes written read back
// as they were, and the platform reads every character written as UTF-8 in its code page.

enum class TextForm : uint8_t { Bytes, Utf16Le, Utf16Be };

TextForm FormOf(string_view raw) {
    if (raw.substr(0, 2) == "\xFF\xFE")
        return TextForm::Utf16Le;
    if (raw.substr(0, 2) == "\xFE\xFF")
        return TextForm::Utf16Be;
    return TextForm::Bytes;
}

bool IsHighSurrogate(uint32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}

bool IsLowSurrogate(uint32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// A lone surrogate that stands for one byte of 8-bit text that is not UTF-8.
bool IsByteSurrogate(uint32_t u) {
    return u >= 0xDC80 && u <= 0xDCFF;
}

void AppendUtf8(uint32_t cp, string* out) {
    if (cp < 0x80) {
        *out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out += static_cast<char>(0xC0 | cp >> 6);
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out += static_cast<char>(0xE0 | cp >> 12);
        *out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | cp >> 18);
        *out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        *out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The text of a UTF-16 file (raw starts with its byte-order mark).
string DecodeUtf16(string_view raw, bool le) {
    size_t count = (raw.size() - 1) / 2; // units after the mark, an odd last byte included
    auto unit = [&](size_t k) -> uint32_t {
        size_t at = 2 + 2 * k;
        if (at + 1 >= raw.size())
            return static_cast<unsigned char>(raw[at]);
        auto lo = static_cast<unsigned char>(raw[le ? at : at + 1]);
        auto hi = static_cast<unsigned char>(raw[le ? at + 1 : at]);
        return static_cast<uint32_t>(hi << 8 | lo);
    };
    string text;
    text.reserve(raw.size());
    for (size_t k = 0; k < count; ++k) {
        uint32_t u = unit(k);
        if (IsHighSurrogate(u) && k + 1 < count && IsLowSurrogate(unit(k + 1))) {
            AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (unit(k + 1) - 0xDC00), &text);
            ++k;
        } else if (IsByteSurrogate(u)) {
            text += static_cast<char>(u & 0xFF);
        } else {
            AppendUtf8(u, &text);
        }
    }
    return text;
}

// The length of the UTF-8 sequence at s[i] and its code point in *cp; 0 when none starts there.
// Surrogates in UTF-8's three-byte pattern count as sequences.
size_t Utf8At(string_view s, size_t i, uint32_t* cp) {
    auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80                ? 1
               : c >= 0xC2 && c < 0xE0 ? 2
               : c >= 0xE0 && c < 0xF0 ? 3
               : c >= 0xF0 && c < 0xF5 ? 4
                                       : 0;
    if (n == 0 || s.size() - i < n)
        return 0;
    uint32_t v = n == 1 ? c : c & (0x7Fu >> n);
    for (size_t k = 1; k < n; ++k) {
        auto t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80)
            return 0;
        v = v << 6 | (t & 0x3F);
    }
    constexpr uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (v < kShortest[n] || v > 0x10FFFF)
        return 0;
    *cp = v;
    return n;
}

void AppendUnit(uint32_t u, bool le, string* out) {
    char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    *out += le ? lo : hi;
    *out += le ? hi : lo;
}

// Text as a UTF-16 file, byte-order mark first.
string EncodeUtf16(string_view text, bool le) {
    string out;
    out.reserve(2 * text.size() + 2);
    AppendUnit(0xFEFF, le, &out);
    for (size_t i = 0; i < text.size();) {
        uint32_t cp = 0;
        size_t n = Utf8At(text, i, &cp);
        // A surrogate form stays one unit only where reading it back gives the same bytes: not
        // one that stands for a byte, and not a high one that the next unit could pair with.
        bool nextAscii = i + 3 >= text.size() || static_cast<unsigned char>(text[i + 3]) < 0x80;
        if (n == 3 && (IsByteSurrogate(cp) || (IsHighSurrogate(cp) && !nextAscii)))
            n = 0;
        if (n == 0) {
            AppendUnit(0xDC00 + static_cast<unsigned char>(text[i]), le, &out);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            AppendUnit(0xD800 + ((cp - 0x10000) >> 10), le, &out);
            AppendUnit(0xDC00 + ((cp - 0x10000) & 0x3FF), le, &out);
        } else {
            AppendUnit(cp, le, &out);
        }
        i += n;
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Parsed files

// A file's bytes and what is known of their sections. Sections are found lazily: the first
// look-up scans the headers for its name and remembers the answer, so the reads of one load
// scan once; a look-up of another name builds the index of all names. The bytes never change
// once read; the look-up state changes under lock.
struct Parsed {
    std::unique_ptr<char[]> bytes;
    string text;      // a UTF-16 file's text (then bytes is empty)
    string_view data; // the file's text: its bytes, or text
    TextForm form = TextForm::Bytes;
    size_t bom = 0; // 3 when an 8-bit file starts with a UTF-8 byte-order mark

    std::mutex lock;
    bool scanned = false; // a name was looked up by a scan: the three fields below hold it
    string scannedName;
    bool scannedFound = false;
    Section scannedSection{};
    bool indexed = false;
    std::vector<Section> sections; // once indexed: in file order, [0] the unnamed leading one
    std::vector<uint32_t> slots;   // once indexed: hash table of section index + 1, 0 when free
};

std::shared_ptr<Parsed> MakeParsed(std::unique_ptr<char[]> bytes, size_t size) {
    auto p = std::make_shared<Parsed>();
    string_view raw(bytes ? bytes.get() : "", size);
    p->form = FormOf(raw);
    if (p->form != TextForm::Bytes) {
        p->text = DecodeUtf16(raw, p->form == TextForm::Utf16Le);
        p->data = p->text;
        return p;
    }
    p->data = raw;
    p->bytes = std::move(bytes);
    p->bom = p->data.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    return p;
}

// The bytes a file of p's form holds for text.
string InForm(const Parsed& p, string text) {
    if (p.form == TextForm::Bytes)
        return text;
    return EncodeUtf16(text, p.form == TextForm::Utf16Le);
}

string_view SectionName(const Parsed& p, const Section& s) {
    return CutAtNul(p.data.substr(s.nameBegin, s.nameLen));
}

// When the '[' at pos opens a section header, that section (its body running to the end of the
// data): only blanks may stand before the '[' on its line, and a ']' must follow on the line.
// The name runs from this '[' to the last ']' of the line, without blanks at its ends.
bool HeaderAt(const Parsed& p, size_t pos, Section* s) {
    string_view d = p.data;
    size_t begin = pos;
    while (begin > p.bom && IsInlineBlank(d[begin - 1]))
        --begin;
    if (begin > p.bom && !IsLineBreak(d[begin - 1]))
        return false;
    size_t textEnd = TextEndFrom(d, pos + 1);
    const void* close = memrchr(d.data() + pos + 1, ']', textEnd - pos - 1);
    if (!close)
        return false;
    size_t closeAt = static_cast<size_t>(static_cast<const char*>(close) - d.data());
    string_view name = TrimBlanks(string_view(d).substr(pos + 1, closeAt - pos - 1));
    s->nameBegin = static_cast<uint32_t>(name.data() - d.data());
    s->nameLen = static_cast<uint32_t>(name.size());
    s->headBegin = static_cast<uint32_t>(begin);
    s->bodyBegin = static_cast<uint32_t>(AfterBreak(d, textEnd));
    s->bodyEnd = static_cast<uint32_t>(d.size());
    return true;
}

// Scans go through the file 64 bytes at a time and visit each '[' of a block from a bit mask:
// several times faster than a memchr call per bracket on a file of thousands of short sections.

// Bit k set when byte at + k of d is '[' (for the up to 64 bytes from at), byte by byte.
uint64_t BracketMaskBytes(string_view d, size_t at) {
    uint64_t mask = 0;
    for (size_t k = 0; k < 64 && at + k < d.size(); ++k) {
        if (d[at + k] == '[')
            mask |= uint64_t{1} << k;
    }
    return mask;
}

// The same with vector compares where there are.
inline uint64_t BracketMask(string_view d, size_t at) {
#if defined(__SSE2__) && !defined(QV_PORTABLE_SCAN)
    if (d.size() - at >= 64) {
        const __m128i bracket = _mm_set1_epi8('[');
        uint64_t mask = 0;
        for (int k = 0; k < 4; ++k) {
            __m128i block =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(d.data() + at + 16 * k));
            unsigned bits =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, bracket)));
            mask |= uint64_t{bits} << (16 * k);
        }
        return mask;
    }
#endif
    return BracketMaskBytes(d, at);
}

// The first section header at or after from; false when there is none.
bool NextHeader(const Parsed& p, size_t from, Section* s) {
    for (size_t at = from; at < p.data.size(); at += 64) {
        for (uint64_t m = BracketMask(p.data, at); m != 0; m &= m - 1) {
            if (HeaderAt(p, at + static_cast<size_t>(std::countr_zero(m)), s))
                return true;
        }
    }
    return false;
}

// Where a section found at s ends: at the next header, or at the end of the data.
void EndSection(const Parsed& p, Section* s) {
    Section next;
    s->bodyEnd =
        NextHeader(p, s->bodyBegin, &next) ? next.headBegin : static_cast<uint32_t>(p.data.size());
}

Section LeadSection(const Parsed& p) {
    uint32_t at = static_cast<uint32_t>(p.bom);
    return Section{at, 0, at, at, static_cast<uint32_t>(p.data.size())};
}

// The first bytes of a name as a scan compares them, eight at a time.
struct NameProbe {
    uint64_t folded = 0; // the first (up to) eight bytes of the name, folded
    uint64_t mask = 0;   // 0xff in each byte the name has
};

NameProbe ProbeOf(string_view name) {
    unsigned char folded[8] = {}, mask[8] = {};
    for (size_t k = 0; k < 8 && k < name.size(); ++k) {
        folded[k] = FoldAscii(name[k]);
        mask[k] = 0xff;
    }
    NameProbe probe;
    memcpy(&probe.folded, folded, 8);
    memcpy(&probe.mask, mask, 8);
    return probe;
}

// Eight bytes with their ASCII capitals made small, each byte on its own (no carry crosses).
uint64_t FoldWord(uint64_t w) {
    constexpr uint64_t kOnes = 0x0101010101010101u, kHighs = kOnes * 0x80;
    uint64_t low = w & ~kHighs;
    uint64_t atLeastA = low + kOnes * (0x80 - 'A');
    uint64_t aboveZ = low + kOnes * (0x80 - 'Z' - 1);
    uint64_t capital = atLeastA & ~aboveZ & ~w & kHighs;
    return w | (capital >> 2);
}

// Whether the text after the '[' at pos starts with name (folded), blanks skipped: a header
// named name must. Usually settled by one compare of eight bytes, so most headers of other
// names are passed over without looking at the rest of their line.
bool MayBeNamed(string_view d, size_t pos, string_view name, const NameProbe& probe) {
    size_t i = pos + 1;
    if (d.size() - i >= 8 && !IsInlineBlank(d[i])) {
        uint64_t w;
        memcpy(&w, d.data() + i, 8);
        if (((FoldWord(w) ^ probe.folded) & probe.mask) != 0)
            return false;
    }
    while (i < d.size() && IsInlineBlank(d[i]))
        ++i;
    if (d.size() - i < name.size())
        return false;
    for (size_t k = 0; k < name.size(); ++k) {
        if (FoldAscii(d[i + k]) != FoldAscii(name[k]))
            return false;
    }
    return true;
}

// The first section named name, found by a scan of the headers. The empty name is the
// section of the lines before the first header.
bool ScanSection(const Parsed& p, string_view name, Section* s) {
    if (name.empty()) {
        *s = LeadSection(p);
        EndSection(p, s);
        return true;
    }
    string_view d = p.data;
    NameProbe probe = ProbeOf(name);
    for (size_t at = p.bom; at < d.size(); at += 64) {
        for (uint64_t m = BracketMask(d, at); m != 0; m &= m - 1) {
            size_t pos = at + static_cast<size_t>(std::countr_zero(m));
            Section h;
            if (MayBeNamed(d, pos, name, probe) && HeaderAt(p, pos, &h) &&
                EqualFolded(SectionName(p, h), name)) {
                EndSection(p, &h);
                *s = h;
                return true;
            }
        }
    }
    return false;
}

uint32_t HashFolded(string_view s) {
    uint32_t h = 2166136261u;
    for (unsigned char c : s)
        h = (h ^ FoldAscii(c)) * 16777619u;
    return h;
}

// Every section in file order, and a hash table that maps each folded name to its first
// section.
void BuildIndex(Parsed& p) {
    p.sections.clear();
    p.sections.push_back(LeadSection(p));
    Section h;
    for (size_t from = p.bom; NextHeader(p, from, &h); from = h.bodyBegin) {
        p.sections.back().bodyEnd = h.headBegin;
        p.sections.push_back(h);
    }
    p.sections.shrink_to_fit();
    size_t size = 16;
    while (size < 2 * p.sections.size())
        size *= 2;
    p.slots.assign(size, 0);
    for (size_t i = 0; i < p.sections.size(); ++i) {
        string_view name = SectionName(p, p.sections[i]);
        size_t slot = HashFolded(name) & (size - 1);
        while (p.slots[slot] != 0 &&
               !EqualFolded(SectionName(p, p.sections[p.slots[slot] - 1]), name))
            slot = (slot + 1) & (size - 1);
        if (p.slots[slot] == 0)
            p.slots[slot] = static_cast<uint32_t>(i + 1);
    }
    p.indexed = true;
}

bool IndexLookup(const Parsed& p, string_view name, Section* s) {
    size_t mask = p.slots.size() - 1;
    for (size_t slot = HashFolded(name) & mask; p.slots[slot] != 0; slot = (slot + 1) & mask) {
        const Section& at = p.sections[p.slots[slot] - 1];
        if (EqualFolded(SectionName(p, at), name)) {
            *s = at;
            return true;
        }
    }
    return false;
}

// The first section whose name equals name (folded); false when there is none.
bool FindSection(Parsed& p, string_view name, Section* s) {
    std::lock_guard<std::mutex> g(p.lock);
    if (!p.indexed) {
        if (p.scanned && EqualFolded(p.scannedName, name)) {
            *s = p.scannedSection;
            return p.scannedFound;
        }
        if (!p.scanned) {
            p.scannedFound = ScanSection(p, name, &p.scannedSection);
            p.scannedName.assign(name);
            p.scanned = true;
            *s = p.scannedSection;
            return p.scannedFound;
        }
        BuildIndex(p); // a second name in this version of the file
    }
    return IndexLookup(p, name, s);
}

struct Entry {
    string_view key;
    bool hasValue = false;
    string_view value;
    size_t eqPos = 0; // offset of '=' in the file when hasValue
};

// The entry of a non-blank, non-header line.
Entry EntryOf(string_view d, const Line& l) {
    string_view t = TrimBlanks(LineText(d, l));
    Entry e;
    size_t eq = t.find('=');
    if (eq == string_view::npos) {
        e.key = t;
        return e;
    }
    e.key = TrimBlanks(t.substr(0, eq));
    e.value = TrimBlanks(t.substr(eq + 1));
    e.hasValue = true;
    e.eqPos = static_cast<size_t>(t.data() - d.data()) + eq;
    return e;
}

// The first entry line of key in section s; false when there is none.
bool FindEntry(const Parsed& p, const Section& s, string_view key, Line* line, Entry* entry) {
    size_t pos = s.bodyBegin;
    while (pos < s.bodyEnd) {
        Line l = LineAt(p.data, pos);
        pos = l.end;
        if (TrimBlanks(LineText(p.data, l)).empty())
            continue;
        Entry e = EntryOf(p.data, l);
        if (EqualFolded(CutAtNul(e.key), key)) {
            *line = l;
            *entry = e;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// The cache: files by path, revalidated by device, inode, size and times.
//
// Those say nothing about an edit made within the same tick of the file system's clock as the
// version cached (a same-size edit in place keeps all of them on coarse clocks). So a version
// whose modification time was less than kRecentSeconds old when it was read is read again at
// each access until a read finds it older; while the bytes are the same, the cached look-ups
// are kept.

constexpr long kRecentSeconds = 2;

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

// Whether a stamp read at readStart tells every later edit apart: the file was last modified
// more than kRecentSeconds before.
bool Settled(const FileStamp& s, const struct timespec& readStart) {
    long long secs = static_cast<long long>(readStart.tv_sec) - s.mtime.tv_sec;
    return secs > kRecentSeconds || (secs == kRecentSeconds && readStart.tv_nsec > s.mtime.tv_nsec);
}

struct CacheEntry {
    string path;
    FileStamp stamp;
    bool settled = false;
    std::shared_ptr<Parsed> parsed;
};

constexpr size_t kCacheFiles = 4;
std::mutex gCacheLock;
std::vector<CacheEntry> gCache; // most recently used first

enum class Load { Ok, Missing, Failed };

// Reads the rest of the file into *buf (not cleared first); size is what fstat said, so that
// one read usually takes it all. *len is what was read.
bool ReadAll(int fd, off_t size, std::unique_ptr<char[]>* buf, size_t* len) {
    size_t cap = static_cast<size_t>(size > 0 ? size : 0) + 1; // + 1: a file that grew shows
    std::unique_ptr<char[]> b(new char[cap]);
    size_t done = 0;
    for (;;) {
        if (done == cap) {
            std::unique_ptr<char[]> more(new char[2 * cap]);
            memcpy(more.get(), b.get(), done);
            b = std::move(more);
            cap *= 2;
        }
        ssize_t n = read(fd, b.get() + done, cap - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    *buf = std::move(b);
    *len = done;
    return true;
}

std::shared_ptr<Parsed> CacheLookup(const string& path, const FileStamp& st, bool* settled) {
    std::lock_guard<std::mutex> g(gCacheLock);
    for (size_t i = 0; i < gCache.size(); ++i) {
        if (gCache[i].path == path && SameStamp(gCache[i].stamp, st)) {
            std::rotate(gCache.begin(), gCache.begin() + i, gCache.begin() + i + 1);
            *settled = gCache[0].settled;
            return gCache[0].parsed;
        }
    }
    return nullptr;
}

void CacheStore(const string& path, const FileStamp& st, bool settled,
                std::shared_ptr<Parsed> parsed) {
    std::lock_guard<std::mutex> g(gCacheLock);
    for (size_t i = 0; i < gCache.size(); ++i) {
        if (gCache[i].path == path) {
            gCache.erase(gCache.begin() + i);
            break;
        }
    }
    gCache.insert(gCache.begin(), CacheEntry{path, st, settled, std::move(parsed)});
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

// The file at path: from the cache when the file is unchanged, else read afresh.
Load LoadFile(const string& path, std::shared_ptr<Parsed>* out) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? Load::Missing : Load::Failed;
    if (!S_ISREG(st.st_mode))
        return Load::Failed;
    bool settled = false;
    std::shared_ptr<Parsed> hit = CacheLookup(path, StampOf(st), &settled);
    if (hit && settled) {
        *out = hit;
        return Load::Ok;
    }
    struct timespec readStart {};
    clock_gettime(CLOCK_REALTIME, &readStart);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Load::Missing : Load::Failed;
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadAll(fd, st.st_size, &bytes, &size);
    close(fd);
    if (!ok)
        return Load::Failed;
    std::shared_ptr<Parsed> parsed = MakeParsed(std::move(bytes), size);
    if (parsed->data.size() >= UINT32_MAX)
        return Load::Failed; // offsets are 32-bit; a settings file is never near this size
    // The same text again (a recent version read once more): its look-ups stay good.
    if (hit && hit->form == parsed->form && hit->data == parsed->data)
        parsed = hit;
    // Only a file that did not change while it was read is worth keeping.
    if (static_cast<off_t>(size) == st.st_size)
        CacheStore(path, StampOf(st), Settled(StampOf(st), readStart), parsed);
    *out = parsed;
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
    std::shared_ptr<Parsed> p;
    Load r = (iniPath && section && key) ? LoadFile(iniPath, &p) : Load::Failed;
    if (r == Load::Failed) {
        CopyTruncated(d, buf, cap);
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
string DominantBreak(string_view d) {
    size_t lf = d.find('\n');
    if (lf != string::npos)
        return (lf > 0 && d[lf - 1] == '\r') ? "\r\n" : "\n";
    if (d.find('\r') != string::npos)
        return "\r";
    return "\r\n";
}

// Values never hold a line break: each CR or LF becomes a space.
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

// Whether a section or key name (without its blanks) has no line break in it: one that has
// would be looked up under a name no line of the file can hold, so each write would add another
// section or entry.
bool OnOneLine(string_view name) {
    return name.find_first_of("\r\n") == string_view::npos;
}

// Whether the line "key=value" reads back as that key and value. A key holding '=' would
// split at it; a key starting with '[' makes a header of the line when a ']' follows anywhere.
bool Carriable(string_view key, string_view value) {
    if (key.find('=') != string_view::npos || !OnOneLine(key))
        return false;
    bool closes = key.find(']') != string_view::npos || value.find(']') != string_view::npos;
    return key.empty() || key[0] != '[' || !closes;
}

struct KeyValue {
    string_view key; // as the caller names it, without blanks at its ends
    string value;    // as it is stored
};

// A line a group write sets: an entry already in the section, or a new one.
struct Target {
    bool isNew = false;
    size_t lineBegin = 0; // existing: the line
    size_t keep = 0;      // existing: bytes of the line kept (through '=' when it has one)
    size_t textEnd = 0;   // existing: end of the line's text
    bool hadValue = false;
    string newKey;                 // new: the key as it is written
    bool hasValue = false;         // the line holds a value now...
    string_view current;           // ...which a read sees as this
    const string* value = nullptr; // what the line gets; null while it stays as it is
};

// The line the next key of a group lands on, found the way a write of that key alone would
// find it after the keys before it: its first entry in the section, or a line added before.
Target* TargetFor(const Parsed& p, const Section* s, string_view key, std::vector<Target>* ts) {
    Line line;
    Entry e;
    if (s && FindEntry(p, *s, key, &line, &e)) {
        for (Target& t : *ts) {
            if (!t.isNew && t.lineBegin == line.begin)
                return &t;
        }
        Target t;
        t.lineBegin = line.begin;
        t.hadValue = t.hasValue = e.hasValue;
        t.keep = e.hasValue ? e.eqPos + 1
                            : static_cast<size_t>(e.key.data() - p.data.data()) + e.key.size();
        t.textEnd = line.textEnd;
        t.current = e.value;
        ts->push_back(t);
        return &ts->back();
    }
    for (Target& t : *ts) {
        if (t.isNew && EqualFolded(t.newKey, key))
            return &t;
    }
    Target t;
    t.isNew = true;
    t.newKey = key;
    ts->push_back(std::move(t));
    return &ts->back();
}

// Where new entries of section s go: after its last non-blank line (or right after its header).
size_t AppendPoint(const Parsed& p, const Section& s) {
    size_t at = s.bodyBegin;
    size_t pos = s.bodyBegin;
    while (pos < s.bodyEnd) {
        Line l = LineAt(p.data, pos);
        pos = l.end;
        if (!TrimBlanks(LineText(p.data, l)).empty())
            at = l.end;
    }
    return at;
}

// Sets every key of the group in section in one edit: each existing entry changes in place,
// new entries go after the last entry of the section, a new section at the end of the file.
// The result is the one the keys written one at a time would give. False when nothing changes
// (*out untouched).
bool EditWrite(Parsed& p, string_view section, const std::vector<KeyValue>& group, string* out) {
    Section s;
    bool have = FindSection(p, section, &s);
    std::vector<Target> ts;
    ts.reserve(group.size());
    bool changed = false;
    for (const KeyValue& kv : group) {
        Target* t = TargetFor(p, have ? &s : nullptr, kv.key, &ts);
        if (t->hasValue && t->current == kv.value)
            continue;
        t->value = &kv.value;
        t->current = TrimBlanks(kv.value);
        t->hasValue = true;
        changed = true;
    }
    if (!changed)
        return false;

    string_view d = p.data;
    std::vector<const Target*> edits;
    bool anyNew = false;
    for (const Target& t : ts) {
        if (t.isNew)
            anyNew = true;
        else if (t.value)
            edits.push_back(&t);
    }
    std::sort(edits.begin(), edits.end(),
              [](const Target* a, const Target* b) { return a->keep < b->keep; });
    size_t at = have ? AppendPoint(p, s) : d.size();
    string brk = DominantBreak(d);
    string r;
    r.reserve(d.size() + section.size() + 64 * group.size() + 8);
    size_t pos = 0;
    for (const Target* t : edits) {
        r.append(d, pos, t->keep - pos);
        if (!t->hadValue)
            r += '=';
        r += *t->value;
        pos = t->textEnd;
    }
    r.append(d, pos, at - pos);
    if (anyNew) {
        // An unterminated last line is ended first.
        if (at == d.size() && at > p.bom && !IsLineBreak(d[at - 1]))
            r += brk;
        if (!have) {
            r += '[';
            r += section;
            r += ']';
            r += brk;
        }
        for (const Target& t : ts) {
            if (!t.isNew)
                continue;
            r += t.newKey;
            r += '=';
            r += *t.value;
            r += brk;
        }
    }
    r.append(d, at, string::npos);
    *out = std::move(r);
    return true;
}

// Removes the first section of that name; false when there is none (or nothing to remove).
bool EditDelete(Parsed& p, string_view section, string* out) {
    Section s;
    if (!FindSection(p, section, &s) || s.bodyEnd == s.headBegin)
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

// Temporary files are named ".<settings file name>.<pid>-<attempt>.tmp", beside the file.
string TempPrefix(const string& path) {
    string prefix = ".";
    prefix += BaseOf(path);
    prefix += '.';
    return prefix;
}

// Creates a fresh temporary file beside the settings file; -1 on failure.
int CreateTemp(const string& path, string* tmpPath) {
    string base = DirOf(path) + "/" + TempPrefix(path);
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

// Reads the decimal number at the start of s into *v; false when there is none or it does not
// fit a pid.
bool TakeNumber(string_view* s, long long* v) {
    size_t n = 0;
    *v = 0;
    while (n < s->size() && n < 10 && (*s)[n] >= '0' && (*s)[n] <= '9')
        *v = *v * 10 + ((*s)[n++] - '0');
    if (n == 0 || (n < s->size() && (*s)[n] >= '0' && (*s)[n] <= '9'))
        return false;
    s->remove_prefix(n);
    return true;
}

// The writer's pid when name is one of our temporary files of the settings file whose names
// start with prefix; 0 when the pid part is out of range; -1 when it is not such a file.
long long TempWriter(string_view name, const string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return -1;
    name.remove_prefix(prefix.size());
    long long pid = 0, attempt = 0;
    if (!TakeNumber(&name, &pid) || name.empty() || name[0] != '-')
        return -1;
    name.remove_prefix(1);
    if (!TakeNumber(&name, &attempt) || name != ".tmp")
        return -1;
    return (pid > 0 && pid <= INT32_MAX) ? pid : 0;
}

constexpr time_t kStaleTempSeconds = 60;

// Removes temporary files a killed save left beside the settings file: ours by name, and
// written by a process that no longer exists or more than a minute ago, so not those of a save
// in progress (one without the lock, where there is none to be had).
void RemoveStaleTemps(int dirFd, const string& path) {
    int fd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            close(fd);
        return;
    }
    const string prefix = TempPrefix(path);
    time_t now = time(nullptr);
    while (struct dirent* e = readdir(dir)) {
        long long pid = TempWriter(e->d_name, prefix);
        if (pid < 0)
            continue;
        struct stat st;
        if (fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        bool gone = pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
        if (gone || now - st.st_mtim.tv_sec > kStaleTempSeconds)
            unlinkat(dirFd, e->d_name, 0);
    }
    closedir(dir);
}

// Replaces the file at path with data: temporary file, flush, rename, flush the directory. The
// rename is atomic, so a reader or a crash sees the old file or the new one, never a mix; the
// directory flush makes the rename itself survive a power cut right after the save.
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
    // A file written just now is read again at the next access anyway (see the cache).
    CacheForget(path);
    return true;
}

// Whether a save may replace the file at path. The platform refuses a file with its read-only
// attribute, which a file has when nobody may write to it (no write permission bit at all), even
// for the superuser, whom the system would let write; and a file this process may not write to.
// The rename would go through either way (it needs only the directory), so this is asked first.
bool MayReplace(const string& path, const struct stat& st) {
    if ((st.st_mode & 0222) == 0)
        return false;
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Saves of one settings file take turns by an exclusive lock on ".<file name>.lock" beside it,
// opened for writing (network file systems lock only files open for writing). The save that
// holds it removes it before letting go, so none is left behind; one that finds the file it
// locked removed meanwhile takes the new one. Where no lock can be had (the file system refuses
// locks, or the lock file cannot be made) the save goes ahead without: a save needs a new file
// beside the settings file anyway, so it still fails where nothing can be written.
struct SaveLock {
    int fd = -1; // -1: saving without a lock
    string path;
};

// Opens the lock file at path, making it when there is none; *made tells which. -1 on failure.
int OpenLockFile(const string& path, bool* made) {
    for (;;) {
        int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        *made = fd >= 0;
        if (fd >= 0 || errno != EEXIST)
            return fd;
        fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT)
            return fd;
    }
}

// False only when the lock file kept changing under this save.
bool TakeLock(const string& file, SaveLock* lock) {
    string path = DirOf(file) + "/." + BaseOf(file) + ".lock";
    for (int attempt = 0; attempt < 100; ++attempt) {
        bool made = false;
        int fd = OpenLockFile(path, &made);
        if (fd < 0)
            return true;
        int r;
        while ((r = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        if (r != 0) {
            if (made)
                unlink(path.c_str()); // of no use to anyone here
            close(fd);
            return true;
        }
        struct stat held, named;
        if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            lock->fd = fd;
            lock->path = path;
            return true;
        }
        close(fd); // removed by the save that held it: take the one there now
    }
    return false;
}

void ReleaseLock(SaveLock* lock) {
    if (lock->fd < 0)
        return;
    unlink(lock->path.c_str());
    close(lock->fd);
    lock->fd = -1;
}

// The file a settings path names: the path itself, or the end of its chain of symbolic links (a
// relative link read from the link's own directory), which need not exist yet. A save replaces
// that file, so the links stay links and their target is what changes. False for a loop.
bool FollowLinks(const string& path, string* file) {
    string at = path;
    for (int hop = 0; hop < 40; ++hop) {
        char target[4096];
        ssize_t n = readlink(at.c_str(), target, sizeof target);
        if (n < 0) {
            *file = at; // not a link (or nothing there): this is the file
            return true;
        }
        if (n == 0 || static_cast<size_t>(n) == sizeof target)
            return false;
        at = target[0] == '/' ? string(target, static_cast<size_t>(n))
                              : DirOf(at) + "/" + string(target, static_cast<size_t>(n));
    }
    return false;
}

// One read-modify-write of the file iniPath names, under its save lock.
// edit returns false when the file needs no change.
template <typename Edit> bool Modify(const char* iniPath, Edit edit) {
    string path;
    if (!iniPath || !*iniPath || !FollowLinks(iniPath, &path))
        return false;
    int dirFd = open(DirOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return false;
    SaveLock lock;
    if (!TakeLock(path, &lock)) {
        close(dirFd);
        return false;
    }
    std::shared_ptr<Parsed> p;
    bool ok = false;
    Load r = LoadFile(path, &p);
    if (r != Load::Failed) {
        if (r == Load::Missing)
            p = MakeParsed(nullptr, 0);
        string next;
        if (!edit(*p, &next)) {
            ok = true;
        } else {
            struct stat old;
            bool exists = r == Load::Ok && stat(path.c_str(), &old) == 0;
            if (!exists || MayReplace(path, old)) {
                RemoveStaleTemps(dirFd, path);
                ok = ReplaceFile(path, InForm(*p, std::move(next)), exists ? &old : nullptr, dirFd);
            }
        }
    }
    ReleaseLock(&lock);
    close(dirFd);
    if (path != iniPath)
        CacheForget(iniPath); // the cached copy read through the link is old now
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
    // Nor is a header that could not be found again.
    if (!OnOneLine(CallerName(section)))
        return false;
    std::vector<KeyValue> group;
    group.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (!entries[i].key)
            return false;
        KeyValue kv{CallerName(entries[i].key), StoredValue(entries[i].value)};
        // A line that would read back as another key or as a header is never written.
        if (!Carriable(kv.key, kv.value))
            return false;
        group.push_back(std::move(kv));
    }
    return Modify(iniPath, [&](Parsed& p, string* out) {
        return EditWrite(p, CallerName(section), group, out);
    });
}

bool ProfileDeleteSection(const char* section, const char* iniPath) {
    if (!section)
        return false;
    return Modify(iniPath,
                  [&](Parsed& p, string* out) { return EditDelete(p, CallerName(section), out); });
}
