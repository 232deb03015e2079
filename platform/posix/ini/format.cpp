#include "platform/posix/ini/format.h"

#include <cstring>

namespace ini {

namespace {

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

// The first section header at or after from; false when there is none. Each '[' is found by
// memchr (through find), which glibc vectorises.
bool NextHeader(const Parsed& p, size_t from, Section* s) {
    for (size_t pos = p.data.find('[', from); pos != string_view::npos;
         pos = p.data.find('[', pos + 1)) {
        if (HeaderAt(p, pos, s))
            return true;
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

// The first section named name, found by a scan of the headers.
bool ScanSection(const Parsed& p, string_view name, Section* s) {
    if (name.empty()) {
        *s = LeadSection(p);
        EndSection(p, s);
        return true;
    }
    string_view d = p.data;
    NameProbe probe = ProbeOf(name);
    for (size_t pos = d.find('[', p.bom); pos != string_view::npos; pos = d.find('[', pos + 1)) {
        Section h;
        if (MayBeNamed(d, pos, name, probe) && HeaderAt(p, pos, &h) &&
            EqualFolded(SectionName(p, h), name)) {
            EndSection(p, &h);
            *s = h;
            return true;
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

} // namespace

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

string InForm(const Parsed& p, string text) {
    if (p.form == TextForm::Bytes)
        return text;
    return EncodeUtf16(text, p.form == TextForm::Utf16Le);
}

bool FindSection(Parsed& p, string_view name, Section* s) {
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

} // namespace ini
