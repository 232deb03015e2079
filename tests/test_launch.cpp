// The emulator command line, and real starts of the stand-in emulator.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/launch.h"
#include "core/paths.h"
#include "platform/limits.h"
#include "platform/process_start.h"
#include "platform/profile_store.h"
#include "support/test_util.h"
#include "support/zelko_log.h"

#ifndef _WIN32
#include <cerrno>
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;
using qvtest::TempDir;

namespace {

CartSettings Options(const char* frames, bool noSound, bool z80, Region region) {
    CartSettings s{};
    CopyText(s.frames, sizeof s.frames, frames);
    s.noSound = noSound;
    s.z80 = z80;
    s.region = region;
    return s;
}

// A settings file naming emulator, and cartDir as the cartridge directory.
struct LaunchSetup {
    TempDir dir;
    qvtest::CurrentDirGuard cwd;
    std::string ini;
    LaunchSetup(const std::string& emulator, const std::string& cartDir) {
        ini = dir.file("Quorvalis.ini");
        CopyText(g_paths.IniPath, kPathMax, ini.c_str());
        SetEmulator(emulator);
        CopyText(g_paths.CartDir, kPathMax, cartDir.c_str());
        CopyText(g_paths.EmulatorDir, kPathMax, dir.path.string().c_str());
    }
    void SetEmulator(const std::string& emulator) const {
        ProfileWriteString("Quorvalis Paths", "EmulatorPath", emulator.c_str(), ini.c_str());
    }
};

std::string Command(const char* rom, const CartSettings& s) {
    EXPECT_TRUE(BuildEmulatorCommand(rom, s));
    return g_paths.EmulatorCommand;
}

} // namespace

TEST(EmulatorCommand, LayoutAndSwitchOrder) {
    LaunchSetup setup("C:\\EMU\\ZELKO.EXE", "C:\\ROMS\\");
    struct Row {
        CartSettings options;
        const char* command;
    } rows[] = {
        {Options("2", true, false, Region::Europe),
         "C:\\EMU\\ZELKO.EXE  -frame 2 -nosound -europe C:\\ROMS\\MOLEQST.BIN"},
        {Options("2", false, false, Region::USA),
         "C:\\EMU\\ZELKO.EXE  -frame 2 C:\\ROMS\\MOLEQST.BIN"},
        {Options("", false, false, Region::USA),
         "C:\\EMU\\ZELKO.EXE  -frame  C:\\ROMS\\MOLEQST.BIN"},
        {Options("", true, false, Region::USA),
         "C:\\EMU\\ZELKO.EXE  -frame  -nosound C:\\ROMS\\MOLEQST.BIN"},
        {Options("9", true, true, Region::Japan),
         "C:\\EMU\\ZELKO.EXE  -frame 9 -nosound -z80 -japan C:\\ROMS\\MOLEQST.BIN"},
        {Options("1", false, true, Region::Europe),
         "C:\\EMU\\ZELKO.EXE  -frame 1 -z80 -europe C:\\ROMS\\MOLEQST.BIN"},
        {Options("3", false, false, Region::None),
         "C:\\EMU\\ZELKO.EXE  -frame 3 C:\\ROMS\\MOLEQST.BIN"},
        {Options("x", false, false, Region::Japan),
         "C:\\EMU\\ZELKO.EXE  -frame x -japan C:\\ROMS\\MOLEQST.BIN"},
        {Options("1234", false, false, Region::USA),
         "C:\\EMU\\ZELKO.EXE  -frame 1234 C:\\ROMS\\MOLEQST.BIN"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Command("MOLEQST.BIN", row.options), row.command);
}

TEST(EmulatorCommand, RebuiltFromSettingsEachTime) {
    LaunchSetup setup("C:\\EMU\\ZELKO.EXE", "C:\\ROMS\\");
    CartSettings s = Options("2", false, false, Region::USA);
    std::string first = Command("A.BIN", s);
    EXPECT_EQ(Command("A.BIN", s), first);
    EXPECT_EQ(first, "C:\\EMU\\ZELKO.EXE  -frame 2 C:\\ROMS\\A.BIN");
    setup.SetEmulator("D:\\NEW\\ZELKO.EXE");
    EXPECT_EQ(Command("A.BIN", s), "D:\\NEW\\ZELKO.EXE  -frame 2 C:\\ROMS\\A.BIN");
    fs::remove(setup.ini);
    EXPECT_EQ(Command("A.BIN", s), "\"NO EMULATOR\"  -frame 2 C:\\ROMS\\A.BIN");
}

// A path holding a blank is one argument to the emulator only when it is quoted; paths
// without blanks stay as they are.
TEST(EmulatorCommand, PathsWithBlanksAreQuoted) {
    struct Row {
        const char* emulator;
        const char* cartDir;
        const char* rom;
        const char* command;
    } rows[] = {
        {"C:\\PROGRAM FILES\\ZELKO.EXE", "C:\\ROMS\\", "A.BIN",
         "\"C:\\PROGRAM FILES\\ZELKO.EXE\"  -frame 2 C:\\ROMS\\A.BIN"},
        {"C:\\EMU\\ZELKO.EXE", "C:\\MY ROMS\\", "A.BIN",
         "C:\\EMU\\ZELKO.EXE  -frame 2 \"C:\\MY ROMS\\A.BIN\""},
        {"C:\\EMU\\ZELKO.EXE", "C:\\ROMS\\", "Mole Quest (U) [!].bin",
         "C:\\EMU\\ZELKO.EXE  -frame 2 \"C:\\ROMS\\Mole Quest (U) [!].bin\""},
        // A tab separates arguments as a blank does.
        {"C:\\EMU\\ZELKO.EXE", "C:\\ROMS\\", "Mole\tQuest.bin",
         "C:\\EMU\\ZELKO.EXE  -frame 2 \"C:\\ROMS\\Mole\tQuest.bin\""},
        {"C:\\EM\tU\\ZELKO.EXE", "C:\\ROMS\\", "A.BIN",
         "\"C:\\EM\tU\\ZELKO.EXE\"  -frame 2 C:\\ROMS\\A.BIN"},
        {"C:\\EMU\\ZELKO.EXE", "C:\\ROMS\\", "[BIOS] Mole.bin",
         "C:\\EMU\\ZELKO.EXE  -frame 2 \"C:\\ROMS\\[BIOS] Mole.bin\""},
    };
    for (const Row& row : rows) {
        LaunchSetup setup(row.emulator, row.cartDir);
        EXPECT_EQ(Command(row.rom, Options("2", false, false, Region::USA)), row.command);
    }
    // A frame value holding a blank stays one argument too.
    LaunchSetup setup("C:\\EMU\\ZELKO.EXE", "C:\\ROMS\\");
    EXPECT_EQ(Command("A.BIN", Options("1 2", false, false, Region::Japan)),
              "C:\\EMU\\ZELKO.EXE  -frame \"1 2\" -japan C:\\ROMS\\A.BIN");
}

// A double quote in a path or in the frame value would be read as a grouping mark and
// dropped, starting another file than the one selected or swallowing the switches after it:
// nothing is built.
TEST(EmulatorCommand, DoubleQuotesInPathsOrFrameValueAreNotBuilt) {
    struct Row {
        const char* emulator;
        const char* rom;
        const char* frames;
    } rows[] = {
        {"C:\\EMU\\ZELKO.EXE", "Mole \"Quest\".bin", "2"},
        {"C:\\EMU\\ZELKO.EXE", "a\"b.bin", "2"},
        {"C:\\E\"MU\\ZELKO.EXE", "A.BIN", "2"},
        {"C:\\EMU\\ZELKO.EXE", "A.BIN", "\""},
        {"C:\\EMU\\ZELKO.EXE", "A.BIN", "2\" -z"},
    };
    for (const Row& row : rows) {
        LaunchSetup setup(row.emulator, "C:\\ROMS\\");
        EXPECT_FALSE(BuildEmulatorCommand(row.rom, Options(row.frames, true, false, Region::USA)))
            << row.emulator << " " << row.rom << " " << row.frames;
        EXPECT_STREQ(g_paths.EmulatorCommand, "");
    }
}

TEST(EmulatorCommand, OverLongLineIsNotBuilt) {
    LaunchSetup setup("C:\\EMU\\ZELKO.EXE", "C:\\ROMS\\");
    std::string prefix = "C:\\EMU\\ZELKO.EXE  -frame 2 C:\\ROMS\\";
    // Exactly filling the buffer still fits; one more character does not.
    std::string fitting(kPathMax - 1 - prefix.size(), 'r');
    ASSERT_TRUE(BuildEmulatorCommand(fitting.c_str(), Options("2", false, false, Region::USA)));
    EXPECT_EQ(std::string(g_paths.EmulatorCommand), prefix + fitting);
    std::string tooLong = fitting + "r";
    EXPECT_FALSE(BuildEmulatorCommand(tooLong.c_str(), Options("2", false, false, Region::USA)));
    EXPECT_STREQ(g_paths.EmulatorCommand, "");
}

// The stand-in emulator, installed in a directory with a blank in its name, is started with
// a cartridge whose name holds blanks; its log shows the arguments and its directory.
TEST(LaunchEmulator, StartsStandInWithArgumentsAndDirectory) {
    TempDir dir;
    fs::path emuDir = dir.path / "emu dir";
    fs::path stub = qvtest::InstallStub(emuDir);
    fs::path romDir = dir.path / "roms";
    fs::create_directory(romDir);
    std::string cartDir = romDir.string() + kPathSep;
    LaunchSetup setup(stub.string(), cartDir);
    CopyText(g_paths.EmulatorDir, kPathMax, emuDir.string().c_str());

    LaunchEmulator("Mole Quest.bin", Options("2", true, false, Region::Europe));
    std::vector<qvtest::StubRecord> records = qvtest::WaitForStubRecords(emuDir, 1);
    ASSERT_EQ(records.size(), 1u);
    const qvtest::StubRecord& r = records[0];
    EXPECT_EQ(r.argc, 5);
    EXPECT_EQ(r.args, (std::vector<std::string>{"-frame", "2", "-nosound", "-europe",
                                                cartDir + "Mole Quest.bin"}));
    EXPECT_TRUE(qvtest::SamePath(r.cwd, emuDir)) << r.cwd;
    // The launcher is left in the emulator's directory.
    EXPECT_TRUE(qvtest::SamePath(fs::current_path(), emuDir));

    // Launching again starts it again with the same command line.
    LaunchEmulator("Mole Quest.bin", Options("2", true, false, Region::Europe));
    records = qvtest::WaitForStubRecords(emuDir, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].args, records[0].args);
}

TEST(LaunchEmulator, EmptyFrameValueReachesEmulator) {
    TempDir dir;
    fs::path stub = qvtest::InstallStub(dir.path / "emu");
    LaunchSetup setup(stub.string(), dir.dirText());
    CopyText(g_paths.EmulatorDir, kPathMax, (dir.path / "emu").string().c_str());
    LaunchEmulator("A.BIN", Options("", false, true, Region::Japan));
    std::vector<qvtest::StubRecord> records = qvtest::WaitForStubRecords(dir.path / "emu", 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].args,
              (std::vector<std::string>{"-frame", "-z80", "-japan", dir.dirText() + "A.BIN"}));
}

// Neither an over-long command line, a frame value with a double quote, an empty selection nor
// a missing emulator starts anything, and each says why: the only record in the log is that of
// the launch made afterwards.
TEST(LaunchEmulator, WhatCannotStartStartsNothingAndSaysWhy) {
    TempDir dir;
    fs::path emuDir = dir.path / "emu";
    fs::path stub = qvtest::InstallStub(emuDir);
    LaunchSetup setup(stub.string(), dir.dirText());
    CopyText(g_paths.EmulatorDir, kPathMax, emuDir.string().c_str());
    std::string tooLong(kPathMax, 'r');
    CartSettings plain = Options("2", false, false, Region::USA);
    EXPECT_EQ(LaunchEmulator(tooLong.c_str(), plain), LaunchResult::NotBuilt);
    EXPECT_EQ(LaunchEmulator("A.BIN", Options("\"", false, false, Region::USA)),
              LaunchResult::NotBuilt);
    EXPECT_EQ(LaunchEmulator("", plain), LaunchResult::NoCartridge);
    setup.SetEmulator((emuDir / "missing.exe").string());
    EXPECT_EQ(LaunchEmulator("A.BIN", plain), LaunchResult::NotStarted);
    setup.SetEmulator(stub.string());
    EXPECT_EQ(LaunchEmulator("LAST.BIN", plain), LaunchResult::Started);
    std::vector<qvtest::StubRecord> records = qvtest::WaitForStubRecords(emuDir, 1);
    ASSERT_EQ(records.size(), 1u);
    ASSERT_FALSE(records[0].args.empty());
    EXPECT_EQ(records[0].args.back(), dir.dirText() + "LAST.BIN");
}

#ifndef _WIN32
// The POSIX start: quotes group a token and are removed, a program that cannot start is
// reported, and no child is left to reap.
TEST(StartProgram, QuotingFailureAndNoZombies) {
    TempDir dir;
    fs::path stub = qvtest::InstallStub(dir.path / "a b");
    std::string line = "\"" + stub.string() + "\"   one \"two three\" fo\"u r\" \"\"";
    ASSERT_TRUE(StartProgram(line.c_str()));
    std::vector<qvtest::StubRecord> records = qvtest::WaitForStubRecords(dir.path / "a b", 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].args, (std::vector<std::string>{"one", "two three", "fou r", ""}));

    // A program named without a directory is found in the current directory (at a launch, the
    // emulator's), where the Windows start looks before PATH.
    {
        qvtest::CurrentDirGuard cwd;
        fs::path here = qvtest::InstallStub(dir.path / "here");
        fs::current_path(here.parent_path());
        ASSERT_TRUE(StartProgram((here.filename().string() + " bare").c_str()));
        records = qvtest::WaitForStubRecords(here.parent_path(), 1);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].args, (std::vector<std::string>{"bare"}));
        // A name without an extension also stands for NAME.exe, here and on PATH.
        fs::path exe = dir.path / "exe" / "Prog.exe", onPath = dir.path / "on path" / "Path.exe";
        fs::create_directories(exe.parent_path());
        fs::copy_file(here, exe);
        fs::copy_file(qvtest::InstallStub(onPath.parent_path()), onPath);
        fs::current_path(exe.parent_path());
        std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", ("/none:" + onPath.parent_path().string()).c_str(), 1);
        EXPECT_TRUE(StartProgram("Prog dot-exe"));
        EXPECT_TRUE(StartProgram("Path on-path"));
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(qvtest::WaitForStubRecords(exe.parent_path(), 1).at(0).args[0], "dot-exe");
        EXPECT_EQ(qvtest::WaitForStubRecords(onPath.parent_path(), 1).at(0).args[0], "on-path");
    }

    qvtest::WriteFile(dir.path / "notexec", "#!/bin/sh\n");
    struct Row {
        std::string line;
    } failing[] = {{"NO EMULATOR  -frame 2 x.bin"},
                   {"\"NO EMULATOR\"  -frame 2 x.bin"},
                   {(dir.path / "missing").string()},
                   {(dir.path / "notexec").string()},
                   {dir.path.string()},
                   {""},
                   {"   "}};
    for (const Row& row : failing)
        EXPECT_FALSE(StartProgram(row.line.c_str())) << row.line;

    // Every child the starts made has been reaped already.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}
#endif
