// What the emulator bridge adds to BlastEm's start: the time from starting Zelko.exe to the
// start of the program it runs, against starting that program directly, in the same run.
//
// The program started is this benchmark itself in stamp mode (standing in for BlastEm through
// ZELKO_BLASTEM): its first act is to write the monotonic clock into a pipe inherited from
// the benchmark, so both paths end at the same point and load the same program. With --blastem
// (needs DISPLAY) it also times the real BlastEm from the start to its window being mapped,
// directly and through the bridge, to set the bridge's cost beside BlastEm's own start.
//
//   qv_bridge_bench [--rounds N] [--blastem] [--check]
//
// --check: exit status 3 when the median added time is 5 ms or more.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* kStampVariable = "QV_BENCH_STAMP_FD";
constexpr double kGoalMs = 5.0;

long long NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Stamp mode: the clock into the inherited pipe, nothing else.
int Stamp(const char* fdText) {
    long long now = NowNs();
    ssize_t n = write(std::atoi(fdText), &now, sizeof now);
    return n == static_cast<ssize_t>(sizeof now) ? 0 : 1;
}

std::string OwnPath() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// The current environment with the given NAME=value entries in place of their own.
std::vector<std::string> EnvWith(const std::vector<std::string>& set) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry(*e);
        bool replaced = false;
        for (const std::string& s : set)
            replaced = replaced || entry.compare(0, s.find('=') + 1, s, 0, s.find('=') + 1) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), set.begin(), set.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// Starts args with env; quiet sends its output to /dev/null.
pid_t Spawn(std::vector<std::string> args, std::vector<std::string> env, bool quiet = false) {
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

void Reap(pid_t pid) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// One start: nanoseconds from the spawn to the stamp, or -1.
long long TimeToStamp(const std::vector<std::string>& args, std::vector<std::string> env,
                      int readFd) {
    long long t0 = NowNs();
    pid_t pid = Spawn(args, std::move(env));
    if (pid < 0)
        return -1;
    long long stamp = 0;
    ssize_t n = read(readFd, &stamp, sizeof stamp);
    Reap(pid);
    return n == static_cast<ssize_t>(sizeof stamp) ? stamp - t0 : -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty()      ? 0
           : v.size() % 2 ? v[v.size() / 2]
                          : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Min(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

std::string ReadFile(const std::string& path) {
    std::string data;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return data;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.append(buf, n);
    std::fclose(f);
    return data;
}

// Milliseconds from the spawn of args to the first window mapped on the display, or -1; the
// process is then ended with SIGTERM (the bridge passes it on to BlastEm).
double TimeToWindow(Display* dpy, const std::vector<std::string>& args,
                    const std::vector<std::string>& env) {
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, True);
    long long t0 = NowNs();
    pid_t pid = Spawn(args, env, true);
    if (pid < 0)
        return -1;
    double ms = -1;
    long long deadline = t0 + 30000000000LL;
    while (ms < 0 && NowNs() < deadline) {
        while (XPending(dpy) > 0) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.type == MapNotify && ms < 0)
                ms = (NowNs() - t0) / 1e6;
        }
        if (ms < 0)
            usleep(200);
    }
    kill(pid, SIGTERM);
    Reap(pid);
    XSelectInput(dpy, DefaultRootWindow(dpy), NoEventMask);
    XSync(dpy, True);
    return ms;
}

// BlastEm with a home of its own: its files stay there, and it draws through SDL, since its
// OpenGL output stops at a notice that vsync cannot be set on a virtual X server.
std::vector<std::string> BlastemEnv(const std::string& dir) {
    std::string config = ReadFile("/etc/blastem/default.cfg");
    size_t gl = config.find("\tgl on");
    if (gl != std::string::npos)
        config.replace(gl, 6, "\tgl off");
    std::string cfgDir = dir + "/home/.config/blastem";
    std::string cmd = "mkdir -p '" + cfgDir + "'";
    if (std::system(cmd.c_str()) != 0 || !WriteFile(cfgDir + "/blastem.cfg", config))
        std::fprintf(stderr, "qv_bridge_bench: cannot write BlastEm's configuration\n");
    return EnvWith({"HOME=" + dir + "/home", "XDG_CONFIG_HOME=" + dir + "/home/.config",
                    "SDL_AUDIODRIVER=dummy", "ZELKO_BLASTEM=/usr/games/blastem"});
}

void Report(const char* what, const std::vector<double>& direct,
            const std::vector<double>& bridged) {
    double md = Median(direct), mb = Median(bridged);
    std::printf("%-26s %10.3f %10.3f %10.3f %10.3f %9.3f %7.2fx\n", what, md, Min(direct), mb,
                Min(bridged), mb - md, md > 0 ? mb / md : 0);
}

} // namespace

int main(int argc, char** argv) {
    if (const char* fd = std::getenv(kStampVariable))
        return Stamp(fd);
    int rounds = 200;
    bool blastem = false, check = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--blastem") == 0)
            blastem = true;
        else if (std::strcmp(argv[i], "--check") == 0)
            check = true;
        else {
            std::fprintf(stderr, "usage: qv_bridge_bench [--rounds N] [--blastem] [--check]\n");
            return 2;
        }
    }
    char dirTemplate[] = "/tmp/qv-bridge-bench-XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr)
        return 1;
    std::string dir = dirTemplate;
    std::string cart = dir + "/MOLEQST.BIN";
    std::string makeRoms = std::string(QV_MAKE_ROMS) + " " + dir;
    if (std::system(makeRoms.c_str()) != 0) {
        std::fprintf(stderr, "qv_bridge_bench: make_roms failed\n");
        return 1;
    }

    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return 1;
    fcntl(pipeFds[0], F_SETFD, FD_CLOEXEC);
    std::string self = OwnPath();
    std::string stampFd = std::string(kStampVariable) + "=" + std::to_string(pipeFds[1]);
    std::vector<std::string> direct = {self, "-m", "gen", "-r", "U", "-n", cart};
    std::vector<std::string> bridged = {QV_BRIDGE, "-frame", "2", cart};
    std::vector<std::string> env = EnvWith({stampFd, "ZELKO_BLASTEM=" + self});

    std::vector<double> directMs, bridgedMs;
    for (int r = 0; r < rounds; ++r) {
        long long a = TimeToStamp(direct, env, pipeFds[0]);
        long long b = TimeToStamp(bridged, env, pipeFds[0]);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "qv_bridge_bench: a start failed\n");
            return 1;
        }
        directMs.push_back(a / 1e6);
        bridgedMs.push_back(b / 1e6);
    }
    std::printf("milliseconds              direct med  direct min  bridge med  bridge min"
                "     added   ratio\n");
    Report("start of the program", directMs, bridgedMs);
    double added = Median(bridgedMs) - Median(directMs);

    if (blastem) {
        Display* dpy = XOpenDisplay(nullptr);
        if (dpy == nullptr) {
            std::fprintf(stderr, "qv_bridge_bench: --blastem needs a display\n");
            return 1;
        }
        std::vector<std::string> benv = BlastemEnv(dir);
        std::vector<double> d, b;
        for (int r = 0; r < 10; ++r) {
            d.push_back(TimeToWindow(
                dpy, {"/usr/games/blastem", "-m", "gen", "-r", "U", "-n", cart}, benv));
            b.push_back(TimeToWindow(dpy, {QV_BRIDGE, "-frame", "2", cart}, benv));
        }
        Report("BlastEm window mapped", d, b);
        XCloseDisplay(dpy);
    }
    std::string cleanup = "rm -rf '" + dir + "'";
    if (std::system(cleanup.c_str()) != 0)
        std::fprintf(stderr, "qv_bridge_bench: cannot remove %s\n", dir.c_str());
    std::printf("goal: under %.1f ms added (median): %s\n", kGoalMs,
                added < kGoalMs ? "met" : "MISSED");
    return check && added >= kGoalMs ? 3 : 0;
}
