// The native window's one state (window_state.h).
#include "ui/fltk/window_state.h"

#include "res/resource.h"

#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>

WindowState g_window;

Fl_Widget* FindControl(int id) {
    const Controls& c = g_window.controls;
    const struct {
        int id;
        Fl_Widget* widget;
    } ids[] = {{IDC_CARTLIST, c.cartList}, {IDC_TITLE, c.title}, {IDC_USA, c.usa},
               {IDC_EUROPE, c.europe},     {IDC_JAPAN, c.japan}, {IDC_FRAMES, c.frames},
               {IDC_NOSOUND, c.noSound},   {IDC_Z80, c.z80},     {IDC_LAUNCH, c.launch},
               {IDC_SAVE, c.save},         {IDC_DELETE, c.del},  {IDC_ABOUT, c.about},
               {IDC_EXIT, c.exit}};
    for (const auto& entry : ids)
        if (entry.id == id)
            return entry.widget;
    return nullptr;
}
