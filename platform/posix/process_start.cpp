// Starts a program from a command line the way the launcher's Windows build does: the first
// blank-separated token names the program, the rest are its arguments, and the launcher does
// not wait for it.
#include "platform/process_start.h"

#include "platform/module_path.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Splits at blanks; double quotes group a token (blanks inside stay) and are removed.
std::vector<std::string> SplitCommandLine(const char* commandLine) {
    std::vector<std::string> tokens;
    const char* p = commandLine;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p == '\0')
            break;
        std::string token;
        bool quoted = false;
        for (; *p != '\0' && (quoted || (*p != ' ' && *p != '\t')); ++p) {
            if (*p == '"')
                quoted = !quoted;
            else
                token += *p;
        }
        tokens.push_back(token);
    }
    return tokens;
}

bool IsRunnableFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// The Windows start runs a program named without an extension (ZELKO, C:\EMU\ZELKO) as NAME.exe:
// here the name is tried as it is first, then with ".exe".
bool HasExtension(const std::string& name) {
    size_t dot = name.rfind('.');
    return dot != std::string::npos && name.find('/', dot) == std::string::npos;
}

// dir followed by name, or by name with ".exe" where the name has no extension, whichever is a
// runnable file first; empty when neither is.
std::string RunnableIn(const std::string& dir, const std::string& name) {
    std::string path = dir + name;
    if (IsRunnableFile(path))
        return path;
    if (!HasExtension(name) && IsRunnableFile(path + ".exe"))
        return path + ".exe";
    return std::string();
}

// The file a program name stands for. A name without a directory is looked up where the Windows
// start looks: the launcher's own directory, the current directory, then each directory of
// PATH (an empty entry is the current directory). A name found nowhere is left to execvp,
// which reports it missing.
std::string FindProgram(const std::string& name) {
    if (name.empty())
        return name;
    if (name.find('/') != std::string::npos) {
        std::string found = RunnableIn("", name);
        return found.empty() ? name : found;
    }
    std::vector<std::string> dirs;
    char module[PATH_MAX];
    if (GetModulePath(module, sizeof module)) {
        if (const char* slash = std::strrchr(module, '/'))
            dirs.emplace_back(module, static_cast<size_t>(slash - module) + 1);
    }
    dirs.emplace_back("./");
    // Without PATH, execvp searches /bin and /usr/bin.
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/bin:/usr/bin";
    for (;;) {
        size_t colon = rest.find(':');
        std::string dir(rest.substr(0, colon));
        dirs.push_back(dir.empty() ? "./" : dir + "/");
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }
    for (const std::string& dir : dirs) {
        std::string found = RunnableIn(dir, name);
        if (!found.empty())
            return found;
    }
    return name;
}

ssize_t ReadRetrying(int fd, void* buf, size_t size) {
    ssize_t n;
    do {
        n = read(fd, buf, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

} // namespace

bool StartProgram(const char* commandLine) {
    std::vector<std::string> tokens = SplitCommandLine(commandLine);
    if (tokens.empty())
        return false;
    // Everything the child needs is prepared here: between fork and exec it may only make
    // async-signal-safe calls.
    std::vector<char*> argv;
    for (std::string& token : tokens)
        argv.push_back(token.data());
    argv.push_back(nullptr);
    // The command line stays as it is; only the file started is looked up.
    std::string file = FindProgram(tokens[0]);

    // The pipe closes unseen when the program starts; otherwise the child sends its errno.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return false;

    // Starting through an intermediate child that exits at once hands the program to init,
    // which reaps it: the launcher never waits for it and leaves no zombie behind.
    pid_t middle = fork();
    if (middle < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (middle == 0) {
        close(report[0]);
        pid_t program = fork();
        if (program == 0) {
            execvp(file.c_str(), argv.data());
            int error = errno;
            ssize_t ignored = write(report[1], &error, sizeof error);
            (void)ignored;
            _exit(127);
        }
        if (program < 0) {
            int error = errno;
            ssize_t ignored = write(report[1], &error, sizeof error);
            (void)ignored;
        }
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n = ReadRetrying(report[0], &error, sizeof error);
    close(report[0]);
    return n == 0;
}
