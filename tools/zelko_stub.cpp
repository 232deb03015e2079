// Stand-in for the emulator Zelko.exe, for tests. Each start appends one record to the file
// "zelko.log" in the directory of this executable, then exits with code 0:
//
//   BEGIN
//   cmdline=<Windows: GetCommandLineA() verbatim; POSIX: argv[1..] joined by single spaces>
//   cwd=<the current directory it was started in>
//   argc=<number of arguments after the program name>
//   arg=<argument 1>
//   arg=<argument 2>
//   ...
//   END
//
// Every line ends in a line feed. Each argument is on a line of its own, so one that holds
// blanks stays one argument in the log. The record is written with a single append, so
// records of programs started at the same time do not interleave.
#include <string>

#ifdef _WIN32
#include <windows.h>
#include <stdlib.h>
#else
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
std::string OwnPath() {
    char buf[32768];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    return (n == 0 || n >= sizeof buf) ? std::string() : std::string(buf, n);
}
std::string CurrentDir() {
    char buf[32768];
    DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    return (n == 0 || n >= sizeof buf) ? std::string() : std::string(buf, n);
}
constexpr char kSep = '\\';
#else
std::string OwnPath() {
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    return (n < 0 || n >= static_cast<ssize_t>(sizeof buf)) ? std::string() : std::string(buf, n);
}
std::string CurrentDir() {
    char buf[PATH_MAX + 1];
    return getcwd(buf, sizeof buf) != nullptr ? std::string(buf) : std::string();
}
constexpr char kSep = '/';
#endif

bool AppendRecord(const std::string& logPath, const std::string& record) {
#ifdef _WIN32
    HANDLE file = CreateFileA(logPath.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == record.size();
#else
    int fd = open(logPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ssize_t written = write(fd, record.data(), record.size());
    close(fd);
    return written == static_cast<ssize_t>(record.size());
#endif
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    std::string cmdline = GetCommandLineA();
#else
    std::string cmdline;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            cmdline += ' ';
        cmdline += argv[i];
    }
#endif
    std::string record = "BEGIN\ncmdline=" + cmdline + "\ncwd=" + CurrentDir() +
                         "\nargc=" + std::to_string(argc > 0 ? argc - 1 : 0) + "\n";
    for (int i = 1; i < argc; ++i)
        record += "arg=" + std::string(argv[i]) + "\n";
    record += "END\n";

    std::string logPath = OwnPath();
    size_t sep = logPath.rfind(kSep);
    logPath = (sep == std::string::npos ? std::string() : logPath.substr(0, sep + 1)) + "zelko.log";
    AppendRecord(logPath, record);
    return 0;
}
