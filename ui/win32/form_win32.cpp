// The form interface over the main dialog's controls.
#include "ui/form.h"

#include "core/paths.h"
#include "res/about.h"
#include "res/resource.h"
#include "ui/win32/main_window.h"

int FormGetText(int id, char* buf, int cap) {
    return static_cast<int>(GetDlgItemTextA(g_hwndMain, id, buf, cap));
}

// Setting an edit's text makes the edit report EN_CHANGE to the main window itself, so the
// frame value correction runs without a call from here.
void FormSetText(int id, const char* text) {
    SetDlgItemTextA(g_hwndMain, id, text);
}

bool FormIsChecked(int id) {
    return IsDlgButtonChecked(g_hwndMain, id) == BST_CHECKED;
}

void FormSetCheck(int id, bool checked) {
    CheckDlgButton(g_hwndMain, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

// The selected item's text, exactly as the list shows it. The list holds only the file names
// of its directory listing (no directories, no drives), so the text is the file name. The
// window system's own reader of listed names is not used: it takes a name in square brackets
// for a directory and drops the brackets, so "[BIOS] Mole.bin" comes back as "BIOS] Mole.bi\".
bool FormGetSelection(char* buf, int cap) {
    LRESULT sel = SendDlgItemMessageA(g_hwndMain, IDC_CARTLIST, LB_GETCURSEL, 0, 0);
    if (sel == LB_ERR)
        return false;
    LRESULT len = SendDlgItemMessageA(g_hwndMain, IDC_CARTLIST, LB_GETTEXTLEN, sel, 0);
    if (len == LB_ERR || len <= 0 || len >= kPathMax)
        return false;
    char name[kPathMax] = {};
    SendDlgItemMessageA(g_hwndMain, IDC_CARTLIST, LB_GETTEXT, sel, reinterpret_cast<LPARAM>(name));
    name[len] = '\0';
    return CopyText(buf, cap, name);
}

void FormShowMessage(const char* text) {
    MessageBoxA(g_hwndMain, text, QV_CAPTION, MB_OK | MB_ICONEXCLAMATION);
}

// The list box writes a name as it is.
void FormShownName(const char* name, char* buf, int cap) {
    CopyTextCut(buf, cap, name);
}

namespace {

// The About box closes only through OK (the button or Enter).
INT_PTR CALLBACK AboutDlgProc(HWND hdlg, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        return 1;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(hdlg, 1);
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

} // namespace

void FormShowAbout() {
    DialogBoxParamA(g_hInstance, "About", g_hwndMain, AboutDlgProc, 0);
}

void FormQuit(int code) {
    PostQuitMessage(code);
}
