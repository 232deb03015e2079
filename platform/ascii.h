// Letter case as the launcher knows it: the ASCII letters A to Z and a to z. Every other byte,
// accented letters included, keeps its case (file names and settings names are compared, and
// titles built, this way on both builds).
#pragma once

inline char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
