// The all-or-nothing file replacement on its own: every failed step leaves the old file, links
// are followed and kept, leftovers of killed writers are removed, and the lock makes writers
// take turns (or is done without where the file system refuses locks). Real files in temporary
// directories, real processes.
#ifndef _WIN32

#include "platform/posix/atomic_file.h"
#include "support/child_process.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

// Begin, Replace and End in one: the seam these tests write through.
namespace atomic_file {
bool Write(const char* path, std::string_view data) {
    Update u;
    if (!Begin(path, &u))
        return false;
    bool ok = Replace(u, data);
    End(&u);
    return ok;
}
} // namespace atomic_file

namespace fs = std::filesystem;
using qvtest::kSkipped;
using qvtest::NamesIn;
using qvtest::ReadFile;
using qvtest::RunInChild;
using qvtest::StatOf;
using qvtest::TempDir;
using qvtest::WriteFile;

// What the file system answers to a lock, as a test wants it. No file system at hand refuses
// locks, so this test program brings its own flock, which the calls of the code under test reach
// instead of the C library's: it answers as the kernel does, or refuses every lock (as a file
// system without lock support does), or refuses exclusive locks on files not open for writing
// (as NFS does, where flock becomes a lock on a byte range).
enum class LockAnswer { Kernel, Refused, WritersOnly };
LockAnswer g_lockAnswer = LockAnswer::Kernel;

extern "C" int flock(int fd, int op) noexcept {
    if (g_lockAnswer == LockAnswer::Refused) {
        errno = ENOLCK;
        return -1;
    }
    int access = fcntl(fd, F_GETFL);
    if (g_lockAnswer == LockAnswer::WritersOnly && (op & LOCK_EX) && access >= 0 &&
        (access & O_ACCMODE) == O_RDONLY) {
        errno = EBADF;
        return -1;
    }
    return static_cast<int>(syscall(SYS_flock, fd, op));
}

namespace {

constexpr uid_t kNobody = 65534;
constexpr uid_t kOtherUser = 65532; // owns no process here

void SetModifiedAgo(const std::string& path, int seconds) {
    struct timespec t[2];
    clock_gettime(CLOCK_REALTIME, &t[0]);
    t[0].tv_sec -= seconds;
    t[1] = t[0];
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
}

} // namespace

// A step that fails at any point of a replacement reports it and leaves the old file as it was,
// with nothing beside it.
TEST(AtomicFile, FailureAtEachStepLeavesTheOldFile) {
    const std::string old = "[s]\nk=old\n";
    const std::string data(20000, 'x');
    enum class Fault { NoDirectory, ReadOnlyDirectory, SizeLimit, PathIsDirectory };
    struct Case {
        const char* name;
        Fault fault;
        rlim_t limit;
    } cases[] = {
        {"the directory is missing: no update begins", Fault::NoDirectory, 0},
        {"a read-only directory: no temporary file", Fault::ReadOnlyDirectory, 0},
        {"no byte may be written", Fault::SizeLimit, 0},
        {"the disk fills part-way", Fault::SizeLimit, 4096},
        {"the file is a directory: the rename is refused", Fault::PathIsDirectory, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string file = dir.file("q.ini");
        if (c.fault == Fault::NoDirectory)
            file = dir.file("no/such/q.ini");
        else if (c.fault == Fault::PathIsDirectory)
            fs::create_directories(dir.path / "q.ini" / "inside");
        else
            WriteFile(file, old);
        if (c.fault == Fault::ReadOnlyDirectory) {
            ASSERT_EQ(chmod(dir.path.c_str(), 0555), 0);
        }
        const auto names = NamesIn(dir.path);
        int code = RunInChild([&] {
            if (c.fault == Fault::ReadOnlyDirectory && geteuid() == 0 &&
                (setgid(kNobody) != 0 || setuid(kNobody) != 0))
                return kSkipped;
            if (c.fault == Fault::ReadOnlyDirectory && access(dir.path.c_str(), W_OK) == 0)
                return kSkipped;
            if (c.fault == Fault::SizeLimit) {
                signal(SIGXFSZ, SIG_IGN);
                struct rlimit rl = {c.limit, c.limit};
                if (setrlimit(RLIMIT_FSIZE, &rl) != 0)
                    return kSkipped;
            }
            return atomic_file::Write(file.c_str(), data) ? 1 : 0;
        });
        chmod(dir.path.c_str(), 0755);
        if (code == kSkipped) {
            std::printf("skipped: %s (the fault cannot be made here)\n", c.name);
            continue;
        }
        EXPECT_EQ(code, 0) << "a failed replacement reported success";
        EXPECT_EQ(NamesIn(dir.path), names) << "files were left behind";
        if (c.fault == Fault::PathIsDirectory) {
            EXPECT_EQ(NamesIn(dir.path / "q.ini"), std::set<std::string>{"inside"});
        } else if (c.fault != Fault::NoDirectory) {
            EXPECT_EQ(ReadFile(file), old);
        }
    }
}

// The new file keeps the old one's permissions and owner. A file with a second name is written
// in place, and both names see the new text, longer or shorter, also where the file system
// cannot reserve room (no fallocate: NFSv3, many FUSE file systems); a flush that fails after
// the bytes changed is reported as a write that may have been partly made.
TEST(AtomicFile, ReplacementKeepsPermissionsAndOwner) {
    TempDir dir;
    std::string file = dir.file("q.ini"), other = dir.file("other.ini");
    WriteFile(file, "old");
    ASSERT_EQ(link(file.c_str(), other.c_str()), 0);
    // As it is; fallocate unsupported; the flush failing (EIO) after the bytes changed.
    for (long refused : {-1L, long(SYS_fallocate), long(SYS_fsync)}) {
        WriteFile(file, std::string(5000, 'o')); // over a block: the C library's reservation reads
        int code = RunInChild([&] {
            if (refused >= 0 &&
                !qvtest::RefuseSystemCall(refused, refused == SYS_fsync ? EIO : EOPNOTSUPP))
                return kSkipped;
            for (const std::string& text : {std::string(6000, 'l'), std::string("short")}) {
                atomic_file::Update u;
                bool partly = false;
                if (!atomic_file::Begin(other.c_str(), &u))
                    return 2;
                bool ok = atomic_file::Replace(u, text, &partly);
                atomic_file::End(&u);
                if (ok == (refused == SYS_fsync) || partly == ok || ReadFile(file) != text ||
                    ReadFile(other) != text)
                    return 3;
            }
            return 0;
        });
        EXPECT_TRUE(code == 0 || code == kSkipped) << "system call refused: " << refused;
    }
    ASSERT_EQ(unlink(other.c_str()), 0);
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(file.c_str(), kNobody, kNobody), 0);
    }
    ASSERT_TRUE(atomic_file::Write(file.c_str(), "new"));
    struct stat st = StatOf(file);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, kNobody);
    }
    EXPECT_EQ(ReadFile(file), "new");
}

// A file that is a symbolic link stays one: the file at the end of the chain is replaced (its
// temporary file beside it) and every link keeps pointing where it did.
TEST(AtomicFile, LinksAreFollowedAndKept) {
    struct Link {
        const char* at;     // below the test directory
        std::string target; // as the link holds it; "@" stands for the test directory
    };
    struct Case {
        const char* name;
        std::vector<Link> links;
        const char* file; // the file written, below the test directory; null: none (a loop)
        bool existing;
    } cases[] = {
        {"absolute", {{"a/Quorvalis.ini", "@/b/real.ini"}}, "b/real.ini", true},
        {"relative", {{"a/Quorvalis.ini", "../b/real.ini"}}, "b/real.ini", true},
        {"same directory", {{"a/Quorvalis.ini", "real.ini"}}, "a/real.ini", true},
        {"chain",
         {{"a/Quorvalis.ini", "hop.ini"}, {"a/hop.ini", "@/b/real.ini"}},
         "b/real.ini",
         true},
        // The second link is read from its own directory, not from the first one's.
        {"relative chain",
         {{"a/Quorvalis.ini", "../b/hop"}, {"b/hop", "real.ini"}},
         "b/real.ini",
         true},
        {"dangling", {{"a/Quorvalis.ini", "../b/real.ini"}}, "b/real.ini", false},
        {"loop", {{"a/Quorvalis.ini", "x"}, {"a/x", "Quorvalis.ini"}}, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::create_directory(dir.path / "a");
        fs::create_directory(dir.path / "b");
        auto targetOf = [&](const Link& l) {
            return l.target[0] == '@' ? dir.path.string() + l.target.substr(1) : l.target;
        };
        for (const Link& l : c.links)
            ASSERT_EQ(symlink(targetOf(l).c_str(), dir.file(l.at).c_str()), 0) << l.at;
        std::string path = dir.file("a/Quorvalis.ini");
        ino_t before = 0;
        int keepOpen = -1; // so that the old file's inode number is not given to the new one
        if (c.existing) {
            WriteFile(dir.path / c.file, "old");
            before = StatOf(dir.file(c.file)).st_ino;
            keepOpen = open(dir.file(c.file).c_str(), O_RDONLY);
        }
        bool wrote = atomic_file::Write(path.c_str(), "new");
        if (!c.file) {
            EXPECT_FALSE(wrote);
            EXPECT_EQ(NamesIn(dir.path), (std::set<std::string>{"a", "b"}));
            continue;
        }
        ASSERT_TRUE(wrote);
        for (const Link& l : c.links) {
            std::error_code ec;
            EXPECT_EQ(fs::read_symlink(dir.path / l.at, ec).string(), targetOf(l)) << l.at;
        }
        EXPECT_EQ(ReadFile(dir.path / c.file), "new");
        if (c.existing) {
            EXPECT_NE(StatOf(dir.file(c.file)).st_ino, before) << "not replaced by a rename";
            close(keepOpen);
        }
        // Nothing else in either directory: no temporary file left.
        std::set<std::string> names, expected = {c.file};
        for (const char* sub : {"a", "b"}) {
            for (const std::string& n : NamesIn(dir.path / sub))
                names.insert(std::string(sub) + "/" + n);
        }
        for (const Link& l : c.links)
            expected.insert(l.at);
        EXPECT_EQ(names, expected);
    }
}

// Temporary files a killed writer left behind are removed by the next replacement: those of
// this file whose writer is gone or that are more than a minute old, nothing else.
TEST(AtomicFile, ReplacementRemovesLeftoversOfKilledWriters) {
    pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    const std::string dead = std::to_string(gone), alive = std::to_string(getpid());

    TempDir dir;
    std::string file = dir.file("Quorvalis.ini");
    WriteFile(file, "old");
    struct Leftover {
        std::string name;
        bool old; // modified two minutes ago
        bool removed;
    } files[] = {
        {".Quorvalis.ini." + dead + "-0.tmp", false, true},
        {".Quorvalis.ini." + dead + "-17.tmp", false, true},
        {".Quorvalis.ini." + alive + "-1.tmp", true, true},   // old
        {".Quorvalis.ini." + alive + "-2.tmp", false, false}, // a live writer, just now
        {".Quorvalis.ini.0-0.tmp", false, false},             // no pid to ask: only by age
        {".Quorvalis.ini.0-1.tmp", true, true},
        {".Other.ini." + dead + "-0.tmp", true, false},      // another file's
        {".Quorvalis.ini." + dead + "-0.tmpx", true, false}, // not our pattern
        {".Quorvalis.ini." + dead + ".tmp", true, false},
        {".Quorvalis.ini.x" + dead + "-0.tmp", true, false},
        {"Quorvalis.ini." + dead + "-0.tmp", true, false},
        {"notes.txt", true, false},
    };
    for (const Leftover& l : files) {
        WriteFile(dir.file(l.name), "half");
        if (l.old)
            SetModifiedAgo(dir.file(l.name), 120);
    }
    // A directory of that pattern is not ours either.
    fs::create_directory(dir.file(".Quorvalis.ini." + dead + "-5.tmp"));

    ASSERT_TRUE(atomic_file::Write(file.c_str(), "new"));
    std::set<std::string> left = NamesIn(dir.path);
    for (const Leftover& l : files)
        EXPECT_EQ(left.count(l.name), l.removed ? 0u : 1u) << l.name;
    EXPECT_EQ(left.count(".Quorvalis.ini." + dead + "-5.tmp"), 1u);
    EXPECT_EQ(ReadFile(file), "new");
}

// The same with a real writer killed while its temporary file exists: the file is the old or
// the new one, and the next replacement leaves nothing beside it.
TEST(AtomicFile, KilledWriterLeavesAWholeFile) {
    TempDir dir;
    std::string file = dir.file("q.ini");
    const std::string big(1 << 20, 'a'), other(1 << 20, 'b');
    WriteFile(file, big);
    bool leftover = false;
    for (int attempt = 0; attempt < 20 && !leftover; ++attempt) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0;; ++i)
                atomic_file::Write(file.c_str(), i % 2 ? big : other);
        }
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (NamesIn(dir.path).size() < 2 && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        kill(pid, SIGKILL);
        ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
        leftover = NamesIn(dir.path).size() > 1;
        std::string now = ReadFile(file);
        ASSERT_TRUE(now == big || now == other) << "a file of " << now.size() << " bytes";
    }
    ASSERT_TRUE(leftover) << "no writer was caught with its temporary file";
    ASSERT_TRUE(atomic_file::Write(file.c_str(), "done"));
    EXPECT_EQ(NamesIn(dir.path), std::set<std::string>{"q.ini"});
    EXPECT_EQ(ReadFile(file), "done");
}

enum class LockFiles { Ordinary, DanglingLinks, Directories, OtherUsers, Linked };

// An update waits while another holds the file's lock, and starts only once it has ended: what
// it read and writes then is the other's result. So it does where its lock files cannot be
// opened (dangling links, directories, another user's private ones, or readable ones where only
// files open for writing can be locked), and through a hard link in another directory, which
// has lock files of its own: the file's own lock is the one all share. The lock files stay, and
// are the only thing left. With a lock file it cannot open and no file to lock, it is busy.
void TakeTurns(LockFiles how, mode_t mode, LockAnswer answer) {
    SCOPED_TRACE("lock files " + std::to_string(int(how)) + ", mode " + std::to_string(mode));
    TempDir dir;
    std::string file = dir.file("Quorvalis.ini"), path = file;
    WriteFile(file, "0");
    for (const char* lock : {".Quorvalis.ini.lock", ".Quorvalis.ini.turn.lock"}) {
        const std::string at = dir.file(lock);
        ASSERT_TRUE(how != LockFiles::DanglingLinks || symlink("nowhere", at.c_str()) == 0);
        ASSERT_TRUE(how != LockFiles::Directories || fs::create_directory(at));
        if (how == LockFiles::OtherUsers) { // the settings file is the saving user's
            WriteFile(at, "");
            ASSERT_EQ(chown(at.c_str(), kOtherUser, kOtherUser) | chmod(at.c_str(), mode), 0);
            ASSERT_EQ(chown(file.c_str(), kNobody, kNobody) | chmod(file.c_str(), mode), 0);
            ASSERT_EQ(chmod(dir.path.c_str(), 0777), 0);
        }
    }
    if (how == LockFiles::Linked) {
        fs::create_directory(dir.path / "b");
        path = dir.file("b/Quorvalis.ini");
        ASSERT_EQ(link(file.c_str(), path.c_str()), 0);
    }
    const auto names = NamesIn(dir.path);
    atomic_file::Update held;
    ASSERT_TRUE(atomic_file::Begin(file.c_str(), &held));
    std::fflush(nullptr);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (how == LockFiles::OtherUsers && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(3);
        g_lockAnswer = answer;
        // A read-modify-write: adds one to the number in the file.
        atomic_file::Update u;
        if (!atomic_file::Begin(path.c_str(), &u))
            _exit(2);
        std::string next = std::to_string(std::stoi(ReadFile(path)) + 1);
        bool ok = atomic_file::Replace(u, next);
        atomic_file::End(&u);
        _exit(ok ? 0 : 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the second update did not wait";
    EXPECT_TRUE(atomic_file::Replace(held, "10"));
    atomic_file::End(&held);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(path), "11");
    EXPECT_EQ(NamesIn(dir.path), names);
    EXPECT_TRUE(fs::exists(fs::symlink_status(dir.path / ".Quorvalis.ini.lock")));
    const bool unopenable = how == LockFiles::DanglingLinks || how == LockFiles::Directories;
    atomic_file::Update u;
    ASSERT_EQ(unlink(file.c_str()), 0);
    EXPECT_EQ(atomic_file::Begin(file.c_str(), &u), !unopenable);
    EXPECT_EQ(u.busy, unopenable);
    atomic_file::End(&u);
}

TEST(AtomicFile, LockMakesWritersTakeTurns) {
    for (LockFiles how :
         {LockFiles::Ordinary, LockFiles::DanglingLinks, LockFiles::Directories, LockFiles::Linked})
        TakeTurns(how, 0, LockAnswer::Kernel);
    if (geteuid() != 0)
        GTEST_SKIP() << "files of two users are made as root";
    TakeTurns(LockFiles::OtherUsers, 0600, LockAnswer::Kernel);
    TakeTurns(LockFiles::OtherUsers, 0644, LockAnswer::WritersOnly); // NFS
}

// Where the file system refuses locks, or takes them only on files open for writing (NFS home
// directories), an update still goes through; where there is no lock, no lock file is left.
TEST(AtomicFile, UpdatesGoThroughWhereLocksAreRefused) {
    for (LockAnswer answer : {LockAnswer::Refused, LockAnswer::WritersOnly}) {
        SCOPED_TRACE(answer == LockAnswer::Refused ? "no locks" : "locks on writable files only");
        TempDir dir;
        std::string file = dir.file("Quorvalis.ini");
        WriteFile(file, "old");
        int code = RunInChild([&] {
            g_lockAnswer = answer;
            return atomic_file::Write(file.c_str(), "new") ? 1 : 0;
        });
        EXPECT_EQ(code, 1) << "the update failed";
        EXPECT_EQ(ReadFile(file), "new");
        EXPECT_EQ(NamesIn(dir.path), std::set<std::string>{"Quorvalis.ini"});
        EXPECT_EQ(fs::exists(dir.path / ".Quorvalis.ini.lock"), answer != LockAnswer::Refused);
    }
}

#endif // _WIN32
