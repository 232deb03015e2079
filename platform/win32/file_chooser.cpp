// The first-run prompt through GetOpenFileNameA, with the record of the Windows 95 generation.
#include "platform/win32/file_chooser_win32.h"

#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <cstring>

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

// Copies the name in src (at most srcCap bytes, terminated or not) into dst, cut to dstCap - 1.
void CopyName(char* dst, int dstCap, const char* src, int srcCap) {
    if (dstCap <= 0)
        return;
    int n = 0;
    while (n < srcCap && n < dstCap - 1 && src[n] != '\0') {
        dst[n] = src[n];
        ++n;
    }
    dst[n] = '\0';
}

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
    char initial[kInitialNameMax];
    CopyName(initial, kInitialNameMax, request->fileName, request->fileNameCap);

    if (GetOpenFileNameA(&ofn))
        return ChooseResult::Chosen;
    DWORD error = CommDlgExtendedError();
    // Cancelled, or a chosen path too long for the buffer: the user's answer is not usable,
    // the dialog is; it is shown again. Any other error means it cannot be shown at all.
    if (error == 0 || error == FNERR_BUFFERTOOSMALL) {
        CopyName(request->fileName, request->fileNameCap, initial, kInitialNameMax);
        return ChooseResult::Cancelled;
    }
    return ChooseResult::Failed;
}
