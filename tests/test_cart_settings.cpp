// Per-cartridge settings through the core, against a real settings file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/cart_settings.h"
#include "core/paths.h"
#include "platform/limits.h"
#include "platform/profile_store.h"
#include "support/test_util.h"
#include "support/zelko_log.h"

namespace fs = std::filesystem;
using qvtest::MakeSettings;
using qvtest::ReadFile;
using qvtest::TempDir;
using qvtest::WriteFile;

namespace {

// A cartridge directory with a settings file beside it; g_paths points at both.
struct CartDirSetup {
    TempDir dir;
    qvtest::CurrentDirGuard cwd;
    std::string ini;
    CartDirSetup() {
        ini = dir.file("Quorvalis.ini");
        CopyText(g_paths.IniPath, kPathMax, ini.c_str());
        CopyText(g_paths.CartDir, kPathMax, dir.dirText().c_str());
        WriteFile(dir.path / "MOLEQST.BIN",
                  std::string(336, '\0') + "TURBO MOLE QUEST" + std::string(32, ' '));
    }
    std::string Value(const char* section, const char* key) const {
        char buf[kValueMax];
        ProfileReadString(section, key, "<missing>", buf, kValueMax, ini.c_str());
        return buf;
    }
};

} // namespace

TEST(CartSettings, NoSectionGivesHeaderTitleAndDefaults) {
    CartDirSetup setup;
    CartSettings s = LoadCartSettings("MOLEQST.BIN");
    EXPECT_STREQ(s.title, "Turbo Mole Quest ");
    EXPECT_STREQ(s.frames, "2");
    EXPECT_FALSE(s.noSound);
    EXPECT_FALSE(s.z80);
    EXPECT_EQ(s.region, Region::USA);
    EXPECT_FALSE(qvtest::FileExists(setup.ini)); // a load writes nothing
}

TEST(CartSettings, UnreadableCartridgeGivesEmptyTitle) {
    CartDirSetup setup;
    CartSettings s = LoadCartSettings("MISSING.BIN");
    EXPECT_STREQ(s.title, "");
    EXPECT_STREQ(s.frames, "2");
}

TEST(CartSettings, SaveWritesKeysInOrderAndLoadsBack) {
    CartDirSetup setup;
    SaveCartSettings("MOLEQST.BIN", MakeSettings("Mole Quest", "5", true, false, Region::Japan));
    std::string text = ReadFile(setup.ini);
    size_t title = text.find("Title=Mole Quest");
    size_t noSound = text.find("NoSound=1");
    size_t z80 = text.find("Z80=0");
    size_t version = text.find("Version=Japan");
    size_t frames = text.find("Frames=5");
    ASSERT_NE(title, std::string::npos) << text;
    ASSERT_NE(frames, std::string::npos) << text;
    EXPECT_LT(title, noSound);
    EXPECT_LT(noSound, z80);
    EXPECT_LT(z80, version);
    EXPECT_LT(version, frames);

    CartSettings s = LoadCartSettings("MOLEQST.BIN");
    EXPECT_STREQ(s.title, "Mole Quest");
    EXPECT_STREQ(s.frames, "5");
    EXPECT_TRUE(s.noSound);
    EXPECT_FALSE(s.z80);
    EXPECT_EQ(s.region, Region::Japan);
}

TEST(CartSettings, RegionValuesWritten) {
    struct Row {
        Region region;
        const char* stored;
    } rows[] = {{Region::USA, "USA"}, {Region::Europe, "Europe"}, {Region::Japan, "Japan"}};
    for (const Row& row : rows) {
        CartDirSetup setup;
        SaveCartSettings("A.BIN", MakeSettings("t", "2", false, true, row.region));
        EXPECT_EQ(setup.Value("A.BIN", "Version"), row.stored);
        EXPECT_EQ(setup.Value("A.BIN", "Z80"), "1");
        EXPECT_EQ(LoadCartSettings("A.BIN").region, row.region);
    }
}

TEST(CartSettings, RegionNoneKeepsStoredVersion) {
    CartDirSetup setup;
    SaveCartSettings("A.BIN", MakeSettings("t", "2", false, false, Region::None));
    EXPECT_EQ(setup.Value("A.BIN", "Version"), "<missing>");
    EXPECT_EQ(setup.Value("A.BIN", "Frames"), "2");
    SaveCartSettings("A.BIN", MakeSettings("t", "3", false, false, Region::Europe));
    SaveCartSettings("A.BIN", MakeSettings("t", "4", false, false, Region::None));
    EXPECT_EQ(setup.Value("A.BIN", "Version"), "Europe");
    EXPECT_EQ(setup.Value("A.BIN", "Frames"), "4");
}

TEST(CartSettings, StoredValuesAsLoaded) {
    struct Row {
        const char* key;
        const char* value;
        CartSettings expected;
    } rows[] = {
        {"Version", "Europe", MakeSettings("T", "2", false, false, Region::Europe)},
        {"Version", "Japan", MakeSettings("T", "2", false, false, Region::Japan)},
        {"Version", "USA", MakeSettings("T", "2", false, false, Region::USA)},
        {"Version", "EUROPE", MakeSettings("T", "2", false, false, Region::USA)},
        {"Version", "europe", MakeSettings("T", "2", false, false, Region::USA)},
        {"Version", "JAPAN", MakeSettings("T", "2", false, false, Region::USA)},
        {"Version", "Jpn", MakeSettings("T", "2", false, false, Region::USA)},
        {"Version", "", MakeSettings("T", "2", false, false, Region::USA)},
        {"NoSound", "2", MakeSettings("T", "2", true, false, Region::USA)},
        {"NoSound", "abc", MakeSettings("T", "2", false, false, Region::USA)},
        {"NoSound", "0", MakeSettings("T", "2", false, false, Region::USA)},
        {"Z80", "1", MakeSettings("T", "2", false, true, Region::USA)},
        {"Frames", "", MakeSettings("T", "", false, false, Region::USA)},
        {"Frames", "0", MakeSettings("T", "0", false, false, Region::USA)},
        {"Frames", "123456789", MakeSettings("T", "1234567", false, false, Region::USA)},
    };
    for (const Row& row : rows) {
        CartDirSetup setup;
        WriteFile(setup.ini,
                  std::string("[MOLEQST.BIN]\nTitle=T\n") + row.key + "=" + row.value + "\n");
        CartSettings s = LoadCartSettings("MOLEQST.BIN");
        SCOPED_TRACE(std::string(row.key) + "=" + row.value);
        EXPECT_STREQ(s.title, row.expected.title);
        EXPECT_STREQ(s.frames, row.expected.frames);
        EXPECT_EQ(s.noSound, row.expected.noSound);
        EXPECT_EQ(s.z80, row.expected.z80);
        EXPECT_EQ(s.region, row.expected.region);
    }
}

TEST(CartSettings, EmptyTitleFallsBackToHeaderAgain) {
    CartDirSetup setup;
    SaveCartSettings("MOLEQST.BIN", MakeSettings("", "3", false, false, Region::USA));
    EXPECT_EQ(setup.Value("MOLEQST.BIN", "Title"), "");
    CartSettings s = LoadCartSettings("MOLEQST.BIN");
    EXPECT_STREQ(s.title, "Turbo Mole Quest ");
    EXPECT_STREQ(s.frames, "3");
}

TEST(CartSettings, LineBreaksInTitleAreStoredAsSpaces) {
    CartDirSetup setup;
    SaveCartSettings("MOLEQST.BIN",
                     MakeSettings("Mole\r\nQuest\nX=1", "2", false, false, Region::USA));
    SaveCartSettings("OTHER.BIN", MakeSettings("Other", "7", false, false, Region::USA));
    std::string text = ReadFile(setup.ini);
    EXPECT_EQ(text.find("\nX=1"), std::string::npos) << text;
    CartSettings s = LoadCartSettings("MOLEQST.BIN");
    EXPECT_STREQ(s.title, "Mole  Quest X=1");
    EXPECT_STREQ(s.frames, "2");
    EXPECT_STREQ(LoadCartSettings("OTHER.BIN").frames, "7");
}

TEST(CartSettings, SectionNamesIgnoreCaseAndKeepBrackets) {
    CartDirSetup setup;
    SaveCartSettings("MOLEQST.BIN", MakeSettings("Upper", "4", true, true, Region::Europe));
    CartSettings s = LoadCartSettings("moleqst.bin");
    EXPECT_STREQ(s.title, "Upper");
    EXPECT_EQ(s.region, Region::Europe);

    const char* bracketed = "Mole Quest (U) [!].bin";
    SaveCartSettings(bracketed, MakeSettings("Bracketed", "6", false, true, Region::Japan));
    s = LoadCartSettings(bracketed);
    EXPECT_STREQ(s.title, "Bracketed");
    EXPECT_STREQ(s.frames, "6");
    EXPECT_EQ(s.region, Region::Japan);
    EXPECT_STREQ(LoadCartSettings("MOLEQST.BIN").title, "Upper");
}

TEST(CartSettings, DeleteRestoresDefaults) {
    CartDirSetup setup;
    SaveCartSettings("MOLEQST.BIN", MakeSettings("Mine", "7", true, true, Region::Japan));
    SaveCartSettings("KEEP.BIN", MakeSettings("Keep", "3", false, false, Region::USA));
    DeleteCartSettings("moleqst.bin");
    CartSettings s = LoadCartSettings("MOLEQST.BIN");
    EXPECT_STREQ(s.title, "Turbo Mole Quest ");
    EXPECT_STREQ(s.frames, "2");
    EXPECT_FALSE(s.noSound);
    EXPECT_FALSE(s.z80);
    EXPECT_EQ(s.region, Region::USA);
    EXPECT_STREQ(LoadCartSettings("KEEP.BIN").title, "Keep");

    // A file name that starts with a blank: saved, loaded and deleted under one name.
    ASSERT_EQ(SaveCartSettings(" Mole.bin", MakeSettings("Blank", "4", true, false, Region::USA)),
              SaveResult::Saved);
    EXPECT_STREQ(LoadCartSettings(" Mole.bin").title, "Blank");
    EXPECT_EQ(DeleteCartSettings(" Mole.bin"), SaveResult::Saved);
    EXPECT_STREQ(LoadCartSettings(" Mole.bin").frames, "2");
    EXPECT_EQ(setup.Value("Mole.bin", "Title"), "<missing>");

    std::string before = ReadFile(setup.ini);
    DeleteCartSettings("NEVER.BIN");
    EXPECT_EQ(ReadFile(setup.ini), before);
}

// With no cartridge selected the file name is empty: Save and Delete leave the file alone.
TEST(CartSettings, EmptyNameWritesNothing) {
    CartDirSetup setup;
    SaveCartSettings("", MakeSettings("x", "2", false, false, Region::USA));
    EXPECT_FALSE(qvtest::FileExists(setup.ini));
    SaveCartSettings("A.BIN", MakeSettings("a", "2", false, false, Region::USA));
    std::string before = ReadFile(setup.ini);
    DeleteCartSettings("");
    EXPECT_EQ(ReadFile(setup.ini), before);
    CartSettings s = LoadCartSettings("");
    EXPECT_STREQ(s.title, "");
    EXPECT_STREQ(s.frames, "2");
}

// A launcher directory too long for the settings file's name leaves IniPath empty: the
// settings then read as defaults and nothing is written anywhere.
TEST(CartSettings, NoSettingsFileMeansDefaults) {
    CartDirSetup setup;
    fs::current_path(setup.dir.path);
    g_paths.IniPath[0] = '\0';
    SaveCartSettings("MOLEQST.BIN", MakeSettings("x", "5", true, true, Region::Japan));
    CartSettings s = LoadCartSettings("MOLEQST.BIN");
    EXPECT_STREQ(s.title, "Turbo Mole Quest ");
    EXPECT_STREQ(s.frames, "2");
    EXPECT_FALSE(s.noSound);
    EXPECT_EQ(s.region, Region::USA);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(setup.dir.path))
        files.push_back(entry.path().filename());
    EXPECT_EQ(files, std::vector<fs::path>{"MOLEQST.BIN"});
}
