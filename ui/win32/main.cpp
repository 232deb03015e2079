// Program entry, start-up and the main window procedure of the Win32 launcher.
#include "ui/win32/main_window.h"

#include <commctrl.h>

#include <cstring>

#include "core/cartridge.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/win32/dir_list_win32.h"
#include "platform/win32/file_chooser_win32.h"
#include "res/resource.h"
#include "ui/commands.h"
#include "ui/form.h"

HINSTANCE g_hInstance;
HWND g_hwndMain;

namespace {

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        HandleFormCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

// Upper limit 9 in the low half, lower limit 1 in the high half.
constexpr LPARAM kFramesRange = MAKELPARAM(9, 1);

bool RegisterMainClass(HINSTANCE hInstance) {
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = MainWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, "Icon");
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = "Quorvalis";
    return RegisterClassA(&wc) != 0;
}

// Fills the cartridge list from the directory text dir, by the requests ListCartFiles makes.
// The list is drawn once, when it is full, not after every name: a list of thousands of
// cartridges would otherwise be redrawn thousands of times while it fills.
void FillCartList(const char* dir) {
    HWND list = GetDlgItem(g_hwndMain, IDC_CARTLIST);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    AddMatchingFiles(list, dir, kCartPatterns, kCartPatternCount);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

// The index of the list item whose text is name exactly, or LB_ERR. The list box's own search
// ignores case, so each item it finds is compared again.
LRESULT FindExactItem(HWND list, const char* name) {
    LRESULT first = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(name));
    for (LRESULT at = first; at != LB_ERR;) {
        char text[kPathMax];
        LRESULT len = SendMessageA(list, LB_GETTEXTLEN, at, 0);
        if (len >= 0 && len < kPathMax &&
            SendMessageA(list, LB_GETTEXT, at, reinterpret_cast<LPARAM>(text)) != LB_ERR &&
            std::strcmp(text, name) == 0)
            return at;
        at = SendMessageA(list, LB_FINDSTRINGEXACT, at, reinterpret_cast<LPARAM>(name));
        if (at <= first) // the search went round to the start
            break;
    }
    return LB_ERR;
}

// F5: the list filled again as at start-up, from the cartridge directory. The cartridge
// selected stays selected and the form untouched; when it is no longer listed nothing is
// selected and the form shows what it shows with no selection. The view keeps its place as
// far as the new list allows.
void RescanCartList() {
    HWND list = GetDlgItem(g_hwndMain, IDC_CARTLIST);
    char kept[kPathMax];
    bool selected = FormGetSelection(kept, kPathMax);
    LRESULT top = SendMessageA(list, LB_GETTOPINDEX, 0, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    FillCartList(g_paths.CartDir);
    SendMessageA(list, LB_SETTOPINDEX, top, 0);
    LRESULT at = selected ? FindExactItem(list, kept) : LB_ERR;
    if (at != LB_ERR)
        SendMessageA(list, LB_SETCURSEL, at, 0);
    else if (selected)
        HandleFormCommand(IDC_CARTLIST, 0); // the reload Delete Config also asks for
}

// Whether msg is F5 pressed in the main window, whatever control has the focus.
bool IsRescanKey(const MSG& msg) {
    return msg.message == WM_KEYDOWN && msg.wParam == VK_F5 &&
           (msg.hwnd == g_hwndMain || IsChild(g_hwndMain, msg.hwnd));
}

// Registers the window class, creates and shows the main window, resolves the paths (with the
// first-run prompts), fills the cartridge list and sets the form's defaults. 1 on success.
int InitInstance(HINSTANCE hInstance, int nCmdShow) {
    g_hInstance = hInstance;
    if (!RegisterMainClass(hInstance))
        return 0;
    g_hwndMain = CreateDialogParamA(hInstance, "Quorvalis", nullptr, nullptr, 0);
    if (g_hwndMain == nullptr)
        return 0;
    ShowWindow(g_hwndMain, nCmdShow);
    UpdateWindow(g_hwndMain);
    InitCommonControls();

    ResolvePaths(ChooseFileWin32, nullptr, g_hwndMain);
    FillCartList(g_paths.SelectedRom);

    CheckDlgButton(g_hwndMain, IDC_USA, BST_CHECKED);
    SetDlgItemTextA(g_hwndMain, IDC_FRAMES, kDefaultFrames);
    SendDlgItemMessageA(g_hwndMain, IDC_FRAMESPIN, UDM_SETRANGE, 0, kFramesRange);
    return 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow) {
    if (!InitInstance(hInstance, nCmdShow))
        return 0;
    MSG msg;
    // GetMessageA returns -1 on an error: that ends the loop too instead of spinning on it.
    int got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
        // F5 is taken before the dialog keyboard handling, which never sees it.
        if (IsRescanKey(msg)) {
            RescanCartList();
            continue;
        }
        if (!IsDialogMessageA(g_hwndMain, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (got < 0)
        return 0;
    return static_cast<int>(msg.wParam);
}
