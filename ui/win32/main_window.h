// The Win32 front end's main dialog window, reached by the form interface (form_win32.cpp).
#pragma once
#include <windows.h>

// The module instance, set first thing at start-up, and the main window once created.
extern HINSTANCE g_hInstance;
extern HWND g_hwndMain;
