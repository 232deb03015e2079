// ProfileStore over real files in temporary directories. The shared cases run against the
// POSIX reader/writer and, in the Windows build, against the platform's private-profile
// functions; the cases about the exact bytes, atomic replacement, locking and the cache are
// the POSIX store's own guarantees.
#include "platform/profile_store.h"
#include "support/test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>
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

namespace {

// Text as UTF-16 with its byte-order mark, each char one unit (as Windows' editor saves it when
// told "Unicode"): little-endian, or big-endian when le is false.
std::string Utf16(const std::u16string& text, bool le = true) {
    std::string out;
    for (char16_t u : u"\uFEFF" + text) {
        char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        out += le ? lo : hi;
        out += le ? hi : lo;
    }
    return out;
}

} // namespace

// A settings file saved as UTF-16: read as text, and a save keeps it UTF-16, byte-order mark and
// byte order included, so both builds and the editor still read it.
TEST(ProfileStore, Utf16FileIsReadAndStaysUtf16) {
    for (bool le : {true, false}) {
        SCOPED_TRACE(le ? "little-endian" : "big-endian");
        TempDir dir;
        std::string ini = dir.file("Quorvalis.ini");
        WriteFile(ini, Utf16(u"[Quorvalis Paths]\r\nCartPath=/roms/\r\n"
                             u"[MOLEQST.BIN]\r\nTitle=Mole Quest\r\nNoSound=1\r\n",
                             le));
        EXPECT_EQ(Read(ini, "Quorvalis Paths", "CartPath", "NO CARTS"), "/roms/");
        EXPECT_EQ(Read(ini, "moleqst.bin", "title", ""), "Mole Quest");
        EXPECT_EQ(ProfileReadInt("MOLEQST.BIN", "NoSound", 0, ini.c_str()), 1);

        ProfileEntry group[] = {{"Title", "Mole Quest II"}, {"Frames", "3"}};
        ASSERT_TRUE(ProfileWriteStrings("MOLEQST.BIN", group, 2, ini.c_str()));
        ASSERT_TRUE(ProfileWriteString("ZAP.MD", "Title", "Zap", ini.c_str()));
        ASSERT_TRUE(ProfileDeleteSection("Quorvalis Paths", ini.c_str()));
        EXPECT_EQ(ReadFile(ini), Utf16(u"[MOLEQST.BIN]\r\nTitle=Mole Quest II\r\nNoSound=1\r\n"
                                       u"Frames=3\r\n[ZAP.MD]\r\nTitle=Zap\r\n",
                                       le));
        EXPECT_EQ(Read(ini, "MOLEQST.BIN", "Frames", "2"), "3");
    }
}

#ifndef _WIN32

using qvtest::NamesIn;
using qvtest::StatOf;

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
    };
    for (const Case& c : cases) {
        WriteFile(ini, original);
        ASSERT_TRUE(ProfileWriteString(c.section, c.key, c.value, ini.c_str()));
        EXPECT_EQ(ReadFile(ini), c.want) << c.section << "/" << c.key;
    }
    // A value never breaks the line: one holding CR or LF is refused.
    WriteFile(ini, original);
    ProfileFailure why = ProfileFailure::None;
    ProfileEntry entry{"Title", "two\r\nlines\n[Evil]"};
    EXPECT_FALSE(ProfileWriteStrings("X.BIN", &entry, 1, ini.c_str(), &why));
    EXPECT_EQ(why, ProfileFailure::NameNotKept);
    EXPECT_EQ(ReadFile(ini), original);

    // LF files get LF lines, and a last line without newline is ended first.
    WriteFile(ini, "[s]\na=1");
    ASSERT_TRUE(ProfileWriteString("s", "b", "2", ini.c_str()));
    ASSERT_TRUE(ProfileWriteString("t", "c", "3", ini.c_str()));
    EXPECT_EQ(ReadFile(ini), "[s]\na=1\nb=2\n[t]\nc=3\n");
    EXPECT_EQ(NamesIn(dir.path).size(), 1u) << "a temporary file was left behind";
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

namespace {

// Bytes this process has read through read() and the like so far.
long long BytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string field;
    long long value = 0;
    while (io >> field >> value) {
        if (field == "rchar:")
            return value;
    }
    return -1;
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

} // namespace

// A section is found by a scan of the headers on the first look-up of a file's version and from
// an index of all names afterwards; both must give the answers of the format's rules.
TEST(ProfileStorePosix, SectionLookUpsByScanAndByIndexAgree) {
    const std::string crlf = std::string("top=lead\r\n"
                                         "[Alpha]\r\nk=a1\r\n"
                                         "[alpha]\r\nk=a2\r\nj=a2j\r\n"
                                         "  [ Beta  ]  \r\nk=b\r\n"
                                         "x[Gamma]\r\nk=not a header\r\n"
                                         "[Delta\r\nk=d\r\n"
                                         "[Mole Quest (U) [!].bin]\r\nk=mole\r\n"
                                         "\v[Eps]\r\nk=eps\r\n"
                                         "[Zeta") +
                             std::string("\0junk]\r\nk=zeta\r\n", 17) +
                             "[]\r\nk=empty\r\n"
                             "[A{]\r\nk=brace\r\n"
                             "[LONGSECTIONNAME1]\r\nk=l1\r\n"
                             "[longsectionname2]\r\nk=l2\r\n"
                             "[\xC1"
                             "bc]\r\nk=high\r\n"
                             "[@x]\r\nk=at\r\n"
                             "Title=[not] a header\r\n"
                             "[Last]\r\nk=last";
    const std::string files[] = {
        crlf,
        Replace(crlf, "\r\n", "\n"),
        Replace(crlf, "\r\n", "\r"),
        "\xEF\xBB\xBF" + crlf,
    };
    struct Case {
        std::string section;
        const char* key;
        const char* want;
    } cases[] = {
        {"", "top", "lead"},         // the lines before the first header
        {"", "k", "DEF"},            // "[]" comes after them: the first empty name wins
        {"alpha", "k", "a1"},        // the first of two spellings
        {"ALPHA", "j", "DEF"},       // the second section of that name does not count
        {"beta", "k", "b"},          // blanks around the name and the header
        {"Beta", "x[Gamma]", "DEF"}, // text before '[': an entry without value
        {"gamma", "k", "DEF"},
        {"Delta", "k", "DEF"}, // no ']': an entry of the section before
        {"mole quest (u) [!].BIN", "k", "mole"},
        {"eps", "k", "eps"},   // a vertical tab before '[' is a blank
        {"zeta", "k", "zeta"}, // a NUL ends the name
        {"a[", "k", "DEF"},    // '{' is not '[' folded
        {"a{", "k", "brace"},
        {"longsectionname2", "k", "l2"}, // the first eight bytes of two names alike
        {"LongSectionName1", "k", "l1"},
        {"longsectionname", "k", "DEF"}, // a prefix of a name is not the name
        {"\xE1"
         "bc",
         "k", "DEF"}, // bytes above ASCII do not fold
        {"\xC1"
         "BC",
         "k", "high"},
        {"`x", "k", "DEF"}, // '`' is not '@' folded
        {"@X", "k", "at"},
        {"not", "a header", "DEF"}, // '[' inside a value
        {"last", "k", "last"},      // the last line without newline
        {"missing", "k", "DEF"},
    };
    for (size_t f = 0; f < std::size(files); ++f) {
        TempDir dir;
        // All names in turn on one file: the first by a scan, the others from the index.
        std::string shared = dir.file("shared.ini");
        WriteFile(shared, files[f]);
        for (const Case& c : cases) {
            EXPECT_EQ(Read(shared, c.section.c_str(), c.key, "DEF"), c.want)
                << "file " << f << ", after others: [" << c.section << "] " << c.key;
        }
        // Each name first on a file of its own: found by a scan, then asked again.
        for (size_t i = 0; i < std::size(cases); ++i) {
            const Case& c = cases[i];
            std::string own = dir.file("own" + std::to_string(i) + ".ini");
            WriteFile(own, files[f]);
            for (int again = 0; again < 2; ++again) {
                EXPECT_EQ(Read(own, c.section.c_str(), c.key, "DEF"), c.want)
                    << "file " << f << ", scanned: [" << c.section << "] " << c.key;
            }
        }
    }
    // A byte-order mark right before the first header.
    TempDir dir;
    std::string ini = dir.file("bom.ini");
    WriteFile(ini, "\xEF\xBB\xBF[First]\nk=f\n");
    EXPECT_EQ(Read(ini, "first", "k", "DEF"), "f");
    EXPECT_EQ(Read(ini, "", "k", "DEF"), "DEF");
}

// A group of keys goes into the file in one edit; the bytes must be those of writing the keys
// one at a time.
TEST(ProfileStorePosix, GroupWriteGivesTheBytesOfSingleWrites) {
    const char* starts[] = {
        nullptr, // no file
        "[s]\r\nk=1\r\n",
        "[s]\na=1",             // unterminated last line
        "[s]\rx\r a = old  \r", // lone CR, an entry without '='
        "\xEF\xBB\xBF",
        "; c\r\n[S]\r\n\r\nk=1\r\n\r\n[t]\r\nq=2\r\n",
        "top=1\r\n[s]\r\nk=1\r\n[s]\r\nk=second\r\n",
    };
    struct Group {
        const char* section;
        std::vector<ProfileEntry> entries;
    } groups[] = {
        {"s",
         {{"Title", "Mole Quest"},
          {"NoSound", "1"},
          {"Z80", "0"},
          {"Version", "Japan"},
          {"Frames", "3"}}},
        {"S", {{"k", "1"}, {"K", "2"}, {"new", "a"}, {" NEW ", "b"}, {"x", "y"}}},
        {"s", {{"k", "v  "}, {"k", "v"}, {"n", " w "}, {"n", "w"}}},
        {"s", {{"k", "1"}}},
        {"s", {{"x", "z"}, {"a", "new"}}},
        {"New Section [!]", {{"a", "1"}, {"b", "2"}, {"A", "3"}}},
        {"", {{"top", "2"}, {"fresh", "3"}}},
        {"t", {{"q", "2"}, {"r", ""}}},
    };
    for (size_t f = 0; f < std::size(starts); ++f) {
        for (size_t g = 0; g < std::size(groups); ++g) {
            TempDir dir;
            std::string whole = dir.file("whole.ini"), single = dir.file("single.ini");
            if (starts[f]) {
                WriteFile(whole, starts[f]);
                WriteFile(single, starts[f]);
            }
            const Group& gr = groups[g];
            EXPECT_TRUE(ProfileWriteStrings(gr.section, gr.entries.data(),
                                            static_cast<int>(gr.entries.size()), whole.c_str()));
            for (const ProfileEntry& e : gr.entries)
                EXPECT_TRUE(ProfileWriteString(gr.section, e.key, e.value, single.c_str()));
            EXPECT_EQ(ReadFile(whole), ReadFile(single)) << "file " << f << ", group " << g;
            EXPECT_EQ(NamesIn(dir.path).size(), 2u) << "file " << f << ", group " << g;
        }
    }
    // A group that changes nothing does not rewrite the file.
    TempDir dir;
    std::string ini = dir.file("q.ini");
    WriteFile(ini, "[s]\nk=1\nj=2\n");
    struct stat before = StatOf(ini);
    ProfileEntry same[] = {{"K", "1"}, {"j", "2"}};
    EXPECT_TRUE(ProfileWriteStrings("S", same, 2, ini.c_str()));
    EXPECT_EQ(StatOf(ini).st_ino, before.st_ino);
}

// A cartridge file name may start or end with a blank: the section it is saved under is found
// again by its reads and removed by its delete, which all drop the blanks alike.
TEST(ProfileStorePosix, NamesWithBlanksAtTheEndsAreSavedLoadedAndDeletedAlike) {
    const char* names[] = {" MOLEQST.BIN", "MOLEQST.BIN ", "\tMOLEQST.BIN", " MOLEQST.BIN\v"};
    for (const char* name : names) {
        TempDir dir;
        std::string ini = dir.file("q.ini");
        const std::string original = "[A.BIN]\r\nTitle=a\r\n";
        WriteFile(ini, original);
        ProfileEntry group[] = {{"Title", "Mole Quest"}, {"Frames", "3"}};
        ASSERT_TRUE(ProfileWriteStrings(name, group, 2, ini.c_str())) << name;
        EXPECT_EQ(Read(ini, name, "Title", "DEF"), "Mole Quest") << name;
        EXPECT_EQ(Read(ini, "moleqst.bin", "Frames", "DEF"), "3") << name;
        EXPECT_TRUE(ProfileDeleteSection(name, ini.c_str())) << name;
        EXPECT_EQ(Read(ini, name, "Title", "DEF"), "DEF") << name;
        EXPECT_EQ(ReadFile(ini), original) << name;
    }
}

// Keys the file format cannot carry back are refused, and the file stays as it was.
TEST(ProfileStorePosix, WritesThatWouldReadBackAsSomethingElseAreRefused) {
    const std::string original = "[s]\r\nk=1\r\n[t]\r\nk=2\r\n";
    struct Case {
        const char* section;
        const char* key;
        const char* value;
        bool stored;
    } cases[] = {
        {"s", "a=b", "v", false}, // reads back as key "a"
        {"s", "=", "v", false},
        {"s", "[x]", "v", false},   // a header "[x]=v"
        {"s", " [x] ", "v", false}, // blanks around the name do not count
        {"s", "[]", "v", false},
        {"s", "[x", "y]", false}, // a header "[x=y]"
        {"s", "[x", "y", true},   // no ']' on the line: an entry
        {"s", "x]", "v", true},   // does not start with '['
        {"s", "k", "[v]", true},  // brackets in a value are text
        {"s", "", "v", true},     // "=v": the empty key reads back
        {"", "top", "v", true},   // the empty section: the lines before the first header
        // A line break in a name: no line of the file can hold it, so it is never found again
        // (a cartridge file name may hold one).
        {"x\ny", "k", "v", false},
        {"x\r", "k", "v", true}, // only blanks at the ends are dropped
        {"s", "k\rj", "v", false},
        {"s", "\nk\n", "v", true},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::string ini = dir.file("q.ini");
        WriteFile(ini, original);
        bool wrote = ProfileWriteString(c.section, c.key, c.value, ini.c_str());
        EXPECT_EQ(wrote, c.stored) << c.key;
        if (c.stored) {
            EXPECT_EQ(Read(ini, c.section, c.key, "DEF"), c.value) << c.key;
            EXPECT_EQ(Read(ini, "t", "k", "DEF"), "2") << c.key;
        } else {
            EXPECT_EQ(ReadFile(ini), original) << c.key;
        }
        // In a group, one such key stops the whole group.
        ProfileEntry group[] = {{"k", "changed"}, {c.key, c.value}};
        EXPECT_EQ(ProfileWriteStrings(c.section, group, 2, ini.c_str()), c.stored) << c.key;
        if (!c.stored) {
            EXPECT_EQ(ReadFile(ini), original) << c.key;
        }
        EXPECT_EQ(NamesIn(dir.path).size(), 1u) << c.key;
    }
}

// A UTF-16 file holds characters 8-bit text has no bytes for, and 8-bit text bytes that are no
// UTF-8: a save changes only the lines it writes, and every value written reads back as it was.
TEST(ProfileStorePosix, Utf16FileLosesNothing) {
    const char16_t loneHigh = 0xD83D, loneLow = 0xDC41, byteE9 = 0xDCE9, pairHigh = 0xD83D,
                   pairLow = 0xDE00;
    std::u16string kept = u"; lone ";
    kept += loneHigh;
    kept += u"\r\n[s]\r\n  spaced  =  kept  \r\n\r\na=";
    kept += {loneLow, byteE9, u'x'};
    kept += u"\r\nb=";
    kept += {pairHigh, pairLow};
    kept += u"\r\nc=\u00E9\u4E2D\r\n";
    TempDir dir;
    std::string ini = dir.file("q.ini");
    WriteFile(ini, Utf16(kept + u"k=old\r\n"));
    EXPECT_EQ(Read(ini, "s", "spaced", ""), "kept");
    EXPECT_EQ(Read(ini, "s", "a", ""), "\xED\xB1\x81\xE9x");
    EXPECT_EQ(Read(ini, "s", "b", ""), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Read(ini, "s", "c", ""), "\xC3\xA9\xE4\xB8\xAD");
    ASSERT_TRUE(ProfileWriteString("s", "k", "new", ini.c_str()));
    EXPECT_EQ(ReadFile(ini), Utf16(kept + u"k=new\r\n"));

    const char* values[] = {
        "Caf\xC3\xA9",              // UTF-8
        "\xE9t\xE9",                // Latin-1: no UTF-8
        "\xC3",                     // a sequence cut short
        "\xC0\xAF",                 // an overlong form
        "\xF4\x90\x80\x80",         // beyond U+10FFFF
        "\xF0\x9F\x98\x80",         // a character beyond 16 bits
        "\xED\xA0\xBD",             // a high surrogate's form at the end...
        "\xED\xA0\xBDx",            // ...and before ASCII
        "\xED\xA0\xBD\xED\xB8\x80", // two surrogate forms that would pair
        "\xED\xA0\xBD\xE9",         // a surrogate form before a byte that is no UTF-8
        "\xED\xB3\xA9",             // the form of a surrogate that stands for a byte
        "\xED\xB1\x81",             // a low surrogate's form
        "\xFF\xFE",
    };
    for (bool le : {true, false}) {
        WriteFile(ini, Utf16(u"[s]\r\n", le));
        for (size_t i = 0; i < std::size(values); ++i) {
            std::string key = "k" + std::to_string(i), section = std::string("s") + values[i];
            ASSERT_TRUE(ProfileWriteString("s", key.c_str(), values[i], ini.c_str()));
            ASSERT_TRUE(ProfileWriteString(section.c_str(), "k", "v", ini.c_str()));
        }
        EXPECT_EQ(ReadFile(ini).substr(0, 2), le ? "\xFF\xFE" : "\xFE\xFF");
        for (size_t i = 0; i < std::size(values); ++i) {
            std::string key = "k" + std::to_string(i), section = std::string("s") + values[i];
            EXPECT_EQ(Read(ini, "s", key.c_str(), "DEF"), values[i]) << key;
            EXPECT_EQ(Read(ini, section.c_str(), "k", "DEF"), "v") << key;
        }
        // Written again with the same values, nothing changes: they read back equal.
        std::string before = ReadFile(ini);
        for (size_t i = 0; i < std::size(values); ++i) {
            std::string key = "k" + std::to_string(i);
            ASSERT_TRUE(ProfileWriteString("s", key.c_str(), values[i], ini.c_str()));
        }
        EXPECT_EQ(ReadFile(ini), before);
    }
}

// A save through a symbolic link changes the file it leads to (the link stays), and reads
// through the link see it at once.
TEST(ProfileStorePosix, SaveThroughALinkIsReadThroughIt) {
    TempDir dir;
    std::string ini = dir.file("Quorvalis.ini"), real = dir.file("real.ini");
    WriteFile(real, "[s]\r\nk=old\r\n");
    ASSERT_EQ(symlink("real.ini", ini.c_str()), 0);
    EXPECT_EQ(Read(ini, "s", "k", "DEF"), "old");
    ASSERT_TRUE(ProfileWriteString("s", "k", "new", ini.c_str()));
    EXPECT_EQ(Read(ini, "s", "k", "DEF"), "new");
    EXPECT_EQ(Read(real, "s", "k", "DEF"), "new");
    ASSERT_TRUE(ProfileWriteString("s", "k", "newer", real.c_str()));
    EXPECT_EQ(Read(ini, "s", "k", "DEF"), "newer");
    EXPECT_TRUE(std::filesystem::is_symlink(ini));
    EXPECT_EQ(ReadFile(real), "[s]\r\nk=newer\r\n");
}

// File times tell an edit apart only when they moved on since the version cached. A file
// modified in the last two seconds is therefore read again at each access (an edit in the same
// tick keeps every time stamp on a coarse clock); an older one is read once.
TEST(ProfileStorePosix, RecentlyModifiedFileIsReadAgainAtEachAccess) {
    TempDir dir;
    std::string ini = dir.file("q.ini");
    const std::string filler(100000, ';');
    WriteFile(ini, filler + "\n[s]\nk=1\n");
    const long long size = static_cast<long long>(filler.size()) + 9;

    EXPECT_EQ(Read(ini, "s", "k", ""), "1");
    long long before = BytesReadSoFar();
    ASSERT_GE(before, 0) << "no /proc/self/io";
    EXPECT_EQ(Read(ini, "s", "k", ""), "1");
    EXPECT_EQ(Read(ini, "s", "k", ""), "1");
    EXPECT_GE(BytesReadSoFar() - before, 2 * size) << "a file modified just now was trusted";

    struct timespec t[2];
    clock_gettime(CLOCK_REALTIME, &t[0]);
    t[0].tv_sec -= 3600;
    t[1] = t[0];
    ASSERT_EQ(utimensat(AT_FDCWD, ini.c_str(), t, 0), 0);
    EXPECT_EQ(Read(ini, "s", "k", ""), "1"); // new times: read once more
    before = BytesReadSoFar();
    EXPECT_EQ(Read(ini, "s", "k", ""), "1");
    EXPECT_EQ(Read(ini, "s", "k", ""), "1");
    EXPECT_LT(BytesReadSoFar() - before, size) << "an old unchanged file was read again";

    // Same-size edits in place, each read right after: every one is seen.
    for (int i = 0; i < 200; ++i) {
        std::string value = std::to_string(1000 + i);
        WriteFile(ini, filler + "\n[s]\nk=" + value + "\n");
        ASSERT_EQ(Read(ini, "s", "k", ""), value) << "edit " << i;
    }
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
    EXPECT_EQ(NamesIn(dir.path).size(), 1u);
}

#endif
