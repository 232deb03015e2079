#pragma once

// Converts path, in place, to the platform's short form (8.3 names on Win32; unchanged on
// POSIX). A path that does not exist, or whose short form does not fit, is left unchanged.
void ToShortPath(char* path, int cap);
