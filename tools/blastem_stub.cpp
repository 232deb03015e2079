// Stand-in for BlastEm for Windows (blastem.exe), for the tests of the Win32 emulator bridge.
// Like BlastEm it is a GUI-subsystem program that takes its arguments through the C library.
// Each start appends one record to "blastem.log" beside this executable:
//
//   BEGIN
//   cwd=<the current directory>
//   audio=<SDL_AUDIODRIVER, or "unset">
//   arg=<each argument after the program name, as UTF-8>
//   open=<1 when the last argument opens through the C library for reading, else 0>
//   END
//
// Then, as the environment asks: FAKE_SAY is written to the error output, FAKE_SLEEP seconds
// pass, FAKE_CRASH=1 crashes (a write through a null pointer), and the exit status is
// FAKE_STATUS (decimal, or hexadecimal after 0x), else 0.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Utf8(const char* ansi) {
    wchar_t wide[32768];
    char text[32768 * 3];
    if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, 32768) <= 0 ||
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr) <= 0)
        return "?";
    return text;
}

std::string Env(const char* name, const char* missing) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : missing;
}

void Append(const std::string& record) {
    char own[32768];
    DWORD n = GetModuleFileNameA(nullptr, own, sizeof own);
    std::string log(own, n);
    log = log.substr(0, log.find_last_of('\\') + 1) + "blastem.log";
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
        CloseHandle(file);
    }
}

LONG WINAPI EndWithTheException(EXCEPTION_POINTERS*) {
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

int main(int argc, char** argv) {
    char cwd[32768];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    std::string record =
        "BEGIN\ncwd=" + Utf8(cwd) + "\naudio=" + Env("SDL_AUDIODRIVER", "unset") + "\n";
    for (int i = 1; i < argc; ++i)
        record += "arg=" + Utf8(argv[i]) + "\n";
    FILE* cart = argc > 1 ? std::fopen(argv[argc - 1], "rb") : nullptr;
    record += cart != nullptr ? "open=1\n" : "open=0\n";
    if (cart != nullptr)
        std::fclose(cart);
    Append(record + "END\n");

    std::string say = Env("FAKE_SAY", "");
    if (!say.empty()) {
        say += "\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), say.data(), static_cast<DWORD>(say.size()),
                  &written, nullptr);
    }
    Sleep(static_cast<DWORD>(std::atoi(Env("FAKE_SLEEP", "0").c_str())) * 1000);
    if (Env("FAKE_CRASH", "") == "1") {
        // The process ends with the exception's code, as with no debugger or crash dialog (Wine
        // would otherwise start its debugger).
        SetUnhandledExceptionFilter(EndWithTheException);
        *static_cast<volatile int*>(nullptr) = 1;
    }
    return static_cast<int>(std::strtoul(Env("FAKE_STATUS", "0").c_str(), nullptr, 0));
}
