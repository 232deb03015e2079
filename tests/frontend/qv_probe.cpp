// Reads the Win32 launcher's main window from outside, for the front-end table's driver: the
// screen rectangles of its controls and the form's state. It never sends input; the driver
// gives that as real X events.
//
// Usage: qv_probe   (under Wine), then one command a line on standard input:
//   start <dir>|<exe>
//              starts the launcher <exe> in the directory <dir>; "started" or "error ..."
//   find       waits (up to 15 s) for the started launcher's main window to finish its
//              start-up (every control made and the frame value field set); "window <hwnd>"
//              or "window none"
//   exit       "exit <code>" once the started launcher has ended, or "exit running"
//   kill       ends the started launcher if it still runs; "killed"
//   geometry   "control <id> <left> <top> <width> <height>" in screen pixels for every control,
//              "item_height <pixels>", "top_index <index>", "dpi <the window's dpi>",
//              "about_client <width> <height>" while the About box is open; then "end"
//   state      the form: "item <name>" per list item, "selected <index>" (-1: none),
//              "caret <index>", "title <text>", "title_fit <fit>" (see TitleFit),
//              "frames <text>", the five check states,
//              "focus <id>" (0: the window itself, -1: none of its controls), "running 1|0";
//              then "end"
//   sync       returns once the launcher has handled every message sent before; "synced"
//   waitkey <0|1>
//              the driver's barrier for real input: it presses Pause after its input, and
//              this waits (up to 15 s) until the launcher's thread has taken the key from its
//              queue (with 1: down, with 0: up again), so that everything before has been
//              handled; "key", "ended" or "timeout"
//   popup      "popup <class> <title>" for each visible window of the launcher's process other
//              than the main window (an open menu, the About box); then "end"
//   list <pattern path>|<pattern path>|...
//              the names a sorted list box gets from one LB_DIR request per pattern path, in
//              its order, one "item <name>" a line; then "end" (no window needed)
//   cmp <a> <b>  how the list box compares two names, each given as the hex digits of its UTF-8
//              bytes (CompareStringW without regard to case, in the user's locale):
//              "cmp -1", "cmp 0" or "cmp 1"
//   quit
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "res/resource.h"
#include "support/win32_driver.h"

namespace {

using qvwin::FindTopWindow;
using qvwin::kTimeoutMs;
using qvwin::ListItem;
using qvwin::Send;

HWND g_main = nullptr;
PROCESS_INFORMATION g_launcher = {};
// Every launcher started goes into this job, which ends them when the probe ends: a driver
// that dies leaves no launcher behind to take the focus from the next one.
HANDLE g_job = nullptr;

const int kControls[] = {IDC_CARTLIST, IDC_TITLE,     IDC_USA,     IDC_EUROPE, IDC_JAPAN,
                         IDC_FRAMES,   IDC_FRAMESPIN, IDC_NOSOUND, IDC_Z80,    IDC_LAUNCH,
                         IDC_SAVE,     IDC_DELETE,    IDC_ABOUT,   IDC_EXIT};

// The main window of the launcher this probe started (a window of another launcher, say one
// left over from an earlier run, is never taken for it).
HWND FindMain() {
    return g_launcher.dwProcessId
               ? FindTopWindow(g_launcher.dwProcessId, "Quorvalis", "Quorvalis '95")
               : nullptr;
}

void CloseLauncher() {
    if (g_launcher.hProcess) {
        CloseHandle(g_launcher.hProcess);
        CloseHandle(g_launcher.hThread);
    }
    g_launcher = PROCESS_INFORMATION{};
    g_main = nullptr;
}

void Start(char* args) {
    CloseLauncher();
    char* bar = std::strchr(args, '|');
    if (!bar) {
        std::printf("error usage: start <dir>|<exe>\n");
        return;
    }
    *bar = '\0';
    std::string cmd = std::string("\"") + (bar + 1) + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!g_job) {
        g_job = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(g_job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    if (!CreateProcessA(bar + 1, cmd.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        args, &si, &g_launcher)) {
        std::printf("error CreateProcess %lu\n", GetLastError());
        g_launcher = PROCESS_INFORMATION{};
        return;
    }
    AssignProcessToJobObject(g_job, g_launcher.hProcess);
    ResumeThread(g_launcher.hThread);
    std::printf("started\n");
}

void Exit() {
    DWORD code = 0;
    if (g_launcher.hProcess && WaitForSingleObject(g_launcher.hProcess, 0) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(g_launcher.hProcess, &code))
        std::printf("exit %lu\n", code);
    else
        std::printf("exit running\n");
}

void Kill() {
    if (g_launcher.hProcess && WaitForSingleObject(g_launcher.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(g_launcher.hProcess, 99);
        WaitForSingleObject(g_launcher.hProcess, kTimeoutMs);
    }
    std::printf("killed\n");
}

// Text of another process's control: WM_GETTEXT carries it across.
std::string Text(int id) {
    char buf[1024] = {};
    Send(GetDlgItem(g_main, id), WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
}

// How the title field's text sits in it: "full" when it shows whole and one more "w" would
// not, "room" when a "w" would still fit, "over" when the text does not show whole. Measured
// as the edit control measures typed text: the dialog's font (its template's face and size,
// made again here at the window's resolution, since the launcher's font handle is its own)
// across the formatting rectangle's width.
const char* TitleFit() {
    HWND edit = GetDlgItem(g_main, IDC_TITLE);
    RECT rect = {};
    Send(edit, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    HDC dc = GetDC(edit);
    HFONT font = CreateFontA(-MulDiv(8, static_cast<int>(GetDpiForWindow(g_main)), 72), 0, 0, 0,
                             FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif");
    HGDIOBJ old = SelectObject(dc, font);
    auto width = [dc](const std::string& text) {
        SIZE size = {};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    };
    std::string text = Text(IDC_TITLE);
    long room = rect.right - rect.left;
    const char* fit = width(text) > room ? "over" : width(text + "w") > room ? "full" : "room";
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(edit, dc);
    return fit;
}

int Checked(int id) {
    return static_cast<int>(Send(GetDlgItem(g_main, id), BM_GETCHECK, 0, 0));
}

int FocusId() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(g_main, nullptr);
    if (!GetGUIThreadInfo(thread, &info) || info.hwndFocus == nullptr)
        return -1;
    if (info.hwndFocus == g_main)
        return 0;
    HWND w = info.hwndFocus;
    // The edit inside a control (none here today) counts as the control.
    while (w && GetParent(w) != g_main)
        w = GetParent(w);
    return w ? GetDlgCtrlID(w) : -1;
}

// Start-up has ended once the frame value field shows its default: it is set after the list
// is filled (the spin range follows at once, in the same message).
bool StartedUp(HWND main) {
    for (int id : kControls)
        if (!GetDlgItem(main, id))
            return false;
    g_main = main;
    return Text(IDC_FRAMES) == "2";
}

void Find() {
    DWORD start = GetTickCount();
    HWND main = nullptr;
    while (!((main = FindMain()) && StartedUp(main)) && GetTickCount() - start < kTimeoutMs)
        Sleep(20);
    g_main = main && StartedUp(main) ? main : nullptr;
    if (g_main)
        std::printf("window %p\n", static_cast<void*>(g_main));
    else
        std::printf("window none\n");
}

// The launcher's key state, shared with this thread: GetKeyState then reports the keys as
// the launcher's thread has taken them from its queue.
bool LauncherKeyDown(int vk) {
    static DWORD attachedTo = 0;
    DWORD thread = GetWindowThreadProcessId(g_main, nullptr);
    if (thread && thread != attachedTo) {
        AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
        attachedTo = thread;
    }
    return (GetKeyState(vk) & 0x8000) != 0;
}

bool LauncherEnded() {
    return !g_launcher.hProcess || WaitForSingleObject(g_launcher.hProcess, 0) == WAIT_OBJECT_0;
}

void WaitKey(bool down) {
    DWORD start = GetTickCount();
    for (;;) {
        if (LauncherEnded()) {
            std::printf("ended\n");
            return;
        }
        if (LauncherKeyDown(VK_PAUSE) == down) {
            std::printf("key\n");
            return;
        }
        if (GetTickCount() - start > kTimeoutMs) {
            std::printf("timeout\n");
            return;
        }
        Sleep(5);
    }
}

void Geometry() {
    for (int id : kControls) {
        RECT r = {};
        if (GetWindowRect(GetDlgItem(g_main, id), &r))
            std::printf("control %d %ld %ld %ld %ld\n", id, r.left, r.top, r.right - r.left,
                        r.bottom - r.top);
    }
    RECT client = {};
    GetClientRect(g_main, &client);
    POINT origin = {0, 0};
    ClientToScreen(g_main, &origin);
    std::printf("client %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    HWND list = GetDlgItem(g_main, IDC_CARTLIST);
    RECT lc = {};
    GetClientRect(list, &lc);
    POINT lo = {0, 0};
    ClientToScreen(list, &lo);
    std::printf("list_client %ld %ld %ld %ld\n", lo.x, lo.y, lc.right, lc.bottom);
    std::printf("item_height %d\n", static_cast<int>(Send(list, LB_GETITEMHEIGHT, 0, 0)));
    std::printf("top_index %d\n", static_cast<int>(Send(list, LB_GETTOPINDEX, 0, 0)));
    std::printf("dpi %u\n", GetDpiForWindow(g_main));
    HWND about = FindWindowA(nullptr, "About Quorvalis '95");
    DWORD pid = 0;
    GetWindowThreadProcessId(about, &pid);
    RECT ac = {};
    if (about && pid == g_launcher.dwProcessId && GetClientRect(about, &ac))
        std::printf("about_client %ld %ld\n", ac.right, ac.bottom);
    std::printf("end\n");
}

void State() {
    bool running = IsWindow(g_main) != 0;
    if (running) {
        HWND list = GetDlgItem(g_main, IDC_CARTLIST);
        int count = static_cast<int>(Send(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
            std::printf("item %s\n", ListItem(list, i).c_str());
        std::printf("selected %d\n", static_cast<int>(Send(list, LB_GETCURSEL, 0, 0)));
        std::printf("caret %d\n", static_cast<int>(Send(list, LB_GETCARETINDEX, 0, 0)));
        std::printf("top_index %d\n", static_cast<int>(Send(list, LB_GETTOPINDEX, 0, 0)));
        std::printf("title %s\n", Text(IDC_TITLE).c_str());
        std::printf("title_fit %s\n", TitleFit());
        std::printf("frames %s\n", Text(IDC_FRAMES).c_str());
        std::printf("usa %d\neurope %d\njapan %d\nnosound %d\nz80 %d\n", Checked(IDC_USA),
                    Checked(IDC_EUROPE), Checked(IDC_JAPAN), Checked(IDC_NOSOUND),
                    Checked(IDC_Z80));
        std::printf("focus %d\n", FocusId());
    }
    std::printf("running %d\nend\n", running ? 1 : 0);
}

BOOL CALLBACK PopupProc(HWND hwnd, LPARAM lp) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != static_cast<DWORD>(lp) || hwnd == g_main || !IsWindowVisible(hwnd))
        return TRUE;
    char cls[64] = {};
    char title[256] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, title, sizeof title);
    std::printf("popup %s %s\n", cls, title);
    return TRUE;
}

void Popups() {
    DWORD pid = 0;
    GetWindowThreadProcessId(g_main, &pid);
    if (pid)
        EnumWindows(PopupProc, static_cast<LPARAM>(pid));
    std::printf("end\n");
}

// What a sorted list box makes of a directory: the order the cartridge list shows.
void List(char* patternPaths) {
    HWND list = CreateWindowExA(0, "LISTBOX", "", WS_POPUP | LBS_SORT | LBS_HASSTRINGS, 0, 0, 0, 0,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (list) {
        for (char* p = std::strtok(patternPaths, "|"); p; p = std::strtok(nullptr, "|"))
            SendMessageA(list, LB_DIR, 0, reinterpret_cast<LPARAM>(p));
        int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
            std::printf("item %s\n", ListItem(list, i).c_str());
        DestroyWindow(list);
    }
    std::printf("end\n");
}

// Hex digits to bytes, then UTF-8 to UTF-16.
bool HexToWide(const char* hex, wchar_t* out, int cap) {
    char bytes[1024] = {};
    size_t n = 0;
    for (; hex[0] && hex[1] && n + 1 < sizeof bytes; hex += 2) {
        unsigned v = 0;
        if (std::sscanf(hex, "%2x", &v) != 1)
            return false;
        bytes[n++] = static_cast<char>(v);
    }
    return MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(n) + 1, out, cap) > 0;
}

void Compare(const char* args) {
    char hexA[1024] = {};
    char hexB[1024] = {};
    wchar_t a[512] = {};
    wchar_t b[512] = {};
    if (std::sscanf(args, "%1023s %1023s", hexA, hexB) != 2 || !HexToWide(hexA, a, 511) ||
        !HexToWide(hexB, b, 511)) {
        std::printf("error bad names\n");
        return;
    }
    int r = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1);
    std::printf("cmp %d\n", r == CSTR_LESS_THAN ? -1 : r == CSTR_EQUAL ? 0 : 1);
}

} // namespace

int main() {
    // Rectangles in the screen's pixels, whatever resolution a launcher runs at.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    // Names may hold any byte, control-Z included: no text-mode translation of the input.
    _setmode(_fileno(stdin), _O_BINARY);
    char line[8192];
    while (std::fgets(line, sizeof line, stdin)) {
        line[std::strcspn(line, "\r\n")] = '\0';
        if (std::strncmp(line, "start ", 6) == 0)
            Start(line + 6);
        else if (std::strcmp(line, "find") == 0)
            Find();
        else if (std::strcmp(line, "exit") == 0)
            Exit();
        else if (std::strcmp(line, "kill") == 0)
            Kill();
        else if (std::strcmp(line, "quit") == 0)
            break;
        else if (std::strncmp(line, "list ", 5) == 0)
            List(line + 5);
        else if (std::strncmp(line, "cmp ", 4) == 0)
            Compare(line + 4);
        else if (!g_main)
            std::printf("error no window\n");
        else if (std::strcmp(line, "geometry") == 0)
            Geometry();
        else if (std::strcmp(line, "state") == 0)
            State();
        else if (std::strcmp(line, "sync") == 0) {
            Send(g_main, WM_NULL, 0, 0);
            std::printf("synced\n");
        } else if (std::strncmp(line, "waitkey ", 8) == 0)
            WaitKey(std::atoi(line + 8) != 0);
        else if (std::strcmp(line, "popup") == 0)
            Popups();
        else
            std::printf("error unknown command\n");
        std::fflush(stdout);
    }
    CloseLauncher();
    return 0;
}
