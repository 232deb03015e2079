#include "platform/posix/ini/values.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/posix/ini/text.h"
#include "platform/text_copy.h"

namespace ini {

namespace {

// Whether a value is enclosed in a matching pair of single or double quotes.
bool Quoted(string_view value) {
    return value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
}

} // namespace

void CopyValue(string_view value, char* buf, int cap) {
    value = CutAtNul(value);
    bool quoted = Quoted(value);
    if (quoted)
        value.remove_prefix(1);
    CopyTextCut(buf, cap, value);
    if (quoted && static_cast<size_t>(cap) >= value.size()) {
        size_t n = strlen(buf);
        if (n > 0)
            buf[n - 1] = '\0';
    }
}

bool ReadsAs(string_view value, string_view text) {
    value = CutAtNul(value);
    if (Quoted(value))
        value = value.substr(1, value.size() - 2);
    return value == text;
}

string_view DefaultText(const char* def) {
    string_view d = def ? string_view(def) : string_view();
    while (d.size() > 1 && d.back() == ' ')
        d.remove_suffix(1);
    return d;
}

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

} // namespace ini
