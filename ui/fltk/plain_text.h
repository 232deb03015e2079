// Text for FLTK's labels and message boxes exactly as it is written. FLTK reads "@" in a label
// as the start of a symbol ("@->", "@circle") and stops the text there; "@@" is its way of
// writing one "@". Cartridge names and paths may hold any character, so every "@" is doubled.
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
