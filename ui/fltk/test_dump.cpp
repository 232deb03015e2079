// A read-only trace of the form for the end-to-end tests. When the environment variable
// QV_TEST_DUMP is set, every control report and the form's state after it are printed to
// standard output, and nothing else changes:
//
//   event <id> <code>                 a control report (outermost ones only)
//   layout ... end                    once, before the first state: "control <id> <x> <y> <w>
//                                     <h>" for every control (window coordinates; 112 is the
//                                     spin control's two arrows), "items <x> <y> <w> <h>" where
//                                     the list draws its items, "item_height <pixels>",
//                                     "dpi <96 times the layout's scale>"
//   state <tag> ... end               the list's items, the selection, the fields and check
//                                     boxes, "focus <id>" (0: no control)
//   sync <value>                      the window's QV_SYNC property was set to <value>; every
//                                     input event the window got before has been handled
//   message <text>                    a message box's text, line breaks written as "\n"
//
// Without it these functions print nothing.
#include "res/resource.h"
#include "ui/fltk/cart_list.h"
#include "ui/fltk/controls.h"
#include "ui/fltk/layout.h"
#include "ui/fltk/main_window.h"
#include "ui/fltk/report.h"
#include "ui/fltk/test_dump.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool g_dumpEnabled = false;
bool g_layoutPrinted = false;
int g_eventDepth = 0;
Atom g_syncAtom = None;

int Checked(int id) {
    Fl_Button* b = static_cast<Fl_Button*>(FindControl(id));
    return b ? b->value() : -1;
}

// How the title field's text sits in it: "full" when it shows whole and one more "w" would
// not, "room" when a "w" would still fit, "over" when the text does not show whole.
const char* TitleFit() {
    auto* field = static_cast<EditField*>(FindControl(IDC_TITLE));
    std::string text = field->value();
    return !field->Fits(text.c_str())          ? "over"
           : field->Fits((text + "w").c_str()) ? "room"
                                               : "full";
}

const char* Text(int id) {
    Fl_Input* in = static_cast<Fl_Input*>(FindControl(id));
    return in ? in->value() : "";
}

int FocusId() {
    for (int id = IDC_EXIT; id <= IDC_DELETE; ++id)
        if (FindControl(id) && FindControl(id) == Fl::focus())
            return id;
    return 0;
}

void PrintControl(int id, const Fl_Widget* w) {
    if (w)
        std::printf("control %d %d %d %d %d\n", id, w->x(), w->y(), w->w(), w->h());
}

// Answers a change of the QV_SYNC property. X delivers it after every input event sent
// before it, and FLTK handles events one at a time in that order.
int SyncHandler(void* event, void*) {
    const XEvent* xev = static_cast<const XEvent*>(event);
    if (xev->type != PropertyNotify || xev->xproperty.atom != g_syncAtom ||
        xev->xproperty.state != PropertyNewValue)
        return 0;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(fl_display, xev->xproperty.window, g_syncAtom, 0, 16, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data && format == 8) {
        std::printf("sync %.*s\n", static_cast<int>(count), reinterpret_cast<char*>(data));
        std::fflush(stdout);
    }
    if (data)
        XFree(data);
    return 0;
}

void PrintLayout() {
    g_layoutPrinted = true;
    std::printf("layout\n");
    for (int id = IDC_EXIT; id <= IDC_DELETE; ++id)
        if (id != IDC_FRAMESPIN)
            PrintControl(id, FindControl(id));
    MainWindow* win = TheMainWindow();
    const Fl_Widget* up = win->spin->up;
    const Fl_Widget* down = win->spin->down;
    std::printf("control %d %d %d %d %d\n", IDC_FRAMESPIN, up->x(), up->y(), up->w(),
                down->y() + down->h() - up->y());
    const CartList* list = static_cast<const CartList*>(FindControl(IDC_CARTLIST));
    int x, y, w, h, itemHeight;
    list->ItemArea(&x, &y, &w, &h, &itemHeight);
    std::printf("items %d %d %d %d\nitem_height %d\n", x, y, w, h, itemHeight);
    std::printf("dpi %d\nend\n", static_cast<int>(LayoutScale() * 96 + 0.5));

    // Property changes of the main window reach the handler above.
    if (win->shown()) {
        Window xid = fl_xid(win);
        XWindowAttributes attrs;
        if (XGetWindowAttributes(fl_display, xid, &attrs))
            XSelectInput(fl_display, xid, attrs.your_event_mask | PropertyChangeMask);
        g_syncAtom = XInternAtom(fl_display, "QV_SYNC", False);
        Fl::add_system_handler(SyncHandler, nullptr);
    }
}

} // namespace

void TestDumpInit() {
    const char* v = std::getenv("QV_TEST_DUMP");
    g_dumpEnabled = v && v[0];
    WatchReports(TestDumpEvent, TestDumpState);
}

void TestDumpEvent(int id, int code) {
    ++g_eventDepth;
    if (g_dumpEnabled && g_eventDepth == 1) {
        std::printf("event %d %d\n", id, code);
        std::fflush(stdout);
    }
}

void TestDumpState(const char* tag) {
    if (g_eventDepth > 0)
        --g_eventDepth;
    if (!g_dumpEnabled || g_eventDepth > 0)
        return;
    Fl_Hold_Browser* list = static_cast<Fl_Hold_Browser*>(FindControl(IDC_CARTLIST));
    if (!list)
        return;
    if (!g_layoutPrinted)
        PrintLayout();
    std::printf("state %s\n", tag);
    for (int i = 1; i <= list->size(); ++i)
        std::printf("item %s\n", list->text(i));
    std::printf("selected %d\n", list->value());
    std::printf("title %s\n", Text(IDC_TITLE));
    std::printf("title_fit %s\n", TitleFit());
    std::printf("frames %s\n", Text(IDC_FRAMES));
    std::printf("usa %d\neurope %d\njapan %d\nnosound %d\nz80 %d\n", Checked(IDC_USA),
                Checked(IDC_EUROPE), Checked(IDC_JAPAN), Checked(IDC_NOSOUND), Checked(IDC_Z80));
    std::printf("focus %d\n", FocusId());
    std::printf("end\n");
    std::fflush(stdout);
}

void TestDumpMessage(const char* text) {
    if (!g_dumpEnabled)
        return;
    std::string line = "message ";
    for (const char* p = text; *p != '\0'; ++p)
        line += *p == '\n' ? std::string("\\n") : std::string(1, *p);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void TestDumpPrompt(const char* tag, const char* title, const char* dir, const char* filter,
                    const char* name, const Fl_Browser* list) {
    if (!g_dumpEnabled)
        return;
    std::printf("prompt %s\ntitle %s\ndir %s\nfilter %s\nname %s\n", tag, title, dir, filter, name);
    for (int i = 1; list && i <= list->size(); ++i)
        std::printf("item %s\n", list->text(i));
    std::printf("end\n");
    std::fflush(stdout);
}
