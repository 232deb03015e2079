// Working the Win32 launcher from another process, for the Win32 end-to-end driver
// (tests/win32), the screenshot tool (tools/win32_pose.cpp) and the front-end probe: windows
// found and sent messages with a time limit, clicks, the launcher's process, and the test tree
// of a launcher, a stand-in emulator and cartridges. Inline, so each program takes what it uses.
#pragma once
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support/test_util.h"

namespace qvwin {

// ---- small helpers ------------------------------------------------------------------------

inline constexpr DWORD kTimeoutMs = 15000;

// Polls cond every 20 ms until it holds or timeoutMs have passed.
template <typename F> bool WaitFor(F cond, DWORD timeoutMs = kTimeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
}

inline std::string WinPath(const char* arg) {
    std::string p = arg;
    if (!p.empty() && p[0] == '/')
        p = "Z:" + p;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

inline std::string ShortPath(const std::string& path) {
    char buf[MAX_PATH];
    DWORD n = GetShortPathNameA(path.c_str(), buf, MAX_PATH);
    return (n == 0 || n >= MAX_PATH) ? path : std::string(buf, n);
}

inline std::string LongPath(const std::string& path) {
    char buf[MAX_PATH];
    DWORD n = GetLongPathNameA(path.c_str(), buf, MAX_PATH);
    return (n == 0 || n >= MAX_PATH) ? path : std::string(buf, n);
}

inline bool SameText(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// ---- windows of another process -------------------------------------------------------------

struct FindTop {
    DWORD pid;
    const char* cls;
    const char* title;
    HWND found;
};

inline BOOL CALLBACK FindTopProc(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<FindTop*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != f->pid || !IsWindowVisible(hwnd))
        return TRUE;
    char cls[64] = {};
    char title[256] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, title, sizeof title); // a top-level caption is stored by the system
    if ((f->cls == nullptr || std::strcmp(cls, f->cls) == 0) &&
        (f->title == nullptr || std::strcmp(title, f->title) == 0)) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

inline HWND FindTopWindow(DWORD pid, const char* cls, const char* title) {
    FindTop f{pid, cls, title, nullptr};
    EnumWindows(FindTopProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

inline HWND WaitTopWindow(DWORD pid, const char* cls, const char* title,
                          DWORD timeoutMs = kTimeoutMs) {
    HWND hwnd = nullptr;
    WaitFor([&] { return (hwnd = FindTopWindow(pid, cls, title)) != nullptr; }, timeoutMs);
    return hwnd;
}

inline LRESULT Send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, msg, wp, lp, SMTO_NORMAL, kTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

// The text of another process's window (WM_GETTEXT is carried across processes).
inline std::string Text(HWND hwnd) {
    char buf[1024] = {};
    Send(hwnd, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
}

inline void SetText(HWND hwnd, const char* text) {
    Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

inline std::string ClassOf(HWND hwnd) {
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    return cls;
}

inline LONG StyleOf(HWND hwnd) {
    return GetWindowLongA(hwnd, GWL_STYLE);
}

inline bool IsChecked(HWND dlg, int id) {
    return Send(GetDlgItem(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// One item of a list, in the ANSI code page; ANSI LB_GETTEXT comes back as UTF-16 across
// processes, so ask in UTF-16.
inline std::string ListItem(HWND list, int i) {
    wchar_t wide[MAX_PATH] = {};
    DWORD_PTR r = 0;
    SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide), SMTO_NORMAL,
                        kTimeoutMs, &r);
    char narrow[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
    return narrow;
}

// The list's items.
inline std::vector<std::string> ListItems(HWND list) {
    std::vector<std::string> items;
    int count = static_cast<int>(Send(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        items.push_back(ListItem(list, i));
    return items;
}

inline std::string Join(const std::vector<std::string>& items) {
    std::string s;
    for (const std::string& i : items)
        s += (s.empty() ? "" : ",") + i;
    return s;
}

// A click with the left button at (x, y) of hwnd's client area, delivered to the control.
inline void ClickAt(HWND hwnd, int x, int y) {
    Send(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Send(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// Clicks into a control so that it takes the keyboard focus, as a user does before typing.
inline void ClickInto(HWND hwnd) {
    ClickAt(hwnd, 2, 2);
}

// The centre of a list item, in the list's client coordinates.
inline POINT ItemPoint(HWND list, int index) {
    int height = static_cast<int>(Send(list, LB_GETITEMHEIGHT, 0, 0));
    int top = static_cast<int>(Send(list, LB_GETTOPINDEX, 0, 0));
    RECT rc;
    GetClientRect(list, &rc);
    return POINT{rc.right / 2, (index - top) * height + height / 2};
}

inline int IndexOf(HWND list, const char* name) {
    std::vector<std::string> items = ListItems(list);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == name)
            return static_cast<int>(i);
    return -1;
}

inline void ClickItem(HWND list, const char* name) {
    POINT p = ItemPoint(list, IndexOf(list, name));
    ClickAt(list, p.x, p.y);
}

inline void DoubleClickItem(HWND list, const char* name) {
    POINT p = ItemPoint(list, IndexOf(list, name));
    LPARAM at = MAKELPARAM(p.x, p.y);
    Send(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    Send(list, WM_LBUTTONUP, 0, at);
    Send(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    Send(list, WM_LBUTTONUP, 0, at);
}

// ---- the launcher process -------------------------------------------------------------------

struct Launcher {
    PROCESS_INFORMATION pi{};
    HWND main = nullptr;
};

inline bool StartLauncher(const std::string& exe, const std::string& cwd, Launcher* l) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    std::vector<char> buf(cmd.begin(), cmd.end());
    buf.push_back('\0');
    if (!CreateProcessA(exe.c_str(), buf.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(),
                        &si, &l->pi))
        return false;
    l->main = WaitTopWindow(l->pi.dwProcessId, "Quorvalis", "Quorvalis '95");
    return l->main != nullptr;
}

// Waits for the process to end; its exit code, or -1 when it did not end in time.
inline long long WaitExit(Launcher* l, DWORD timeoutMs = kTimeoutMs) {
    if (WaitForSingleObject(l->pi.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(l->pi.hProcess, &code);
    return code;
}

inline void Kill(Launcher* l) {
    if (l->pi.hProcess != nullptr && WaitForSingleObject(l->pi.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(l->pi.hProcess, 99);
        WaitForSingleObject(l->pi.hProcess, 5000);
    }
    if (l->pi.hProcess != nullptr) {
        CloseHandle(l->pi.hProcess);
        CloseHandle(l->pi.hThread);
    }
    l->pi = PROCESS_INFORMATION{};
}

// Waits until the launcher is idle again (its queue is empty and it waits for input).
inline void WaitIdle(Launcher* l) {
    WaitForInputIdle(l->pi.hProcess, kTimeoutMs);
}

// ---- the test tree --------------------------------------------------------------------------

struct Tree {
    std::string base;
    std::string launcherDir, launcherExe, iniPath;
    std::string emuDir, emuExe;
    std::string cartDir;
};

// A ROM image whose header name field (48 bytes at offset 336) holds name padded with spaces.
inline std::string RomImage(const char* name) {
    std::string rom(1024, '\0');
    std::string field = name;
    field.resize(48, ' ');
    rom.replace(336, 48, field);
    rom.replace(0x100, 16, "SEGA GENESIS    ");
    return rom;
}

struct RomSpec {
    const char* file;
    const char* header;
};
inline const RomSpec kRoms[] = {
    {"MOLEQST.BIN", "TURBO MOLE QUEST"}, {"ALPHA.MD", "ALPHA  STRIKE"},
    {"ZETA.SMD", "ZETA FORCE"},          {"BETA.MGD", "BETA RACER"},
    {"[BIOS] Mole.bin", "BIOS MOLE"},
};
inline const char* const kBracketRom = "[BIOS] Mole.bin";
inline constexpr int kRomCount = sizeof kRoms / sizeof kRoms[0];

inline bool MakeTree(const std::string& base, const std::string& launcher, const std::string& stub,
                     Tree* t) {
    t->base = base;
    t->launcherDir = base + "\\Launcher Dir";
    t->launcherExe = t->launcherDir + "\\Quorvalis.exe";
    t->iniPath = t->launcherDir + "\\Quorvalis.ini";
    t->emuDir = base + "\\Emulator Files";
    t->emuExe = t->emuDir + "\\Zelko.exe";
    t->cartDir = base + "\\Cartridge Library";
    bool ok = CreateDirectoryA(base.c_str(), nullptr) &&
              CreateDirectoryA(t->launcherDir.c_str(), nullptr) &&
              CreateDirectoryA(t->emuDir.c_str(), nullptr) &&
              CreateDirectoryA(t->cartDir.c_str(), nullptr) &&
              CreateDirectoryA((t->cartDir + "\\GAMES.BIN").c_str(), nullptr) &&
              CopyFileA(launcher.c_str(), t->launcherExe.c_str(), FALSE) &&
              CopyFileA(stub.c_str(), t->emuExe.c_str(), FALSE);
    for (const RomSpec& r : kRoms)
        ok = ok && qvtest::WriteFile(t->cartDir + "\\" + r.file, RomImage(r.header));
    ok = ok && qvtest::WriteFile(t->cartDir + "\\README.TXT", "not a cartridge\r\n");
    // Options stored before the first start: a full set for ZETA.SMD (a frame value of 0 is
    // shown as 9) and an empty title for ALPHA.MD (built from its header).
    ok = ok && qvtest::WriteFile(t->iniPath, "[ZETA.SMD]\r\nTitle=Zeta Custom\r\nNoSound=1\r\n"
                                             "Z80=1\r\nVersion=Japan\r\nFrames=0\r\n"
                                             "[ALPHA.MD]\r\nTitle=\r\nNoSound=0\r\nZ80=1\r\n"
                                             "Version=Europe\r\nFrames=4\r\n");
    return ok;
}

inline void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

// Opens the About box with its button; the box, or null when it did not open.
inline HWND OpenAbout(Launcher* l) {
    PostMessageA(GetDlgItem(l->main, IDC_ABOUT), BM_CLICK, 0, 0);
    return WaitTopWindow(l->pi.dwProcessId, "#32770", "About Quorvalis '95");
}

} // namespace qvwin
