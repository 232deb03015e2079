// Path cuts, bounded text copies and start-up path resolution with a scripted chooser.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/paths.h"
#include "platform/limits.h"
#include "platform/module_path.h"
#include "platform/profile_store.h"
#include "platform/short_path.h"
#include "support/test_util.h"
#include "support/zelko_log.h"

namespace fs = std::filesystem;
using qvtest::TempDir;
using qvtest::WriteFile;

namespace {

// Writes a path with backslashes in the platform's separator.
std::string Native(std::string path) {
    for (char& c : path) {
        if (c == '\\')
            c = kPathSep;
    }
    return path;
}

std::string Short(const std::string& path) {
    char buf[kPathMax];
    CopyText(buf, kPathMax, path.c_str());
    ToShortPath(buf, kPathMax);
    return buf;
}

// One prompt as the chooser saw it.
struct Prompt {
    void* owner;
    std::string filterDesc;
    std::string filterPattern;
    std::string initialName;
    int fileNameCap;
    std::string title;
};

// Answers the prompts in turn from a script; the last answer repeats.
struct Script {
    struct Answer {
        ChooseResult result;
        std::string path;
    };
    std::vector<Answer> answers;
    std::vector<Prompt> seen;
};

ChooseResult Scripted(OpenFileRequest* request, void* context) {
    Script* script = static_cast<Script*>(context);
    script->seen.push_back({request->owner, request->filterDesc, request->filterPattern,
                            request->fileName, request->fileNameCap, request->title});
    if (script->answers.empty())
        return ChooseResult::Failed;
    size_t i = std::min(script->seen.size(), script->answers.size()) - 1;
    const Script::Answer& answer = script->answers[i];
    if (answer.result == ChooseResult::Chosen)
        CopyText(request->fileName, request->fileNameCap, answer.path.c_str());
    return answer.result;
}

std::string Value(const std::string& ini, const char* key) {
    char buf[kValueMax];
    ProfileReadString("Quorvalis Paths", key, "<missing>", buf, kValueMax, ini.c_str());
    return buf;
}

// The launcher's directory and its settings file, in a fresh temporary directory.
struct Launcher {
    TempDir dir;
    qvtest::CurrentDirGuard cwd;
    std::string modulePath;
    std::string ini;
    Launcher() {
        modulePath = dir.file("Quorvalis.exe");
        ini = dir.file("Quorvalis.ini");
    }
};

const char* kEmulatorTitle = "Find Zelko.exe";
const char* kCartTitle = "Open a cartridge to locate your cartridge directory";

} // namespace

TEST(PathCuts, AfterAndAtLastSeparator) {
    struct Row {
        const char* path;
        const char* after;
        const char* at;
    } rows[] = {
        {"C:\\GAMES\\LAUNCH.EXE", "C:\\GAMES\\", "C:\\GAMES"},
        {"C:\\EMU\\ZELKO.EXE", "C:\\EMU\\", "C:\\EMU"},
        {"C:\\ZELKO.EXE", "C:\\", "C:"},
        {"C:\\ROMS\\", "C:\\ROMS\\", "C:\\ROMS"},
        {"ZELKO.EXE", "", "ZELKO.EXE"},
        {"NO EMULATOR", "", "NO EMULATOR"},
        {"", "", ""},
        {"\\", "\\", ""},
        {"\\\\X", "\\\\", "\\"},
    };
    for (const Row& row : rows) {
        char after[64];
        char at[64];
        CopyText(after, sizeof after, Native(row.path).c_str());
        CopyText(at, sizeof at, Native(row.path).c_str());
        CutAfterLastSep(after);
        CutAtLastSep(at);
        EXPECT_EQ(std::string(after), Native(row.after)) << row.path;
        EXPECT_EQ(std::string(at), Native(row.at)) << row.path;
    }
}

TEST(BoundedText, CopyAndAppendNeverOverrun) {
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_TRUE(CopyText(buf, 6, "abcde")); // exactly fills the capacity
    EXPECT_STREQ(buf, "abcde");
    EXPECT_FALSE(CopyText(buf, 6, "abcdef"));
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(buf[6], '#');

    EXPECT_TRUE(CopyText(buf, 6, "ab"));
    EXPECT_TRUE(AppendText(buf, 6, "cd"));
    EXPECT_FALSE(AppendText(buf, 6, "ef"));
    EXPECT_STREQ(buf, "abcd");
    EXPECT_TRUE(AppendText(buf, 6, "e"));
    EXPECT_STREQ(buf, "abcde");
    EXPECT_FALSE(AppendText(buf, 6, "x"));
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(buf[6], '#');
}

TEST(ModulePath, NamesTheRunningTestProgram) {
    char path[kPathMax];
    ASSERT_TRUE(GetModulePath(path, kPathMax));
    fs::path p(path);
    EXPECT_TRUE(p.is_absolute()) << path;
    EXPECT_TRUE(qvtest::FileExists(p)) << path;
    EXPECT_EQ(p.stem().string(), "qv_tests");
    char tiny[4] = "abc";
    EXPECT_FALSE(GetModulePath(tiny, sizeof tiny));
    EXPECT_STREQ(tiny, "");
}

TEST(ResolvePaths, FirstRunAsksForEmulatorThenCartridges) {
    Launcher launcher;
    fs::create_directory(launcher.dir.path / "emu");
    fs::create_directory(launcher.dir.path / "roms");
    std::string emulator = (launcher.dir.path / "emu" / "Zelko.exe").string();
    std::string rom = (launcher.dir.path / "roms" / "MOLEQST.BIN").string();
    WriteFile(rom, "x");
    Script script;
    script.answers = {{ChooseResult::Cancelled, ""},
                      {ChooseResult::Chosen, emulator},
                      {ChooseResult::Cancelled, ""},
                      {ChooseResult::Cancelled, ""},
                      {ChooseResult::Chosen, rom}};
    int owner = 0;
    ResolvePathsFromModule(launcher.modulePath.c_str(), Scripted, &script, &owner);

    // Cancelling shows the same prompt again.
    ASSERT_EQ(script.seen.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        const Prompt& p = script.seen[i];
        EXPECT_EQ(p.owner, &owner);
        EXPECT_EQ(p.fileNameCap, kPathMax);
        if (i < 2) {
            EXPECT_EQ(p.title, kEmulatorTitle);
            EXPECT_EQ(p.filterDesc, "Zelko.exe");
            EXPECT_EQ(p.filterPattern, "Zelko.EXE");
            EXPECT_EQ(p.initialName, "Zelko.exe");
        } else {
            EXPECT_EQ(p.title, kCartTitle);
            EXPECT_EQ(p.filterDesc, "Genesis ROMs (*.bin;*.md;*.mgd;*.smd)");
            EXPECT_EQ(p.filterPattern, "*.bin;*.md;*.mgd;*.smd");
            EXPECT_EQ(p.initialName, "");
        }
    }

    std::string moduleDir = launcher.dir.dirText();
    std::string cartDir = Short((launcher.dir.path / "roms").string() + kPathSep);
    EXPECT_EQ(Value(launcher.ini, "QuorvalisPath"), Short(moduleDir));
    EXPECT_EQ(Value(launcher.ini, "EmulatorPath"), Short(emulator));
    EXPECT_EQ(Value(launcher.ini, "CartPath"), cartDir);

    EXPECT_EQ(std::string(g_paths.IniPath), moduleDir + "Quorvalis.ini");
    EXPECT_EQ(std::string(g_paths.ModuleDir), Short(moduleDir));
    EXPECT_EQ(std::string(g_paths.EmulatorCommand), Short(emulator));
    std::string emulatorDir = Short(emulator);
    emulatorDir.erase(emulatorDir.rfind(kPathSep));
    EXPECT_EQ(std::string(g_paths.EmulatorDir), emulatorDir);
    EXPECT_EQ(std::string(g_paths.CartDir), cartDir);
    EXPECT_EQ(std::string(g_paths.SelectedRom), cartDir);
}

TEST(ResolvePaths, RecordedPathsAskNothing) {
    struct Row {
        const char* what;
        std::string emulatorPath; // "" writes an empty value
        std::string cartPath;
        std::string emulatorDir;
    } rows[] = {
        {"recorded", Native("C:\\EMU\\ZELKO.EXE"), Native("D:\\ROMS\\"), Native("C:\\EMU")},
        {"emulator at a drive's root", Native("C:\\ZELKO.EXE"), Native("D:\\"), "C:"},
        {"file need not exist", Native("Q:\\GONE\\Z.EXE"), Native("Q:\\GONE\\"),
         Native("Q:\\GONE")},
        {"empty values", "", "", ""},
    };
    for (const Row& row : rows) {
        Launcher launcher;
        WriteFile(launcher.ini, "[Quorvalis Paths]\nQuorvalisPath=old\nEmulatorPath=" +
                                    row.emulatorPath + "\nCartPath=" + row.cartPath + "\n");
        Script script;
        ResolvePathsFromModule(launcher.modulePath.c_str(), Scripted, &script, nullptr);
        SCOPED_TRACE(row.what);
        EXPECT_TRUE(script.seen.empty());
        EXPECT_EQ(std::string(g_paths.EmulatorCommand), row.emulatorPath);
        EXPECT_EQ(std::string(g_paths.EmulatorDir), row.emulatorDir);
        EXPECT_EQ(std::string(g_paths.CartDir), row.cartPath);
        EXPECT_EQ(std::string(g_paths.SelectedRom), row.cartPath);
        // The launcher's own directory is recorded on every start.
        EXPECT_EQ(Value(launcher.ini, "QuorvalisPath"), Short(launcher.dir.dirText()));
    }
}

TEST(ResolvePaths, SentinelValuesPrompt) {
    struct Row {
        std::string text;
        size_t prompts;
        const char* firstTitle;
    } rows[] = {
        {"[Quorvalis Paths]\nEmulatorPath=NO EMULATOR\nCartPath=NO CARTS\n", 2, kEmulatorTitle},
        {"[Quorvalis Paths]\nEmulatorPath=NO EMULATOR\nCartPath=C\n", 1, kEmulatorTitle},
        {"[Quorvalis Paths]\nEmulatorPath=E\nCartPath=NO CARTS\n", 1, kCartTitle},
        {"[Quorvalis Paths]\nEmulatorPath=E\n", 1, kCartTitle},
        {"[other]\nEmulatorPath=E\nCartPath=C\n", 2, kEmulatorTitle},
        {"[Quorvalis Paths]\nEmulatorPath=no emulator\nCartPath=No Carts\n", 0, nullptr},
    };
    for (const Row& row : rows) {
        Launcher launcher;
        WriteFile(launcher.ini, row.text);
        std::string chosen = launcher.dir.file("PICKED.BIN");
        Script script;
        script.answers = {{ChooseResult::Chosen, chosen}};
        ResolvePathsFromModule(launcher.modulePath.c_str(), Scripted, &script, nullptr);
        SCOPED_TRACE(row.text);
        ASSERT_EQ(script.seen.size(), row.prompts);
        if (row.prompts > 0) {
            EXPECT_EQ(script.seen[0].title, row.firstTitle);
        }
        EXPECT_NE(std::string(g_paths.EmulatorCommand), "NO EMULATOR");
        EXPECT_NE(std::string(g_paths.CartDir), "NO CARTS");
    }
}

// Nothing can be written (the settings file's name is taken by a directory): each prompt is
// shown once, and start-up goes on with the sentinels.
TEST(ResolvePaths, UnwritableSettingsFileContinuesWithSentinels) {
    Launcher launcher;
    fs::create_directory(launcher.ini);
    Script script;
    script.answers = {{ChooseResult::Chosen, launcher.dir.file("Zelko.exe")}};
    ResolvePathsFromModule(launcher.modulePath.c_str(), Scripted, &script, nullptr);
    ASSERT_EQ(script.seen.size(), 2u);
    EXPECT_EQ(script.seen[0].title, kEmulatorTitle);
    EXPECT_EQ(script.seen[1].title, kCartTitle);
    EXPECT_STREQ(g_paths.EmulatorCommand, "NO EMULATOR");
    EXPECT_STREQ(g_paths.EmulatorDir, "NO EMULATOR");
    EXPECT_STREQ(g_paths.CartDir, "NO CARTS");
    EXPECT_STREQ(g_paths.SelectedRom, "NO CARTS");
}

// A dialog that cannot be shown at all is not retried forever.
TEST(ResolvePaths, FailingDialogIsNotRetried) {
    Launcher launcher;
    Script script;
    script.answers = {{ChooseResult::Failed, ""}};
    ResolvePathsFromModule(launcher.modulePath.c_str(), Scripted, &script, nullptr);
    ASSERT_EQ(script.seen.size(), 2u);
    EXPECT_STREQ(g_paths.EmulatorCommand, "NO EMULATOR");
    EXPECT_STREQ(g_paths.CartDir, "NO CARTS");
    EXPECT_EQ(Value(launcher.ini, "EmulatorPath"), "<missing>");
    EXPECT_EQ(Value(launcher.ini, "CartPath"), "<missing>");
    EXPECT_EQ(Value(launcher.ini, "QuorvalisPath"), Short(launcher.dir.dirText()));
}

// A launcher directory too long for the settings file's name, or none at all: the launcher
// runs without a settings file rather than writing a cut-off or relative one.
TEST(ResolvePaths, NoRoomForSettingsFileName) {
    Launcher launcher;
    fs::current_path(launcher.dir.path);
    std::string longDir = Native("C:\\") + std::string(kPathMax - 16, 'd') + kPathSep;
    std::string rows[] = {longDir + "Quorvalis.exe", "Quorvalis.exe"};
    for (const std::string& modulePath : rows) {
        Script script;
        script.answers = {{ChooseResult::Chosen, launcher.dir.file("Zelko.exe")}};
        ResolvePathsFromModule(modulePath.c_str(), Scripted, &script, nullptr);
        EXPECT_STREQ(g_paths.IniPath, "");
        EXPECT_EQ(script.seen.size(), 2u);
        EXPECT_STREQ(g_paths.EmulatorCommand, "NO EMULATOR");
        EXPECT_STREQ(g_paths.CartDir, "NO CARTS");
    }
    EXPECT_TRUE(fs::is_empty(launcher.dir.path));
}
