// Text for FLTK's labels and message boxes exactly as it is written, and names on one row. FLTK
// reads "@" in a label as the start of a symbol ("@->", "@circle") and stops the text there; "@@"
// is its way of writing one "@". Cartridge names and paths may hold any character, so every "@" is
// doubled.
#pragma once

#include <string>

inline std::string PlainLabelText(const char* text) {
    std::string label;
    if (text == nullptr)
        return label;
    for (const char* p = text; *p != '\0'; ++p) {
        label += *p;
        if (*p == '@')
            label += '@';
    }
    return label;
}

// A name on one row, as the cartridge list draws it: a tab and a line break as the "^I" and "^J"
// FLTK already shows for every other control character.
inline std::string OneRowText(const char* name) {
    std::string row;
    for (const char* p = name ? name : ""; *p != '\0'; ++p) {
        if (*p == '\t')
            row += "^I";
        else if (*p == '\n')
            row += "^J";
        else
            row += *p;
    }
    return row;
}
