// ProfileStore over real files in temporary directories. The shared cases run against the
// POSIX reader/writer and, in the Windows build, against the platform's private-profile
// functions; the cases about the exact bytes, atomic replacement, locking and the cache are
// the POSIX store's own guarantees.
#include "platform/profile_store.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using qvtest::ReadFile;
using qvtest::TempDir;
using qvtest::WriteFile;

namespace {

// Reads through a buffer with guard bytes after the capacity; fails the test when the store
// writes past the capacity or leaves the result unterminated.
std::string Read(const std::string& ini, const char* section, const char* key, const char* def,
                 int cap = 260) {
    std::vector<char> buf(static_cast<size_t>(cap) + 8, '#');
    ProfileReadString(section, key, def, buf.data(), cap, ini.c_str());
    for (size_t i = static_cast<size_t>(cap); i < buf.size(); ++i)
        EXPECT_EQ(buf[i], '#') << "byte " << i << " past capacity " << cap << " was written";
    EXPECT_NE(memchr(buf.data(), 0, static_cast<size_t>(cap)), nullptr) << "not terminated";
    return std::string(buf.data(), strnlen(buf.data(), static_cast<size_t>(cap)));
}

} // namespace

TEST(ProfileStore, MissingFileSectionOrKeyYieldsTheDefault) {
    TempDir dir;
    std::string ini = dir.file("Quorvalis.ini");
    EXPECT_EQ(Read(ini, "Quorvalis Paths", "EmulatorPath", "NO EMULATOR"), "NO EMULATOR");
    EXPECT_EQ(ProfileReadInt("MOLEQST.BIN", "NoSound", 0, ini.c_str()), 0);
    EXPECT_EQ(ProfileReadInt("MOLEQST.BIN", "Z80", 7, ini.c_str()), 7);

    WriteFile(ini, "[MOLEQST.BIN]\r\nTitle=\r\nFrames=3\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* def;
        const char* want;
    } cases[] = {
        {"MOLEQST.BIN", "Title", "unused", ""}, // present and empty: not the default
        {"MOLEQST.BIN", "Frames", "2", "3"},    // present
        {"MOLEQST.BIN", "Version", "NO VERSION", "NO VERSION"}, // key missing
        {"OTHER.BIN", "Frames", "2", "2"},                      // section missing
    };
    for (const Case& c : cases)
        EXPECT_EQ(Read(ini, c.section, c.key, c.def), c.want) << c.section << "/" << c.key;
}

TEST(ProfileStore, SectionNamesHoldBracketsAndFoldCase) {
    TempDir dir;
    std::string ini = dir.file("Quorvalis.ini");
    ASSERT_TRUE(ProfileWriteString("Mole Quest (U) [!].bin", "Title", "Mole Quest", ini.c_str()));
    ASSERT_TRUE(ProfileWriteString("MOLEQST.BIN", "Frames", "5", ini.c_str()));
    EXPECT_EQ(Read(ini, "Mole Quest (U) [!].bin", "Title", "x"), "Mole Quest");
    EXPECT_EQ(Read(ini, "mole quest (u) [!].BIN", "TITLE", "x"), "Mole Quest");
    EXPECT_EQ(Read(ini, "Mole Quest (U) [!]", "Title", "x"), "x");
    EXPECT_EQ(Read(ini, "moleqst.bin", "frames", "2"), "5");

    // A write through the other spelling replaces the same entry instead of adding one.
    ASSERT_TRUE(ProfileWriteString("moleqst.bin", "FRAMES", "7", ini.c_str()));
    EXPECT_EQ(Read(ini, "MOLEQST.BIN", "Frames", "2"), "7");
    std::string text = ReadFile(ini);
    EXPECT_EQ(text.find("5"), std::string::npos) << text;

    // A hand-written header: the name runs from the first '[' to the last ']'.
    std::string hand = dir.file("hand.ini");
    WriteFile(hand, "[Zap [a] [b]] \nk=v\n");
    EXPECT_EQ(Read(hand, "Zap [a] [b]", "k", "none"), "v");
}

TEST(ProfileStore, ReadsAcceptEveryLineEnding) {
    const char* files[] = {
        "[s]\nk=v\nn=1\n", "[s]\r\nk=v\r\nn=1\r\n", "[s]\nk=v\nn=1", "[s]\r\nk=v\r\nn=1",
        "[s]\rk=v\rn=1\r", // lone CR, as old Mac editors save
        "[s]\nk=v\rn=1\n", // a stray CR ends a line too
    };
    for (const char* f : files) {
        TempDir dir;
        std::string ini = dir.file("q.ini");
        WriteFile(ini, f);
        EXPECT_EQ(Read(ini, "s", "k", "d"), "v") << f;
        EXPECT_EQ(ProfileReadInt("s", "n", 9, ini.c_str()), 1) << f;
    }
}

TEST(ProfileStore, TruncatesToCapacityMinusOne) {
    TempDir dir;
    std::string ini = dir.file("q.ini");
    ASSERT_TRUE(ProfileWriteString("s", "k", "abcdefghij", ini.c_str()));
    struct Case {
        int cap;
        const char* want;
    } cases[] = {{1, ""},           {2, "a"},           {3, "ab"},          {8, "abcdefg"},
                 {10, "abcdefghi"}, {11, "abcdefghij"}, {260, "abcdefghij"}};
    for (const Case& c : cases) {
        EXPECT_EQ(Read(ini, "s", "k", "", c.cap), c.want) << "capacity " << c.cap;
        EXPECT_EQ(Read(ini, "s", "missing", "0123456789xyz", c.cap),
                  std::string("0123456789xyz").substr(0, c.cap - 1))
            << "default, capacity " << c.cap;
    }
    // A long value against the three capacities the launcher uses.
    std::string longValue(400, 'T');
    ASSERT_TRUE(ProfileWriteString("s", "Title", longValue.c_str(), ini.c_str()));
    EXPECT_EQ(Read(ini, "s", "Title", "", 260), longValue.substr(0, 259));
    EXPECT_EQ(Read(ini, "s", "Title", "", 256), longValue.substr(0, 255));
    EXPECT_EQ(Read(ini, "s", "Title", "", 8), longValue.substr(0, 7));
}

TEST(ProfileStore, ReadsIntegersLikeThePlatform) {
    TempDir dir;
    std::string ini = dir.file("q.ini");
    WriteFile(ini,
              "[s]\na=2\nb=abc\nc=\nd=-5\ne=  7x\nf=+12\ng=0x10\nh=4294967297\ni=0b101\nj=0X10\n");
    struct Case {
        const char* key;
        int def;
        int want;
    } cases[] = {
        {"a", 9, 2},  {"b", 9, 0}, {"c", 9, 9},       {"d", 9, -5}, {"e", 9, 7}, {"f", 9, 12},
        {"g", 9, 16}, {"h", 9, 1}, {"missing", 9, 9}, {"i", 9, 5},  {"j", 9, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProfileReadInt("s", c.key, c.def, ini.c_str()), c.want) << c.key;
}

TEST(ProfileStore, WritesCreateFileSectionAndKeyAndReplaceValues) {
    TempDir dir;
    std::string ini = dir.file("Quorvalis.ini");
    ASSERT_TRUE(ProfileWriteString("Quorvalis Paths", "CartPath", "/roms/", ini.c_str()));
    EXPECT_TRUE(qvtest::FileExists(ini));
    ASSERT_TRUE(ProfileWriteString("Quorvalis Paths", "EmulatorPath", "/emu/z", ini.c_str()));
    ASSERT_TRUE(ProfileWriteString("Quorvalis Paths", "CartPath", "", ini.c_str()));
    ASSERT_TRUE(ProfileWriteString("A.BIN", "Title", "A", ini.c_str()));
    EXPECT_EQ(Read(ini, "Quorvalis Paths", "CartPath", "NO CARTS"), "");
    EXPECT_EQ(Read(ini, "Quorvalis Paths", "EmulatorPath", "NO EMULATOR"), "/emu/z");
    EXPECT_EQ(Read(ini, "A.BIN", "Title", ""), "A");

    ProfileEntry group[] = {{"Title", "Mole Quest"},
                            {"NoSound", "1"},
                            {"Z80", "0"},
                            {"Version", "Japan"},
                            {"Frames", "3"}};
    ASSERT_TRUE(ProfileWriteStrings("MOLEQST.BIN", group, 5, ini.c_str()));
    for (const ProfileEntry& e : group)
        EXPECT_EQ(Read(ini, "moleqst.bin", e.key, "?"), e.value) << e.key;
    EXPECT_EQ(ProfileReadInt("MOLEQST.BIN", "NoSound", 0, ini.c_str()), 1);
}

TEST(ProfileStore, DeleteRemovesTheWholeSectionOnly) {
    TempDir dir;
    std::string ini = dir.file("q.ini");
    WriteFile(ini, "[A.BIN]\nTitle=a\n[B.BIN]\nTitle=b\nFrames=4\n[C.BIN]\nTitle=c\n");
    ASSERT_TRUE(ProfileDeleteSection("b.bin", ini.c_str()));
    EXPECT_EQ(Read(ini, "B.BIN", "Title", "gone"), "gone");
    EXPECT_EQ(Read(ini, "B.BIN", "Frames", "2"), "2");
    EXPECT_EQ(Read(ini, "A.BIN", "Title", ""), "a");
    EXPECT_EQ(Read(ini, "C.BIN", "Title", ""), "c");

    // Deleting a section that is not there leaves the file as it was.
    std::string before = ReadFile(ini);
    ProfileDeleteSection("NOPE.BIN", ini.c_str());
    EXPECT_EQ(ReadFile(ini), before);
}

#ifndef _WIN32

namespace {

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
}

size_t EntriesIn(const TempDir& dir) {
    size_t n = 0;
    for (auto it = std::filesystem::directory_iterator(dir.path);
         it != std::filesystem::directory_iterator(); ++it)
        ++n;
    return n;
}

} // namespace

TEST(ProfileStorePosix, WriteChangesOnlyTheLineConcerned) {
    TempDir dir;
    std::string ini = dir.file("q.ini");
    const std::string original = "; launcher settings\r\n"
                                 "[Quorvalis Paths]\r\n"
                                 "  EmulatorPath = /old/zelko  \r\n"
                                 "Foreign=kept ; by another tool\r\n"
                                 "\r\n"
                                 "[X.BIN]\r\n"
                                 "# a comment\r\n"
                                 "Title=x\r\n";
    WriteFile(ini, original);

    struct Case {
        const char* section;
        const char* key;
        const char* value;
        std::string want;
    } cases[] = {
        // Replacing keeps the key's spelling and spacing up to '='.
        {"quorvalis paths", "emulatorpath", "/new/zelko",
         "; launcher settings\r\n[Quorvalis Paths]\r\n  EmulatorPath =/new/zelko\r\n"
         "Foreign=kept ; by another tool\r\n\r\n[X.BIN]\r\n# a comment\r\nTitle=x\r\n"},
        // A new key goes after the last entry of its section, before the blank line.
        {"Quorvalis Paths", "CartPath", "/roms/",
         "; launcher settings\r\n[Quorvalis Paths]\r\n  EmulatorPath = /old/zelko  \r\n"
         "Foreign=kept ; by another tool\r\nCartPath=/roms/\r\n\r\n[X.BIN]\r\n# a comment\r\n"
         "Title=x\r\n"},
        // A new section goes at the end of the file.
        {"Y.BIN", "Frames", "3", original + "[Y.BIN]\r\nFrames=3\r\n"},
        // A value never breaks the line: CR and LF become spaces.
        {"X.BIN", "Title", "two\r\nlines\n[Evil]",
         "; launcher settings\r\n[Quorvalis Paths]\r\n  EmulatorPath = /old/zelko  \r\n"
         "Foreign=kept ; by another tool\r\n\r\n[X.BIN]\r\n# a comment\r\n"
         "Title=two  lines [Evil]\r\n"},
    };
    for (const Case& c : cases) {
        WriteFile(ini, original);
        ASSERT_TRUE(ProfileWriteString(c.section, c.key, c.value, ini.c_str()));
        EXPECT_EQ(ReadFile(ini), c.want) << c.section << "/" << c.key;
    }
    EXPECT_EQ(Read(ini, "X.BIN", "Title", ""), "two  lines [Evil]");
    EXPECT_EQ(Read(ini, "Evil", "Title", "none"), "none");

    // LF files get LF lines, and a last line without newline is ended first.
    WriteFile(ini, "[s]\na=1");
    ASSERT_TRUE(ProfileWriteString("s", "b", "2", ini.c_str()));
    ASSERT_TRUE(ProfileWriteString("t", "c", "3", ini.c_str()));
    EXPECT_EQ(ReadFile(ini), "[s]\na=1\nb=2\n[t]\nc=3\n");
    EXPECT_EQ(EntriesIn(dir), 1u) << "a temporary file was left behind";
}

TEST(ProfileStorePosix, UnchangedWritesAndMissingDeletesDoNotRewrite) {
    TempDir dir;
    std::string ini = dir.file("q.ini");
    WriteFile(ini, "[s]\nk=v\n");
    struct stat before = StatOf(ini);
    ASSERT_TRUE(ProfileWriteString("s", "k", "v", ini.c_str()));
    EXPECT_TRUE(ProfileDeleteSection("absent", ini.c_str()));
    struct stat after = StatOf(ini);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    // And a delete with no file at all creates none.
    std::string none = dir.file("none.ini");
    ProfileDeleteSection("absent", none.c_str());
    EXPECT_FALSE(qvtest::FileExists(none));
}

TEST(ProfileStorePosix, WriteKeepsThePermissions) {
    TempDir dir;
    std::string ini = dir.file("q.ini");
    WriteFile(ini, "[s]\nk=v\n");
    ASSERT_EQ(chmod(ini.c_str(), 0640), 0);
    ASSERT_TRUE(ProfileWriteString("s", "k", "w", ini.c_str()));
    EXPECT_EQ(StatOf(ini).st_mode & 07777, 0640u);
}

TEST(ProfileStorePosix, HandEditedFileIsSeenAtTheNextRead) {
    TempDir dir;
    std::string ini = dir.file("q.ini");
    WriteFile(ini, "[Quorvalis Paths]\nEmulatorPath=/a/zelko\n");
    EXPECT_EQ(Read(ini, "Quorvalis Paths", "EmulatorPath", ""), "/a/zelko");

    // Same size, same second, a new file moved into place (as editors save).
    std::string side = dir.file("edit.tmp");
    WriteFile(side, "[Quorvalis Paths]\nEmulatorPath=/b/zelko\n");
    struct stat old = StatOf(ini);
    struct timespec times[2] = {old.st_atim, old.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, side.c_str(), times, 0), 0);
    ASSERT_EQ(rename(side.c_str(), ini.c_str()), 0);
    EXPECT_EQ(Read(ini, "Quorvalis Paths", "EmulatorPath", ""), "/b/zelko");

    // Same size rewritten in place.
    WriteFile(ini, "[Quorvalis Paths]\nEmulatorPath=/c/zelko\n");
    EXPECT_EQ(Read(ini, "Quorvalis Paths", "EmulatorPath", ""), "/c/zelko");

    // Removed: back to the default.
    std::filesystem::remove(ini);
    EXPECT_EQ(Read(ini, "Quorvalis Paths", "EmulatorPath", "NO EMULATOR"), "NO EMULATOR");
}

TEST(ProfileStorePosix, FailedWriteLeavesTheOldBytes) {
    TempDir dir;
    const std::string original = "[s]\r\nk=old\r\n";

    // The settings path is a directory: nothing can be written, at any privilege.
    std::string asDir = dir.file("dir.ini");
    std::filesystem::create_directory(asDir);
    EXPECT_FALSE(ProfileWriteString("s", "k", "new", asDir.c_str()));
    EXPECT_EQ(Read(asDir, "s", "k", "def"), "def");
    EXPECT_TRUE(std::filesystem::is_directory(asDir));

    // The directory of the file does not exist.
    EXPECT_FALSE(ProfileWriteString("s", "k", "v", dir.file("no/such/q.ini").c_str()));

    // A read-only directory.
    std::filesystem::path ro = dir.path / "ro";
    std::filesystem::create_directory(ro);
    std::string ini = (ro / "q.ini").string();
    WriteFile(ini, original);
    ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
    // Root ignores directory permissions: try the write as an unprivileged user instead.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (geteuid() == 0 && setuid(65534) != 0)
            _exit(3);
        if (access(ro.c_str(), W_OK) == 0)
            _exit(2);
        bool wrote = ProfileWriteString("s", "k", "new", ini.c_str());
        bool deleted = ProfileDeleteSection("s", ini.c_str());
        _exit(wrote || deleted ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    chmod(ro.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) >= 2)
        GTEST_SKIP() << "no unprivileged user to try a read-only directory with";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a write into a read-only directory reported success";
    EXPECT_EQ(ReadFile(ini), original);
    EXPECT_EQ(Read(ini, "s", "k", ""), "old");
}

TEST(ProfileStorePosix, WriteBeyondTheFileSizeLimitFailsCleanly) {
    TempDir dir;
    std::string ini = dir.file("q.ini");
    const std::string original = "[s]\nk=old\n";
    WriteFile(ini, original);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {
            4096, 4096
        };
        setrlimit(RLIMIT_FSIZE, &lim);
        std::string big(20000, 'x');
        bool ok = ProfileWriteString("s", "k", big.c_str(), ini.c_str());
        _exit(ok ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write reported success";
    EXPECT_EQ(ReadFile(ini), original);
    EXPECT_EQ(EntriesIn(dir), 1u) << "the temporary file was left behind";
}

TEST(ProfileStorePosix, GarbageInputNeverCrashes) {
    std::string binary;
    unsigned x = 12345;
    for (int i = 0; i < 200000; ++i) {
        x = x * 1103515245u + 12345u;
        binary += static_cast<char>(x >> 16);
    }
    const std::string inputs[] = {
        std::string("[s\0x]\nk\0y=v\0w\n[s]\nk=1\n", 22),
        "[s]\nk=" + std::string(1 << 20, 'v') + "\n",
        std::string(1 << 20, '['),
        "[" + std::string(1 << 20, ']'),
        std::string(1 << 20, '\r'),
        std::string(1 << 20, '='),
        binary,
        "[s]\nk=\"\n\"=\"\n'\n",
    };
    for (const std::string& in : inputs) {
        TempDir dir;
        std::string ini = dir.file("q.ini");
        WriteFile(ini, in);
        for (int cap : {1, 2, 8, 260}) {
            Read(ini, "s", "k", "d", cap);
            Read(ini, "", "", "d", cap);
            Read(ini, "[", "=", "", cap);
        }
        ProfileReadInt("s", "k", 3, ini.c_str());
        ASSERT_TRUE(ProfileWriteString("s2", "k", "fresh", ini.c_str()));
        EXPECT_EQ(Read(ini, "s2", "k", ""), "fresh");
        ProfileDeleteSection("s", ini.c_str());
        ProfileDeleteSection("s2", ini.c_str());
    }
    // NUL bytes end a name or a value, as they do in the platform's functions.
    TempDir dir;
    std::string ini = dir.file("q.ini");
    WriteFile(ini, std::string("[s]\nk=ab\0cd\n", 12));
    EXPECT_EQ(Read(ini, "s", "k", ""), "ab");
}

TEST(ProfileStorePosix, ConcurrentWritersOfDifferentSectionsLoseNothing) {
    TempDir dir;
    std::string ini = dir.file("Quorvalis.ini");
    ASSERT_TRUE(ProfileWriteString("Quorvalis Paths", "CartPath", "/roms/", ini.c_str()));
    const int kWriters = 3, kKeys = 60;
    std::vector<pid_t> pids;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::string section = "CART" + std::to_string(w) + ".BIN";
            bool ok = true;
            for (int k = 0; k < kKeys; ++k) {
                std::string key = "Key" + std::to_string(k);
                std::string value = std::to_string(w * 1000 + k);
                ok = ProfileWriteString(section.c_str(), key.c_str(), value.c_str(), ini.c_str()) &&
                     ok;
            }
            _exit(ok ? 0 : 1);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int w = 0; w < kWriters; ++w) {
        std::string section = "CART" + std::to_string(w) + ".BIN";
        for (int k = 0; k < kKeys; ++k) {
            std::string key = "Key" + std::to_string(k);
            EXPECT_EQ(ProfileReadInt(section.c_str(), key.c_str(), -1, ini.c_str()), w * 1000 + k)
                << section << "/" << key;
        }
    }
    EXPECT_EQ(Read(ini, "Quorvalis Paths", "CartPath", ""), "/roms/");
    EXPECT_EQ(EntriesIn(dir), 1u);
}

#endif
