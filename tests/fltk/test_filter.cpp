// The first-run dialog's rules: which files the list offers, and what a typed name stands for,
// checked against real directories.
#include "ui/fltk/chooser_paths.h"
#include "ui/fltk/plain_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// After GoogleTest: the X headers FLTK includes define names such as None.
#include <FL/Fl.H>
#include <FL/fl_draw.H>

namespace fs = std::filesystem;

namespace {

// A message box shows a cartridge name as it is written: FLTK measures the text the launcher hands
// it, read with its "@" symbol syntax, as wide as the name itself read without that syntax.
TEST(PlainLabel, NamesWithAtSignsShowAsWritten) {
    fl_open_display();
    fl_font(FL_HELVETICA, 14);
    for (const char* name : {"@Home.bin", "@@x.bin", "a@b.md", "@->.smd", "x@", "The @circle"}) {
        int plainW = 0, plainH = 0, labelW = 0, labelH = 0;
        fl_measure(name, plainW, plainH, 0);
        fl_measure(PlainLabelText(name).c_str(), labelW, labelH, 1);
        EXPECT_EQ(labelW, plainW) << name;
        EXPECT_EQ(labelH, plainH) << name;
    }
}

TEST(ChooserFilter, PatternListsMatchInAnyCase) {
    const char* carts = "*.bin;*.md;*.mgd;*.smd";
    struct Case {
        const char* name;
        bool match;
    } cases[] = {{"MOLEQST.BIN", true}, {"a.md", true},   {"b.Mgd", true}, {"c.SMD", true},
                 {"d.bin.txt", false},  {"e.mdx", false}, {"bin", false},  {"Zelko.exe", false}};
    for (const Case& c : cases)
        EXPECT_EQ(MatchesFilter(c.name, carts), c.match) << c.name;
    // The emulator prompt's pattern is one exact name, matched without regard to case.
    EXPECT_TRUE(MatchesFilter("Zelko.exe", "Zelko.EXE"));
    EXPECT_TRUE(MatchesFilter("ZELKO.EXE", "Zelko.EXE"));
    EXPECT_FALSE(MatchesFilter("Zelko.exe.bak", "Zelko.EXE"));
    EXPECT_FALSE(MatchesFilter("xZelko.exe", "Zelko.EXE"));
    // Spaces around the pieces and empty pieces are ignored; no pattern matches nothing.
    EXPECT_TRUE(MatchesFilter("a.md", " *.bin ; *.md ;"));
    EXPECT_FALSE(MatchesFilter("a.md", ""));
    EXPECT_FALSE(MatchesFilter("a.md", ";;"));
    EXPECT_FALSE(MatchesFilter("a.md", nullptr));
}

TEST(ChooserPaths, NormalisingTakesOutDotsAndEmptyParts) {
    EXPECT_EQ(NormalizePath("/a/./b//c/"), "/a/b/c");
    EXPECT_EQ(NormalizePath("/a/b/../c"), "/a/c");
    EXPECT_EQ(NormalizePath("/a/../../.."), "/");
    EXPECT_EQ(NormalizePath("/"), "/");
}

class TypedPathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qv-chooser-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        fs::create_directories(root + "/emu");
        fs::create_directories(root + "/roms dir");
        std::ofstream(root + "/emu/Zelko.exe") << "x";
    }
    void TearDown() override { fs::remove_all(root); }

    TypedPath Resolve(const std::string& shown, const std::string& typed) {
        return ResolveTypedPath(shown, typed, &full);
    }

    std::string root;
    std::string full;
};

TEST_F(TypedPathTest, DirectoriesAreShownAbsoluteOrRelative) {
    EXPECT_EQ(Resolve(root, "emu"), TypedPath::Directory);
    EXPECT_EQ(full, root + "/emu");
    EXPECT_EQ(Resolve(root + "/emu", ".."), TypedPath::Directory);
    EXPECT_EQ(full, root);
    EXPECT_EQ(Resolve("/", root + "/roms dir/"), TypedPath::Directory);
    EXPECT_EQ(full, root + "/roms dir");
    EXPECT_EQ(Resolve(root + "/emu", "/"), TypedPath::Directory);
    EXPECT_EQ(full, "/");
}

TEST_F(TypedPathTest, FilesNeedOnlyAnExistingDirectory) {
    EXPECT_EQ(Resolve("/", root + "/emu/Zelko.exe"), TypedPath::File);
    EXPECT_EQ(full, root + "/emu/Zelko.exe");
    EXPECT_EQ(Resolve(root + "/emu", "Zelko.exe"), TypedPath::File);
    EXPECT_EQ(full, root + "/emu/Zelko.exe");
    EXPECT_EQ(Resolve(root, "./emu/../emu/Zelko.exe"), TypedPath::File);
    EXPECT_EQ(full, root + "/emu/Zelko.exe");
    // A name that does not exist, in a directory that does, is accepted.
    EXPECT_EQ(Resolve(root, "roms dir/NEW.BIN"), TypedPath::File);
    EXPECT_EQ(full, root + "/roms dir/NEW.BIN");
}

TEST_F(TypedPathTest, MissingDirectoriesAndEmptyTextAreNotChosen) {
    EXPECT_EQ(Resolve(root, ""), TypedPath::Empty);
    EXPECT_EQ(Resolve(root, "nodir/Zelko.exe"), TypedPath::Refused);
    EXPECT_EQ(Resolve(root, root + "/nodir/Zelko.exe"), TypedPath::Refused);
    // A trailing '/' asks for a directory: a file or a missing name is refused.
    EXPECT_EQ(Resolve(root, "emu/Zelko.exe/"), TypedPath::Refused);
    EXPECT_EQ(Resolve(root, "missing/"), TypedPath::Refused);
    // A path through a file is no directory either.
    EXPECT_EQ(Resolve(root, "emu/Zelko.exe/x"), TypedPath::Refused);
}

} // namespace
