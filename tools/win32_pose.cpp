// Arranges the Win32 launcher's windows for screenshots (scripts/screenshots-win32.sh): a test
// tree as the end-to-end driver makes it, the main window with ZETA.SMD selected, then the About
// box. For each it writes <dir>\ready-main (ready-about) holding the window's screen rectangle,
// and goes on when <dir>\shot-main (shot-about) appears; <dir>\done says how it ended.
//
// Usage: qv_pose <dir> <Quorvalis.exe> <stand-in Zelko.exe>   (Unix paths as Wine's Z:\...)
#include <cstdio>
#include <string>

#include "support/test_util.h"
#include "support/win32_driver.h"

namespace {

using namespace qvwin;

bool WaitFlag(const std::string& path) {
    return WaitFor([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; },
                   120000);
}

void WriteReady(const std::string& path, HWND hwnd) {
    RECT rc;
    GetWindowRect(hwnd, &rc);
    qvtest::WriteFile(path, std::to_string(rc.left) + " " + std::to_string(rc.top) + " " +
                                std::to_string(rc.right - rc.left) + " " +
                                std::to_string(rc.bottom - rc.top) + "\n");
}

int RunPose(const std::string& dir, const std::string& launcher, const std::string& stub) {
    // The launcher's rectangles in screen pixels at any resolution.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    Tree t;
    std::string base = dir + "\\tree";
    RemoveTree(base);
    if (!MakeTree(base, launcher, stub, &t))
        return 2;
    qvtest::WriteFile(t.iniPath, qvtest::ReadFile(t.iniPath) +
                                     "[Quorvalis Paths]\r\nEmulatorPath=" + ShortPath(t.emuExe) +
                                     "\r\nCartPath=" + ShortPath(t.cartDir + "\\") + "\r\n");
    Launcher l;
    if (!StartLauncher(t.launcherExe, t.base, &l))
        return 2;
    HWND list = GetDlgItem(l.main, IDC_CARTLIST);
    WaitFor([&] { return Send(list, LB_GETCOUNT, 0, 0) == kRomCount; });
    ClickItem(list, "ZETA.SMD");
    WaitIdle(&l);
    WriteReady(dir + "\\ready-main", l.main);
    int rc = 0;
    if (WaitFlag(dir + "\\shot-main")) {
        HWND about = OpenAbout(&l);
        if (about != nullptr) {
            WaitIdle(&l);
            WriteReady(dir + "\\ready-about", about);
            WaitFlag(dir + "\\shot-about");
            PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
            WaitFor([&] { return !IsWindow(about); });
        } else {
            rc = 1;
        }
    } else {
        rc = 1;
    }
    PostMessageA(GetDlgItem(l.main, IDC_EXIT), BM_CLICK, 0, 0);
    WaitExit(&l);
    Kill(&l);
    RemoveTree(base);
    qvtest::WriteFile(dir + "\\done", rc == 0 ? "ok\n" : "failed\n");
    return rc;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::printf("usage: qv_pose <dir> <Quorvalis.exe> <Zelko.exe>\n");
        return 2;
    }
    return RunPose(WinPath(argv[1]), WinPath(argv[2]), WinPath(argv[3]));
}
