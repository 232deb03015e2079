// Bounded copies of text into fixed buffers, the only ways text enters one: whole or not at all
// (paths, whose cut-off form would name another file), cut to the buffer as the window system
// reads a field, and appended whole or not at all.
#pragma once

#include <cstring>
#include <string_view>

// Copies at most cap - 1 bytes of src into dst and terminates it.
inline void CopyTextCut(char* dst, int cap, std::string_view src) {
    if (cap <= 0)
        return;
    size_t len = src.size() < static_cast<size_t>(cap - 1) ? src.size() : cap - 1;
    std::memmove(dst, src.data(), len);
    dst[len] = '\0';
}

// The same for text that need not be terminated within cap: a field read the way the window
// system reads an edit into a buffer.
inline void CopyTextCut(char* dst, int cap, const char* src) {
    if (cap > 0)
        CopyTextCut(dst, cap, std::string_view(src, strnlen(src, static_cast<size_t>(cap - 1))));
}

// Copies src into dst (capacity cap). Returns false, leaving dst empty, when it does not fit.
inline bool CopyText(char* dst, int cap, const char* src) {
    if (cap <= 0)
        return false;
    if (std::strlen(src) >= static_cast<size_t>(cap)) {
        dst[0] = '\0';
        return false;
    }
    CopyTextCut(dst, cap, std::string_view(src));
    return true;
}

// Appends src to dst (capacity cap). Returns false, leaving dst unchanged, when it does not fit.
inline bool AppendText(char* dst, int cap, const char* src) {
    if (cap <= 0)
        return false;
    size_t have = strnlen(dst, static_cast<size_t>(cap));
    size_t add = std::strlen(src);
    if (have >= static_cast<size_t>(cap) || add >= static_cast<size_t>(cap) - have)
        return false;
    std::memmove(dst + have, src, add + 1);
    return true;
}
