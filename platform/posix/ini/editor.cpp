#include "platform/posix/ini/editor.h"

#include <algorithm>

namespace ini {

namespace {

// The line terminator the file mostly uses (CRLF for a new or single-line file).
string DominantBreak(string_view d) {
    size_t lf = d.find('\n');
    if (lf != string::npos)
        return (lf > 0 && d[lf - 1] == '\r') ? "\r\n" : "\n";
    if (d.find('\r') != string::npos)
        return "\r";
    return "\r\n";
}

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

} // namespace

string StoredValue(const char* value) {
    string_view v = value ? string_view(value) : string_view();
    while (!v.empty() && IsBlank(v.front()))
        v.remove_prefix(1);
    return string(v);
}

bool OnOneLine(string_view name) {
    return name.find_first_of("\r\n") == string_view::npos;
}

bool Carriable(string_view key, string_view value) {
    if (key.find('=') != string_view::npos || !OnOneLine(key))
        return false;
    bool closes = key.find(']') != string_view::npos || value.find(']') != string_view::npos;
    return key.empty() || key[0] != '[' || !closes;
}

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

} // namespace ini
