// The emulator bridge's POSIX side: the cartridge and BlastEm checked, BlastEm started with the
// arguments bridge_args.cpp built, watched through its start and waited for.
#include "bridge/bridge.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kInstallHint =
    "Install the Debian package \"blastem\":  sudo apt install blastem";

// The milliseconds of a monotonic clock.
long long NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// BlastEm's pid while it runs, for the signal handler; and whether a signal was passed on.
volatile sig_atomic_t g_blastem = 0;
volatile sig_atomic_t g_passedOn = 0;

// The signals a user or a session ends programs with.
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

// A signal that would end the bridge ends BlastEm instead; the bridge then ends with it.
void PassOn(int sig) {
    if (g_blastem > 0) {
        g_passedOn = 1;
        kill(static_cast<pid_t>(g_blastem), sig);
    }
}

void CatchEndingSignals() {
    struct sigaction action {};
    action.sa_handler = PassOn;
    sigemptyset(&action.sa_mask);
    for (int sig : kEndingSignals)
        sigaction(sig, &action, nullptr);
    // A closed error output must not end the bridge while BlastEm runs.
    std::signal(SIGPIPE, SIG_IGN);
}

// Copies BlastEm's error output to the bridge's own until BlastEm closes it.
void PassOutputOn(int fd, char* tail) {
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        ssize_t ignored = write(STDERR_FILENO, buf, static_cast<size_t>(n));
        (void)ignored;
        KeepTail(tail, buf, static_cast<size_t>(n));
    }
}

// The wait status of pid once it has ended; a failed wait counts as exit status 1.
int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 1 << 8;
    }
    return status;
}

// The exit status to pass on, the way a shell reports it: 128 + N for an end by signal N.
int ExitCodeOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 1;
}

// In the child: BlastEm's error output into the pipe, default signal handling, then BlastEm.
// Only async-signal-safe calls from here on.
[[noreturn]] void ExecBlastem(const char* const* args, int errWrite, int report) {
    if (errWrite != STDERR_FILENO)
        dup2(errWrite, STDERR_FILENO);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int sig : kEndingSignals)
        sigaction(sig, &action, nullptr);
    sigaction(SIGPIPE, &action, nullptr);
    execv(args[0], const_cast<char* const*>(args));
    int error = errno;
    ssize_t ignored = write(report, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

// How BlastEm ended, in the words a shell uses.
void DescribeStatus(int status, char* how, int cap) {
    if (WIFSIGNALED(status))
        Say(how, cap, "ended by signal %d", WTERMSIG(status));
    else
        Say(how, cap, "exit status %d", ExitCodeOf(status));
}

// True when path names a file this process may run; else a message that says what to install.
bool CheckBlastem(const char* path, char* message, int cap) {
    bool chosen = std::strcmp(path, kDefaultBlastem) != 0;
    struct stat st {};
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (chosen)
            Say(message, cap, "BlastEm was not found at %s (named by %s).\n\n%s", path,
                kBlastemVariable, kInstallHint);
        else
            Say(message, cap,
                "BlastEm, the emulator this program starts, is not installed (%s "
                "is missing).\n\n%s",
                path, kInstallHint);
        return false;
    }
    if (access(path, X_OK) != 0) {
        Say(message, cap, "BlastEm (%s) cannot be run: %s.\n\n%s", path, std::strerror(errno),
            kInstallHint);
        return false;
    }
    return true;
}

} // namespace

bool PathExists(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0;
}

bool FindBlastem(char* blastem, int cap, char* message, int cap2) {
    // ZELKO_BLASTEM when set and not empty, else the Debian one.
    const char* chosen = std::getenv(kBlastemVariable);
    const char* path = chosen != nullptr && chosen[0] != '\0' ? chosen : kDefaultBlastem;
    if (std::strlen(path) >= static_cast<size_t>(cap)) {
        Say(message, cap2, "The path %s (named by %s) is too long.", path, kBlastemVariable);
        return false;
    }
    std::memcpy(blastem, path, std::strlen(path) + 1);
    return CheckBlastem(blastem, message, cap2);
}

bool CheckCartridge(const char* path, char* usable, int cap, char* message, int cap2) {
    struct stat st {};
    if (stat(path, &st) != 0) {
        Say(message, cap2, "The cartridge %s cannot be opened: %s.", path, std::strerror(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        Say(message, cap2, "%s is not a cartridge file.", path);
        return false;
    }
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Say(message, cap2, "The cartridge %s cannot be read: %s.", path, std::strerror(errno));
        return false;
    }
    close(fd);
    // Any path stat accepts fits (PATH_MAX is 4096), but a cut-off one must not reach BlastEm.
    if (std::strlen(path) >= static_cast<size_t>(cap)) {
        Say(message, cap2, "The cartridge path %s is too long to pass on.", path);
        return false;
    }
    std::memcpy(usable, path, std::strlen(path) + 1);
    return true;
}

int RunBlastem(const char* const* args, bool noSound, char* message, int cap) {
    message[0] = '\0';
    // SDL's dummy driver takes the sound and plays nothing; only BlastEm sees the change.
    if (noSound)
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    int err[2], report[2];
    if (pipe2(err, O_CLOEXEC) != 0)
        err[0] = err[1] = -1;
    if (pipe2(report, O_CLOEXEC) != 0) {
        Say(message, cap, "BlastEm (%s) could not be started: %s.", args[0], std::strerror(errno));
        return kExitNoBlastem;
    }
    CatchEndingSignals();
    long long started = NowMs();
    pid_t pid = fork();
    if (pid == 0)
        ExecBlastem(args, err[1] >= 0 ? err[1] : STDERR_FILENO, report[1]);
    if (err[1] >= 0)
        close(err[1]);
    close(report[1]);
    if (pid < 0) {
        Say(message, cap, "BlastEm (%s) could not be started: %s.", args[0], std::strerror(errno));
        close(report[0]);
        if (err[0] >= 0)
            close(err[0]);
        return kExitNoBlastem;
    }
    g_blastem = pid;

    // The report pipe closes unread when BlastEm's program starts; otherwise it brings errno.
    int error = 0;
    ssize_t n;
    do {
        n = read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    close(report[0]);
    if (n > 0) {
        WaitFor(pid);
        if (err[0] >= 0)
            close(err[0]);
        Say(message, cap, "BlastEm (%s) could not be started: %s.\n\n%s", args[0],
            std::strerror(error), kInstallHint);
        return kExitNoBlastem;
    }

    char tail[kTailCap + 1] = "";
    if (err[0] >= 0) {
        PassOutputOn(err[0], tail);
        close(err[0]);
    }
    int status = WaitFor(pid);
    long long ms = NowMs() - started;
    g_blastem = 0;
    int code = ExitCodeOf(status);
    if (code != 0 && ms < kStartWindowMs && !g_passedOn) {
        char how[64];
        DescribeStatus(status, how, sizeof how);
        DescribeEnd(how, ms, tail, noSound, message, cap);
    }
    return code;
}
