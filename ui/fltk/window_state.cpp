// The native window's one state (window_state.h).
#include "ui/fltk/window_state.h"

#include "res/resource.h"

#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>

WindowState g_window;

Fl_Widget* FindControl(int id) {
    const Controls& c = g_window.controls;
    switch (id) {
    case IDC_CARTLIST:
        return c.cartList;
    case IDC_TITLE:
        return c.title;
    case IDC_USA:
        return c.usa;
    case IDC_EUROPE:
        return c.europe;
    case IDC_JAPAN:
        return c.japan;
    case IDC_FRAMES:
        return c.frames;
    case IDC_NOSOUND:
        return c.noSound;
    case IDC_Z80:
        return c.z80;
    case IDC_LAUNCH:
        return c.launch;
    case IDC_SAVE:
        return c.save;
    case IDC_DELETE:
        return c.del;
    case IDC_ABOUT:
        return c.about;
    case IDC_EXIT:
        return c.exit;
    default:
        return nullptr;
    }
}
