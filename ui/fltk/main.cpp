// Program entry of the native launcher: shows the main window, resolves the paths (with the
// first-run prompts over the window), fills the cartridge list, sets the form's defaults and
// runs the event loop until the window is closed or Exit is pressed. F5 fills the list again.
#include "core/cartridge.h"
#include "core/paths.h"
#include "core/settings.h"
#include "res/resource.h"
#include "ui/commands.h"
#include "ui/fltk/cart_list.h"
#include "ui/fltk/controls.h"
#include "ui/fltk/file_chooser_fltk.h"
#include "ui/fltk/layout.h"
#include "ui/fltk/main_window.h"
#include "ui/fltk/test_dump.h"
#include "ui/form.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <string>
#include <vector>

namespace {

// F5: fills the cartridge list again as at start-up, from the cartridge directory. The
// cartridge selected stays selected, the form untouched; when it is no longer listed nothing
// is selected and the form shows what it shows with no selection.
void RescanCartList(CartList* list) {
    char kept[kPathMax];
    bool selected = FormGetSelection(kept, kPathMax);
    std::vector<std::string> names;
    int index = RelistCartFiles(selected ? kept : nullptr, &names);
    list->Refill(names, index + 1);
    // Gone: the reload Delete Config also asks for, here with nothing selected.
    if (selected && index < 0)
        HandleFormCommand(IDC_CARTLIST, 0);
    TestDumpState("rescan");
}

// Every event passes here first. F5 for the main window, whatever control has the focus,
// rescans the cartridge directory (Alt+F5 is left to the window system, as on Win32); no
// control sees the key.
int DispatchEvent(int event, Fl_Window* window) {
    if (event == FL_KEYBOARD && window == TheMainWindow() && Fl::event_key() == FL_F + 5 &&
        (Fl::event_state() & FL_ALT) == 0) {
        RescanCartList(TheMainWindow()->cartList);
        return 1;
    }
    return Fl::handle_(event, window);
}

} // namespace

int main() {
    // Without a display there is no window: FLTK reports that and ends with a failure code.
    fl_open_display();
    TestDumpInit();
    InitLayoutScale();

    MainWindow* win = new MainWindow();
    Fl::event_dispatch(DispatchEvent);
    win->show();
    win->wait_for_expose();
    Fl::flush();

    // The prompts, if any, come up over the visible but still empty window.
    ResolvePaths(FltkChooseFile, nullptr, win);
    std::vector<std::string> names;
    ListCartFiles(g_paths.SelectedRom, &names);
    for (const std::string& name : names)
        win->cartList->add(name.c_str());
    FormSetCheck(IDC_USA, true);
    FormSetText(IDC_FRAMES, kDefaultFrames);
    win->spin->SetRange(1, 9);
    TestDumpState("ready");

    if (win->shown())
        Fl::run();
    return win->exitCode;
}
