#pragma once

// One open-file request of the first-run prompts.
struct OpenFileRequest {
    void* owner;               // the owning window (HWND on Win32, Fl_Window* on FLTK), or null
    const char* filterDesc;    // one filter pair: description ...
    const char* filterPattern; // ... and pattern(s) separated by ';'
    char* fileName;            // in: initial file name; out: the chosen full path
    int fileNameCap;
    const char* title;
};

enum class ChooseResult {
    Chosen,    // fileName holds the chosen path
    Cancelled, // the user cancelled or closed the dialog
    Failed,    // the dialog itself could not be shown
};

// The front end supplies the chooser, so start-up can be driven without a window.
using FileChooser = ChooseResult (*)(OpenFileRequest* request, void* context);
