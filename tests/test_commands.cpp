// The form's command handling over the in-memory form, with real settings files in temporary
// directories and the stand-in emulator started for real.
#include "core/launch.h"
#include "core/paths.h"
#include "core/settings.h"
#include "platform/profile_store.h"
#include "res/resource.h"
#include "support/fake_form.h"
#include "support/test_util.h"
#include "support/zelko_log.h"
#include "ui/commands.h"

#include <gtest/gtest.h>

// The edit control's EN_UPDATE, sent before a change is shown: the command handling takes it as
// any other notification of the frame value field.
#define QV_EN_UPDATE 0x0400

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;
using qvtest::ReadFile;
using qvtest::WriteFile;

namespace {

// A ROM image whose header name field (48 bytes at 336) holds name padded with spaces.
std::string RomWithName(const std::string& name) {
    std::string rom(512, '\0');
    std::string field = name;
    field.resize(48, ' ');
    rom.replace(336, 48, field);
    return rom;
}

std::string ReadValue(const char* section, const char* key) {
    char buf[1024];
    ProfileReadString(section, key, "<missing>", buf, sizeof buf, g_paths.IniPath);
    return buf;
}

struct Stored {
    const char* title;
    const char* frames;
    const char* noSound;
    const char* z80;
    const char* version;
};

void Store(const char* rom, const Stored& s) {
    ProfileWriteString(rom, kKeyTitle, s.title, g_paths.IniPath);
    ProfileWriteString(rom, kKeyNoSound, s.noSound, g_paths.IniPath);
    ProfileWriteString(rom, kKeyZ80, s.z80, g_paths.IniPath);
    if (s.version)
        ProfileWriteString(rom, kKeyVersion, s.version, g_paths.IniPath);
    ProfileWriteString(rom, kKeyFrames, s.frames, g_paths.IniPath);
}

class FormCommands : public ::testing::Test {
  protected:
    qvtest::TempDir tmp;
    // The commands move the current directory into the temporary tree; it is restored before
    // the tree is removed.
    qvtest::CurrentDirGuard cwd;
    fs::path emuDir, cartDir, log;
    std::string cartDirText;

    void SetUp() override {
        fakeform::Reset();
        emuDir = tmp.path / "emu";
        cartDir = tmp.path / "carts";
        fs::create_directory(emuDir);
        fs::create_directory(cartDir);
        log = emuDir / "zelko.log";
        fs::path stub = qvtest::InstallStub(emuDir);

        g_paths = AppPaths{};
        cartDirText = cartDir.string() + kPathSep;
        ASSERT_TRUE(CopyText(g_paths.IniPath, kPathMax, tmp.file(kIniFileName).c_str()));
        ASSERT_TRUE(CopyText(g_paths.CartDir, kPathMax, cartDirText.c_str()));
        ASSERT_TRUE(CopyText(g_paths.EmulatorDir, kPathMax, emuDir.string().c_str()));
        ProfileWriteString(kPathsSection, kKeyEmulatorPath, stub.string().c_str(), g_paths.IniPath);

        WriteFile(cartDir / "MOLEQST.BIN", RomWithName("TURBO MOLE QUEST"));
        WriteFile(cartDir / "ALPHA.MD", RomWithName("ALPHA  STRIKE"));
    }

    void ExpectForm(const std::string& title, const std::string& frames, bool noSound, bool z80,
                    int region) {
        EXPECT_EQ(fakeform::Text(IDC_TITLE), title);
        EXPECT_EQ(fakeform::Text(IDC_FRAMES), frames);
        EXPECT_EQ(fakeform::Checked(IDC_NOSOUND), noSound);
        EXPECT_EQ(fakeform::Checked(IDC_Z80), z80);
        EXPECT_EQ(fakeform::CheckedRegion(), region);
    }

    std::string CartPath(const char* rom) const { return cartDirText + rom; }
};

TEST_F(FormCommands, EveryListNotificationReloadsTheStoredSettings) {
    Store("MOLEQST.BIN", {"Mole Quest", "3", "1", "0", "Europe"});
    fakeform::Select("MOLEQST.BIN");
    // selection change, cancel, focus gained, focus lost, and a plain report
    for (int code : {QV_LBN_SELCHANGE, 3, QV_LBN_SETFOCUS, QV_LBN_KILLFOCUS, 0}) {
        SCOPED_TRACE(code);
        // Unsaved changes in the form ...
        fakeform::Type(IDC_TITLE, "Something else");
        fakeform::Type(IDC_FRAMES, "7");
        fakeform::SetCheckQuiet(IDC_NOSOUND, false);
        fakeform::SetCheckQuiet(IDC_Z80, true);
        fakeform::ClickRadio(IDC_JAPAN);
        // ... are replaced by the saved ones.
        HandleFormCommand(IDC_CARTLIST, code);
        ExpectForm("Mole Quest", "3", true, false, IDC_EUROPE);
    }
    EXPECT_EQ(ReadFile(log), "") << "a list notification launched the emulator";
}

TEST_F(FormCommands, LoadShowsTheFieldsInOrder) {
    Store("MOLEQST.BIN", {"Mole Quest", "4", "0", "1", "Japan"});
    fakeform::Select("MOLEQST.BIN");
    HandleFormCommand(IDC_CARTLIST, QV_LBN_SELCHANGE);
    std::vector<std::string> sets;
    for (const std::string& line : fakeform::Log()) {
        if (line.rfind("set ", 0) == 0 || line.rfind("check ", 0) == 0)
            sets.push_back(line);
    }
    std::vector<std::string> expected = {
        "set 103 Mole Quest", "set 111 4",   "check 106 0", "check 107 1",
        "check 110 0",        "check 108 0", "check 109 1",
    };
    EXPECT_EQ(sets, expected);
}

TEST_F(FormCommands, CartridgeWithoutSectionShowsHeaderTitleAndDefaults) {
    fakeform::SetCheckQuiet(IDC_NOSOUND, true);
    fakeform::ClickRadio(IDC_EUROPE);
    fakeform::Select("MOLEQST.BIN");
    HandleFormCommand(IDC_CARTLIST, QV_LBN_SELCHANGE);
    ExpectForm("Turbo Mole Quest ", "2", false, false, IDC_USA);
    EXPECT_EQ(ReadValue("MOLEQST.BIN", kKeyTitle), "<missing>") << "a load wrote the title";
}

TEST_F(FormCommands, StoredFrameValueIsCorrectedWhenShown) {
    struct Case {
        const char* stored;
        const char* shown;
    } cases[] = {
        {"0", "9"}, {"5", "5"}, {"57", "9"}, {"x", "x"}, {"", ""}, {"1234567", "9"},
    };
    fakeform::Select("MOLEQST.BIN");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        Store("MOLEQST.BIN", {"T", c.stored, "0", "0", "USA"});
        HandleFormCommand(IDC_CARTLIST, QV_LBN_SELCHANGE);
        EXPECT_EQ(fakeform::Text(IDC_FRAMES), c.shown);
    }
}

TEST_F(FormCommands, TypedFrameValueKeepsToOneDigitFromOneToNine) {
    struct Case {
        const char* typed;
        const char* shown;
        int corrections; // how often the field was set to "9"
    } cases[] = {
        {"5", "5", 0}, {"56", "9", 1}, {"0", "9", 1},  {"x", "x", 0},
        {"", "", 0},   {"00", "9", 1}, {"05", "9", 1}, {"123456789", "9", 1},
        {"9", "9", 0}, {" ", " ", 0},  {"0 ", "9", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        fakeform::ClearLog();
        fakeform::Type(IDC_FRAMES, c.typed);
        EXPECT_EQ(fakeform::Text(IDC_FRAMES), c.shown);
        int sets = 0;
        for (const std::string& line : fakeform::Log())
            sets += line == "set 111 9";
        EXPECT_EQ(sets, c.corrections);
    }
    // A second digit typed after a kept one.
    fakeform::Type(IDC_FRAMES, "5");
    fakeform::Type(IDC_FRAMES, "53");
    EXPECT_EQ(fakeform::Text(IDC_FRAMES), "9");
}

TEST_F(FormCommands, EveryFrameFieldNotificationCorrectsIt) {
    for (int code : {QV_EN_SETFOCUS, QV_EN_KILLFOCUS, QV_EN_CHANGE, QV_EN_UPDATE}) {
        SCOPED_TRACE(code);
        fakeform::SetTextQuiet(IDC_FRAMES, "42");
        HandleFormCommand(IDC_FRAMES, code);
        EXPECT_EQ(fakeform::Text(IDC_FRAMES), "9");
    }
}

TEST_F(FormCommands, DoubleClickLaunchesWithTheFormValuesThenReloads) {
    Store("MOLEQST.BIN", {"Mole Quest", "3", "1", "0", "USA"});
    fakeform::Select("MOLEQST.BIN");
    fakeform::Type(IDC_FRAMES, "7");
    fakeform::SetCheckQuiet(IDC_NOSOUND, false);
    fakeform::SetCheckQuiet(IDC_Z80, true);
    fakeform::ClickRadio(IDC_JAPAN);
    fakeform::ClearLog();

    HandleFormCommand(IDC_CARTLIST, QV_LBN_DBLCLK);

    auto launches = qvtest::WaitForStubRecords(emuDir, 1);
    ASSERT_EQ(launches.size(), 1u);
    std::vector<std::string> expected = {"-frame", "7", "-z80", "-japan", CartPath("MOLEQST.BIN")};
    EXPECT_EQ(launches[0].args, expected);
    EXPECT_TRUE(qvtest::SamePath(launches[0].cwd, emuDir)) << launches[0].cwd;
    // The launch read the form before the reload replaced it.
    int read = fakeform::FindLog("get 111");
    int shown = fakeform::FindLog("set 103");
    ASSERT_GE(read, 0);
    ASSERT_GE(shown, 0);
    EXPECT_LT(read, shown);
    ExpectForm("Mole Quest", "3", true, false, IDC_USA);
}

TEST_F(FormCommands, LaunchPassesTheFormValues) {
    struct Case {
        const char* frames;
        bool noSound, z80;
        int region; // 0: no region button checked
        std::vector<std::string> switches;
    } cases[] = {
        {"2", false, false, IDC_USA, {"-frame", "2"}},
        {"4", true, true, IDC_EUROPE, {"-frame", "4", "-nosound", "-z80", "-europe"}},
        {"9", false, true, IDC_JAPAN, {"-frame", "9", "-z80", "-japan"}},
        {"1", true, false, 0, {"-frame", "1", "-nosound"}},
        {"x", false, false, IDC_USA, {"-frame", "x"}},
    };
    fakeform::Select("ALPHA.MD");
    size_t n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frames);
        fakeform::Type(IDC_FRAMES, c.frames);
        fakeform::SetCheckQuiet(IDC_NOSOUND, c.noSound);
        fakeform::SetCheckQuiet(IDC_Z80, c.z80);
        fakeform::ClickRadio(c.region);
        HandleFormCommand(IDC_LAUNCH, QV_BN_CLICKED);
        auto launches = qvtest::WaitForStubRecords(emuDir, ++n);
        ASSERT_EQ(launches.size(), n);
        std::vector<std::string> expected = c.switches;
        expected.push_back(CartPath("ALPHA.MD"));
        EXPECT_EQ(launches.back().args, expected);
    }
    // Launching changes nothing in the form or the settings file.
    EXPECT_EQ(fakeform::FindLog("set "), -1);
    EXPECT_EQ(ReadValue("ALPHA.MD", kKeyFrames), "<missing>");
}

TEST_F(FormCommands, LaunchPassesAtMostFourFrameCharacters) {
    fakeform::Select("ALPHA.MD");
    fakeform::SetTextQuiet(IDC_FRAMES, "1234567");
    fakeform::ClickRadio(IDC_USA);
    HandleFormCommand(IDC_LAUNCH, QV_BN_CLICKED);
    auto launches = qvtest::WaitForStubRecords(emuDir, 1);
    ASSERT_EQ(launches.size(), 1u);
    std::vector<std::string> expected = {"-frame", "1234", CartPath("ALPHA.MD")};
    EXPECT_EQ(launches[0].args, expected);
}

TEST_F(FormCommands, SaveStoresTheFormValues) {
    fakeform::Select("MOLEQST.BIN");
    fakeform::Type(IDC_TITLE, "My Mole");
    fakeform::Type(IDC_FRAMES, "x");
    fakeform::SetCheckQuiet(IDC_NOSOUND, true);
    fakeform::SetCheckQuiet(IDC_Z80, false);
    fakeform::ClickRadio(IDC_EUROPE);
    HandleFormCommand(IDC_SAVE, QV_BN_CLICKED);
    EXPECT_EQ(ReadValue("MOLEQST.BIN", kKeyTitle), "My Mole");
    EXPECT_EQ(ReadValue("MOLEQST.BIN", kKeyFrames), "x");
    EXPECT_EQ(ReadValue("MOLEQST.BIN", kKeyNoSound), "1");
    EXPECT_EQ(ReadValue("MOLEQST.BIN", kKeyZ80), "0");
    EXPECT_EQ(ReadValue("MOLEQST.BIN", kKeyVersion), "Europe");
    EXPECT_EQ(ReadValue("ALPHA.MD", kKeyTitle), "<missing>");

    // With no region button checked the stored region stays.
    fakeform::ClickRadio(0);
    fakeform::Type(IDC_FRAMES, "6");
    HandleFormCommand(IDC_SAVE, QV_BN_CLICKED);
    EXPECT_EQ(ReadValue("MOLEQST.BIN", kKeyVersion), "Europe");
    EXPECT_EQ(ReadValue("MOLEQST.BIN", kKeyFrames), "6");

    // The saved values come back on the next load.
    fakeform::Type(IDC_TITLE, "changed");
    HandleFormCommand(IDC_CARTLIST, QV_LBN_SETFOCUS);
    ExpectForm("My Mole", "6", true, false, IDC_EUROPE);
}

TEST_F(FormCommands, SaveKeepsToTheReadCapacities) {
    fakeform::Select("MOLEQST.BIN");
    std::string longTitle;
    for (int i = 0; i < 300; i++)
        longTitle += static_cast<char>('a' + i % 26);
    fakeform::Type(IDC_TITLE, longTitle);
    fakeform::SetTextQuiet(IDC_FRAMES, "57");
    fakeform::ClickRadio(IDC_USA);
    HandleFormCommand(IDC_SAVE, QV_BN_CLICKED);
    EXPECT_EQ(ReadValue("MOLEQST.BIN", kKeyTitle), longTitle.substr(0, 254));
    EXPECT_EQ(ReadValue("MOLEQST.BIN", kKeyFrames), "5");

    // An empty frame field stores an empty value.
    fakeform::Type(IDC_FRAMES, "");
    HandleFormCommand(IDC_SAVE, QV_BN_CLICKED);
    EXPECT_EQ(ReadValue("MOLEQST.BIN", kKeyFrames), "");
}

TEST_F(FormCommands, DeleteRemovesTheSectionAndReloads) {
    Store("MOLEQST.BIN", {"Mole Quest", "3", "1", "1", "Japan"});
    Store("ALPHA.MD", {"Alpha", "4", "0", "0", "Europe"});
    fakeform::Select("MOLEQST.BIN");
    HandleFormCommand(IDC_CARTLIST, QV_LBN_SELCHANGE);
    ExpectForm("Mole Quest", "3", true, true, IDC_JAPAN);

    HandleFormCommand(IDC_DELETE, QV_BN_CLICKED);
    for (const char* key : {kKeyTitle, kKeyFrames, kKeyNoSound, kKeyZ80, kKeyVersion})
        EXPECT_EQ(ReadValue("MOLEQST.BIN", key), "<missing>") << key;
    EXPECT_EQ(ReadValue("ALPHA.MD", kKeyTitle), "Alpha");
    ExpectForm("Turbo Mole Quest ", "2", false, false, IDC_USA);
}

// A save or delete that does not reach the settings file, and a launch that starts nothing,
// each show one message and change nothing else: the form keeps what it shows, the file
// stays as it was. Commands that work show none.
TEST_F(FormCommands, FailuresShowAMessageAndChangeNothingElse) {
    Store("MOLEQST.BIN", {"Mole Quest", "3", "1", "1", "Japan"});
    const std::string goodIni = g_paths.IniPath;
    const std::string badIni = (tmp.path / "gone" / kIniFileName).string();
    const std::string stub = ReadValue(kPathsSection, kKeyEmulatorPath);
    struct Row {
        const char* what;
        bool unwritable;      // the settings file lies in a directory that does not exist
        const char* emulator; // EmulatorPath, or null to keep the stand-in
        const char* frames;
        int command;
        const char* message;  // the start of the message shown, or null for none
        const char* why = ""; // what the message says happened
        const char* rom = "MOLEQST.BIN";
        bool locked = false; // another open of the lock file holds it
    } rows[] = {
        {"save", true, nullptr, "4", IDC_SAVE, "The settings of MOLEQST.BIN were not saved",
         "could not be written"},
        {"delete", true, nullptr, "4", IDC_DELETE, "The settings of MOLEQST.BIN were not deleted",
         "could not be written"},
        {"line break in the name", false, nullptr, "4", IDC_SAVE, "The settings of MOLE\nQST.BIN",
         "holds a line break", "MOLE\nQST.BIN"},
#ifndef _WIN32
        {"save while locked", false, nullptr, "4", IDC_SAVE,
         "The settings of MOLEQST.BIN were not saved", "Another program is saving", "MOLEQST.BIN",
         true},
#endif
        {"missing emulator", false, "missing.exe", "4", IDC_LAUNCH,
         "The emulator could not be started"},
        {"quote in frames", false, nullptr, "\"", IDC_LAUNCH, "MOLEQST.BIN was not launched"},
        {"launch", false, nullptr, "4", IDC_LAUNCH, nullptr},
        {"save", false, nullptr, "4", IDC_SAVE, nullptr},
        {"delete", false, nullptr, "4", IDC_DELETE, nullptr},
    };
    fakeform::Select("MOLEQST.BIN");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(CopyText(g_paths.IniPath, kPathMax, goodIni.c_str()));
        ProfileWriteString(kPathsSection, kKeyEmulatorPath,
                           row.emulator ? (emuDir / row.emulator).string().c_str() : stub.c_str(),
                           g_paths.IniPath);
        const std::string before = ReadFile(goodIni);
        if (row.unwritable) {
            ASSERT_TRUE(CopyText(g_paths.IniPath, kPathMax, badIni.c_str()));
        }
        fakeform::Reset();
        fakeform::Select(row.rom);
        fakeform::Type(IDC_TITLE, "unsaved");
        fakeform::SetTextQuiet(IDC_FRAMES, row.frames);
        fakeform::ClickRadio(IDC_EUROPE);
#ifndef _WIN32
        int lockFd = -1;
        if (row.locked) {
            lockFd = open((tmp.path / ("." + std::string(kIniFileName) + ".lock")).c_str(),
                          O_RDWR | O_CREAT, 0666);
            ASSERT_EQ(flock(lockFd, LOCK_EX), 0);
        }
        HandleFormCommand(row.command, QV_BN_CLICKED);
        if (lockFd >= 0)
            close(lockFd);
#else
        HandleFormCommand(row.command, QV_BN_CLICKED);
#endif

        if (!row.message) {
            EXPECT_TRUE(fakeform::Messages().empty());
            continue;
        }
        ASSERT_EQ(fakeform::Messages().size(), 1u);
        EXPECT_EQ(fakeform::Messages()[0].rfind(row.message, 0), 0u) << fakeform::Messages()[0];
        EXPECT_NE(fakeform::Messages()[0].find(row.why), std::string::npos);
        EXPECT_EQ(ReadFile(goodIni), before);
        EXPECT_FALSE(qvtest::FileExists(badIni));
        EXPECT_EQ(fakeform::Text(IDC_TITLE), "unsaved");
        EXPECT_EQ(fakeform::CheckedRegion(), IDC_EUROPE);
    }
    // Only the working launch started the stand-in.
    EXPECT_EQ(qvtest::WaitForStubRecords(emuDir, 1).size(), 1u);
}

TEST_F(FormCommands, ExitQuitsWithCodeZero) {
    HandleFormCommand(IDC_EXIT, QV_BN_CLICKED);
    EXPECT_EQ(fakeform::QuitCode(), 0);
    EXPECT_EQ(fakeform::AboutCount(), 0);
}

TEST_F(FormCommands, AboutShowsTheBoxAndNothingElse) {
    fakeform::Select("MOLEQST.BIN");
    HandleFormCommand(IDC_ABOUT, QV_BN_CLICKED);
    EXPECT_EQ(fakeform::AboutCount(), 1);
    EXPECT_EQ(fakeform::QuitCode(), -1);
    std::vector<std::string> expected = {"about"};
    EXPECT_EQ(fakeform::Log(), expected);
}

TEST_F(FormCommands, OtherControlsDoNothing) {
    Store("MOLEQST.BIN", {"Mole Quest", "3", "1", "1", "Japan"});
    const std::string before = ReadFile(g_paths.IniPath);
    fakeform::Select("MOLEQST.BIN");
    fakeform::Type(IDC_TITLE, "unsaved");
    fakeform::SetTextQuiet(IDC_FRAMES, "77");
    // Enter and Escape of the dialog keyboard handling, the title, the check boxes, the region
    // buttons, the spin control, and IDs outside the form.
    for (int id : {1, 2, IDC_TITLE, IDC_NOSOUND, IDC_Z80, IDC_EUROPE, IDC_JAPAN, IDC_USA,
                   IDC_FRAMESPIN, 0, 99, 114, 1000, 0xFFFF}) {
        for (int code : {QV_BN_CLICKED, QV_LBN_SELCHANGE, QV_EN_CHANGE}) {
            SCOPED_TRACE(testing::Message() << "id " << id << " code " << code);
            HandleFormCommand(id, code);
            EXPECT_TRUE(fakeform::Log().empty());
        }
    }
    EXPECT_EQ(fakeform::QuitCode(), -1);
    EXPECT_EQ(fakeform::AboutCount(), 0);
    EXPECT_EQ(fakeform::Text(IDC_TITLE), "unsaved");
    EXPECT_EQ(fakeform::Text(IDC_FRAMES), "77");
    EXPECT_EQ(ReadFile(g_paths.IniPath), before);
}

TEST_F(FormCommands, DoubleClickCodeLaunchesWhateverTheControl) {
    fakeform::Select("ALPHA.MD");
    fakeform::Type(IDC_FRAMES, "3");
    fakeform::ClickRadio(IDC_USA);
    // The launch hangs on the notification code alone; the ID then acts as usual.
    HandleFormCommand(IDC_ABOUT, QV_LBN_DBLCLK);
    auto launches = qvtest::WaitForStubRecords(emuDir, 1);
    ASSERT_EQ(launches.size(), 1u);
    std::vector<std::string> expected = {"-frame", "3", CartPath("ALPHA.MD")};
    EXPECT_EQ(launches[0].args, expected);
    EXPECT_EQ(fakeform::AboutCount(), 1);
}

TEST_F(FormCommands, WithoutSelectionNothingIsLaunchedSavedOrDeleted) {
    Store("MOLEQST.BIN", {"Mole Quest", "3", "1", "1", "Japan"});
    // Left over from an earlier command: it must not be used as the cartridge.
    ASSERT_TRUE(CopyText(g_paths.SelectedRom, kPathMax, "MOLEQST.BIN"));
    const std::string before = ReadFile(g_paths.IniPath);
    fakeform::SelectNone();
    fakeform::Type(IDC_TITLE, "unsaved");
    fakeform::Type(IDC_FRAMES, "5");
    fakeform::ClickRadio(IDC_USA);

    for (int id : {IDC_LAUNCH, IDC_SAVE, IDC_DELETE}) {
        SCOPED_TRACE(id);
        fakeform::ClearLog();
        HandleFormCommand(id, QV_BN_CLICKED);
        EXPECT_EQ(fakeform::FindLog("get "), -1) << "the form was read";
    }
    EXPECT_EQ(ReadFile(g_paths.IniPath), before);
    EXPECT_EQ(fakeform::Text(IDC_TITLE), "unsaved");
    // Give a wrongly started emulator the chance to show itself.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(qvtest::FileExists(log));
}

TEST_F(FormCommands, WithoutSelectionListNotificationShowsDefaults) {
    Store("MOLEQST.BIN", {"Mole Quest", "3", "1", "1", "Japan"});
    ASSERT_TRUE(CopyText(g_paths.SelectedRom, kPathMax, "MOLEQST.BIN"));
    for (int code : {QV_LBN_SETFOCUS, QV_LBN_DBLCLK}) {
        SCOPED_TRACE(code);
        fakeform::SelectNone();
        fakeform::Type(IDC_TITLE, "unsaved");
        fakeform::Type(IDC_FRAMES, "5");
        fakeform::SetCheckQuiet(IDC_NOSOUND, true);
        fakeform::SetCheckQuiet(IDC_Z80, true);
        fakeform::ClickRadio(IDC_JAPAN);
        HandleFormCommand(IDC_CARTLIST, code);
        ExpectForm("", "2", false, false, IDC_USA);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(qvtest::FileExists(log));
}

} // namespace
