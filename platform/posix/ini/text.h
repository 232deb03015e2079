// Characters, names and lines of the initialization-file format, as every part of the settings
// store sees them: which bytes are blanks, how names compare (ASCII letters without regard to
// case, a name ending at its first NUL), where a line ends (at its first CR or LF, a CRLF pair
// being one end). Small functions over bytes, inline so the scans that use them stay fast.
#pragma once

#include "platform/ascii.h"
#include "platform/profile_store.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace ini {

using std::string;
using std::string_view;

inline bool IsBlank(unsigned char c) {
    return IsProfileBlank(c);
}

inline unsigned char FoldAscii(unsigned char c) {
    return static_cast<unsigned char>(AsciiLower(static_cast<char>(c)));
}

// A name as the functions see it: it ends at its first NUL byte.
inline string_view CutAtNul(string_view s) {
    size_t n = s.find('\0');
    return n == string_view::npos ? s : s.substr(0, n);
}

inline int CompareFolded(string_view a, string_view b) {
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

inline bool EqualFolded(string_view a, string_view b) {
    return CompareFolded(a, b) == 0;
}

inline string_view TrimBlanks(string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

// Section and key names as callers give them: blanks around them do not count, for reads, writes
// and deletes alike.
inline string_view CallerName(const char* s) {
    return TrimBlanks(s ? string_view(s) : string_view());
}

inline bool IsLineBreak(unsigned char c) {
    return c == '\n' || c == '\r';
}

// Blanks that can stand inside a line.
inline bool IsInlineBlank(unsigned char c) {
    return IsBlank(c) && !IsLineBreak(c);
}

struct Line {
    size_t begin = 0;   // first byte of the line
    size_t textEnd = 0; // end of the line without its terminator
    size_t end = 0;     // first byte after the terminator
};

// The end of the text of the line that holds pos: its first CR or LF, or the end of the data.
inline size_t TextEndFrom(string_view d, size_t pos) {
    for (size_t i = pos; i < d.size(); ++i) {
        if (IsLineBreak(d[i]))
            return i;
    }
    return d.size();
}

// The first byte after the terminator at textEnd (a CRLF pair is one line end).
inline size_t AfterBreak(string_view d, size_t textEnd) {
    if (textEnd >= d.size())
        return d.size();
    bool crlf = d[textEnd] == '\r' && textEnd + 1 < d.size() && d[textEnd + 1] == '\n';
    return textEnd + (crlf ? 2 : 1);
}

// The line starting at pos: it ends at the first CR or LF.
inline Line LineAt(string_view d, size_t pos) {
    Line l;
    l.begin = pos;
    l.textEnd = TextEndFrom(d, pos);
    l.end = AfterBreak(d, l.textEnd);
    return l;
}

inline string_view LineText(string_view d, const Line& l) {
    return string_view(d).substr(l.begin, l.textEnd - l.begin);
}

} // namespace ini
