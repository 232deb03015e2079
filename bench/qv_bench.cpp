// Benchmarks of the launcher on large collections. Every measurement has a baseline measured in
// the same run (the bare system calls doing the same job), and the summary prints each as a
// ratio to its baseline, so the figures mean something on a noisy machine.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench_data.h"
#include "core/cart_settings.h"
#include "core/cartridge.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/profile_store.h"

namespace {

std::vector<BenchSet*> g_sets;
std::string g_exeIni;    // the settings file start-up uses: beside this executable
std::string g_exeBackup; // where a settings file found there is kept meanwhile
long g_mtimeTick = 0;

void SetPath(char* buf, const std::string& text) {
    std::snprintf(buf, kPathMax, "%s", text.c_str());
}

// Gives the file a new modification time, as a change by another program would.
void BumpMtime(const std::string& path) {
    struct timespec times[2];
    times[0].tv_sec = 1000000000 + (++g_mtimeTick);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

// ---- Baselines ------------------------------------------------------------------------------

bool IsCartName(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr)
        return false;
    return strcasecmp(dot, ".bin") == 0 || strcasecmp(dot, ".md") == 0 ||
           strcasecmp(dot, ".mgd") == 0 || strcasecmp(dot, ".smd") == 0;
}

void ReaddirSort(const std::string& dir, std::vector<std::string>* names) {
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return;
    while (struct dirent* e = readdir(d)) {
        if (e->d_type != DT_REG && e->d_type != DT_UNKNOWN)
            continue;
        if (!IsCartName(e->d_name))
            continue;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st;
            if (fstatat(dirfd(d), e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
                continue;
        }
        names->emplace_back(e->d_name);
    }
    closedir(d);
    std::sort(names->begin(), names->end(), [](const std::string& a, const std::string& b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    });
}

// The settings file's data in a plain map keyed by lower-case "section\nkey".
using FlatMap = std::unordered_map<std::string, std::string>;

void ParseIni(const std::string& bytes, FlatMap* map) {
    std::string section;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[') {
            size_t close = line.find(']');
            section = Lower(line.substr(1, close == std::string::npos ? 0 : close - 1));
            continue;
        }
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            (*map)[section + "\n" + Lower(line.substr(0, eq))] = line.substr(eq + 1);
    }
}

void CopyField(char* dst, size_t cap, const FlatMap& map, const std::string& key, const char* def) {
    auto it = map.find(key);
    std::snprintf(dst, cap, "%s", it == map.end() ? def : it->second.c_str());
}

// One stat of the settings file plus the five look-ups of a load.
CartSettings MapLoad(const FlatMap& map, const std::string& ini, const std::string& rom) {
    struct stat st;
    stat(ini.c_str(), &st);
    benchmark::DoNotOptimize(st.st_mtim);
    CartSettings s{};
    std::string base = Lower(rom) + "\n";
    char version[kVersionField];
    CopyField(s.title, sizeof s.title, map, base + "title", "");
    CopyField(s.frames, sizeof s.frames, map, base + "frames", kDefaultFrames);
    auto ns = map.find(base + "nosound");
    s.noSound = ns != map.end() && std::atoi(ns->second.c_str()) != 0;
    auto z = map.find(base + "z80");
    s.z80 = z != map.end() && std::atoi(z->second.c_str()) != 0;
    CopyField(version, sizeof version, map, base + "version", kNoVersion);
    s.region = std::strcmp(version, kVersionEurope) == 0  ? Region::Europe
               : std::strcmp(version, kVersionJapan) == 0 ? Region::Japan
                                                          : Region::USA;
    return s;
}

// Write a new file, flush it to disk, rename it over the old one.
void AtomicReplace(const std::string& path, const std::string& bytes) {
    std::string tmp = path + ".new";
    int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    fsync(fd);
    close(fd);
    rename(tmp.c_str(), path.c_str());
}

size_t HeaderReads(const BenchSet& set) {
    char path[kPathMax];
    char text[48];
    size_t dirLen = set.cartDir.size();
    std::memcpy(path, set.cartDir.data(), dirLen);
    size_t total = 0;
    for (const std::string& name : set.carts) {
        std::memcpy(path + dirLen, name.c_str(), name.size() + 1);
        int fd = open(path, O_RDONLY);
        if (fd < 0)
            continue;
        ssize_t n = pread(fd, text, 47, 336);
        close(fd);
        total += n > 0 ? static_cast<size_t>(n) : 0;
    }
    return total;
}

// ---- Benchmarks -----------------------------------------------------------------------------

void UseSet(const BenchSet& set) {
    SetPath(g_paths.IniPath, set.iniPath);
    SetPath(g_paths.CartDir, set.cartDir);
}

void BmListing(benchmark::State& state, const BenchSet* set) {
    size_t count = 0;
    for (auto _ : state) {
        std::vector<std::string> names;
        ListCartFiles(set->cartDir.c_str(), &names);
        count = names.size();
        benchmark::DoNotOptimize(names.data());
    }
    if (count != set->carts.size())
        state.SkipWithError("ListCartFiles found the wrong number of cartridges");
}

void BmListingBase(benchmark::State& state, const BenchSet* set) {
    size_t count = 0;
    for (auto _ : state) {
        std::vector<std::string> names;
        ReaddirSort(set->cartDir, &names);
        count = names.size();
        benchmark::DoNotOptimize(names.data());
    }
    if (count != set->carts.size())
        state.SkipWithError("readdir found the wrong number of cartridges");
}

void BmLoadUnchanged(benchmark::State& state, const BenchSet* set) {
    UseSet(*set);
    LoadCartSettings(set->carts[0].c_str());
    size_t i = 0;
    bool right = true;
    for (auto _ : state) {
        size_t k = i++ % set->carts.size();
        CartSettings s = LoadCartSettings(set->carts[k].c_str());
        benchmark::DoNotOptimize(s);
        right = right && set->titles[k] == s.title;
    }
    if (!right)
        state.SkipWithError("LoadCartSettings returned a wrong title");
}

void BmLoadUnchangedBase(benchmark::State& state, const BenchSet* set) {
    std::string bytes;
    ReadWholeFile(set->iniPath, &bytes);
    FlatMap map;
    ParseIni(bytes, &map);
    size_t i = 0;
    bool right = true;
    for (auto _ : state) {
        size_t k = i++ % set->carts.size();
        CartSettings s = MapLoad(map, set->iniPath, set->carts[k]);
        benchmark::DoNotOptimize(s);
        right = right && set->titles[k] == s.title;
    }
    if (!right)
        state.SkipWithError("map look-up returned a wrong title");
}

void BmLoadChanged(benchmark::State& state, const BenchSet* set) {
    UseSet(*set);
    size_t i = 0;
    bool right = true;
    for (auto _ : state) {
        state.PauseTiming();
        BumpMtime(set->iniPath);
        size_t k = i++ % set->carts.size();
        state.ResumeTiming();
        CartSettings s = LoadCartSettings(set->carts[k].c_str());
        benchmark::DoNotOptimize(s);
        right = right && set->titles[k] == s.title;
    }
    if (!right)
        state.SkipWithError("LoadCartSettings returned a wrong title");
}

void BmLoadChangedBase(benchmark::State& state, const BenchSet* set) {
    std::string bytes;
    for (auto _ : state) {
        state.PauseTiming();
        BumpMtime(set->iniPath);
        state.ResumeTiming();
        ReadWholeFile(set->iniPath, &bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    if (bytes.size() != static_cast<size_t>(set->iniSize))
        state.SkipWithError("short read");
}

void BmSave(benchmark::State& state, const BenchSet* set) {
    UseSet(*set);
    // The file as generated, so every run saves into the same N sections.
    std::string original;
    ReadWholeFile(set->iniPath, &original);
    size_t i = 0;
    for (auto _ : state) {
        size_t k = i % set->carts.size();
        CartSettings s{};
        std::snprintf(s.title, sizeof s.title, "Saved %zu", i);
        std::snprintf(s.frames, sizeof s.frames, "%zu", 1 + i % 9);
        s.noSound = (i & 1) != 0;
        s.z80 = (i & 2) != 0;
        s.region = i % 3 == 0 ? Region::Japan : Region::Europe;
        SaveCartSettings(set->carts[k].c_str(), s);
        ++i;
    }
    CartSettings back = LoadCartSettings(set->carts[(i - 1) % set->carts.size()].c_str());
    char want[64];
    std::snprintf(want, sizeof want, "Saved %zu", i - 1);
    if (std::strcmp(back.title, want) != 0)
        state.SkipWithError("the last save did not read back");
    AtomicReplace(set->iniPath, original);
}

void BmSaveBase(benchmark::State& state, const BenchSet* set) {
    std::string bytes;
    ReadWholeFile(set->iniPath, &bytes);
    std::string target = set->root + "baseline.ini";
    WriteWholeFile(target, bytes);
    for (auto _ : state)
        AtomicReplace(target, bytes);
    unlink(target.c_str());
}

void BmTitles(benchmark::State& state, const BenchSet* set) {
    UseSet(*set);
    char title[kTitleField];
    int good = 0;
    for (auto _ : state) {
        good = 0;
        for (const std::string& name : set->carts)
            good += ReadCartTitle(name.c_str(), title);
        benchmark::DoNotOptimize(title);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(set->carts.size()));
    if (good != static_cast<int>(set->carts.size()))
        state.SkipWithError("ReadCartTitle failed on some cartridges");
}

void BmTitlesBase(benchmark::State& state, const BenchSet* set) {
    size_t total = 0;
    for (auto _ : state) {
        total = HeaderReads(*set);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(set->carts.size()));
    if (total != 47 * set->carts.size())
        state.SkipWithError("short header reads");
}

ChooseResult MustNotAsk(OpenFileRequest*, void* context) {
    *static_cast<bool*>(context) = true;
    return ChooseResult::Failed;
}

// Start-up to a filled list: the settings file beside the executable names this set's
// cartridge directory, and each round starts with a settings file the store has not seen.
void BmStartup(benchmark::State& state, const BenchSet* set) {
    std::string bytes;
    ReadWholeFile(set->iniPath, &bytes);
    WriteWholeFile(g_exeIni, bytes);
    bool asked = false;
    size_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        BumpMtime(g_exeIni);
        std::memset(&g_paths, 0, sizeof g_paths);
        state.ResumeTiming();
        ResolvePaths(MustNotAsk, &asked, nullptr);
        std::vector<std::string> names;
        ListCartFiles(g_paths.SelectedRom, &names);
        count = names.size();
        benchmark::DoNotOptimize(names.data());
    }
    if (asked)
        state.SkipWithError("start-up prompted although both paths are recorded");
    else if (count != set->carts.size())
        state.SkipWithError("start-up listed the wrong number of cartridges");
    else if (g_exeIni != g_paths.IniPath)
        state.SkipWithError("start-up used the wrong settings file");
}

// The rounds of BmRescan by collection size, in nanoseconds: rescans and the start-ups they
// alternated with. The summary takes their medians.
struct RescanRounds {
    std::vector<double> rescan;
    std::vector<double> startup;
};
std::map<int, RescanRounds> g_rescanRounds;

double NsBetween(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::nano>(b - a).count();
}

// F5 against start-up on the same collection, alternated round by round so that both see the
// same machine: start-up to a listed directory as BmStartup runs it, then the rescan of that
// list with its last cartridge selected (the directory listed again and the selection found
// in the new list). Filling the window's list is the same work after both and part of neither.
void BmRescan(benchmark::State& state, const BenchSet* set) {
    std::string bytes;
    ReadWholeFile(set->iniPath, &bytes);
    WriteWholeFile(g_exeIni, bytes);
    RescanRounds& rounds = g_rescanRounds[set->n];
    bool asked = false;
    int index = -1;
    for (auto _ : state) {
        BumpMtime(g_exeIni);
        std::memset(&g_paths, 0, sizeof g_paths);
        auto start = std::chrono::steady_clock::now();
        ResolvePaths(MustNotAsk, &asked, nullptr);
        std::vector<std::string> names;
        ListCartFiles(g_paths.SelectedRom, &names);
        auto listed = std::chrono::steady_clock::now();
        std::vector<std::string> relisted;
        index = RelistCartFiles(names.empty() ? nullptr : names.back().c_str(), &relisted);
        auto rescanned = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(relisted.data());
        rounds.startup.push_back(NsBetween(start, listed));
        rounds.rescan.push_back(NsBetween(listed, rescanned));
        state.SetIterationTime(NsBetween(listed, rescanned) / 1e9);
    }
    if (asked)
        state.SkipWithError("start-up prompted although both paths are recorded");
    else if (index != static_cast<int>(set->carts.size()) - 1)
        state.SkipWithError("the rescan did not find the selected cartridge last");
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// ---- Memory ---------------------------------------------------------------------------------

size_t HeapInUse() {
    struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

struct MemoryFigure {
    int n;
    long fileBytes;
    long heapBytes;
};
std::vector<MemoryFigure> g_memory;

// Heap the store keeps after the first reads of each set's settings file: of the paths section
// and of one cartridge's section, so that a store that indexes section names only when a second
// one is asked for has built that index too. A read of a tiny file first lets a store that
// caches one file drop the previous set's data.
void MeasureMemory(const std::string& tinyIni) {
    char buf[kPathMax];
    for (BenchSet* set : g_sets) {
        ProfileReadString(kPathsSection, kKeyCartPath, "", buf, sizeof buf, tinyIni.c_str());
        BumpMtime(set->iniPath);
        size_t before = HeapInUse();
        ProfileReadString(kPathsSection, kKeyCartPath, "", buf, sizeof buf, set->iniPath.c_str());
        ProfileReadString(set->carts[0].c_str(), kKeyTitle, "", buf, sizeof buf,
                          set->iniPath.c_str());
        size_t after = HeapInUse();
        g_memory.push_back({set->n, set->iniSize, static_cast<long>(after) - long(before)});
    }
    ProfileReadString(kPathsSection, kKeyCartPath, "", buf, sizeof buf, tinyIni.c_str());
}

// ---- Summary --------------------------------------------------------------------------------

// Whether a run stopped with an error or was skipped: Google Benchmark 1.7 (Debian 12) says so
// in error_occurred, 1.8 and later (Debian 13) in skipped.
template <typename BenchmarkRun> bool RunFailed(const BenchmarkRun& run) {
    if constexpr (requires { run.skipped; })
        return static_cast<int>(run.skipped) != 0;
    else
        return run.error_occurred;
}

// Keeps each benchmark's time per iteration (the median when repetitions were asked for).
class Collector : public benchmark::ConsoleReporter {
  public:
    Collector() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    std::map<std::string, double> nsPerIter;
    std::map<std::string, bool> fromMedian;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (RunFailed(run))
                continue;
            std::string name = run.run_name.function_name;
            bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median)
                continue;
            if (!median && fromMedian[name])
                continue;
            double ns =
                run.GetAdjustedRealTime() * (1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit));
            nsPerIter[name] = ns;
            fromMedian[name] = median;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

struct Goal {
    const char* what;
    const char* measure;
    const char* base1;
    const char* base2;
    double limit; // at the largest collection
};

const Goal kGoals[] = {
    {"listing", "listing", "listing_base", nullptr, 1.5},
    {"unchanged load", "load_unchanged", "load_unchanged_base", nullptr, 6.0},
    {"changed load", "load_changed", "load_changed_base", nullptr, 3.0},
    {"save", "save", "save_base", nullptr, 2.0},
    {"titles", "titles", "titles_base", nullptr, 1.5},
    {"start-up", "startup", "listing_base", "load_changed_base", 2.0},
    {"rescan", "rescan", "rescan_startup", nullptr, 1.0},
};

std::string Key(const char* what, int n) {
    return std::string(what) + "/" + std::to_string(n);
}

int PrintSummary(const Collector& c, int goalN) {
    int missed = 0;
    std::printf("\n%-15s %7s %14s %14s %8s %6s\n", "measurement", "N", "time (us)", "baseline (us)",
                "ratio", "goal");
    for (const BenchSet* set : g_sets) {
        for (const Goal& g : kGoals) {
            auto m = c.nsPerIter.find(Key(g.measure, set->n));
            auto b1 = c.nsPerIter.find(Key(g.base1, set->n));
            auto b2 = g.base2 ? c.nsPerIter.find(Key(g.base2, set->n)) : c.nsPerIter.end();
            if (m == c.nsPerIter.end() || b1 == c.nsPerIter.end() ||
                (g.base2 && b2 == c.nsPerIter.end()))
                continue;
            double base = b1->second + (g.base2 ? b2->second : 0.0);
            double ratio = m->second / base;
            bool judged = set->n == goalN;
            bool ok = ratio <= g.limit;
            if (judged && !ok)
                ++missed;
            std::printf("%-15s %7d %14.1f %14.1f %7.2fx %5.1fx%s\n", g.what, set->n,
                        m->second / 1e3, base / 1e3, ratio, g.limit,
                        judged ? (ok ? "  ok" : "  MISSED") : "");
        }
    }
    for (const MemoryFigure& f : g_memory) {
        double ratio = f.fileBytes > 0 ? double(f.heapBytes) / double(f.fileBytes) : 0.0;
        bool judged = f.n == goalN;
        if (judged && ratio > 3.0)
            ++missed;
        std::printf("%-15s %7d %11ld KiB %10ld KiB %7.2fx %5.1fx%s\n", "cache memory", f.n,
                    f.heapBytes / 1024, f.fileBytes / 1024, ratio, 3.0,
                    judged ? (ratio <= 3.0 ? "  ok" : "  MISSED") : "");
    }
    std::printf("(goals apply at N = %d; memory baseline is the file's size on disk)\n", goalN);
    return missed;
}

// ---- Set-up ---------------------------------------------------------------------------------

bool FindExeIni() {
    char exe[kPathMax];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return false;
    exe[n] = '\0';
    char* slash = std::strrchr(exe, '/');
    if (slash == nullptr)
        return false;
    slash[1] = '\0';
    g_exeIni = std::string(exe) + kIniFileName;
    g_exeBackup = g_exeIni + ".qv-bench-saved";
    if (access(g_exeIni.c_str(), F_OK) == 0)
        rename(g_exeIni.c_str(), g_exeBackup.c_str());
    return true;
}

void RestoreExeIni() {
    unlink(g_exeIni.c_str());
    if (access(g_exeBackup.c_str(), F_OK) == 0)
        rename(g_exeBackup.c_str(), g_exeIni.c_str());
}

using BenchFn = void (*)(benchmark::State&, const BenchSet*);

void Register(const char* name, BenchFn fn, const BenchSet* set, double minTime) {
    benchmark::RegisterBenchmark(Key(name, set->n).c_str(), fn, set)
        ->UseRealTime()
        ->MinTime(minTime)
        ->Unit(benchmark::kMicrosecond);
}

void RegisterAll(const BenchSet* set) {
    // Each measurement right after its baseline, so both see the same machine state.
    Register("listing_base", BmListingBase, set, 0.5);
    Register("listing", BmListing, set, 0.5);
    Register("load_unchanged_base", BmLoadUnchangedBase, set, 0.5);
    Register("load_unchanged", BmLoadUnchanged, set, 0.5);
    Register("load_changed_base", BmLoadChangedBase, set, 0.5);
    Register("load_changed", BmLoadChanged, set, 0.5);
    Register("save_base", BmSaveBase, set, 1.0);
    Register("save", BmSave, set, 1.0);
    Register("titles_base", BmTitlesBase, set, 0.5);
    Register("titles", BmTitles, set, 0.5);
    Register("startup", BmStartup, set, 1.0);
    benchmark::RegisterBenchmark(Key("rescan", set->n).c_str(), BmRescan, set)
        ->UseManualTime()
        ->MinTime(1.0)
        ->Unit(benchmark::kMicrosecond);
}

std::vector<int> ParseSizes(const char* text) {
    std::vector<int> sizes;
    for (const char* p = text; *p != '\0';) {
        char* end = nullptr;
        long v = std::strtol(p, &end, 10);
        if (end == p)
            break;
        if (v > 0 && v <= 1000000)
            sizes.push_back(static_cast<int>(v));
        p = *end == ',' ? end + 1 : end;
    }
    return sizes;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = {1000, 10000};
    bool check = false;
    // Own flags first; the rest go to Google Benchmark.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--qv_sizes=", 11) == 0)
            sizes = ParseSizes(argv[i] + 11);
        else if (std::strcmp(argv[i], "--qv_check") == 0)
            check = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    if (sizes.empty())
        return 2;
    if (!FindExeIni()) {
        std::fprintf(stderr, "bench: cannot find the executable's directory\n");
        return 1;
    }

    int status = 0;
    std::string tinyIni;
    for (int n : sizes) {
        auto* set = new BenchSet;
        if (!MakeBenchSet(n, set)) {
            status = 1;
            delete set;
            break;
        }
        g_sets.push_back(set);
        std::printf("collection of %d cartridges in %s (settings file %ld bytes)\n", n,
                    set->root.c_str(), set->iniSize);
    }
    if (status == 0) {
        tinyIni = g_sets.front()->root + "tiny.ini";
        ProfileWriteString(kPathsSection, kKeyCartPath, "/", tinyIni.c_str());
        MeasureMemory(tinyIni);
        for (const BenchSet* set : g_sets)
            RegisterAll(set);
        Collector collector;
        benchmark::RunSpecifiedBenchmarks(&collector);
        // The rescan against the start-ups it alternated with: the medians of all rounds.
        for (const auto& [n, rounds] : g_rescanRounds) {
            if (collector.nsPerIter.count(Key("rescan", n)) == 0)
                continue;
            collector.nsPerIter[Key("rescan", n)] = Median(rounds.rescan);
            collector.nsPerIter[Key("rescan_startup", n)] = Median(rounds.startup);
        }
        int goalN = *std::max_element(sizes.begin(), sizes.end());
        int missed = PrintSummary(collector, goalN);
        if (check && missed > 0)
            status = 3;
    }
    RestoreExeIni();
    for (BenchSet* set : g_sets) {
        RemoveBenchSet(*set);
        delete set;
    }
    benchmark::Shutdown();
    return status;
}
