#include "platform/posix/ini/utf16.h"

namespace ini {

using std::string;
using std::string_view;

namespace {

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

} // namespace

TextForm FormOf(string_view raw) {
    if (raw.substr(0, 2) == "\xFF\xFE")
        return TextForm::Utf16Le;
    if (raw.substr(0, 2) == "\xFE\xFF")
        return TextForm::Utf16Be;
    return TextForm::Bytes;
}

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

} // namespace ini
