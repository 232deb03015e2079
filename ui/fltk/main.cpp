// Program entry of the native launcher: shows the main window, resolves the paths (with the
// first-run prompts over the window), fills the cartridge list, sets the form's defaults and
// runs the event loop until the window is closed or Exit is pressed.
#include "core/paths.h"
#include "core/settings.h"
#include "res/resource.h"
#include "ui/fltk/file_chooser_fltk.h"
#include "ui/fltk/layout.h"
#include "ui/fltk/main_window.h"
#include "ui/fltk/test_dump.h"
#include "ui/fltk/window_state.h"
#include "ui/form.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

int main() {
    // Without a display there is no window: FLTK reports that and ends with a failure code.
    fl_open_display();
    TestDumpInit();
    InitLayoutScale();

    Fl_Window* win = CreateMainWindow();
    win->show();
    win->wait_for_expose();
    Fl::flush();

    // The prompts, if any, come up over the visible but still empty window.
    ResolvePaths(FltkChooseFile, nullptr, win);
    FillCartList(g_paths.SelectedRom);
    FormSetCheck(IDC_USA, true);
    FormSetText(IDC_FRAMES, kDefaultFrames);
    SetFrameSpinRange(1, 9);
    TestDumpState("ready");

    if (win->shown())
        Fl::run();
    return g_window.exitCode;
}
