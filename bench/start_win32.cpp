// The Win32 launcher's start, from its process start to its cartridge list drawn, against two
// bare dialogs (this program started again) whose list boxes are filled by the same LB_DIR
// requests and nothing else: --bare, the launcher's window reduced to its list box, and
// --bare-whole, the launcher's own window template with every control, under a class whose
// procedure is the default one. The first tells what the window's other controls cost, the
// second what the launcher's own work (settings file, paths, how it fills the list) adds.
// Runs under Wine; see bench/README.md.
//
//   qv_start_bench <Quorvalis.exe> [--sizes N,N,...] [--runs N] [--dir DIR] [--check]
//   qv_start_bench --bare|--bare-whole <cartridge directory>    a baseline dialog itself
//
// For each size it makes (once, kept in DIR) a cartridge directory of N files and a settings
// file naming it, then starts the launcher and the two bare dialogs in turn, --runs times each,
// below 10,000 cartridges after one unmeasured start of each. A start ends when its list holds
// the N names and neither the list nor its window has anything left to paint (looked at every
// millisecond); the process is then ended. Prints the medians and the launcher's ratios to
// both; with --check, exit status 3 when the ratio to the whole bare window is above the goal.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kGoal = 1.2;
// How long one start may take: a list box of 100,000 names fills slowly under Wine.
constexpr DWORD kWaitMs = 3600 * 1000;
constexpr int kListId = 101;
// The launcher's patterns, in its order.
const char* const kPatterns[] = {"*.bin", "*.md", "*.mgd", "*.smd"};
const char* const kExtensions[] = {".BIN", ".md", ".MGD", ".smd"};

// ---- the bare dialog ---------------------------------------------------------------------

// The bare dialog: template "BARE" (the launcher's window reduced to its list box), or with
// whole set the launcher's own template "Quorvalis", every control included, of a class whose
// procedure is the default one. Either way nothing but the four LB_DIR requests fills it.
int RunBare(const char* cartDir, bool whole) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    if (whole) {
        WNDCLASSA wc = {};
        wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = DefWindowProcA;
        wc.cbWndExtra = DLGWINDOWEXTRA;
        wc.hInstance = inst;
        wc.hIcon = LoadIconA(inst, "Icon");
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
        wc.lpszClassName = "Quorvalis";
        if (!RegisterClassA(&wc))
            return 1;
    }
    HWND dlg = CreateDialogParamA(inst, whole ? "Quorvalis" : "BARE", nullptr, nullptr, 0);
    if (!dlg)
        return 1;
    ShowWindow(dlg, SW_SHOWDEFAULT);
    UpdateWindow(dlg);
    if (whole)
        InitCommonControls();
    HWND list = GetDlgItem(dlg, kListId);
    for (const char* pattern : kPatterns) {
        char path[MAX_PATH] = {};
        std::snprintf(path, sizeof path, "%s\\%s", cartDir, pattern);
        SendMessageA(list, LB_DIR, 0, reinterpret_cast<LPARAM>(path));
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return 0;
}

// ---- the data ------------------------------------------------------------------------------

bool WriteFileText(const std::string& path, const std::string& text) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size();
    CloseHandle(h);
    return ok;
}

// <dir>\<n>\roms\ with n cartridges (empty files: only names are listed) and
// <dir>\<n>\app\ with the launcher and its settings file. Made once: a "complete" file says so.
bool MakeData(const std::string& dir, int n, const char* launcher, const std::string& emulator) {
    std::string base = dir + "\\" + std::to_string(n);
    std::string roms = base + "\\roms\\";
    std::string app = base + "\\app\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA(base.c_str(), nullptr);
    CreateDirectoryA(app.c_str(), nullptr);
    if (!CopyFileA(launcher, (app + "Quorvalis.exe").c_str(), FALSE))
        return false;
    std::string ini =
        "[Quorvalis Paths]\r\nEmulatorPath=" + emulator + "\r\nCartPath=" + roms + "\r\n";
    if (!WriteFileText(app + "Quorvalis.ini", ini))
        return false;
    if (GetFileAttributesA((base + "\\complete").c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    CreateDirectoryA(roms.c_str(), nullptr);
    for (int i = 0; i < n; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "CART%06d%s", i, kExtensions[i % 4]);
        if (!WriteFileText(roms + name, ""))
            return false;
    }
    return WriteFileText(base + "\\complete", "");
}

// ---- one start -----------------------------------------------------------------------------

struct Found {
    DWORD pid;
    HWND window;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == f->pid && IsWindowVisible(hwnd) && GetDlgItem(hwnd, kListId)) {
        f->window = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The list holds n names and neither it nor its window has anything left to paint.
bool ListDrawn(DWORD pid, int n) {
    Found f{pid, nullptr};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&f));
    if (!f.window)
        return false;
    HWND list = GetDlgItem(f.window, kListId);
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutA(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 60000, &count) ||
        static_cast<int>(count) != n)
        return false;
    return !GetUpdateRect(list, nullptr, FALSE) && !GetUpdateRect(f.window, nullptr, FALSE);
}

// Milliseconds from the process start to its list drawn; negative on failure.
double TimeStart(const std::string& cmd, const std::string& cwd, int n) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string line = cmd;
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(), &si,
                        &pi))
        return -1;
    bool drawn = false;
    for (DWORD start = GetTickCount(); !drawn && GetTickCount() - start < kWaitMs;)
        if (!(drawn = ListDrawn(pi.dwProcessId, n)))
            Sleep(1);
    QueryPerformanceCounter(&t1);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return drawn ? 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / freq.QuadPart : -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--bare") == 0)
        return RunBare(argv[2], false);
    if (argc == 3 && std::strcmp(argv[1], "--bare-whole") == 0)
        return RunBare(argv[2], true);
    if (argc < 2) {
        std::fprintf(stderr, "usage: qv_start_bench <Quorvalis.exe> [--sizes N,N,...] "
                             "[--runs N] [--dir DIR] [--check]\n");
        return 2;
    }
    std::vector<int> sizes = {10, 10000, 100000};
    int runs = 5;
    bool check = false;
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + "qv-start-bench";
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sizes") == 0 && i + 1 < argc) {
            sizes.clear();
            for (char* p = std::strtok(argv[++i], ","); p; p = std::strtok(nullptr, ","))
                sizes.push_back(std::atoi(p));
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            dir = argv[++i];
        } else if (std::strcmp(argv[i], "--check") == 0) {
            check = true;
        }
    }
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    // The emulator is never started: any existing file will do.
    std::string emulator = self;

    std::printf("%-20s %7s %14s %14s %8s %16s %8s %6s\n", "start to list drawn", "N",
                "launcher (ms)", "bare list (ms)", "ratio", "bare window (ms)", "ratio", "goal");
    bool missed = false;
    for (int n : sizes) {
        if (!MakeData(dir, n, argv[1], emulator)) {
            std::fprintf(stderr, "qv_start_bench: cannot make the data for %d in %s\n", n,
                         dir.c_str());
            return 2;
        }
        std::string base = dir + "\\" + std::to_string(n);
        std::string app = base + "\\app";
        std::string roms = " \"" + base + "\\roms\"";
        const std::string cmds[3] = {"\"" + app + "\\Quorvalis.exe\"",
                                     "\"" + std::string(self) + "\" --bare" + roms,
                                     "\"" + std::string(self) + "\" --bare-whole" + roms};
        std::vector<double> times[3];
        for (int r = n < 10000 ? 0 : 1; r <= runs; ++r) {
            for (int k = 0; k < 3; ++k) {
                double t = TimeStart(cmds[k], app, n);
                if (t < 0) {
                    std::fprintf(stderr, "qv_start_bench: a start at %d did not show its list\n",
                                 n);
                    return 2;
                }
                if (r > 0) // the first of each, if any, is unmeasured
                    times[k].push_back(t);
            }
        }
        double launcher = Median(times[0]), list = Median(times[1]), whole = Median(times[2]);
        // The goal is judged against the bare window: what the launcher's own work adds to
        // showing its window and listing the cartridges.
        double ratio = launcher / whole;
        missed = missed || ratio > kGoal;
        std::printf("%-20s %7d %14.1f %14.1f %7.2fx %16.1f %7.2fx %5.1fx %s\n", "", n, launcher,
                    list, launcher / list, whole, ratio, kGoal, ratio > kGoal ? "MISSED" : "ok");
        std::fflush(stdout);
    }
    return check && missed ? 3 : 0;
}
