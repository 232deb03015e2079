// The Win32 front end: the main dialog window, its window procedure and the About box.
#pragma once
#include <windows.h>

// The module instance, set first thing at start-up, and the main window once created.
extern HINSTANCE g_hInstance;
extern HWND g_hwndMain;

// Registers the window class, creates and shows the main window, resolves the paths (with the
// first-run prompts), fills the cartridge list and sets the form's defaults. 1 on success.
int InitInstance(HINSTANCE hInstance, int nCmdShow);

// Fills the cartridge list from the directory text dir, one directory listing per pattern.
void FillCartList(const char* dir);

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND hdlg, UINT msg, WPARAM wParam, LPARAM lParam);
