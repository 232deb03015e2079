// The settings file under faults: saves that fail part-way, a saving process killed at any
// moment, two processes saving at once, and a file edited by hand while the launcher runs.
// Every fault runs in a real process against a real file in a temporary directory.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/cart_settings.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/limits.h"
#include "platform/profile_store.h"
#include "support/child_process.h"
#include "support/test_util.h"

namespace fs = std::filesystem;
using qvtest::CurrentDirGuard;
using qvtest::kSkipped;
using qvtest::MakeSettings;
using qvtest::ReadFile;
using qvtest::RunInChild;
using qvtest::TempDir;
using qvtest::WriteFile;

namespace {

// The five keys of one cartridge as a load reports them.
struct Saved {
    std::string title, frames;
    bool noSound, z80;
    Region region;
    bool operator==(const Saved& o) const {
        return title == o.title && frames == o.frames && noSound == o.noSound && z80 == o.z80 &&
               region == o.region;
    }
};

Saved Load(const char* rom) {
    CartSettings s = LoadCartSettings(rom);
    return {s.title, s.frames, s.noSound, s.z80, s.region};
}

void Save(const char* rom, const Saved& v) {
    SaveCartSettings(rom,
                     MakeSettings(v.title.c_str(), v.frames.c_str(), v.noSound, v.z80, v.region));
}

std::string RomName(const char* prefix, int i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%02d.BIN", prefix, i);
    return name;
}

// A settings directory whose file already holds the paths section and some cartridges, saved
// the way the launcher saves them. g_paths points at it.
struct SettingsDir {
    TempDir dir;
    std::string ini;
    explicit SettingsDir(int carts = 20) {
        ini = dir.file(kIniFileName);
        CopyText(g_paths.IniPath, kPathMax, ini.c_str());
        CopyText(g_paths.CartDir, kPathMax, dir.dirText().c_str());
        ProfileWriteString(kPathsSection, kKeyEmulatorPath, "/opt/zelko/Zelko.exe", ini.c_str());
        ProfileWriteString(kPathsSection, kKeyCartPath, "/roms/", ini.c_str());
        for (int i = 0; i < carts; ++i) {
            std::string title = "Stored Title " + std::to_string(i);
            Save(RomName("OLD", i).c_str(), {title, "3", i % 2 == 0, i % 3 == 0, Region::Japan});
        }
    }
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path))
            names.insert(e.path().filename().string());
        return names;
    }
};

// ---- A save that fails part-way ------------------------------------------------------------

enum class Op { CoreSaveNew, CoreSaveExisting, StoreWriteGroup, StoreDelete };

const char* OpName(Op op) {
    switch (op) {
    case Op::CoreSaveNew:
        return "save of a new cartridge";
    case Op::CoreSaveExisting:
        return "save over a stored cartridge";
    case Op::StoreWriteGroup:
        return "multi-key write";
    case Op::StoreDelete:
        return "section delete";
    }
    return "?";
}

// Runs op; returns 0 when nothing claimed success, 1 when the store reported success.
int RunOp(Op op, const std::string& ini) {
    const std::string longTitle(200, 'L');
    switch (op) {
    case Op::CoreSaveNew:
        Save("NEWCART.MD", {"A New Cartridge", "5", true, true, Region::Europe});
        return 0;
    case Op::CoreSaveExisting:
        Save(RomName("OLD", 4).c_str(), {longTitle, "9", false, true, Region::USA});
        return 0;
    case Op::StoreWriteGroup: {
        ProfileEntry entries[] = {{kKeyTitle, longTitle.c_str()}, {kKeyFrames, "7"}};
        return ProfileWriteStrings("OTHER.SMD", entries, 2, ini.c_str()) ? 1 : 0;
    }
    case Op::StoreDelete:
        return ProfileDeleteSection(RomName("OLD", 7).c_str(), ini.c_str()) ? 1 : 0;
    }
    return 0;
}

// The file size limit: every write beyond it fails with EFBIG, so the new file is cut short
// wherever the limit falls; the signal it raises does not end the saving process.
TEST(Faults, FileSizeLimitLeavesPreviousFile) {
    const Op ops[] = {Op::CoreSaveNew, Op::CoreSaveExisting, Op::StoreWriteGroup, Op::StoreDelete};
    for (Op op : ops) {
        SettingsDir s;
        const std::string before = ReadFile(s.ini);
        const auto entries = s.Entries();
        const Saved stored4 = Load(RomName("OLD", 4).c_str());
        // The delete shrinks the file, so only limits below the smaller file make it fail.
        const rlim_t size = before.size();
        std::vector<rlim_t> limits = {0, 1, 64, size / 2};
        if (op != Op::StoreDelete)
            limits.push_back(size - 1);
        for (rlim_t limit : limits) {
            SCOPED_TRACE(std::string(OpName(op)) + ", limit " + std::to_string(limit));
            int code = RunInChild([&] { // SIGXFSZ at its default, which would end the launcher
                struct rlimit rl = {limit, limit};
                if (setrlimit(RLIMIT_FSIZE, &rl) != 0)
                    return kSkipped;
                return RunOp(op, s.ini);
            });
            ASSERT_NE(code, kSkipped);
            EXPECT_EQ(code, 0) << "the store reported success for a write that failed";
            EXPECT_EQ(ReadFile(s.ini), before) << "the settings file changed";
            EXPECT_EQ(s.Entries(), entries) << "the failed save left files behind";
            EXPECT_TRUE(Load(RomName("OLD", 4).c_str()) == stored4);
        }
        // Without the limit the same operation goes through.
        const bool storeOp = op == Op::StoreWriteGroup || op == Op::StoreDelete;
        EXPECT_EQ(RunInChild([&] { return RunOp(op, s.ini); }), storeOp ? 1 : 0);
        EXPECT_NE(ReadFile(s.ini), before) << OpName(op);
    }
}

// A flush that fails (EIO) after a file written in place (it has a second hard link) began to
// change: the save says that the file may hold part of it.
TEST(Faults, FailedFlushInPlaceSaysTheFileMayHoldPartOfTheSave) {
    SettingsDir s(3);
    ASSERT_EQ(link(s.ini.c_str(), s.dir.file("second.ini").c_str()), 0);
    int code = RunInChild([&] {
        if (!qvtest::RefuseSystemCall(SYS_fsync, EIO))
            return kSkipped;
        return int(SaveCartSettings("N.BIN", MakeSettings("n", "4", true, true, Region::Japan)));
    });
    EXPECT_TRUE(code == int(SaveResult::PartlyWritten) || code == kSkipped) << code;
}

// A directory the process may not write to: as root, the child drops to an unprivileged user
// so the permission bits apply; where that is not possible the test is skipped.
TEST(Faults, ReadOnlyDirectoryLeavesPreviousFile) {
    SettingsDir s;
    const std::string before = ReadFile(s.ini);
    const auto entries = s.Entries();
    ASSERT_EQ(chmod(s.dir.path.c_str(), 0555), 0);
    const Op ops[] = {Op::CoreSaveNew, Op::CoreSaveExisting, Op::StoreWriteGroup, Op::StoreDelete};
    bool skipped = false;
    for (Op op : ops) {
        SCOPED_TRACE(OpName(op));
        int code = RunInChild([&] {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                return kSkipped;
            // Still allowed to write there? Then this fault cannot be made.
            std::string probe = s.dir.file("probe");
            int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (fd >= 0) {
                close(fd);
                unlink(probe.c_str());
                return kSkipped;
            }
            return RunOp(op, s.ini);
        });
        if (code == kSkipped) {
            skipped = true;
            break;
        }
        EXPECT_EQ(code, 0) << "the store reported success for a write that failed";
        EXPECT_EQ(ReadFile(s.ini), before);
        EXPECT_EQ(s.Entries(), entries);
    }
    chmod(s.dir.path.c_str(), 0755);
    if (skipped)
        GTEST_SKIP() << "the directory stays writable for this user";
}

// A settings file that may not be written: mode 0444 (the platform's read-only attribute) is
// refused for the superuser too, who could write it; an unprivileged user's save is refused for
// a 0444 file and for another user's file, though the directory would let the rename through.
// A file with a write bit for someone, as root, or the user's own file, is saved as usual.
TEST(Faults, ReadOnlySettingsFileLeavesPreviousFile) {
    struct Case {
        const char* name;
        mode_t mode;
        bool asNobody; // the save runs as an unprivileged user
        bool ownFile;  // the file belongs to that user
        bool refused;
    } cases[] = {
        {"0444, root", 0444, false, false, true},
        {"0400, root", 0400, false, false, true},
        {"0044, root", 0044, false, false, true},
        {"0464, root", 0464, false, false, false},
        {"0444, unprivileged", 0444, true, true, true},
        {"0644 of another user, unprivileged", 0644, true, false, true},
        {"0644 of the user, unprivileged", 0644, true, true, false},
    };
    const Op ops[] = {Op::CoreSaveNew, Op::CoreSaveExisting, Op::StoreWriteGroup, Op::StoreDelete};
    const uid_t nobody = 65534;
    if (geteuid() != 0)
        GTEST_SKIP() << "files of two users are made as root";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsDir s;
        // The directory lets anyone replace the file: only the file's own permissions count.
        ASSERT_EQ(chmod(s.dir.path.c_str(), 0777), 0);
        if (c.ownFile) {
            ASSERT_EQ(chown(s.ini.c_str(), nobody, nobody), 0);
        }
        ASSERT_EQ(chmod(s.ini.c_str(), c.mode), 0);
        const auto entries = s.Entries();
        for (Op op : ops) {
            SCOPED_TRACE(OpName(op));
            const std::string before = ReadFile(s.ini);
            int code = RunInChild([&] {
                if (c.asNobody && (setgid(nobody) != 0 || setuid(nobody) != 0))
                    return kSkipped;
                return RunOp(op, s.ini);
            });
            if (code == kSkipped)
                GTEST_SKIP() << "no unprivileged user to save as";
            const bool storeOp = op == Op::StoreWriteGroup || op == Op::StoreDelete;
            if (c.refused) {
                EXPECT_EQ(code, 0) << "the store reported success for a refused write";
                EXPECT_EQ(ReadFile(s.ini), before);
            } else {
                EXPECT_EQ(code, storeOp ? 1 : 0);
                EXPECT_NE(ReadFile(s.ini), before);
            }
            EXPECT_EQ(s.Entries(), entries) << "files were left beside the settings file";
            struct stat st {};
            ASSERT_EQ(stat(s.ini.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, c.mode);
        }
    }
}

// A settings path that names a directory: saves and deletes fail, nothing in or beside the
// directory changes, and loads give the defaults.
TEST(Faults, SettingsPathIsDirectory) {
    CurrentDirGuard keep; // a load that builds a title changes the current directory
    TempDir dir;
    fs::path ini = dir.path / kIniFileName;
    fs::create_directory(ini);
    WriteFile(ini / "inside.txt", "keep me\n");
    CopyText(g_paths.IniPath, kPathMax, ini.string().c_str());
    CopyText(g_paths.CartDir, kPathMax, dir.dirText().c_str());

    const Op ops[] = {Op::CoreSaveNew, Op::StoreWriteGroup, Op::StoreDelete};
    for (Op op : ops) {
        SCOPED_TRACE(OpName(op));
        EXPECT_EQ(RunOp(op, ini.string()), 0);
        EXPECT_TRUE(fs::is_directory(ini));
        EXPECT_EQ(ReadFile(ini / "inside.txt"), "keep me\n");
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path))
            names.insert(e.path().filename().string());
        for (const char* lock : {".lock", ".turn.lock"}) // the lock files stay
            names.erase(std::string(".") + kIniFileName + lock);
        EXPECT_EQ(names, std::set<std::string>{kIniFileName});
        std::set<std::string> inside;
        for (const auto& e : fs::directory_iterator(ini))
            inside.insert(e.path().filename().string());
        EXPECT_EQ(inside, std::set<std::string>{"inside.txt"});
    }
    CartSettings loaded = LoadCartSettings("NEWCART.MD");
    EXPECT_STREQ(loaded.frames, "2");
    EXPECT_FALSE(loaded.noSound);
    EXPECT_EQ(loaded.region, Region::USA);
}

// ---- A saving process killed at any moment ----------------------------------------------------

// Every line of the file is a section header or a key=value entry, and the file ends with a
// complete line: a file cut short would fail this.
bool WellFormed(const std::string& bytes, std::string* why) {
    if (bytes.empty() || bytes.back() != '\n') {
        *why = "the file does not end with a complete line";
        return false;
    }
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        bool header = line.size() >= 2 && line.front() == '[' && line.back() == ']';
        bool entry = line.find('=') != std::string::npos && line.front() != '=';
        if (!header && !entry && !line.empty()) {
            *why = "malformed line: " + line;
            return false;
        }
        if (line.find('\0') != std::string::npos) {
            *why = "a NUL byte in the file";
            return false;
        }
    }
    return true;
}

TEST(Faults, KilledWhileSavingLeavesOldOrNewValues) {
    SettingsDir s(10);
    const int kCarts = 4;
    const Saved oldValue = {"Before", "2", false, false, Region::USA};
    const Saved values[2] = {{"First Saved Title", "3", true, false, Region::Europe},
                             {"The Second Saved Title, Longer", "7", false, true, Region::Japan}};
    for (int c = 0; c < kCarts; ++c)
        Save(RomName("KILL", c).c_str(), oldValue);
    const Saved other0 = Load(RomName("OLD", 0).c_str());

    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> delayUs(0, 6000);
    const auto start = std::chrono::steady_clock::now();
    int rounds = 0, changed = 0;
    std::string last = ReadFile(s.ini);
    for (; rounds < 200; ++rounds) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(40))
            break;
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        std::fflush(nullptr);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(ready[0]);
            if (write(ready[1], "r", 1) != 1)
                _exit(1);
            for (unsigned k = static_cast<unsigned>(getpid());; ++k)
                Save(RomName("KILL", static_cast<int>(k % kCarts)).c_str(), values[(k / 7) % 2]);
        }
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(rng)));
        kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status));

        const std::string bytes = ReadFile(s.ini);
        std::string why;
        ASSERT_TRUE(WellFormed(bytes, &why)) << "round " << rounds << ": " << why;
        changed += bytes != last;
        last = bytes;
        for (int c = 0; c < kCarts; ++c) {
            // A cartridge's keys are committed together: the whole section is old or new.
            Saved got = Load(RomName("KILL", c).c_str());
            ASSERT_TRUE(got == oldValue || got == values[0] || got == values[1])
                << "round " << rounds << ", cartridge " << c << ": title \"" << got.title
                << "\", frames \"" << got.frames << "\"";
        }
        ASSERT_TRUE(Load(RomName("OLD", 0).c_str()) == other0);
        char emu[kValueMax];
        ProfileReadString(kPathsSection, kKeyEmulatorPath, "", emu, kValueMax, s.ini.c_str());
        ASSERT_STREQ(emu, "/opt/zelko/Zelko.exe");
    }
    int leftovers = 0;
    for (const auto& e : fs::directory_iterator(s.dir.path))
        leftovers += e.path().filename().string().find(".tmp") != std::string::npos;
    std::printf("%d rounds, %d changed the file, %d left a temporary file\n", rounds, changed,
                leftovers);
    EXPECT_GE(rounds, 20);
    // The kills did land while saves were being made.
    EXPECT_GT(changed, 0);
}

// ---- Two processes saving at once ----------------------------------------------------------

// Two launchers saving different cartridges at the same moments, kEach times each: the store's
// exclusive lock around each read-modify-write keeps either from writing over the other's
// section. So it does when they save through two names of the file, hard links in two
// directories (linked; each name has lock files of its own), and each save writes in place.
void SaveFromTwoProcesses(int kEach, bool linked) {
    CurrentDirGuard keep; // a load that builds a title (of a section lost) changes it
    SettingsDir s(5);
    const std::string other = s.dir.file("b/" + std::string(kIniFileName));
    fs::create_directory(s.dir.path / "b");
    ASSERT_TRUE(!linked || link(s.ini.c_str(), other.c_str()) == 0);
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> children;
    for (const char* prefix : {"AAA", "BBB"}) {
        std::fflush(nullptr);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(go[1]);
            if (linked && prefix[0] == 'B')
                CopyText(g_paths.IniPath, kPathMax, other.c_str());
            char byte;
            // Both start when the parent closes the pipe.
            if (read(go[0], &byte, 1) != 0)
                _exit(2);
            for (int i = 0; i < kEach; ++i) {
                std::string title = std::string(prefix) + " title " + std::to_string(i);
                Save(RomName(prefix, i).c_str(),
                     {title, std::to_string(1 + i % 9), i % 2 == 1, true, Region::Europe});
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    close(go[0]);
    close(go[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::string why;
    EXPECT_TRUE(WellFormed(ReadFile(s.ini), &why)) << why;
    for (const char* prefix : {"AAA", "BBB"}) {
        for (int i = 0; i < kEach; ++i) {
            SCOPED_TRACE(RomName(prefix, i));
            std::string title = std::string(prefix) + " title " + std::to_string(i);
            Saved want = {title, std::to_string(1 + i % 9), i % 2 == 1, true, Region::Europe};
            EXPECT_TRUE(Load(RomName(prefix, i).c_str()) == want);
        }
    }
    EXPECT_EQ(Load(RomName("OLD", 3).c_str()).title, "Stored Title 3");
}

TEST(Faults, TwoProcessesSavingDifferentCartridgesLoseNothing) {
    for (bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "hard links in two directories" : "one name");
        SaveFromTwoProcesses(linked ? 60 : 25, linked);
    }
}

// A save waits a bounded time for a lock another process holds, then reports the file busy and
// changes nothing; a holder or a waiter killed meanwhile leaves nothing that blocks later saves.
TEST(Faults, AnotherProcessLockIsWaitedForABoundedTime) {
    SettingsDir s(3);
    const std::string lock = s.dir.file(std::string(".") + kIniFileName + ".lock");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::fflush(nullptr);
    pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        int fd = open(lock.c_str(), O_RDWR | O_CREAT, 0666);
        if (fd < 0 || flock(fd, LOCK_EX) != 0 || write(ready[1], "h", 1) != 1)
            _exit(1);
        pause();
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    pid_t waiter = fork(); // a second launcher saving, killed while it waits
    ASSERT_GE(waiter, 0);
    if (waiter == 0)
        _exit(SaveCartSettings("W.BIN", MakeSettings("w", "2", false, false, Region::USA)) ==
                      SaveResult::Busy
                  ? 0
                  : 1);
    const std::string before = ReadFile(s.ini);
    EXPECT_EQ(SaveCartSettings("NEW.BIN", MakeSettings("n", "4", true, true, Region::Japan)),
              SaveResult::Busy);
    EXPECT_EQ(DeleteCartSettings(RomName("OLD", 1).c_str()), SaveResult::Busy);
    EXPECT_EQ(ReadFile(s.ini), before);
    kill(waiter, SIGKILL);
    kill(holder, SIGKILL);
    ASSERT_EQ(waitpid(waiter, nullptr, 0), waiter);
    ASSERT_EQ(waitpid(holder, nullptr, 0), holder);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(SaveCartSettings("NEW.BIN", MakeSettings("n", "4", true, true, Region::Japan)),
              SaveResult::Saved);
    EXPECT_EQ(Load("NEW.BIN").title, "n");
}

// Launchers saving at once: 4 processes (QV_SAVERS) saving 25 times each (QV_SAVES) groups of
// their own sections, and 2 deleting and saving again one shared section. No save fails, and
// every section ends as its last save left it.
TEST(Faults, ManyProcessesSavingAtOnceNeverFail) {
    const char* savers = getenv("QV_SAVERS");
    const char* saves = getenv("QV_SAVES");
    const int kSavers = savers ? atoi(savers) : 4, kSaves = saves ? atoi(saves) : 25;
    SettingsDir s(5);
    std::vector<pid_t> children;
    std::fflush(nullptr);
    for (int w = 0; w < kSavers + 2; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid != 0) {
            children.push_back(pid);
            continue;
        }
        int failed = 0;
        for (int i = 0; i < kSaves; ++i) {
            std::string rom = w < kSavers ? RomName("W", w * 100 + i % 10) : "SHARED.BIN";
            if (w >= kSavers && DeleteCartSettings(rom.c_str()) != SaveResult::Saved)
                ++failed;
            std::string title = "t" + std::to_string(i);
            if (SaveCartSettings(rom.c_str(), MakeSettings(title.c_str(), "3", false, true,
                                                           Region::Europe)) != SaveResult::Saved)
                ++failed;
        }
        _exit(failed > 0 ? 1 : 0);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save failed";
    }
    const std::string last = "t" + std::to_string(kSaves - 1);
    for (int w = 0; w < kSavers; ++w) {
        for (int i = std::max(0, kSaves - 10); i < kSaves; ++i)
            EXPECT_EQ(Load(RomName("W", w * 100 + i % 10).c_str()).title, "t" + std::to_string(i));
    }
    EXPECT_EQ(Load("SHARED.BIN").title, last);
    EXPECT_EQ(Load(RomName("OLD", 4).c_str()).title, "Stored Title 4");
}

// A settings file shared by a group: the directory (of mode dirMode) lets the group in, the file
// is its owner's and the group's. A member's save keeps group and mode, so the owner saves after
// it (with the sticky bit, the usual way to share a directory, the member writes in place). The
// file is made by its owner's save; once shared, the owner's next save shares its lock files.
void SaveAsGroup(mode_t dirMode) {
    SCOPED_TRACE(dirMode);
    CurrentDirGuard keep; // a load that builds a title (of a save lost) changes it
    const gid_t group = 65500;
    const uid_t alice = 65532, bob = 65533;
    SettingsDir s(3);
    ASSERT_EQ(chown(s.dir.path.c_str(), 0, group), 0);
    ASSERT_EQ(chmod(s.dir.path.c_str(), dirMode), 0);
    const std::string lock = s.dir.file(std::string(".") + kIniFileName + ".lock");
    const std::string turn = s.dir.file(std::string(".") + kIniFileName + ".turn.lock");
    for (const std::string& f : {s.ini, lock, turn})
        ASSERT_EQ(unlink(f.c_str()), 0);
    int round = 0;
    for (uid_t user : {alice, bob, alice, bob}) {
        SCOPED_TRACE(user == bob ? "group member" : "owner");
        const std::string title = "by " + std::to_string(user);
        int code = RunInChild([&] {
            umask(022);
            if (setgroups(1, &group) != 0 || setgid(user) != 0 || setuid(user) != 0)
                return kSkipped;
            return SaveCartSettings("MOLE.BIN", MakeSettings(title.c_str(), "2", false, false,
                                                             Region::USA)) == SaveResult::Saved
                       ? 1
                       : 0;
        });
        if (code == kSkipped)
            GTEST_SKIP() << "no unprivileged users to save as";
        EXPECT_EQ(code, 1);
        EXPECT_EQ(Load("MOLE.BIN").title, title);
        struct stat st {};
        ASSERT_EQ(stat(s.ini.c_str(), &st), 0);
        if (round++ == 0) { // made just now: its owner shares it
            ASSERT_EQ(chown(s.ini.c_str(), alice, group), 0);
            ASSERT_EQ(chmod(s.ini.c_str(), 0664), 0);
            continue;
        }
        EXPECT_EQ(st.st_gid, group);
        EXPECT_EQ(st.st_mode & 07777, 0664u);
    }
    for (const std::string& f : {lock, turn}) {
        EXPECT_EQ(qvtest::StatOf(f).st_gid, group) << f;
        EXPECT_EQ(qvtest::StatOf(f).st_mode & 07777, 0664u) << f;
    }
}

TEST(Faults, GroupSharedFileStaysWritableForItsOwner) {
    if (geteuid() != 0)
        GTEST_SKIP() << "files of two users are made as root";
    SaveAsGroup(0775);
    SaveAsGroup(03775);
}

// ---- A hand edit between two reads -------------------------------------------------------------

enum class Edit { RenameOver, InPlaceOtherSize, InPlaceSameSize, Removed };

TEST(Faults, HandEditBetweenReadsIsSeen) {
    struct Case {
        const char* name;
        Edit edit;
        const char* newTitle; // the title the edited file holds
    };
    const Case cases[] = {
        {"editor writes a new file and renames it over", Edit::RenameOver, "Edited By Hand"},
        {"rewritten in place, other size", Edit::InPlaceOtherSize, "Edited, Longer Than Before"},
        {"rewritten in place, same size", Edit::InPlaceSameSize, "Sorted!"},
        {"file removed", Edit::Removed, "Turbo Mole Quest "},
    };
    CurrentDirGuard keep; // a load that builds a title changes the current directory
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string ini = dir.file(kIniFileName);
        CopyText(g_paths.IniPath, kPathMax, ini.c_str());
        CopyText(g_paths.CartDir, kPathMax, dir.dirText().c_str());
        WriteFile(dir.path / "MOLEQST.BIN",
                  std::string(336, '\0') + "TURBO MOLE QUEST" + std::string(32, ' '));
        Save("MOLEQST.BIN", {"Stored!", "4", true, false, Region::Europe});
        ASSERT_EQ(Load("MOLEQST.BIN").title, "Stored!");
        // As a person edits it: a moment later than the save.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));

        std::string text = "[MOLEQST.BIN]\r\nTitle=" + std::string(c.newTitle) +
                           "\r\nNoSound=1\r\nZ80=0\r\nVersion=Europe\r\nFrames=4\r\n";
        std::string old = ReadFile(ini);
        switch (c.edit) {
        case Edit::RenameOver:
            WriteFile(dir.path / "Quorvalis.ini~", text);
            fs::rename(dir.path / "Quorvalis.ini~", ini);
            break;
        case Edit::InPlaceOtherSize:
        case Edit::InPlaceSameSize: {
            // Overwrite the bytes of the same file (same inode), as an editor saving in place.
            std::string edited = old;
            size_t at = edited.find("Stored!");
            ASSERT_NE(at, std::string::npos);
            edited.replace(at, 7, c.newTitle);
            ASSERT_EQ(edited.size() == old.size(), c.edit == Edit::InPlaceSameSize);
            int fd = open(ini.c_str(), O_WRONLY | O_TRUNC);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(write(fd, edited.data(), edited.size()), static_cast<ssize_t>(edited.size()));
            close(fd);
            break;
        }
        case Edit::Removed:
            fs::remove(ini);
            break;
        }
        Saved got = Load("MOLEQST.BIN");
        EXPECT_EQ(got.title, c.newTitle);
        if (c.edit == Edit::Removed) {
            EXPECT_FALSE(got.noSound);
            EXPECT_EQ(got.frames, "2");
        }
    }
}

} // namespace

#endif // _WIN32
