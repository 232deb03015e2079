#pragma once
// What the Win32 bridge's files share: the bridge's texts are UTF-8, the system's UTF-16.
#include <windows.h>

// Converts text into wide (cap units); false, with wide empty, when it does not fit.
bool ToWide(const char* text, wchar_t* wide, int cap);
// Converts wide into text (cap bytes); false, with text empty, when it does not fit.
bool ToUtf8(const wchar_t* wide, char* text, int cap);
// Writes text, as it is, to the bridge's error output where it has one.
void WriteError(const char* text);
