// Cartridge listing and titles built from ROM headers, over real files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/cartridge.h"
#include "core/paths.h"
#include "platform/limits.h"
#include "support/test_util.h"
#include "support/zelko_log.h"

namespace fs = std::filesystem;
using qvtest::TempDir;
using qvtest::WriteFile;

namespace {

std::string Title(const std::string& header) {
    char title[256];
    std::memset(title, 'x', sizeof title);
    BuildCartTitle(header.c_str(), title);
    return std::string(title);
}

std::string Padded(const std::string& text, size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

// A ROM image whose bytes from the name field's offset on are tail.
std::string Rom(const std::string& tail) {
    return std::string(336, '\x01') + tail;
}

// rom in the interleaved copier layout of .smd files, padded with NULs to whole 16 KiB blocks:
// a 512-byte header (block count, 0xAA 0xBB at bytes 8 and 9; headerText from byte 336), then
// per block the odd-addressed bytes and after them the even-addressed ones.
std::string Interleaved(std::string rom, const std::string& headerText = "") {
    const size_t block = 16384;
    rom.resize(rom.empty() ? block : (rom.size() + block - 1) / block * block, '\0');
    std::string file(512, '\0');
    file[0] = static_cast<char>(rom.size() / block);
    file[1] = 3;
    file[8] = '\xAA';
    file[9] = '\xBB';
    file.replace(336, headerText.size(), headerText);
    for (size_t at = 0; at < rom.size(); at += block) {
        for (size_t i = 1; i < block; i += 2)
            file += rom[at + i];
        for (size_t i = 0; i < block; i += 2)
            file += rom[at + i];
    }
    return file;
}

} // namespace

TEST(CartTitle, WorkedResults) {
    struct Row {
        std::string header;
        std::string title;
    } rows[] = {
        {Padded("TURBO MOLE QUEST", 47), "Turbo Mole Quest "},
        {Padded("MOLE QUEST 2", 47), "Mole Quest 2 "},
        {std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTU"),
         "Abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstu "},
        {"A B", "A B"},
        {"", ""},
        {std::string(47, ' '), "  "},
        {Padded(" TURBO", 47), " turbo "},
        {Padded("  TURBO", 47), "  Turbo "},
        {Padded("     TURBO", 47), "  Turbo "},
        {std::string("ABC\0\0\0\0", 7), "Abc "},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Title(row.header), row.title) << "header [" << row.header << "]";
}

TEST(CartTitle, WordsAndCaseChanges) {
    struct Row {
        std::string header;
        std::string title;
    } rows[] = {
        {"MOLE  QUEST", "Mole Quest "},        // a run of spaces becomes one
        {"MOLE\tQUEST", "Mole\tquest "},       // a tab is an ordinary character
        {"\xC9T\xC9 MOLE", "\xC9t\xC9 Mole "}, // non-ASCII bytes keep their case
        {"\xE9t\xE9 mole", "\xE9t\xE9 Mole "},
        {"x-ray 3d", "X-ray 3d "},
        {"A", "A"}, // one character gets no space
        {"AB", "Ab "},
        {"A ", "A "},
        {"AB\n", "Ab\n "}, // the line feed is copied like a letter
    };
    for (const Row& row : rows)
        EXPECT_EQ(Title(row.header), row.title) << "header [" << row.header << "]";
}

TEST(CartTitle, LongTextAlwaysFitsTheTitleField) {
    char title[257];
    title[256] = '#';
    std::string header(255, 'Q');
    BuildCartTitle(header.c_str(), title);
    EXPECT_EQ(title[256], '#');
    EXPECT_LE(std::strlen(title), 255u);
    EXPECT_EQ(title[0], 'Q');
    EXPECT_EQ(title[1], 'q');
}

TEST(CartTitle, ReadFromRomHeader) {
    struct Row {
        const char* what;
        std::string bytes;
        std::string title;
    } rows[] = {
        {"padded name", Rom(Padded("TURBO MOLE QUEST", 48) + std::string(200, '\0')),
         "Turbo Mole Quest "},
        {"two spaces between words", Rom(Padded("MOLE  QUEST", 48)), "Mole Quest "},
        {"NUL ends the name", Rom(std::string("ABC\0DEF", 7) + std::string(41, ' ')), "Abc "},
        {"line feed ends the read", Rom("AB\nCD" + std::string(43, ' ')), "Ab\n "},
        {"CR LF pair", Rom("AB\r\nCD" + std::string(42, ' ')), "Ab\n "},
        {"control-Z ends the data",
         Rom("ABC\x1A"
             "DEF" +
             std::string(41, ' ')),
         "Abc "},
        {"file of 336 bytes", Rom(""), ""},
        {"file shorter than 336 bytes", std::string(100, 'A'), ""},
        {"empty file", "", ""},
        {"control-Z at the name",
         Rom("\x1A"
             "ABC"),
         ""},
        {"only carriage returns", Rom("\r\r\r\r"), ""},
        {"name of one byte", Rom("Z"), "Z"},
        // 47 characters are read; carriage returns do not count, so the read passes the field.
        {"carriage returns do not count", Rom("\r\r" + std::string(47, 'W') + "XYZ"),
         "W" + std::string(46, 'w') + " "},
        {"47 characters at most", Rom(std::string(60, 'M')), "M" + std::string(46, 'm') + " "},
        {"carriage returns past the first 16 KiB", Rom(std::string(17000, '\r') + "FAR"), "Far "},
    };
    // Each ROM as it stands and in the interleaved layout: the same title.
    TempDir dir;
    for (const Row& row : rows) {
        qvtest::CurrentDirGuard cwd;
        WriteFile(dir.path / "ROM.BIN", row.bytes);
        WriteFile(dir.path / "ROM.SMD", Interleaved(row.bytes));
        ASSERT_TRUE(CopyText(g_paths.CartDir, kPathMax, dir.dirText().c_str()));
        for (const char* name : {"ROM.BIN", "ROM.SMD"}) {
            char title[256];
            std::memset(title, '?', sizeof title);
            title[255] = '\0';
            EXPECT_EQ(ReadCartTitle(name, title), 1) << row.what << " " << name;
            EXPECT_EQ(std::string(title), row.title) << row.what << " " << name;
        }
    }
}

// Only the signature with a size of the header plus whole blocks makes a file interleaved;
// any other file is read at byte 336 as it stands, whatever its extension.
TEST(CartTitle, InterleavedLayoutOnlyWhenSignatureAndSizeFit) {
    const std::string rom = Rom(Padded("MOLE QUEST", 48)) + std::string(40000, '\x4E');
    const std::string copier = Interleaved(rom, Padded("COPIER HEADER", 48));
    std::string unsigned_ = copier;
    unsigned_[9] = '\0';
    struct Row {
        const char* what;
        std::string bytes;
        std::string title;
    } rows[] = {
        {"three blocks", copier, "Mole Quest "},
        {"one byte more", copier + "x", "Copier Header "},
        {"one byte less", copier.substr(0, copier.size() - 1), "Copier Header "},
        {"no signature", unsigned_, "Copier Header "},
        {"header alone", copier.substr(0, 512), "Copier Header "},
        {"plain image", rom, "Mole Quest "},
    };
    TempDir dir;
    for (const Row& row : rows) {
        qvtest::CurrentDirGuard cwd;
        WriteFile(dir.path / "Star.smd", row.bytes);
        CopyText(g_paths.CartDir, kPathMax, dir.dirText().c_str());
        char title[256] = "";
        EXPECT_EQ(ReadCartTitle("Star.smd", title), 1) << row.what;
        EXPECT_EQ(std::string(title), row.title) << row.what;
    }
}

// The text stream drops a carriage return wherever it stands, not only before a line feed.
TEST(CartTitle, LoneCarriageReturnsAreDropped) {
    TempDir dir;
    qvtest::CurrentDirGuard cwd;
    WriteFile(dir.path / "ROM.BIN", Rom("MO\rLE Q\rUEST" + std::string(40, ' ')));
    CopyText(g_paths.CartDir, kPathMax, dir.dirText().c_str());
    char title[256];
    ASSERT_EQ(ReadCartTitle("ROM.BIN", title), 1);
    EXPECT_STREQ(title, "Mole Quest ");
}

TEST(CartTitle, MissingFileLeavesTitleUntouchedAndCartDirCurrent) {
    TempDir dir;
    qvtest::CurrentDirGuard cwd;
    CopyText(g_paths.CartDir, kPathMax, dir.dirText().c_str());
    char title[256] = "kept";
    EXPECT_EQ(ReadCartTitle("NOPE.BIN", title), 0);
    EXPECT_STREQ(title, "kept");
    // The cartridge directory stays the current directory, and a relative name is found there.
    EXPECT_TRUE(qvtest::SamePath(fs::current_path(), dir.path));
    WriteFile(dir.path / "HERE.MD", Rom("HERE"));
    EXPECT_EQ(ReadCartTitle("HERE.MD", title), 1);
    EXPECT_STREQ(title, "Here ");
}

TEST(CartTitle, DirectoryIsNoCartridge) {
    TempDir dir;
    qvtest::CurrentDirGuard cwd;
    fs::create_directory(dir.path / "GAMES.BIN");
    CopyText(g_paths.CartDir, kPathMax, dir.dirText().c_str());
    char title[256] = "kept";
    EXPECT_EQ(ReadCartTitle("GAMES.BIN", title), 0);
    EXPECT_STREQ(title, "kept");
}

TEST(CartList, MergedSortedAndFiltered) {
    TempDir dir;
    for (const char* name : {"MOLEQST.BIN", "ZETA.SMD", "ALPHA.MD", "beta.Mgd", "gamma.bin",
                             "Delta.SMD", "README.TXT", "ROM.bin.txt", "noext"})
        WriteFile(dir.path / name, "x");
    fs::create_directory(dir.path / "GAMES.BIN");
    fs::create_directory(dir.path / "sub");
    WriteFile(dir.path / "sub" / "INNER.BIN", "x");

    std::vector<std::string> names;
    ListCartFiles(dir.dirText().c_str(), &names);
    std::vector<std::string> expected = {"ALPHA.MD",  "beta.Mgd",    "Delta.SMD",
                                         "gamma.bin", "MOLEQST.BIN", "ZETA.SMD"};
    EXPECT_EQ(names, expected);
}

TEST(CartList, ExampleDirectoryOrder) {
    TempDir dir;
    for (const char* name : {"MOLEQST.BIN", "ALPHA.MD", "ZETA.SMD"})
        WriteFile(dir.path / name, "x");
    std::vector<std::string> names;
    ListCartFiles(dir.dirText().c_str(), &names);
    EXPECT_EQ(names, (std::vector<std::string>{"ALPHA.MD", "MOLEQST.BIN", "ZETA.SMD"}));
}

// The order the Win32 list box gives these names (measured under Wine): a word sort without
// regard to case, where hyphens and apostrophes count only between otherwise equal names,
// punctuation sorts before digits and digits before letters, and "[" names come last.
TEST(CartList, ListBoxOrderOfPunctuatedNames) {
    const std::vector<std::string> expected = {
        "(Proto) Mole.smd", "_Mole.bin",      "1942.bin",       "'88 Games.bin", "alpha.smd",
        "mole 10.bin",      "MOLE 9.md",      "Mole Quest.bin", "mole!.bin",     "-Mole.mgd",
        "mole.quest.bin",   "Mole_2.bin",     "Mole2.bin",      "Mole-2.bin",    "Mole-Quest 2.MD",
        "MoleQuest.bin",    "Mole'Quest.bin", "Mole-Quest.bin", "Zap.md",        "[Beta] Mole.bin"};
    TempDir dir;
    for (size_t i = expected.size(); i-- > 0;)
        WriteFile(dir.path / expected[i], "x");
    std::vector<std::string> names;
    ListCartFiles(dir.dirText().c_str(), &names);
    EXPECT_EQ(names, expected);
}

TEST(CartList, MissingOrUnusableDirectoryListsNothing) {
    TempDir dir;
    std::vector<std::string> names = {"stale"};
    ListCartFiles((dir.dirText() + "missing" + kPathSep).c_str(), &names);
    EXPECT_TRUE(names.empty());
    // A directory text too long for any pattern path.
    std::string tooLong(kPathMax, 'd');
    ListCartFiles(tooLong.c_str(), &names);
    EXPECT_TRUE(names.empty());
}

#ifndef _WIN32
// Links to files count, dot-files are listed as the Win32 build lists them; the same from
// the current directory, which an empty cartridge directory text names.
TEST(CartList, PosixFilesLinksAndDotFiles) {
    TempDir dir;
    qvtest::CurrentDirGuard cwd;
    WriteFile(dir.path / "REAL.BIN", "x");
    WriteFile(dir.path / ".hidden.bin", "x");
    WriteFile(dir.path / ".bin", "x");
    WriteFile(dir.path / "cart.bin2", "x");
    fs::create_directory(dir.path / "dir.md");
    fs::create_directory(dir.path / ".dir.bin");
    fs::create_symlink(dir.path / "REAL.BIN", dir.path / "link.smd");
    fs::create_directory_symlink(dir.path / "dir.md", dir.path / "dirlink.bin");
    fs::create_symlink(dir.path / "gone", dir.path / "broken.bin");
    const std::vector<std::string> expected = {".bin", ".hidden.bin", "link.smd", "REAL.BIN"};
    for (const std::string& text : {dir.dirText(), std::string()}) {
        SCOPED_TRACE("directory text \"" + text + "\"");
        fs::current_path(dir.path);
        std::vector<std::string> names;
        ListCartFiles(text.c_str(), &names);
        EXPECT_EQ(names, expected);
    }
}

// UTF-8 names as the Win32 list box orders them (measured under Wine): accented letters with
// their base letter, plain before accented; ae, oe, ss and th ligatures as two letters; a byte
// that is no UTF-8 counts for nothing.
TEST(CartList, ListBoxOrderOfAccentedNames) {
    const std::vector<std::string> expected = {
        "a.b.bin",         "\xC3\x84.bin", "a1.bin",       "ad.bin",         "\xC3\xA6.bin",
        "af.bin",          "e.bin",        "\xC3\xA9.bin", "\xC3\xA8.bin",   "\xC3\xAA.bin",
        "f.bin",           "\xC3\xB8.bin", "oe.bin",       "\xC5\x93uf.bin", "\xC3\x96lbaum.bin",
        "\xE9raw.bin",     "sr.bin",       "\xC3\x9F.bin", "st.bin",         "tho.bin",
        "\xC3\xBEorn.bin", "\xC3\xBC.bin", "\xC3\xBF.bin", "z.bin"};
    TempDir dir;
    for (const std::string& name : expected)
        WriteFile(dir.path / name, "x");
    std::vector<std::string> names;
    ListCartFiles(dir.dirText().c_str(), &names);
    EXPECT_EQ(names, expected);
}

// A directory text that leaves room for "*.md" but not for the longer patterns lists only
// the .md files rather than using a cut-off pattern.
TEST(CartList, PatternThatDoesNotFitIsSkipped) {
    TempDir dir;
    std::string text = dir.dirText();
    const size_t target = kPathMax - 5; // text + "*.md" fills the buffer exactly
    while (text.size() < target) {
        size_t room = target - text.size();
        size_t part = std::min<size_t>(200, room - 1);
        if (room - (part + 1) == 1)
            --part;
        text += std::string(part, 'p') + "/";
        fs::create_directory(text);
    }
    ASSERT_EQ(text.size(), target);
    WriteFile(text + "a.md", "x");
    WriteFile(text + "b.bin", "x");
    std::vector<std::string> names;
    ListCartFiles(text.c_str(), &names);
    EXPECT_EQ(names, (std::vector<std::string>{"a.md"}));
}
#endif
