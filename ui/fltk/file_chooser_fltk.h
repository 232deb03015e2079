// The first-run prompts over FLTK's file chooser.
#pragma once
#include "platform/file_chooser.h"

// Shows the chooser for request (title, filter, initial file name, modal over the main
// window). Chosen when the user picked or typed a path whose directory exists (the full path
// is then in request->fileName), Cancelled when the chooser was cancelled or closed, Failed
// when the request is unusable or the path does not fit request->fileName.
ChooseResult FltkChooseFile(OpenFileRequest* request, void* context);

// Turns a filter pattern list of the open-file request ("*.bin;*.md") into one FLTK pattern
// ("*.{bin,md}"; a single pattern stays as it is). False, with out empty, when it does not
// fit out or the list holds no pattern.
bool ConvertFilterPattern(const char* patterns, char* out, int cap);

// The chooser's filter entry: the description up to any parenthesis, then the FLTK pattern
// in parentheses, e.g. "Genesis ROMs (*.{bin,md,mgd,smd})". False, with out empty, when it
// does not fit.
bool BuildChooserFilter(const char* description, const char* patterns, char* out, int cap);
