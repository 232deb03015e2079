// The main window: the controls of the main dialog template laid out from its dialog units,
// and the events they report to the command handling with the window system's IDs and codes.
#include "ui/fltk/main_window.h"

#include "core/cartridge.h"
#include "core/paths.h"
#include "res/about.h"
#include "res/resource.h"
#include "ui/commands.h"
#include "ui/fltk/cart_list.h"
#include "ui/fltk/controls.h"
#include "ui/fltk/focus_reports.h"
#include "ui/fltk/layout.h"
#include "ui/fltk/report.h"
#include "ui/fltk/test_dump.h"
#include "ui/fltk/window_state.h"
#include "ui/form.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The main window: Escape does nothing (the window system's cancel command has no handler),
// the close box quits, and focus changes are reported once FLTK has finished moving it.
class MainWindow : public Fl_Double_Window {
  public:
    MainWindow(int w, int h, const char* title) : Fl_Double_Window(w, h, title) {}

    int handle(int event) override {
        if (event == FL_FOCUS && !g_window.controlFocusedOnce) {
            // The window takes the keyboard but gives it to no control yet.
            return 1;
        }
        Fl_Widget* focus = Fl::focus();
        bool noControlFocused = !focus || focus == this || !contains(focus);
        if (event == FL_KEYBOARD && noControlFocused) {
            int key = Fl::event_key();
            // Tab while no control has the focus: the first (Shift: the last) control takes it.
            if (key == FL_Tab) {
                FocusFirstControl((Fl::event_state() & FL_SHIFT) != 0);
                SyncFocusReports();
                return 1;
            }
            if (key == FL_Up || key == FL_Down || key == FL_Left || key == FL_Right)
                return 1;
        }
        int handled = Fl_Double_Window::handle(event);
        if (g_window.pendingGain || event == FL_FOCUS || event == FL_UNFOCUS || event == FL_PUSH ||
            event == FL_KEYBOARD)
            SyncFocusReports();
        return handled;
    }

    void FocusFirstControl(bool last);
};

void MainWindow::FocusFirstControl(bool last) {
    const Controls& c = g_window.controls;
    Fl_Widget* order[] = {c.cartList, c.title,  c.usa,  c.europe, c.japan, c.frames, c.noSound,
                          c.z80,      c.launch, c.save, c.del,    c.about, c.exit};
    int n = static_cast<int>(sizeof(order) / sizeof(order[0]));
    for (int i = 0; i < n; ++i) {
        Fl_Widget* w = order[last ? n - 1 - i : i];
        if (w && w->take_focus())
            return;
    }
}

// ---- Callbacks ----------------------------------------------------------------------------

void ControlCb(Fl_Widget*, void* data) {
    ReportCommand(static_cast<int>(reinterpret_cast<intptr_t>(data)), QV_BN_CLICKED);
}

void EditChangedCb(Fl_Widget*, void* data) {
    ReportCommand(static_cast<int>(reinterpret_cast<intptr_t>(data)), QV_EN_CHANGE);
}

// One press of the spin control's up (+1) or down (-1) arrow. Each press steps from the number
// shown; text that is no number leaves the last position.
void StepFrameSpin(int delta) {
    WindowState& st = g_window;
    const char* shown = st.controls.frames->value();
    char* end = nullptr;
    long value = std::strtol(shown, &end, 10);
    if (end != shown && *end == '\0' && value >= -100000 && value <= 100000)
        st.spinPos = static_cast<int>(value);
    int next = st.spinPos + delta;
    if (next > st.spinUpper)
        next = st.spinUpper;
    if (next < st.spinLower)
        next = st.spinLower;
    st.spinPos = next;
    char text[16];
    std::snprintf(text, sizeof(text), "%d", next);
    if (std::strcmp(text, shown) != 0) {
        st.controls.frames->value(text);
        ReportCommand(IDC_FRAMES, QV_EN_CHANGE);
    }
}

void SpinUpCb(Fl_Widget*, void*) {
    StepFrameSpin(+1);
}
void SpinDownCb(Fl_Widget*, void*) {
    StepFrameSpin(-1);
}

void MainWindowCb(Fl_Widget*, void*) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) {
        // The dialog keyboard handling turns Escape into the cancel command, which the command
        // handling ignores.
        ReportCommand(QV_IDCANCEL, QV_BN_CLICKED);
        return;
    }
    // Closing the window ends the program like the Exit button.
    QuitMainLoop(0);
}

// Every event passes here first. F5 for the main window, whatever control has the focus,
// rescans the cartridge directory (Alt+F5 is left to the window system, as on Win32); no
// control sees the key.
int DispatchEvent(int event, Fl_Window* window) {
    if (event == FL_KEYBOARD && window == g_window.window && Fl::event_key() == FL_F + 5 &&
        (Fl::event_state() & FL_ALT) == 0) {
        RescanCartList();
        return 1;
    }
    return Fl::handle_(event, window);
}

void* IdData(int id) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(id));
}

template <class T> T* MakeButton(int x, int y, int w, int h, const char* text, int id) {
    T* b = new T(DuX(x), DuY(y), DuW(x, w), DuH(y, h), text);
    b->callback(ControlCb, IdData(id));
    return b;
}

} // namespace

Fl_Window* CreateMainWindow() {
    FL_NORMAL_SIZE = DialogFontSize();
    // The window class's background: the light grey stock brush.
    Fl::background(192, 192, 192);

    MainWindow* win = new MainWindow(DuX(253), DuY(154), QV_CAPTION);
    win->callback(MainWindowCb);
    if (const Fl_RGB_Image* icon = AppIcon()) {
        Fl_Window::default_icon(icon);
        win->icon(icon);
    }
    win->xclass("Quorvalis");

    Controls& c = g_window.controls;
    // The list reaches down to the title field in the template (the window system shortens
    // it to whole items); here it stops just above the field.
    c.cartList = new CartList(DuX(4), DuY(4), DuW(4, 180), DuY(99) - DuY(4) - 1);
    c.cartList->box(FL_DOWN_BOX);
    c.cartList->color(FL_WHITE);
    AddFocusReporter(c.cartList, IDC_CARTLIST, QV_LBN_SETFOCUS, QV_LBN_KILLFOCUS);

    c.title = new EditField(DuX(4), DuY(99), DuW(4, 180), DuH(99, 12));
    c.title->when(FL_WHEN_CHANGED);
    c.title->callback(EditChangedCb, IdData(IDC_TITLE));
    AddFocusReporter(c.title, IDC_TITLE, QV_EN_SETFOCUS, QV_EN_KILLFOCUS);

    // The Version group box holds the three radio buttons, so they form one group.
    GroupBox* version = new GroupBox(DuX(192), DuY(4), DuW(192, 56), DuH(4, 39), "Version");
    c.usa = MakeButton<RadioButton>(204, 15, 32, 9, "&USA", IDC_USA);
    c.europe = MakeButton<RadioButton>(204, 23, 40, 9, "&Europe", IDC_EUROPE);
    c.japan = MakeButton<RadioButton>(204, 31, 36, 9, "&Japan", IDC_JAPAN);
    for (Fl_Button* b : {c.usa, c.europe, c.japan}) {
        b->type(FL_RADIO_BUTTON);
        b->when(FL_WHEN_RELEASE_ALWAYS);
    }
    version->end();

    GroupBox* framesBox = new GroupBox(DuX(192), DuY(47), DuW(192, 56), DuH(47, 35), "Frames");
    c.frames = new EditField(DuX(208), DuY(60), DuW(208, 12), DuH(60, 13));
    c.frames->when(FL_WHEN_CHANGED);
    c.frames->callback(EditChangedCb, IdData(IDC_FRAMES));
    AddFocusReporter(c.frames, IDC_FRAMES, QV_EN_SETFOCUS, QV_EN_KILLFOCUS);
    // The spin control: two arrows beside the field, not a tab stop.
    int spinX = DuX(220), spinY = DuY(60), spinW = DuW(220, 11), spinH = DuH(60, 13);
    c.spinUp = new SpinArrow(spinX, spinY, spinW, spinH / 2, "@-18>", c.frames);
    c.spinDown =
        new SpinArrow(spinX, spinY + spinH / 2, spinW, spinH - spinH / 2, "@-12>", c.frames);
    for (Fl_Widget* b : {c.spinUp, c.spinDown}) {
        b->clear_visible_focus();
        b->labelsize(DialogFontSize() * 2 / 3);
    }
    c.spinUp->callback(SpinUpCb);
    c.spinDown->callback(SpinDownCb);
    framesBox->end();

    c.noSound = MakeButton<CheckButton>(192, 90, 48, 9, "&No Sound", IDC_NOSOUND);
    c.z80 = MakeButton<CheckButton>(192, 103, 68, 9, "Enable &Z-80", IDC_Z80);
    c.launch = MakeButton<DefaultButton>(4, 116, 68, 13, "&Launch Emulator", IDC_LAUNCH);
    c.save = MakeButton<PushButton>(92, 116, 68, 14, "&Save Config", IDC_SAVE);
    c.del = MakeButton<PushButton>(180, 116, 68, 14, "&Delete Config", IDC_DELETE);
    c.about = MakeButton<PushButton>(4, 134, 68, 14, "&About", IDC_ABOUT);
    c.exit = MakeButton<PushButton>(180, 134, 68, 14, "E&xit", IDC_EXIT);
    win->end();

    CentreWindow(win, nullptr);
    g_window.window = win;
    Fl::event_dispatch(DispatchEvent);
    return win;
}

void FillCartList(const char* dir) {
    std::vector<std::string> names;
    ListCartFiles(dir, &names);
    for (const std::string& name : names)
        g_window.controls.cartList->add(name.c_str());
}

void RescanCartList() {
    char kept[kPathMax];
    bool selected = FormGetSelection(kept, kPathMax);
    std::vector<std::string> names;
    int index = RelistCartFiles(selected ? kept : nullptr, &names);
    static_cast<CartList*>(g_window.controls.cartList)->Refill(names, index + 1);
    // Gone: the reload Delete Config also asks for, here with nothing selected.
    if (selected && index < 0)
        HandleFormCommand(IDC_CARTLIST, 0);
    TestDumpState("rescan");
}

void SetFrameSpinRange(int lower, int upper) {
    WindowState& st = g_window;
    st.spinLower = lower;
    st.spinUpper = upper;
    if (st.spinPos < lower)
        st.spinPos = lower;
    if (st.spinPos > upper)
        st.spinPos = upper;
}

void ReportCommand(int id, int code) {
    TestDumpEvent(id, code);
    HandleFormCommand(id, code);
    TestDumpState("after");
}

void QuitMainLoop(int code) {
    g_window.exitCode = code;
    while (Fl_Window* w = Fl::first_window())
        w->hide();
}
