// The first-run prompt through GetOpenFileNameA, with the record of the Windows 95 generation.
#include "platform/win32/file_chooser_win32.h"

#include <windows.h>

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

    if (GetOpenFileNameA(&ofn))
        return ChooseResult::Chosen;
    return CommDlgExtendedError() == 0 ? ChooseResult::Cancelled : ChooseResult::Failed;
}
