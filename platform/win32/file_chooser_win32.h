// The first-run prompt on Win32: the common open-file dialog.
#pragma once
#include "platform/file_chooser.h"

// Shows the open-file dialog for request (owner: an HWND). Chosen when the user picked a file,
// Cancelled when the user cancelled or closed it, Failed when the dialog itself failed.
// context is unused; it lets the function serve as a FileChooser.
ChooseResult ChooseFileWin32(OpenFileRequest* request, void* context);
