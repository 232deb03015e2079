// End-to-end test of Quorvalis.exe: prepares a fresh launcher, emulator and cartridge directory,
// starts the launcher as its own process and works it only through the window system, as a
// user would: the first-run prompts, the main window's controls, the settings file, the
// stand-in emulator's record of how it was started, the About box and the ways to quit.
//
// Usage: qv_e2e [GoogleTest flags] <Quorvalis.exe> <stand-in Zelko.exe> [<bridge Zelko.exe>
//        <stand-in blastem.exe>]
// Unix paths (/a/b) are taken as Wine's Z:\a\b. One GoogleTest test, its steps in order on one
// launcher process, and, given the bridge and a BlastEm stand-in, a launch through the bridge;
// the settings file and the stand-in emulator's log are read with the shared test support
// (tests/support/), which also works the launcher's windows (win32_driver.h).
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "support/test_util.h"
#include "support/win32_driver.h"
#include "support/zelko_log.h"

namespace {

using namespace qvwin;
using qvtest::IniKeys;
using qvtest::IniSection;
using qvtest::IniValue;
using qvtest::ReadIniSection;

// ---- the open-file dialog -------------------------------------------------------------------

constexpr int kFileNameCombo = 0x47C; // ComboBoxEx32 > ComboBox > Edit, all with this ID
constexpr int kFilterCombo = 0x470;

HWND FileNameEdit(HWND dlg) {
    HWND cbex = GetDlgItem(dlg, kFileNameCombo);
    if (cbex == nullptr)
        return GetDlgItem(dlg, 0x480);
    if (ClassOf(cbex) == "Edit")
        return cbex;
    HWND combo = FindWindowExA(cbex, nullptr, "ComboBox", nullptr);
    HWND edit = FindWindowExA(combo != nullptr ? combo : cbex, nullptr, "Edit", nullptr);
    return edit != nullptr ? edit : cbex;
}

// Types path into the prompt's file-name field and presses Open.
void AnswerPrompt(HWND dlg, const std::string& path) {
    SetText(FileNameEdit(dlg), path.c_str());
    PostMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
}

const char* const kEmuPrompt = "Find Zelko.exe";
const char* const kCartPrompt = "Open a cartridge to locate your cartridge directory";

// ---- the test groups ------------------------------------------------------------------------

// First start in a fresh directory: both prompts, one of them cancelled once.
bool TestFirstRun(const Tree& t, Launcher* l) {
    EXPECT_TRUE(StartLauncher(t.launcherExe, t.base, l))
        << "launcher starts and shows its main window";
    if (l->main == nullptr)
        return false;
    DWORD pid = l->pi.dwProcessId;

    HWND dlg = WaitTopWindow(pid, "#32770", kEmuPrompt);
    EXPECT_TRUE(dlg != nullptr) << "emulator prompt appears, titled \"Find Zelko.exe\"";
    if (dlg == nullptr)
        return false;
    // The main window is up, centred and titled before the prompt, its list still empty.
    EXPECT_TRUE(IsWindowVisible(l->main) != 0) << "main window visible while the prompt is open";
    EXPECT_EQ(Send(GetDlgItem(l->main, IDC_CARTLIST), LB_GETCOUNT, 0, 0), 0)
        << "cartridge list still empty during the prompts";
    EXPECT_TRUE(!IsChecked(l->main, IDC_USA)) << "USA not yet checked during the prompts";
    EXPECT_EQ(Text(GetDlgItem(l->main, IDC_FRAMES)), "")
        << "frame value not yet set during prompts";
    EXPECT_TRUE(GetWindow(dlg, GW_OWNER) == l->main)
        << "emulator prompt is owned by the main window";
    EXPECT_EQ(Text(FileNameEdit(dlg)), "Zelko.exe") << "emulator prompt pre-filled with Zelko.exe";
    EXPECT_EQ(Text(GetDlgItem(dlg, kFilterCombo)), "Zelko.exe") << "emulator prompt filter";

    // Cancelled: the same prompt comes back.
    PostMessageA(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dlg); })) << "cancelled emulator prompt closes";
    dlg = WaitTopWindow(pid, "#32770", kEmuPrompt);
    EXPECT_TRUE(dlg != nullptr) << "cancelled emulator prompt is shown again";
    if (dlg == nullptr)
        return false;
    EXPECT_EQ(Text(FileNameEdit(dlg)), "Zelko.exe") << "re-shown prompt still holds Zelko.exe";

    AnswerPrompt(dlg, t.emuExe);

    dlg = WaitTopWindow(pid, "#32770", kCartPrompt);
    EXPECT_TRUE(dlg != nullptr) << "cartridge prompt appears with its title";
    if (dlg == nullptr)
        return false;
    EXPECT_TRUE(FindTopWindow(pid, "#32770", kEmuPrompt) == nullptr)
        << "emulator prompt has closed";
    EXPECT_EQ(Text(FileNameEdit(dlg)), "") << "cartridge prompt starts with an empty file name";
    EXPECT_EQ(Text(GetDlgItem(dlg, kFilterCombo)), "Genesis ROMs (*.bin;*.md;*.mgd;*.smd)")
        << "cartridge prompt filter";
    AnswerPrompt(dlg, t.cartDir + "\\MOLEQST.BIN");

    HWND list = GetDlgItem(l->main, IDC_CARTLIST);
    EXPECT_TRUE(WaitFor([&] { return Send(list, LB_GETCOUNT, 0, 0) > 0; }))
        << "cartridge list filled after the prompts";
    EXPECT_TRUE(WaitFor([&] { return Text(GetDlgItem(l->main, IDC_FRAMES)) == "2"; }))
        << "start-up completes with the frame value set";

    IniSection paths = ReadIniSection(t.iniPath, "Quorvalis Paths");
    EXPECT_TRUE(paths.found) << "settings file holds the section \"Quorvalis Paths\"";
    EXPECT_EQ(IniValue(paths, "QuorvalisPath"), ShortPath(t.launcherDir + "\\"))
        << "QuorvalisPath: the launcher's directory, short form, with backslash";
    EXPECT_EQ(IniValue(paths, "EmulatorPath"), ShortPath(t.emuExe))
        << "EmulatorPath: the chosen emulator, short form";
    EXPECT_EQ(IniValue(paths, "CartPath"), ShortPath(t.cartDir + "\\"))
        << "CartPath: the chosen cartridge's directory, short form, with backslash";
    EXPECT_TRUE(ReadIniSection(t.iniPath, "ZETA.SMD").found)
        << "stored cartridge sections survive the first run";
    return true;
}

struct ControlSpec {
    int id;
    const char* cls;
    const char* text;
    LONG styles; // bits that must be set
    LONG absent; // bits that must be clear
};

// The main window: class, caption, each control in template order, defaults, the spin control.
void TestMainWindow(Launcher* l) {
    HWND w = l->main;
    EXPECT_EQ(ClassOf(w), "Quorvalis") << "main window class";
    EXPECT_EQ(Text(w), "Quorvalis '95") << "main window caption";
    LONG style = StyleOf(w);
    EXPECT_TRUE((style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX)) ==
                    (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX) &&
                !(style & (WS_MAXIMIZEBOX | WS_THICKFRAME)))
        << "main window: caption, system menu, minimize box only; fixed size";
    RECT rc;
    GetWindowRect(w, &rc);
    int cx = (rc.left + rc.right) / 2, cy = (rc.top + rc.bottom) / 2;
    int sx = GetSystemMetrics(SM_CXSCREEN) / 2, sy = GetSystemMetrics(SM_CYSCREEN) / 2;
    EXPECT_TRUE(std::abs(cx - sx) <= 2 && std::abs(cy - sy) <= 2)
        << "main window is centred on screen"
        << ": "
        << std::to_string(cx) + "," + std::to_string(cy) + " vs " + std::to_string(sx) + "," +
               std::to_string(sy);

    const ControlSpec controls[] = {
        // WS_VSCROLL is cleared by the list itself while all items fit.
        {IDC_CARTLIST, "ListBox", "", LBS_NOTIFY | LBS_SORT | LBS_HASSTRINGS | WS_TABSTOP,
         LBS_NOINTEGRALHEIGHT},
        {IDC_TITLE, "Edit", "", WS_TABSTOP, ES_AUTOHSCROLL | ES_NUMBER},
        {IDC_USA, "Button", "&USA", BS_AUTORADIOBUTTON | WS_TABSTOP, WS_GROUP},
        {IDC_EUROPE, "Button", "&Europe", BS_AUTORADIOBUTTON | WS_TABSTOP, WS_GROUP},
        {IDC_JAPAN, "Button", "&Japan", BS_AUTORADIOBUTTON | WS_TABSTOP, WS_GROUP},
        {IDC_FRAMES, "Edit", "2", WS_TABSTOP, ES_AUTOHSCROLL | ES_NUMBER},
        {IDC_FRAMESPIN, "msctls_updown32", "", UDS_AUTOBUDDY | UDS_SETBUDDYINT, UDS_WRAP},
        {IDC_NOSOUND, "Button", "&No Sound", BS_AUTOCHECKBOX | WS_TABSTOP, 0},
        {IDC_Z80, "Button", "Enable &Z-80", BS_AUTOCHECKBOX | WS_TABSTOP, 0},
        {IDC_LAUNCH, "Button", "&Launch Emulator", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0},
        {IDC_SAVE, "Button", "&Save Config", WS_TABSTOP, BS_DEFPUSHBUTTON},
        {IDC_DELETE, "Button", "&Delete Config", WS_TABSTOP, BS_DEFPUSHBUTTON},
        {IDC_ABOUT, "Button", "&About", WS_TABSTOP, BS_DEFPUSHBUTTON},
        {IDC_EXIT, "Button", "E&xit", WS_TABSTOP, BS_DEFPUSHBUTTON},
    };
    for (const ControlSpec& c : controls) {
        HWND h = GetDlgItem(w, c.id);
        std::string what = "control " + std::to_string(c.id) + " \"" + c.text + "\"";
        EXPECT_TRUE(h != nullptr && SameText(ClassOf(h), c.cls)) << what + ": class"
                                                                 << ": " << ClassOf(h);
        EXPECT_EQ(Text(h), c.text) << what + ": text";
        LONG s = StyleOf(h);
        EXPECT_TRUE((s & c.styles) == c.styles && (s & c.absent) == 0 && (s & WS_VISIBLE))
            << what + ": styles"
            << ": " << std::to_string(s);
        // The dialog's 3-D look turns a plain border into a sunken client edge.
        if (c.id == IDC_CARTLIST || c.id == IDC_TITLE || c.id == IDC_FRAMES) {
            EXPECT_TRUE((s & WS_BORDER) || (GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE))
                << what + ": has a border";
        }
    }

    // Template order (the tab order): the children in creation order, group boxes last.
    std::vector<std::string> order;
    for (HWND h = GetWindow(w, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(h);
        order.push_back(id == 0xFFFF || id == -1 ? Text(h) : std::to_string(id));
    }
    EXPECT_EQ(Join(order), "101,103,110,108,109,111,112,106,107,102,104,113,105,100,Version,Frames")
        << "controls in template order, the group boxes last";

    HWND list = GetDlgItem(w, IDC_CARTLIST);
    EXPECT_EQ(Join(ListItems(list)), "ALPHA.MD,BETA.MGD,MOLEQST.BIN,ZETA.SMD,[BIOS] Mole.bin")
        << "list holds the five cartridges sorted; no README.TXT, no GAMES.BIN directory";
    EXPECT_EQ(Send(list, LB_GETCURSEL, 0, 0), LB_ERR) << "no cartridge selected after start-up";
    EXPECT_TRUE(IsChecked(w, IDC_USA) && !IsChecked(w, IDC_EUROPE) && !IsChecked(w, IDC_JAPAN))
        << "USA checked after start-up";
    EXPECT_TRUE(!IsChecked(w, IDC_NOSOUND) && !IsChecked(w, IDC_Z80))
        << "both check boxes unchecked after start-up";
    EXPECT_EQ(Text(GetDlgItem(w, IDC_TITLE)), "") << "title empty after start-up";

    HWND spin = GetDlgItem(w, IDC_FRAMESPIN);
    HWND frames = GetDlgItem(w, IDC_FRAMES);
    EXPECT_EQ(Send(spin, UDM_GETRANGE, 0, 0), 0x00010009) << "spin range 1 to 9";
    EXPECT_TRUE(reinterpret_cast<HWND>(Send(spin, UDM_GETBUDDY, 0, 0)) == frames)
        << "spin control's buddy is the frame value field";
    RECT src;
    GetClientRect(spin, &src);
    int up = src.bottom / 4, down = src.bottom * 3 / 4, mid = src.right / 2;
    ClickAt(spin, mid, up);
    EXPECT_EQ(Text(frames), "3") << "spin up from 2 gives 3";
    for (int i = 0; i < 8; ++i)
        ClickAt(spin, mid, up);
    EXPECT_EQ(Text(frames), "9") << "spin up stops at 9";
    ClickAt(spin, mid, down);
    EXPECT_EQ(Text(frames), "8") << "spin down from 9 gives 8";
    for (int i = 0; i < 10; ++i)
        ClickAt(spin, mid, down);
    EXPECT_EQ(Text(frames), "1") << "spin down stops at 1";
    SetText(frames, "5");
    ClickAt(spin, mid, up);
    EXPECT_EQ(Text(frames), "6") << "spin steps from the number shown in the field";
}

struct FormState {
    std::string title, frames;
    bool noSound, z80, usa, europe, japan;
};

FormState ReadFormState(HWND w) {
    return FormState{Text(GetDlgItem(w, IDC_TITLE)), Text(GetDlgItem(w, IDC_FRAMES)),
                     IsChecked(w, IDC_NOSOUND),      IsChecked(w, IDC_Z80),
                     IsChecked(w, IDC_USA),          IsChecked(w, IDC_EUROPE),
                     IsChecked(w, IDC_JAPAN)};
}

std::string Describe(const FormState& f) {
    std::string region = f.usa ? "USA" : f.europe ? "Europe" : f.japan ? "Japan" : "none";
    if ((f.usa + f.europe + f.japan) > 1)
        region = "several";
    return "title=\"" + f.title + "\" frames=\"" + f.frames +
           "\" nosound=" + (f.noSound ? "1" : "0") + " z80=" + (f.z80 ? "1" : "0") +
           " region=" + region;
}

// Selecting cartridges shows the header title or the stored options.
void TestSelection(Launcher* l) {
    HWND w = l->main;
    HWND list = GetDlgItem(w, IDC_CARTLIST);
    struct Case {
        const char* rom;
        const char* want;
        const char* what;
    };
    const Case cases[] = {
        {"MOLEQST.BIN", "title=\"Turbo Mole Quest \" frames=\"2\" nosound=0 z80=0 region=USA",
         "no stored options: header title and the defaults"},
        {"ZETA.SMD", "title=\"Zeta Custom\" frames=\"9\" nosound=1 z80=1 region=Japan",
         "stored options shown; stored frame value 0 shown as 9"},
        {"ALPHA.MD", "title=\"Alpha Strike \" frames=\"4\" nosound=0 z80=1 region=Europe",
         "stored empty title built from the header; other options stored"},
        {"BETA.MGD", "title=\"Beta Racer \" frames=\"2\" nosound=0 z80=0 region=USA",
         "next cartridge without options resets the form to the defaults"},
    };
    for (const Case& c : cases) {
        ClickItem(list, c.rom);
        EXPECT_EQ(Send(list, LB_GETCURSEL, 0, 0), IndexOf(list, c.rom))
            << std::string(c.rom) + " selected by a click";
        EXPECT_EQ(Describe(ReadFormState(w)), c.want) << std::string(c.rom) + ": " + c.what;
    }
}

// The frame value field keeps to one digit from 1 to 9 as text is typed or set.
void TestFramesField(Launcher* l) {
    HWND frames = GetDlgItem(l->main, IDC_FRAMES);
    struct Case {
        const char* set;
        const char* want;
    };
    const Case cases[] = {{"5", "5"}, {"57", "9"}, {"0", "9"}, {"x", "x"}, {"", ""}, {"12", "9"}};
    for (const Case& c : cases) {
        SetText(frames, c.set);
        EXPECT_EQ(Text(frames), c.want) << "frame value field given \"" + std::string(c.set) + "\"";
    }
}

// Save Config, the list's focus notification discarding a change, Delete Config.
void TestSaveDelete(const Tree& t, Launcher* l) {
    HWND w = l->main;
    HWND list = GetDlgItem(w, IDC_CARTLIST);
    ClickItem(list, "MOLEQST.BIN");
    ClickInto(GetDlgItem(w, IDC_TITLE));
    SetText(GetDlgItem(w, IDC_TITLE), "Mole Quest Deluxe");
    ClickInto(GetDlgItem(w, IDC_FRAMES));
    SetText(GetDlgItem(w, IDC_FRAMES), "5");
    Send(GetDlgItem(w, IDC_NOSOUND), BM_CLICK, 0, 0);
    Send(GetDlgItem(w, IDC_EUROPE), BM_CLICK, 0, 0);
    EXPECT_EQ(Describe(ReadFormState(w)),
              "title=\"Mole Quest Deluxe\" frames=\"5\" nosound=1 z80=0 region=Europe")
        << "form edited: title, frames, No Sound, Europe (one region only)";
    Send(GetDlgItem(w, IDC_SAVE), BM_CLICK, 0, 0);
    IniSection s = ReadIniSection(t.iniPath, "MOLEQST.BIN");
    EXPECT_TRUE(s.found) << "Save Config creates the cartridge's section";
    EXPECT_EQ(IniKeys(s), "Title,NoSound,Z80,Version,Frames") << "Save Config writes keys in order";
    EXPECT_EQ(IniValue(s, "Title") + "|" + IniValue(s, "NoSound") + "|" + IniValue(s, "Z80") + "|" +
                  IniValue(s, "Version") + "|" + IniValue(s, "Frames"),
              "Mole Quest Deluxe|1|0|Europe|5")
        << "Save Config stores the form's values";

    // Two digits typed: the field shows 9; a letter is stored as it is.
    ClickInto(GetDlgItem(w, IDC_FRAMES));
    SetText(GetDlgItem(w, IDC_FRAMES), "q");
    Send(GetDlgItem(w, IDC_SAVE), BM_CLICK, 0, 0);
    EXPECT_EQ(IniValue(ReadIniSection(t.iniPath, "MOLEQST.BIN"), "Frames"), "q")
        << "a letter in the frame value field is stored as it is";
    SetText(GetDlgItem(w, IDC_FRAMES), "5");
    Send(GetDlgItem(w, IDC_SAVE), BM_CLICK, 0, 0);

    // An unsaved change is discarded when the list reports (here: it takes the focus).
    ClickInto(GetDlgItem(w, IDC_TITLE));
    SetText(GetDlgItem(w, IDC_TITLE), "Unsaved Title");
    Send(GetDlgItem(w, IDC_Z80), BM_CLICK, 0, 0);
    Send(GetDlgItem(w, IDC_JAPAN), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsChecked(w, IDC_Z80) && IsChecked(w, IDC_JAPAN))
        << "unsaved change made in the form";
    ClickItem(list, "MOLEQST.BIN");
    EXPECT_EQ(Describe(ReadFormState(w)),
              "title=\"Mole Quest Deluxe\" frames=\"5\" nosound=1 z80=0 region=Europe")
        << "clicking into the list discards the unsaved change";
    EXPECT_EQ(IniValue(ReadIniSection(t.iniPath, "MOLEQST.BIN"), "Title"), "Mole Quest Deluxe")
        << "discarded change never reached the settings file";

    // Delete Config removes the section and reloads the defaults with the header title.
    Send(GetDlgItem(w, IDC_DELETE), BM_CLICK, 0, 0);
    EXPECT_TRUE(!ReadIniSection(t.iniPath, "MOLEQST.BIN").found)
        << "Delete Config removes the section";
    EXPECT_TRUE(ReadIniSection(t.iniPath, "ZETA.SMD").found &&
                ReadIniSection(t.iniPath, "Quorvalis Paths").found)
        << "Delete Config leaves the other sections alone";
    EXPECT_EQ(Describe(ReadFormState(w)),
              "title=\"Turbo Mole Quest \" frames=\"2\" nosound=0 z80=0 region=USA")
        << "Delete Config reloads the defaults and the header title";
}

// Launch Emulator and a double-click, seen through the stand-in's log.
void TestLaunch(const Tree& t, Launcher* l) {
    HWND w = l->main;
    HWND list = GetDlgItem(w, IDC_CARTLIST);
    IniSection paths = ReadIniSection(t.iniPath, "Quorvalis Paths");
    std::string emu = IniValue(paths, "EmulatorPath");
    std::string carts = IniValue(paths, "CartPath");
    std::string emuDir = emu.substr(0, emu.rfind('\\'));
    size_t before = qvtest::ReadStubLog(t.emuDir).size();

    auto nextRecord = [&](qvtest::StubRecord* rec) {
        bool ok = WaitFor([&] { return qvtest::ReadStubLog(t.emuDir).size() > before; });
        if (ok)
            *rec = qvtest::ReadStubLog(t.emuDir)[before];
        before = qvtest::ReadStubLog(t.emuDir).size();
        return ok;
    };
    auto sameDir = [](const std::string& a, const std::string& b) {
        return SameText(a, b) || SameText(LongPath(a), LongPath(b));
    };

    // Launch Emulator with every switch: the order is fixed whatever the form's layout.
    ClickItem(list, "ZETA.SMD");
    Send(GetDlgItem(w, IDC_LAUNCH), BM_CLICK, 0, 0);
    qvtest::StubRecord rec;
    EXPECT_TRUE(nextRecord(&rec)) << "Launch Emulator starts the emulator";
    EXPECT_EQ(rec.cmdline, emu + "  -frame 9 -nosound -z80 -japan " + carts + "ZETA.SMD")
        << "command line: path, two spaces, -frame, switches in order, full cartridge path";
    EXPECT_TRUE(sameDir(rec.cwd, emuDir)) << "emulator starts in its own directory"
                                          << ": " << rec.cwd + " vs " + emuDir;
    EXPECT_EQ(Join(rec.args), "-frame,9,-nosound,-z80,-japan," + carts + "ZETA.SMD")
        << "emulator receives the arguments one by one";

    // Both options off and USA; a letter as frame value; launched twice gives the same line.
    ClickItem(list, "BETA.MGD");
    ClickInto(GetDlgItem(w, IDC_FRAMES));
    SetText(GetDlgItem(w, IDC_FRAMES), "k");
    for (int i = 0; i < 2; ++i) {
        Send(GetDlgItem(w, IDC_LAUNCH), BM_CLICK, 0, 0);
        EXPECT_TRUE(nextRecord(&rec)) << "Launch Emulator starts the emulator again";
        EXPECT_EQ(rec.cmdline, emu + "  -frame k " + carts + "BETA.MGD")
            << (i == 0 ? "no switches; the frame value passed as typed"
                       : "second launch builds the same command line");
    }

    // A double-click launches, then reloads: the launch takes the form's unsaved frame value,
    // the reload then shows the stored one.
    ClickItem(list, "ALPHA.MD");
    EXPECT_EQ(Text(GetDlgItem(w, IDC_FRAMES)), "4") << "ALPHA.MD shows its stored frame value";
    SetText(GetDlgItem(w, IDC_FRAMES), "7");
    POINT p = ItemPoint(list, IndexOf(list, "ALPHA.MD"));
    Send(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    Send(list, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    EXPECT_TRUE(nextRecord(&rec)) << "double-click starts the emulator";
    EXPECT_EQ(rec.cmdline, emu + "  -frame 7 -z80 -europe " + carts + "ALPHA.MD")
        << "double-click launches with the form as it was before the reload";
    EXPECT_EQ(Text(GetDlgItem(w, IDC_FRAMES)), "4")
        << "double-click then reloads the stored options";

    // A full double-click by the mouse on another cartridge.
    DoubleClickItem(list, "MOLEQST.BIN");
    EXPECT_TRUE(nextRecord(&rec)) << "mouse double-click on a cartridge starts the emulator";
    EXPECT_EQ(rec.cmdline, emu + "  -frame 2 " + carts + "MOLEQST.BIN")
        << "mouse double-click launches the clicked cartridge";
    EXPECT_TRUE(sameDir(rec.cwd, emuDir))
        << "double-click also starts it in the emulator's directory";
    EXPECT_TRUE(qvtest::ReadStubLog(t.emuDir).size() == before)
        << "each launch starts the emulator once";
}

// The launcher's message box: its text, once it is up; it is then closed with OK. Empty when
// none came up.
std::string TakeMessageBox(Launcher* l) {
    HWND box = WaitTopWindow(l->pi.dwProcessId, "#32770", "Quorvalis '95");
    if (box == nullptr)
        return "";
    std::string text;
    for (HWND h = GetWindow(box, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
        std::string t = Text(h);
        if (ClassOf(h) == "Static" && t.size() > text.size())
            text = t;
    }
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    WaitFor([&] { return !IsWindow(box); });
    return text;
}

// Moves the settings file's modification time on, so that the launcher's cached copy of the
// file is read again after an edit made here.
void TouchLater(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME ft;
    if (h != INVALID_HANDLE_VALUE && GetFileTime(h, nullptr, nullptr, &ft)) {
        ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
        t.QuadPart += 30ULL * 10000000ULL;
        ft.dwLowDateTime = t.LowPart;
        ft.dwHighDateTime = t.HighPart;
        SetFileTime(h, nullptr, nullptr, &ft);
    }
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

void SetEmulatorPath(const Tree& t, const std::string& path) {
    WritePrivateProfileStringA("Quorvalis Paths", "EmulatorPath", path.c_str(), t.iniPath.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, t.iniPath.c_str()); // flush
    TouchLater(t.iniPath);
}

// A cartridge whose name starts with '[' is read from the list as the list shows it: its
// header title, its own section, its own path in the command line.
void TestBracketName(const Tree& t, Launcher* l) {
    HWND w = l->main;
    HWND list = GetDlgItem(w, IDC_CARTLIST);
    ClickItem(list, kBracketRom);
    EXPECT_EQ(Text(GetDlgItem(w, IDC_TITLE)), "Bios Mole ")
        << "a name starting with '[' shows its header title";
    ClickInto(GetDlgItem(w, IDC_TITLE));
    SetText(GetDlgItem(w, IDC_TITLE), "Bracket Mole");
    Send(GetDlgItem(w, IDC_SAVE), BM_CLICK, 0, 0);
    EXPECT_EQ(IniValue(ReadIniSection(t.iniPath, kBracketRom), "Title"), "Bracket Mole")
        << "a name starting with '[' is saved under its own section name";
    size_t before = qvtest::ReadStubLog(t.emuDir).size();
    Send(GetDlgItem(w, IDC_LAUNCH), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return qvtest::ReadStubLog(t.emuDir).size() > before; }))
        << "a name starting with '[' is launched";
    std::vector<qvtest::StubRecord> records = qvtest::ReadStubLog(t.emuDir);
    std::string carts = IniValue(ReadIniSection(t.iniPath, "Quorvalis Paths"), "CartPath");
    if (records.size() > before && !records[before].args.empty()) {
        EXPECT_EQ(records[before].args.back(), carts + kBracketRom)
            << "the emulator gets the full path of the name starting with '['";
    }
}

// A save or delete that cannot reach the settings file (here: replaced by a directory) and a
// launch that starts nothing each show a message box; the form and the file stay as they were.
void TestFailureMessages(const Tree& t, Launcher* l) {
    HWND w = l->main;
    HWND list = GetDlgItem(w, IDC_CARTLIST);
    ClickItem(list, "ZETA.SMD");
    ClickInto(GetDlgItem(w, IDC_TITLE));
    SetText(GetDlgItem(w, IDC_TITLE), "Not Saved");
    std::string saved = t.iniPath + ".saved";
    EXPECT_TRUE(MoveFileA(t.iniPath.c_str(), saved.c_str()) &&
                CreateDirectoryA(t.iniPath.c_str(), nullptr))
        << "settings file replaced by a directory";
    struct Case {
        int id;
        const char* says;
        const char* what;
    } cases[] = {
        {IDC_SAVE, "were not saved", "Save Config into a directory"},
        {IDC_DELETE, "were not deleted", "Delete Config in a directory"},
    };
    for (const Case& c : cases) {
        PostMessageA(GetDlgItem(w, c.id), BM_CLICK, 0, 0);
        std::string text = TakeMessageBox(l);
        EXPECT_TRUE(text.find(c.says) != std::string::npos) << std::string(c.what) + ": message box"
                                                            << ": "
                                                            << "\"" + text + "\"";
        EXPECT_EQ(Text(GetDlgItem(w, IDC_TITLE)), "Not Saved")
            << std::string(c.what) + ": the form keeps what it shows";
    }
    RemoveDirectoryA(t.iniPath.c_str());
    MoveFileA(saved.c_str(), t.iniPath.c_str());
    TouchLater(t.iniPath);
    EXPECT_EQ(IniValue(ReadIniSection(t.iniPath, "ZETA.SMD"), "Title"), "Zeta Custom")
        << "failed saves and deletes left the settings file as it was";

    size_t launches = qvtest::ReadStubLog(t.emuDir).size();
    std::string emu = IniValue(ReadIniSection(t.iniPath, "Quorvalis Paths"), "EmulatorPath");
    SetEmulatorPath(t, t.emuDir + "\\Missing.exe");
    PostMessageA(GetDlgItem(w, IDC_LAUNCH), BM_CLICK, 0, 0);
    std::string text = TakeMessageBox(l);
    EXPECT_TRUE(text.find("could not be started") != std::string::npos)
        << "Launch Emulator with a missing emulator: message box"
        << ": "
        << "\"" + text + "\"";
    SetEmulatorPath(t, emu);

    SetText(GetDlgItem(w, IDC_FRAMES), "\"");
    PostMessageA(GetDlgItem(w, IDC_LAUNCH), BM_CLICK, 0, 0);
    text = TakeMessageBox(l);
    EXPECT_TRUE(text.find("was not launched") != std::string::npos)
        << "Launch Emulator with a double quote as frame value: message box"
        << ": "
        << "\"" + text + "\"";
    WaitIdle(l);
    EXPECT_EQ(static_cast<long long>(qvtest::ReadStubLog(t.emuDir).size()),
              static_cast<long long>(launches))
        << "neither failed launch started anything";
    SetText(GetDlgItem(w, IDC_FRAMES), "2");
}

// Posts a key press to hwnd, then waits until the launcher has handled it. A push button's
// highlight is used as a marker: set after the key by a posted message, it shows that every
// message posted before it has been handled.
void PressKey(HWND hwnd, WPARAM vk, HWND marker) {
    PostMessageA(hwnd, WM_KEYDOWN, vk, 1);
    PostMessageA(hwnd, WM_CHAR, vk == VK_RETURN ? '\r' : 0x1B, 1);
    PostMessageA(hwnd, WM_KEYUP, vk, 0xC0000001);
    PostMessageA(marker, BM_SETSTATE, TRUE, 0);
    WaitFor([&] { return !IsWindow(marker) || (Send(marker, BM_GETSTATE, 0, 0) & BST_PUSHED); });
    if (IsWindow(marker))
        PostMessageA(marker, BM_SETSTATE, FALSE, 0);
}

// The About box: modal, closed by OK and Enter, not by Escape.
void TestAbout(Launcher* l) {
    HWND about = OpenAbout(l);
    EXPECT_TRUE(about != nullptr) << "About opens a box titled \"About Quorvalis '95\"";
    if (about == nullptr)
        return;
    EXPECT_TRUE(GetWindow(about, GW_OWNER) == l->main) << "About box is owned by the main window";
    EXPECT_TRUE(!IsWindowEnabled(l->main))
        << "main window takes no input while the About box is open";
    LONG style = StyleOf(about);
    EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && !(style & WS_SYSMENU))
        << "About box has a caption but no system menu or close box";
    std::vector<std::string> texts;
    int icons = 0, lines = 0;
    for (HWND h = GetWindow(about, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
        LONG s = StyleOf(h) & SS_TYPEMASK;
        if (ClassOf(h) == "Static" && s == SS_ICON)
            icons += Send(h, STM_GETICON, 0, 0) != 0;
        else if (ClassOf(h) == "Static" && s == SS_BLACKRECT)
            ++lines;
        else
            texts.push_back(Text(h));
    }
    EXPECT_EQ(Join(texts),
              "Quorvalis '95,OK,Copyright (c) 1996 Quorvalis Software,Written by Tamsin Vell,"
              "Version 1.2,quorvalis@example.net,http://www.example.net/quorvalis/")
        << "About box texts in template order";
    EXPECT_EQ(icons, 2) << "About box shows the launcher's icon twice";
    EXPECT_EQ(lines, 2) << "About box has two black lines";
    HWND ok = GetDlgItem(about, IDOK);
    EXPECT_EQ(Text(ok), "OK") << "About box OK button";

    PressKey(ok, VK_ESCAPE, ok);
    EXPECT_TRUE(IsWindow(about) && IsWindowVisible(about)) << "Escape does not close the About box";
    PostMessageA(ok, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); })) << "OK closes the About box";
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(l->main) != 0; }))
        << "main window takes input again after the About box";

    about = OpenAbout(l);
    EXPECT_TRUE(about != nullptr) << "About box opens a second time";
    if (about == nullptr)
        return;
    ok = GetDlgItem(about, IDOK);
    PressKey(ok, VK_RETURN, ok);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); })) << "Enter closes the About box";
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(l->main) != 0; }))
        << "main window enabled again";
}

// Commands with the IDs of Enter and Escape do nothing to the main window.
void TestDialogKeys(const Tree& t, Launcher* l) {
    std::string before = qvtest::ReadFile(t.iniPath);
    size_t launches = qvtest::ReadStubLog(t.emuDir).size();
    Send(l->main, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Send(l->main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindow(l->main) && qvtest::ReadFile(t.iniPath) == before &&
                qvtest::ReadStubLog(t.emuDir).size() == launches)
        << "commands 1 and 2 (Enter, Escape) do nothing";
}

// The launcher and the stand-in emulator under test, from the command line; and the emulator
// bridge with the stand-in for BlastEm.
std::string g_launcher, g_stub, g_bridge, g_blastem;

// One launcher process worked from its first run to its exit, then started once more: each step
// goes on from the state the one before left.
TEST(Win32Launcher, FirstRunToExitAndSecondStart) {
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string base = std::string(tmp) + "qv-e2e-" + std::to_string(GetCurrentProcessId());
    RemoveTree(base);
    Tree t;
    ASSERT_TRUE(MakeTree(base, g_launcher, g_stub, &t)) << "cannot prepare " << base;
    std::printf("test directory: %s\n", base.c_str());

    Launcher l;
    if (TestFirstRun(t, &l)) {
        TestMainWindow(&l);
        TestSelection(&l);
        TestFramesField(&l);
        TestSaveDelete(t, &l);
        TestLaunch(t, &l);
        TestBracketName(t, &l);
        TestFailureMessages(t, &l);
        TestAbout(&l);
        TestDialogKeys(t, &l);
        PostMessageA(GetDlgItem(l.main, IDC_EXIT), BM_CLICK, 0, 0);
        EXPECT_EQ(WaitExit(&l), 0) << "Exit ends the process with exit code 0";
    }
    Kill(&l);

    // Second start with the same settings file: no prompt, straight to the filled list.
    std::string iniBefore = qvtest::ReadFile(t.iniPath);
    Launcher again;
    EXPECT_TRUE(StartLauncher(t.launcherExe, t.base, &again))
        << "second start shows the main window";
    if (again.main != nullptr) {
        HWND list = GetDlgItem(again.main, IDC_CARTLIST);
        EXPECT_TRUE(WaitFor([&] { return Send(list, LB_GETCOUNT, 0, 0) == kRomCount; }))
            << "second start fills the list";
        WaitIdle(&again);
        EXPECT_TRUE(FindTopWindow(again.pi.dwProcessId, "#32770", nullptr) == nullptr)
            << "second start shows no prompt";
        EXPECT_EQ(qvtest::ReadFile(t.iniPath), iniBefore)
            << "second start rewrites QuorvalisPath with the same value";
        PostMessageA(again.main, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(WaitExit(&again), 0) << "close box ends the process with exit code 0";
    }
    Kill(&again);

    if (!::testing::Test::HasFailure())
        RemoveTree(base);
}

// The running processes started from a file of this name.
std::vector<DWORD> ProcessesNamed(const char* exe) {
    std::vector<DWORD> pids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry))
        if (lstrcmpiA(entry.szExeFile, exe) == 0)
            pids.push_back(entry.th32ProcessID);
    CloseHandle(snap);
    return pids;
}

// Launch Emulator with the bridge as Zelko.exe and BlastEm unzipped beside it: the launcher's
// start request returns at once while BlastEm plays, the launcher goes on answering, and the
// bridge ends with BlastEm.
TEST(Win32Launcher, LaunchThroughTheBridgeReturnsAtOnce) {
    if (g_bridge.empty())
        GTEST_SKIP() << "no bridge given";
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    std::string base = std::string(tmp) + "qv-e2e-bridge-" + std::to_string(GetCurrentProcessId());
    RemoveTree(base);
    Tree t;
    ASSERT_TRUE(MakeTree(base, g_launcher, g_bridge, &t) &&
                CopyFileA(g_blastem.c_str(), (t.emuDir + "\\blastem.exe").c_str(), FALSE) &&
                qvtest::WriteFile(t.iniPath, qvtest::ReadFile(t.iniPath) +
                                                 "[Quorvalis Paths]\r\nEmulatorPath=" + t.emuExe +
                                                 "\r\nCartPath=" + t.cartDir + "\\\r\n"))
        << "cannot prepare " << base;
    // BlastEm keeps running for a while, then ends well.
    SetEnvironmentVariableA("FAKE_SLEEP", "4");
    SetEnvironmentVariableA("ZELKO_BLASTEM", nullptr);
    Launcher l;
    ASSERT_TRUE(StartLauncher(t.launcherExe, t.base, &l));
    SetEnvironmentVariableA("FAKE_SLEEP", nullptr);
    HWND list = GetDlgItem(l.main, IDC_CARTLIST);
    EXPECT_TRUE(WaitFor([&] { return Send(list, LB_GETCOUNT, 0, 0) == kRomCount; }));
    ClickItem(list, "ZETA.SMD"); // No Sound, Z-80, Japan

    DWORD started = GetTickCount();
    Send(GetDlgItem(l.main, IDC_LAUNCH), BM_CLICK, 0, 0);
    DWORD ms = GetTickCount() - started;
    std::printf("Launch Emulator returned after %lu ms\n", static_cast<unsigned long>(ms));
    EXPECT_LT(ms, 2000u) << "Launch Emulator returns at once";

    std::string log = t.emuDir + "\\blastem.log";
    EXPECT_TRUE(WaitFor([&] { return qvtest::ReadFile(log).find("END") != std::string::npos; }))
        << "BlastEm is started";
    EXPECT_EQ(qvtest::ReadFile(log), "BEGIN\ncwd=" + t.emuDir +
                                         "\naudio=dummy\narg=-m\narg=gen\n"
                                         "arg=-r\narg=J\narg=" +
                                         t.cartDir + "\\ZETA.SMD\nopen=1\nEND\n")
        << "BlastEm gets the form's options in its emulator's directory";
    EXPECT_FALSE(ProcessesNamed("blastem.exe").empty()) << "BlastEm is still running";
    std::vector<DWORD> bridges = ProcessesNamed("Zelko.exe");
    ASSERT_EQ(bridges.size(), 1u) << "the bridge waits for BlastEm";

    // The launcher answers while BlastEm plays.
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutA(l.main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result));
    ClickItem(list, "BETA.MGD");
    EXPECT_EQ(Text(GetDlgItem(l.main, IDC_TITLE)), "Beta Racer ") << "the form follows the list";
    EXPECT_FALSE(ProcessesNamed("blastem.exe").empty()) << "all while BlastEm runs";

    HANDLE bridge = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, bridges[0]);
    DWORD code = 99;
    EXPECT_EQ(WaitForSingleObject(bridge, kTimeoutMs), WAIT_OBJECT_0) << "the bridge ends";
    GetExitCodeProcess(bridge, &code);
    CloseHandle(bridge);
    EXPECT_EQ(code, 0u) << "with BlastEm's status";
    EXPECT_TRUE(FindTopWindow(bridges[0], nullptr, nullptr) == nullptr) << "and no message";

    PostMessageA(GetDlgItem(l.main, IDC_EXIT), BM_CLICK, 0, 0);
    EXPECT_EQ(WaitExit(&l), 0);
    Kill(&l);
    if (!::testing::Test::HasFailure())
        RemoveTree(base);
}
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv); // takes GoogleTest's own flags out of argv
    if (argc == 5) {
        g_bridge = WinPath(argv[3]);
        g_blastem = WinPath(argv[4]);
    } else if (argc != 3) {
        std::printf("usage: qv_e2e [GoogleTest flags] <Quorvalis.exe> <Zelko.exe> "
                    "[<bridge> <blastem.exe>]\n");
        return 2;
    }
    g_launcher = WinPath(argv[1]);
    g_stub = WinPath(argv[2]);
    return RUN_ALL_TESTS();
}
