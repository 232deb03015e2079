// The listing of ListMatchingFiles as the Win32 list box makes it (dir_list.cpp).
#pragma once
#include <windows.h>

// Adds the plain files of dir matching patterns to the list box list: one LB_DIR request per
// pattern path, in the order given. The main window's cartridge list is filled this way.
void AddMatchingFiles(HWND list, const char* dir, const char* const* patterns, int count);
