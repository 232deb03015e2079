// The first-run prompts: a small modal open-file dialog over the main window.
#pragma once
#include "platform/file_chooser.h"

// Shows the dialog for request: its title as the caption, a list of the shown directory's
// subdirectories and of the files matching the filter pattern, the filter's description, and
// a file-name field holding request->fileName at first. Chosen when the user opened a path
// whose directory exists and that fits request->fileName (the full path is then there);
// Cancelled when the dialog was cancelled, closed or left with Escape; Failed when the request
// is unusable.
ChooseResult FltkChooseFile(OpenFileRequest* request, void* context);
