// The form interface over the main dialog's controls.
#include "ui/form.h"

#include "core/paths.h"
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

bool FormGetSelection(char* buf, int cap) {
    if (SendDlgItemMessageA(g_hwndMain, IDC_CARTLIST, LB_GETCURSEL, 0, 0) == LB_ERR)
        return false;
    char name[kPathMax] = {};
    DlgDirSelectExA(g_hwndMain, name, kPathMax, IDC_CARTLIST);
    return name[0] != '\0' && CopyText(buf, cap, name);
}

void FormShowAbout() {
    DialogBoxParamA(g_hInstance, "About", g_hwndMain, AboutDlgProc, 0);
}

void FormQuit(int code) {
    PostQuitMessage(code);
}
