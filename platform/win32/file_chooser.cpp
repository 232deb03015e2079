// The first-run prompt through GetOpenFileNameA, with the record of the Windows 95 generation.
#include "platform/win32/file_chooser_win32.h"

#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>

#include "platform/text_copy.h"

namespace {

// description NUL pattern NUL NUL
constexpr size_t kFilterMax = 512;

bool BuildFilter(const char* desc, const char* pattern, char* filter) {
    size_t d = std::strlen(desc);
    size_t p = std::strlen(pattern);
    if (d + 1 + p + 2 > kFilterMax)
        return false;
    std::memcpy(filter, desc, d + 1);
    std::memcpy(filter + d + 1, pattern, p + 1);
    filter[d + 1 + p + 1] = '\0';
    return true;
}

// The initial file name, kept across a failed prompt (it holds at most one path).
constexpr int kInitialNameMax = MAX_PATH;

} // namespace

ChooseResult ChooseFileWin32(OpenFileRequest* request, void* /*context*/) {
    char filter[kFilterMax];
    if (!BuildFilter(request->filterDesc, request->filterPattern, filter))
        return ChooseResult::Failed;

    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = static_cast<HWND>(request->owner);
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = request->fileName;
    ofn.nMaxFile = static_cast<DWORD>(request->fileNameCap);
    ofn.lpstrTitle = request->title;
    ofn.Flags = OFN_PATHMUSTEXIST;

    // The dialog writes into the file-name buffer even when it fails: a prompt shown again
    // starts from the same initial name.
    char initial[kInitialNameMax] = "";
    // The request's buffer need not be terminated within its capacity.
    CopyTextCut(initial, std::min(kInitialNameMax, request->fileNameCap + 1), request->fileName);

    if (GetOpenFileNameA(&ofn))
        return ChooseResult::Chosen;
    DWORD error = CommDlgExtendedError();
    // Cancelled, or a chosen path too long for the buffer: the user's answer is not usable,
    // the dialog is; it is shown again. Any other error means it cannot be shown at all.
    if (error == 0 || error == FNERR_BUFFERTOOSMALL) {
        CopyTextCut(request->fileName, request->fileNameCap, initial);
        return ChooseResult::Cancelled;
    }
    return ChooseResult::Failed;
}
