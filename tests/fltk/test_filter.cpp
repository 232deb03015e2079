// The first-run chooser's filters: the open-file request's pattern lists as FLTK patterns.
#include "ui/fltk/file_chooser_fltk.h"

#include <FL/filename.H>
#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ChooserFilter, PatternListsBecomeOneFltkPattern) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"Zelko.EXE", "Zelko.EXE"},
        {"*.bin;*.md;*.mgd;*.smd", "*.{bin,md,mgd,smd}"},
        {" *.bin ; *.md ;", "*.{bin,md}"},
        {"a.txt;*.md", "{a.txt,*.md}"},
        {"*", "*"},
    };
    for (const Case& c : cases) {
        char out[64];
        ASSERT_TRUE(ConvertFilterPattern(c.in, out, sizeof(out))) << c.in;
        EXPECT_STREQ(out, c.out) << c.in;
    }
}

TEST(ChooserFilter, EmptyOrOversizedListsGiveNothing) {
    char out[8] = "junk";
    EXPECT_FALSE(ConvertFilterPattern("", out, sizeof(out)));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(ConvertFilterPattern(";;", out, sizeof(out)));
    EXPECT_FALSE(ConvertFilterPattern(nullptr, out, sizeof(out)));
    // "*.{bin,md}" needs 11 bytes.
    EXPECT_FALSE(ConvertFilterPattern("*.bin;*.md", out, 10));
    EXPECT_STREQ(out, "");
    char exact[11];
    EXPECT_TRUE(ConvertFilterPattern("*.bin;*.md", exact, sizeof(exact)));
    EXPECT_FALSE(ConvertFilterPattern("*.bin", out, 0));
}

TEST(ChooserFilter, ConvertedPatternsMatchCartridgesInAnyCase) {
    char pattern[64];
    ASSERT_TRUE(ConvertFilterPattern("*.bin;*.md;*.mgd;*.smd", pattern, sizeof(pattern)));
    struct Case {
        const char* name;
        bool match;
    } cases[] = {{"MOLEQST.BIN", true}, {"a.md", true},   {"b.Mgd", true}, {"c.SMD", true},
                 {"d.bin.txt", false},  {"e.mdx", false}, {"bin", false},  {"Zelko.exe", false}};
    for (const Case& c : cases)
        EXPECT_EQ(fl_filename_match(c.name, pattern) != 0, c.match) << c.name;
    ASSERT_TRUE(ConvertFilterPattern("Zelko.EXE", pattern, sizeof(pattern)));
    EXPECT_TRUE(fl_filename_match("zelko.exe", pattern));
    EXPECT_FALSE(fl_filename_match("zelko.exe.bak", pattern));
}

TEST(ChooserFilter, EntryShowsTheDescriptionAndTheFltkPattern) {
    struct Case {
        const char* desc;
        const char* patterns;
        const char* out;
    } cases[] = {
        {"Zelko.exe", "Zelko.EXE", "Zelko.exe (Zelko.EXE)"},
        {"Genesis ROMs (*.bin;*.md;*.mgd;*.smd)", "*.bin;*.md;*.mgd;*.smd",
         "Genesis ROMs (*.{bin,md,mgd,smd})"},
        {"", "*.bin", "(*.bin)"},
        {"Tab\there", "*.md", "Tab here (*.md)"},
    };
    for (const Case& c : cases) {
        char out[128];
        ASSERT_TRUE(BuildChooserFilter(c.desc, c.patterns, out, sizeof(out))) << c.desc;
        EXPECT_STREQ(out, c.out);
        // The chooser reads one pattern between the first '(' and the last ')'.
        EXPECT_EQ(std::strchr(out, '('), std::strrchr(out, '('));
    }
    char small[10];
    EXPECT_FALSE(BuildChooserFilter("Zelko.exe", "Zelko.EXE", small, sizeof(small)));
    EXPECT_STREQ(small, "");
}

} // namespace
