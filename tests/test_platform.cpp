// The platform operations the core builds on, against real files: the same cases run on the
// POSIX layer and, under Wine, on the Win32 layer.
#include "core/paths.h"
#include "platform/current_dir.h"
#include "platform/limits.h"
#include "platform/short_path.h"
#include "platform/text_file.h"
#include "support/test_util.h"
#include "support/zelko_log.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "platform/win32/file_chooser_win32.h"
#include <windows.h>
#endif

#include <cstring>
#include <string>

namespace fs = std::filesystem;
using qvtest::TempDir;
using qvtest::WriteFile;

TEST(TextLineRead, TextModeTranslationsAndCapacity) {
    struct Row {
        const char* what;
        std::string bytes;
        long offset;
        int cap;
        bool opened;
        std::string line;
    } rows[] = {
        {"line feed ends the read and stays", "HELLO\nWORLD", 0, 48, true, "HELLO\n"},
        {"CR LF reads as LF", "AB\r\nCD", 0, 48, true, "AB\n"},
        {"lone carriage returns are dropped", "A\rB\rC\r", 0, 48, true, "ABC"},
        {"dropped CRs take no room", "a\rb\rc\rdef", 0, 4, true, "abc"},
        {"control-Z ends the data", std::string("AB\x1a") + "CD\n", 0, 48, true, "AB"},
        {"control-Z at the offset", std::string(4, 'x') + "\x1aNAME", 4, 48, true, ""},
        {"capacity minus one characters", "abcdefgh", 0, 4, true, "abc"},
        {"capacity one holds only the terminator", "abcdefgh", 0, 1, true, ""},
        {"capacity two holds one character", "abcdefgh", 0, 2, true, "a"},
        {"offset counts bytes, not text", "\r\n\r\nXY", 4, 48, true, "XY"},
        {"offset at the end", "abc", 3, 48, true, ""},
        {"offset past the end", "abc", 336, 48, true, ""},
        {"only carriage returns after the offset", "abc\r\r\r", 3, 48, true, ""},
        {"NUL byte ends the text", std::string("AB\0CD\n", 6), 0, 48, true, "AB"},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::string path = dir.file("rom.bin");
        WriteFile(path, row.bytes);
        char buf[64];
        std::memset(buf, '?', sizeof buf);
        ASSERT_EQ(ReadTextLineAt(path.c_str(), row.offset, buf, row.cap), row.opened);
        EXPECT_EQ(std::string(buf), row.line);
        // Nothing is written past the capacity.
        EXPECT_EQ(buf[row.cap], '?');
    }
    char buf[8] = "kept";
    EXPECT_FALSE(ReadTextLineAt(dir.file("missing.bin").c_str(), 0, buf, sizeof buf));
    EXPECT_FALSE(ReadTextLineAt(dir.path.string().c_str(), 0, buf, sizeof buf))
        << "a directory opened as a file";
}

TEST(ShortPath, NamesTheSameFileAndNeverOverruns) {
    TempDir dir;
    fs::path longDir = dir.path / "A Long Directory Name";
    fs::create_directory(longDir);
    fs::path file = longDir / "Cartridge File Name.bin";
    WriteFile(file, "x");

    char buf[kPathMax];
    ASSERT_TRUE(CopyText(buf, sizeof buf, file.string().c_str()));
    ToShortPath(buf, sizeof buf);
    EXPECT_TRUE(qvtest::SamePath(buf, file)) << buf;
#ifdef _WIN32
    EXPECT_EQ(std::strchr(buf, ' '), nullptr) << buf;
#else
    EXPECT_EQ(std::string(buf), file.string());
#endif

    // A directory keeps its trailing separator.
    std::string dirText = longDir.string() + kPathSep;
    ASSERT_TRUE(CopyText(buf, sizeof buf, dirText.c_str()));
    ToShortPath(buf, sizeof buf);
    ASSERT_GT(std::strlen(buf), 0u);
    EXPECT_EQ(buf[std::strlen(buf) - 1], kPathSep) << buf;
    std::string withoutSep(buf, std::strlen(buf) - 1);
    EXPECT_TRUE(qvtest::SamePath(withoutSep, longDir)) << buf;

    // A missing path, and a short form with no room, leave the text alone.
    std::string missing = (dir.path / "No Such File.bin").string();
    ASSERT_TRUE(CopyText(buf, sizeof buf, missing.c_str()));
    ToShortPath(buf, sizeof buf);
    EXPECT_EQ(std::string(buf), missing);
    ASSERT_TRUE(CopyText(buf, sizeof buf, file.string().c_str()));
    ToShortPath(buf, 4);
    EXPECT_EQ(std::string(buf), file.string());
}

TEST(CurrentDir, ChangesOnlyToAnExistingDirectory) {
    TempDir dir;
    qvtest::CurrentDirGuard guard;
    ASSERT_TRUE(SetCurrentDir(dir.path.string().c_str()));
    EXPECT_TRUE(qvtest::SamePath(fs::current_path(), dir.path));
    EXPECT_FALSE(SetCurrentDir(dir.file("missing").c_str()));
    EXPECT_TRUE(qvtest::SamePath(fs::current_path(), dir.path));
    WriteFile(dir.path / "plain.bin", "x");
    EXPECT_FALSE(SetCurrentDir(dir.file("plain.bin").c_str()));
    EXPECT_TRUE(qvtest::SamePath(fs::current_path(), dir.path));
}

#ifdef _WIN32
namespace {

struct PromptAnswer {
    const char* title;
    std::string answer;
};

// Answers the open-file dialog titled answer->title with its text, as a user types it.
DWORD WINAPI AnswerPromptThread(void* param) {
    const PromptAnswer* a = static_cast<const PromptAnswer*>(param);
    HWND dlg = nullptr;
    for (int i = 0; i < 1000 && dlg == nullptr; ++i) {
        dlg = FindWindowA("#32770", a->title);
        if (dlg == nullptr)
            Sleep(20);
    }
    if (dlg == nullptr)
        return 1;
    // The file-name field: a combo box (ID 0x47C) holding an edit, or the edit itself.
    HWND name = GetDlgItem(dlg, 0x47C);
    HWND combo = FindWindowExA(name, nullptr, "ComboBox", nullptr);
    HWND edit = FindWindowExA(combo != nullptr ? combo : name, nullptr, "Edit", nullptr);
    SendMessageA(edit != nullptr ? edit : name, WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(a->answer.c_str()));
    PostMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
    return 0;
}

} // namespace

// The first-run prompt's dialog, answered from a second thread: a chosen path that does not
// fit the request's buffer is no answer, and the prompt is shown again from its initial name;
// a path that fits is the answer.
TEST(FileChooserWin32, PathTooLongForTheBufferIsAskedAgain) {
    TempDir dir;
    WriteFile(dir.path / "Zelko.exe", "x");
    std::string full = dir.file("Zelko.exe");
    struct Row {
        int cap;
        ChooseResult result;
    } rows[] = {
        {static_cast<int>(full.size()), ChooseResult::Cancelled}, // no room for the terminator
        {kPathMax, ChooseResult::Chosen},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cap);
        char name[kPathMax] = "Zelko.exe";
        PromptAnswer answer{"Find Zelko.exe", full};
        OpenFileRequest request{nullptr, "Zelko.exe", "Zelko.EXE", name, row.cap, answer.title};
        HANDLE thread = CreateThread(nullptr, 0, AnswerPromptThread, &answer, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        ChooseResult result = ChooseFileWin32(&request, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        EXPECT_EQ(static_cast<int>(result), static_cast<int>(row.result));
        if (row.result == ChooseResult::Chosen)
            EXPECT_TRUE(qvtest::SamePath(name, full)) << name;
        else
            EXPECT_STREQ(name, "Zelko.exe");
    }
}
#endif
