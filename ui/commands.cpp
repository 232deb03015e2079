// The form's command handling: turns each control report into a load, save, delete, launch,
// About box, frame value correction or quit, and moves a cartridge's options between the form
// and the settings file.
#include "ui/commands.h"

#include "core/cart_settings.h"
#include "core/launch.h"
#include "core/paths.h"
#include "res/resource.h"
#include "ui/form.h"

#include <cstdio>
#include <cstring>

namespace {

// The frame value field is read with room for four characters when it is corrected.
constexpr int kFramesClampCap = 5;

// Reads the list's selection into g_paths.SelectedRom. False when no cartridge is selected;
// the commands that need a cartridge then do nothing.
bool ReadSelection() {
    return FormGetSelection(g_paths.SelectedRom, kPathMax);
}

Region ReadRegion() {
    if (FormIsChecked(IDC_USA))
        return Region::USA;
    if (FormIsChecked(IDC_EUROPE))
        return Region::Europe;
    if (FormIsChecked(IDC_JAPAN))
        return Region::Japan;
    return Region::None;
}

// The form's values, with the title and frames read with the given capacities (a capacity of
// kTitleUnread leaves the title empty).
constexpr int kTitleUnread = 0;
CartSettings ReadForm(int titleCap, int framesCap) {
    CartSettings s{};
    if (titleCap > 0)
        FormGetText(IDC_TITLE, s.title, titleCap);
    FormGetText(IDC_FRAMES, s.frames, framesCap);
    s.noSound = FormIsChecked(IDC_NOSOUND);
    s.z80 = FormIsChecked(IDC_Z80);
    s.region = ReadRegion();
    return s;
}

// Shows a cartridge's options in the order title, frames, noSound, z80, region.
void ShowSettings(const CartSettings& s) {
    FormSetText(IDC_TITLE, s.title);
    FormSetText(IDC_FRAMES, s.frames);
    FormSetCheck(IDC_NOSOUND, s.noSound);
    FormSetCheck(IDC_Z80, s.z80);
    FormSetCheck(IDC_USA, s.region == Region::USA);
    FormSetCheck(IDC_EUROPE, s.region == Region::Europe);
    FormSetCheck(IDC_JAPAN, s.region == Region::Japan);
}

// What the form shows for no cartridge: an empty title and the defaults of a missing section.
CartSettings DefaultSettings() {
    CartSettings s{};
    CopyText(s.frames, kFramesField, kDefaultFrames);
    s.noSound = false;
    s.z80 = false;
    s.region = Region::USA;
    return s;
}

// The settings file as the messages name it. Without one (the launcher's directory left no
// room for its name) nothing can be saved.
const char* SettingsFileName() {
    return g_paths.IniPath[0] != '\0' ? g_paths.IniPath : kIniFileName;
}

// Tells the user that a command did not do what it says, with the names a and b written as the
// list writes them. Nothing else changes: the form keeps what it shows, so the user can act on
// the message and try again.
void ShowFailure(const char* format, const char* a, const char* b = "") {
    char shownA[2 * kPathMax], shownB[2 * kPathMax];
    FormShownName(a, shownA, sizeof shownA);
    FormShownName(b, shownB, sizeof shownB);
    char text[1024 + kPathMax];
    std::snprintf(text, sizeof text, format, shownA, shownB);
    FormShowMessage(text);
}

void ReloadForm() {
    if (!ReadSelection()) {
        ShowSettings(DefaultSettings());
        return;
    }
    ShowSettings(LoadCartSettings(g_paths.SelectedRom));
}

void LaunchSelected() {
    if (!ReadSelection())
        return;
    CartSettings s = ReadForm(kTitleUnread, kFramesLaunchCap);
    switch (LaunchEmulator(g_paths.SelectedRom, s)) {
    case LaunchResult::NotBuilt:
        ShowFailure("%s was not launched: its command line cannot be built.\n\nA path or the "
                    "frame value holds a double quote, or the line is too long.",
                    g_paths.SelectedRom);
        break;
    case LaunchResult::NotStarted:
        ShowFailure("The emulator could not be started with the command line\n\n%s\n\nIts path "
                    "is EmulatorPath in the settings file %s.",
                    g_paths.EmulatorCommand, SettingsFileName());
        break;
    case LaunchResult::Started:
    case LaunchResult::NoCartridge:
        break;
    }
}

// Tells why a save or a delete (done says which: "saved" or "deleted") did not reach the file.
void ShowNotStored(SaveResult r, const char* done) {
    char format[256];
    const char* why = "The settings file %s could not be written.";
    if (r == SaveResult::Busy)
        why = "Another program is saving the settings file %s, or holds its lock. Try again in a "
              "moment.";
    else if (r == SaveResult::PartlyWritten)
        why = "Writing the settings file %s failed part-way, so it may now hold part of this "
              "change: check it before saving again.";
    else if (r == SaveResult::NameNotKept)
        why = "The name of this cartridge holds a line break, which the settings file %s cannot "
              "keep.";
    std::snprintf(format, sizeof format, "The settings of %%s were not %s.\n\n%s", done, why);
    ShowFailure(format, g_paths.SelectedRom, SettingsFileName());
}

void SaveSelected() {
    if (!ReadSelection())
        return;
    CartSettings s = ReadForm(kTitleSaveCap, kFramesSaveCap);
    SaveResult r = SaveCartSettings(g_paths.SelectedRom, s);
    if (r != SaveResult::Saved)
        ShowNotStored(r, "saved");
}

void DeleteSelected() {
    if (!ReadSelection())
        return;
    SaveResult r = DeleteCartSettings(g_paths.SelectedRom);
    if (r != SaveResult::Saved) {
        // The section is still there; the form keeps what it shows.
        ShowNotStored(r, "deleted");
        return;
    }
    HandleFormCommand(IDC_CARTLIST, 0);
}

// Keeps the frame value field to one digit from 1 to 9 as the user types: more than one
// character, or a 0, becomes 9.
void ClampFramesField() {
    char field[kFramesField] = {};
    int len = FormGetText(IDC_FRAMES, field, kFramesClampCap);
    if (len > 1)
        FormSetText(IDC_FRAMES, "9");
    if (std::strcmp(field, "0") == 0)
        FormSetText(IDC_FRAMES, "9");
}

} // namespace

void HandleFormCommand(int id, int code) {
    // A double-click in the list launches the cartridge first; the list's own reload follows.
    if (code == QV_LBN_DBLCLK)
        HandleFormCommand(IDC_LAUNCH, QV_BN_CLICKED);

    switch (id) {
    case IDC_EXIT:
        FormQuit(0);
        break;
    case IDC_CARTLIST:
        ReloadForm();
        break;
    case IDC_LAUNCH:
        LaunchSelected();
        break;
    case IDC_SAVE:
        SaveSelected();
        break;
    case IDC_ABOUT:
        FormShowAbout();
        break;
    case IDC_FRAMES:
        ClampFramesField();
        break;
    case IDC_DELETE:
        DeleteSelected();
        break;
    default:
        break;
    }
}
