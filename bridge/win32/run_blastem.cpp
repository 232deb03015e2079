// The emulator bridge's Win32 side: BlastEm for Windows found beside Zelko.exe or on PATH, the
// cartridge checked and given in a form BlastEm can open, BlastEm started with the arguments
// bridge_args.cpp built and waited for without holding up the launcher that started the bridge.
#include "bridge/win32/bridge_win32.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "bridge/bridge.h"

namespace {

constexpr const wchar_t* kBlastemExe = L"blastem.exe";
constexpr int kWideCap = 32768; // the longest path the system's wide calls take

constexpr const char* kUnzipHint =
    "Download BlastEm for Windows (a blastem-win64-... or blastem-win32-... zip) and unzip it "
    "into the folder of Zelko.exe (%s); its blastem-win... folder may stay as it is.";

// ---- paths ----

bool IsFile(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Zelko.exe's own folder, without a closing backslash.
std::wstring OwnFolder() {
    std::vector<wchar_t> path(kWideCap);
    DWORD n = GetModuleFileNameW(nullptr, path.data(), kWideCap);
    if (n == 0 || n >= static_cast<DWORD>(kWideCap))
        return L".";
    std::wstring own(path.data(), n);
    size_t slash = own.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : own.substr(0, slash);
}

// The system's words for a Win32 error code, without the closing full stop and line break.
void SystemWords(DWORD error, char* text, int cap) {
    wchar_t wide[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, wide, sizeof wide / sizeof wide[0], nullptr);
    while (n > 0 && (wide[n - 1] == L'\r' || wide[n - 1] == L'\n' || wide[n - 1] == L'.' ||
                     wide[n - 1] == L' '))
        --n;
    wide[n] = L'\0';
    if (n == 0 || !ToUtf8(wide, text, cap))
        Say(text, cap, "error %lu", static_cast<unsigned long>(error));
}

// ---- BlastEm's folders ----

// Compares two version texts ("0.6.2", "0.6.10-pre") piece by piece: runs of digits by value,
// other characters as they are.
int CompareVersions(const wchar_t* a, const wchar_t* b) {
    auto digit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    while (*a != L'\0' && *b != L'\0') {
        if (!digit(*a) || !digit(*b)) {
            if (*a != *b)
                return *a < *b ? -1 : 1;
            ++a, ++b;
            continue;
        }
        while (*a == L'0' && digit(a[1]))
            ++a;
        while (*b == L'0' && digit(b[1]))
            ++b;
        const wchar_t *endA = a, *endB = b;
        while (digit(*endA))
            ++endA;
        while (digit(*endB))
            ++endB;
        if (endA - a != endB - b)
            return endA - a < endB - b ? -1 : 1;
        for (; a < endA; ++a, ++b)
            if (*a != *b)
                return *a < *b ? -1 : 1;
    }
    return (*a != L'\0') - (*b != L'\0');
}

bool IsWindows64() {
#ifdef _WIN64
    return true;
#else
    BOOL wow = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow) && wow;
#endif
}

// blastem.exe in the newest blastem-win* folder of folder: the highest version, and of one
// version the 64-bit build on 64-bit Windows (32-bit Windows cannot run it). A folder that
// "Extract All" made around the zip's own folder of the same name is looked into too.
std::wstring NewestUnzipped(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\blastem-win*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return L"";
    bool can64 = IsWindows64();
    std::wstring best, bestVersion;
    bool best64 = false;
    do {
        std::wstring name = found.cFileName;
        // blastem-win64-0.6.2: the bits, then the version.
        bool is64 = name.compare(0, 13, L"blastem-win64") == 0;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (is64 && !can64))
            continue;
        std::wstring exe = folder + L"\\" + name + L"\\" + kBlastemExe;
        if (!IsFile(exe.c_str()))
            exe = folder + L"\\" + name + L"\\" + name + L"\\" + kBlastemExe;
        if (!IsFile(exe.c_str()))
            continue;
        size_t dash = name.find(L'-', 11);
        std::wstring version = dash == std::wstring::npos ? L"" : name.substr(dash + 1);
        int order = best.empty() ? 1 : CompareVersions(version.c_str(), bestVersion.c_str());
        if (order > 0 || (order == 0 && is64 && !best64)) {
            best = exe;
            bestVersion = version;
            best64 = is64;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return best;
}

// blastem.exe in a folder of PATH, in PATH's order.
std::wstring OnPath() {
    std::vector<wchar_t> path(kWideCap);
    DWORD n = GetEnvironmentVariableW(L"PATH", path.data(), kWideCap);
    if (n == 0 || n >= static_cast<DWORD>(kWideCap))
        return L"";
    std::vector<wchar_t> exe(kWideCap);
    DWORD m = SearchPathW(path.data(), kBlastemExe, nullptr, kWideCap, exe.data(), nullptr);
    return m == 0 || m >= static_cast<DWORD>(kWideCap) || !IsFile(exe.data())
               ? L""
               : std::wstring(exe.data(), m);
}

// ---- the cartridge's form ----

// Whether BlastEm's C library, which takes its arguments in the system's code page, gets text
// back unchanged.
bool FitsCodePage(const wchar_t* text) {
    if (GetACP() == CP_UTF8)
        return true;
    BOOL lost = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lost);
    return n > 0 && !lost;
}

// ---- BlastEm's run ----

// Appends arg to a command line the way the C library of the started program splits it again:
// in double quotes when it holds a blank or a quote or is empty, quotes and the backslashes
// before them escaped.
void AppendArgument(std::wstring* line, const wchar_t* arg) {
    if (!line->empty())
        *line += L' ';
    if (arg[0] != L'\0' && std::wcspbrk(arg, L" \t\"") == nullptr) {
        *line += arg;
        return;
    }
    *line += L'"';
    size_t backslashes = 0;
    for (const wchar_t* p = arg; *p != L'\0'; ++p) {
        if (*p == L'\\') {
            ++backslashes;
        } else {
            if (*p == L'"')
                line->append(backslashes + 1, L'\\');
            backslashes = 0;
        }
        *line += *p;
    }
    line->append(backslashes, L'\\');
    *line += L'"';
}

// BlastEm's error output as it comes: passed on to the bridge's own and its end kept.
struct ErrorReader {
    HANDLE pipe = nullptr;
    CRITICAL_SECTION lock;
    char tail[kTailCap + 1] = "";
};

DWORD WINAPI ReadErrors(void* param) {
    auto* reader = static_cast<ErrorReader*>(param);
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(reader->pipe, buf, sizeof buf - 1, &n, nullptr) && n > 0) {
        buf[n] = '\0';
        std::string chunk(buf, n);
        WriteError(chunk.c_str());
        EnterCriticalSection(&reader->lock);
        KeepTail(reader->tail, buf, n);
        LeaveCriticalSection(&reader->lock);
    }
    return 0;
}

// An inheritable copy of one of the bridge's standard handles, or null when it has none.
HANDLE InheritableStd(DWORD which) {
    HANDLE own = GetStdHandle(which), copy = nullptr;
    if (own == nullptr || own == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

// Waits for process while taking the messages sent to this thread. Waiting for messages from
// the first moment tells the system that the bridge is ready for input, which ends the
// launcher's wait in WinExec at once instead of after its 30 s time-out.
void WaitTakingMessages(HANDLE process) {
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
        if (r != WAIT_OBJECT_0 + 1) {
            if (r != WAIT_OBJECT_0)
                WaitForSingleObject(process, INFINITE);
            return;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// How BlastEm ended, in words: its exit status, or the crash that ended it.
void DescribeCode(DWORD code, char* how, int cap) {
    struct Crash {
        DWORD code;
        const char* words;
    };
    static const Crash kCrashes[] = {
        {0xC0000005, "crashed: access violation"},
        {0xC000001D, "crashed: illegal instruction"},
        {0xC0000094, "crashed: integer division by zero"},
        {0xC00000FD, "crashed: stack overflow"},
        {0xC0000374, "crashed: heap corruption"},
        {0xC0000409, "crashed: stack buffer overrun"},
        {0xC0000135, "could not start: a DLL it needs is missing (SDL2.dll must stay beside "
                     "blastem.exe)"},
        {0xC0000139, "could not start: a DLL it needs is of another version"},
        {0xC000007B, "could not start: a DLL beside it is for another kind of Windows (32-bit "
                     "and 64-bit files mixed)"},
        {0xC0000142, "could not start: a DLL it needs failed to start"},
        {0xC000013A, "ended by Ctrl+C"},
    };
    for (const Crash& crash : kCrashes) {
        if (crash.code == code) {
            Say(how, cap, "%s, status 0x%08lX", crash.words, static_cast<unsigned long>(code));
            return;
        }
    }
    if (code >= 0xC0000000)
        Say(how, cap, "crashed with status 0x%08lX", static_cast<unsigned long>(code));
    else
        Say(how, cap, "exit status %lu", static_cast<unsigned long>(code));
}

} // namespace

bool ToWide(const char* text, wchar_t* wide, int cap) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, cap);
    if (n <= 0 && cap > 0)
        wide[0] = L'\0';
    return n > 0;
}

bool ToUtf8(const wchar_t* wide, char* text, int cap) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, cap, nullptr, nullptr);
    if (n <= 0 && cap > 0)
        text[0] = '\0';
    return n > 0;
}

void WriteError(const char* text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (error != nullptr && error != INVALID_HANDLE_VALUE)
        WriteFile(error, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

bool PathExists(const char* path) {
    std::vector<wchar_t> wide(kWideCap);
    return ToWide(path, wide.data(), kWideCap) &&
           GetFileAttributesW(wide.data()) != INVALID_FILE_ATTRIBUTES;
}

bool FindBlastem(char* blastem, int cap, char* message, int cap2) {
    std::wstring folder = OwnFolder();
    char folderText[kBlastemPathCap];
    ToUtf8(folder.c_str(), folderText, sizeof folderText);
    char hint[kBlastemPathCap + 256];
    Say(hint, sizeof hint, kUnzipHint, folderText);

    // Named by ZELKO_BLASTEM: that one, or none.
    std::vector<wchar_t> chosen(kWideCap);
    DWORD n = GetEnvironmentVariableW(L"ZELKO_BLASTEM", chosen.data(), kWideCap);
    if (n > 0 && n < static_cast<DWORD>(kWideCap)) {
        ToUtf8(chosen.data(), blastem, cap);
        if (!IsFile(chosen.data())) {
            Say(message, cap2, "BlastEm was not found at %s (named by %s).\n\n%s", blastem,
                kBlastemVariable, hint);
            return false;
        }
        return true;
    }
    // Unzipped beside Zelko.exe, loose or in its own folder; else installed on PATH.
    std::wstring beside = folder + L"\\" + kBlastemExe;
    std::wstring found = IsFile(beside.c_str()) ? beside : NewestUnzipped(folder);
    if (found.empty())
        found = OnPath();
    if (found.empty()) {
        Say(message, cap2,
            "BlastEm, the emulator this program starts, was not found: there is no blastem.exe "
            "beside Zelko.exe, in a blastem-win... folder beside it or on PATH.\n\n%s",
            hint);
        return false;
    }
    if (!ToUtf8(found.c_str(), blastem, cap)) {
        Say(message, cap2, "The path of BlastEm in %s is too long.", folderText);
        return false;
    }
    return true;
}

bool CheckCartridge(const char* path, char* usable, int cap, char* message, int cap2) {
    std::vector<wchar_t> wide(kWideCap);
    char words[512];
    if (!ToWide(path, wide.data(), kWideCap)) {
        Say(message, cap2, "The cartridge path %s is too long to pass on.", path);
        return false;
    }
    DWORD attributes = GetFileAttributesW(wide.data());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        SystemWords(GetLastError(), words, sizeof words);
        Say(message, cap2, "The cartridge %s cannot be opened: %s.", path, words);
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        Say(message, cap2, "%s is not a cartridge file.", path);
        return false;
    }
    HANDLE file = CreateFileW(wide.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SystemWords(GetLastError(), words, sizeof words);
        Say(message, cap2, "The cartridge %s cannot be read: %s.", path, words);
        return false;
    }
    CloseHandle(file);
    // BlastEm opens the cartridge through its C library, which takes its arguments in the
    // system's code page: a path with other characters goes in its short (8.3) form, which is
    // plain ASCII where the volume keeps one.
    std::vector<wchar_t> shortForm(kWideCap);
    const wchar_t* form = wide.data();
    if (!FitsCodePage(form)) {
        DWORD n = GetShortPathNameW(wide.data(), shortForm.data(), kWideCap);
        if (n == 0 || n >= static_cast<DWORD>(kWideCap) || !FitsCodePage(shortForm.data())) {
            Say(message, cap2,
                "The cartridge %s cannot be passed to BlastEm: its path holds characters that "
                "this system's code page (%u) cannot represent, and its drive keeps no short "
                "(8.3) name for it. Rename the file or its folders with such characters, or "
                "move the cartridge to a drive that keeps short names.",
                path, GetACP());
            return false;
        }
        form = shortForm.data();
    }
    if (!ToUtf8(form, usable, cap)) {
        Say(message, cap2, "The cartridge path %s is too long to pass on.", path);
        return false;
    }
    return true;
}

int RunBlastem(const char* const* args, bool noSound, char* message, int cap) {
    message[0] = '\0';
    // SDL's dummy driver takes the sound and plays nothing; only BlastEm sees the change.
    if (noSound)
        SetEnvironmentVariableW(L"SDL_AUDIODRIVER", L"dummy");
    std::vector<wchar_t> wide(kWideCap);
    std::wstring program, line;
    for (int i = 0; args[i] != nullptr; ++i) {
        ToWide(args[i], wide.data(), kWideCap);
        if (i == 0)
            program = wide.data();
        AppendArgument(&line, wide.data());
    }

    // BlastEm's error output comes through a pipe; its output and input are the bridge's.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0))
        errRead = errWrite = nullptr;
    else
        SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = InheritableStd(STD_INPUT_HANDLE);
    startup.hStdOutput = InheritableStd(STD_OUTPUT_HANDLE);
    startup.hStdError = errWrite != nullptr ? errWrite : InheritableStd(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    DWORD started = GetTickCount();
    BOOL ok = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             nullptr, &startup, &process);
    DWORD error = GetLastError();
    for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (h != nullptr)
            CloseHandle(h);
    if (!ok) {
        if (errRead != nullptr)
            CloseHandle(errRead);
        char words[512];
        SystemWords(error, words, sizeof words);
        char folder[kBlastemPathCap];
        ToUtf8(OwnFolder().c_str(), folder, sizeof folder);
        char hint[kBlastemPathCap + 256];
        Say(hint, sizeof hint, kUnzipHint, folder);
        Say(message, cap, "BlastEm (%s) could not be started: %s.\n\n%s", args[0], words, hint);
        return kExitNoBlastem;
    }
    CloseHandle(process.hThread);

    // Kept past the return: see the end.
    static ErrorReader reader;
    reader.pipe = errRead;
    InitializeCriticalSection(&reader.lock);
    HANDLE thread =
        errRead != nullptr ? CreateThread(nullptr, 0, ReadErrors, &reader, 0, nullptr) : nullptr;
    WaitTakingMessages(process.hProcess);
    DWORD ms = GetTickCount() - started;
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    // The pipe closes when BlastEm ends, unless a program it started holds it open still.
    if (thread != nullptr) {
        WaitForSingleObject(thread, 1000);
        CloseHandle(thread);
    }
    char tail[kTailCap + 1];
    EnterCriticalSection(&reader.lock);
    std::memcpy(tail, reader.tail, sizeof tail);
    LeaveCriticalSection(&reader.lock);
    if (code != 0 && ms < static_cast<DWORD>(kStartWindowMs)) {
        char how[160];
        DescribeCode(code, how, sizeof how);
        DescribeEnd(how, ms, tail, noSound, message, cap);
    }
    // The reader may still be at work when a program BlastEm started holds the pipe: the
    // process's end ends it, so neither the pipe nor the lock is released here.
    return static_cast<int>(code);
}
